// The pad's settings as a dialog: pad input on or off, the background
// choice, and the layout (what each axis drives, inverted or not, its dead
// zone, curve and top speed; what each button does). It edits a copy: the
// owner reads settings() once the operator accepts.
//
// Each editor in the tables is named after its control's settings name:
// drives_<axis>, invert_<axis>, deadZone_<axis>, curve_<axis>,
// topSpeed_<axis>, action_<button>, preset_<button>.
#pragma once

#include "padmixer.h"
#include "padsettings.h"

#include <QDialog>

#include <memory>

namespace Ui {
class GamepadDialog;
}

class GamepadDialog : public QDialog
{
    Q_OBJECT

public:
    explicit GamepadDialog(const PadSettings &settings, const PadLimits &limits = PadLimits(),
                           QWidget *parent = nullptr);
    ~GamepadDialog() override;

    PadSettings settings() const;
    // The pad in use, empty when none.
    void setPadName(const QString &name);

private:
    void buildTables();
    void showLayout(const PadLayout &layout);
    void fitTopSpeed(Pad::Control axis);
    void fitPreset(Pad::Control button);
    template<typename T>
    T *editor(const char *kind, Pad::Control control) const;

    std::unique_ptr<Ui::GamepadDialog> ui;
    PadLimits limits;
};
