// The "Presets" panel: the selected camera's presets as a grid of buttons,
// each with its number and name, the selected (last recalled) one marked, a
// page of kPerPage at a time. A click recalls; storing is a separate gesture
// (the "Store" toggle, then a click, or the context menu) confirmed in a
// dialog that names the preset being overwritten; the context menu also
// renames, clears and moves a preset earlier or later in the grid (its
// number and memory stay), and chooses how the camera takes a recall speed.
// Where it takes one, a slider sets the selected preset's speed.
//
// A view: it draws the book and the selection it is given and says what the
// operator asked by its signals; it sends nothing. Its dialogs are opened
// without waiting for them. Nothing in it takes the keyboard focus, so the
// window's keys keep working.
#pragma once

#include "presetbook.h"

#include <QPointer>
#include <QVector>
#include <QWidget>

class QLabel;
class QPushButton;
class QSlider;

class PresetPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kColumns = 4;
    static constexpr int kRows = 4;
    static constexpr int kPerPage = kColumns * kRows;

    explicit PresetPanel(QWidget *parent = nullptr);

    // What to draw: the camera's book, its selected preset (0 for none), and
    // whether the keypad's "*" waits for a digit to store into.
    void draw(const PresetBook &book, int selected, bool storeArmed);

    int page() const { return shownPage; }      // 0 ...
    int pageCount() const;
    void setPage(int page);
    // The preset the button in grid position `slot` (0 ... kPerPage - 1)
    // shows on this page, in the book's order; 0 for none.
    int presetAt(int slot) const;
    QPushButton *button(int slot) const { return buttons.value(slot); }

    // Opens the confirmation before preset n is stored (or cleared).
    void confirmStore(int n);
    void confirmClear(int n);
    void askName(int n);

    // The confirmation's wording: "Store the camera's current shot as preset
    // 3 "Pulpit"? What it holds now is overwritten."
    static QString storeQuestion(const PresetBook &book, int n);

signals:
    void recallRequested(int n);
    void storeConfirmed(int n);
    void clearConfirmed(int n);
    void renamed(int n, const QString &name);
    void speedChosen(int n, int speed);
    void speedFormChosen(PresetBook::SpeedForm form);
    // Preset n to sit `step` places later in the grid (earlier when
    // negative); the page follows it.
    void moveRequested(int n, int step);

protected:
    // A button's width changed: its name is shortened again to fit.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void redraw();
    void fitText(int slot);
    void clicked(int slot);
    void contextMenu(int slot, const QPoint &at);
    void ask(const QString &title, const QString &text, const QString &yes,
             const std::function<void()> &onYes);

    void move(int n, int step);

    PresetBook book;
    QList<int> order;
    int selected = 0;
    int followed = 0;
    bool armed = false;
    int shownPage = 0;
    QVector<QPushButton *> buttons;
    QPushButton *previous = nullptr;
    QPushButton *next = nullptr;
    QLabel *pageLabel = nullptr;
    QPushButton *storeToggle = nullptr;
    QLabel *speedLabel = nullptr;
    QSlider *speedSlider = nullptr;
    QPointer<QWidget> openDialog;
};
