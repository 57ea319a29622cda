#include "controldescriptions.h"

#include "logcategories.h"

#include <QWidget>

namespace {

struct ControlDescription
{
    const char *objectName;
    const char *name;
    const char *description;
    const char *key; // nullptr: no key drives it
};

constexpr ControlDescription descriptions[] = {
    {"verticalSliderZoom", "Zoom rate",
     "Zooms while dragged: up in, down out, faster further from the middle; back to rest when "
     "released",
     "Page Up / Page Down (hold); with Ctrl held they step the rate"},
    {"verticalSliderFocus", "Focus rate",
     "Focuses while dragged: up far, down near, faster further from the middle; back to rest when "
     "released",
     "Alt+Page Up / Alt+Page Down (hold)"},
    {"pushButtonFocusAuto", "Focus auto", "Switches the camera to automatic focus", "Home"},
    {"pushButtonFocusTrigger", "Focus one-push", "Focuses once, then holds the focus", "End"},
    {"pushButtonFocusManual", "Focus manual", "Switches the camera to manual focus", nullptr},
    {"verticalSliderBrightness", "Brightness rate",
     "Brightens while dragged up, darkens while dragged down", nullptr},
    {"pushButtonBrightnessAuto", "Brightness auto", "Resets the exposure compensation",
     "Shift+Home"},
    {"pushButtonBrightnessUp", "Brighter (hold)", "Raises the exposure compensation while held",
     "Shift+Page Up (hold)"},
    {"pushButtonBrightnessDown", "Darker (hold)", "Lowers the exposure compensation while held",
     "Shift+Page Down (hold)"},
    {"pushButtonBrightnessWDR", "Wide dynamic range", "Switches wide dynamic range on and off",
     nullptr},
    {"pushButtonColorAuto", "White balance auto", "Switches to automatic white balance", nullptr},
    {"pushButtonColor2700K", "White balance 2700 K", "Sets the white balance for 2700 kelvin",
     nullptr},
    {"pushButtonColor3200K", "White balance 3200 K", "Sets the white balance for 3200 kelvin",
     nullptr},
    {"pushButtonColor5800K", "White balance 5800 K", "Sets the white balance for 5800 kelvin",
     nullptr},
    {"verticalSliderLED", "Lamp rate",
     "Brightens the lamp while dragged up, dims it while dragged down", nullptr},
    {"pushButtonLEDUp", "Lamp up (hold)", "Brightens the lamp while held", "+ (hold)"},
    {"pushButtonLEDDown", "Lamp down (hold)", "Dims the lamp while held", "- (hold)"},
    {"pushButtonLEDOff", "Lamp off", "Switches the lamp off", "0"},
    {"pushButtonLogo", "Veltrane", "The maker's logo", nullptr},
    {"lineEditActiIP", "Encoder address", "The encoder's address, with :port if not 80",
     "Tab moves to the user name; Return connects; Esc gives the keys to the panels"},
    {"lineEditActiUser", "Encoder user", "The user name the encoder expects",
     "Tab moves to the password; Return connects; Esc gives the keys to the panels"},
    {"lineEditActiPassword", "Encoder password", "The encoder user's password",
     "Tab moves to Connect; Return connects; Esc gives the keys to the panels"},
    {"pushButtonActiConnect", "Connect to the encoder",
     "Reaches the camera through the encoder at the address above", "Space, after Tab"},
    {"lineEditViscaIpAddress", "Network camera address",
     "The network camera's address, with :port if not the protocol's own",
     "Return connects; Esc gives the keys to the panels"},
    {"comboBoxViscaIpProtocol", "Network camera protocol", "UDP or TCP to the network camera",
     "Return connects; Esc gives the keys to the panels"},
    {"pushButtonViscaIpConnect", "Connect to the network camera",
     "Reaches the network camera at the address above", nullptr},
};

// The encoder fields and their button, in Tab order.
constexpr const char *encoderTabChain[]
    = {"lineEditActiIP", "lineEditActiUser", "lineEditActiPassword", "pushButtonActiConnect"};

} // namespace

void describeControls(QWidget *window)
{
    for (const ControlDescription &control : descriptions) {
        auto *widget = window->findChild<QWidget *>(QLatin1String(control.objectName));
        if (!widget) {
            qCWarning(lcApp) << "No control to describe:" << control.objectName;
            continue;
        }
        widget->setAccessibleName(QString::fromUtf8(control.name));
        widget->setAccessibleDescription(QString::fromUtf8(control.description));
        QString tip = QString::fromUtf8(control.description);
        if (control.key)
            tip += QStringLiteral("\nKey: ") + QString::fromUtf8(control.key);
        widget->setToolTip(tip);
    }

    QWidget *previous = nullptr;
    for (const char *objectName : encoderTabChain) {
        auto *widget = window->findChild<QWidget *>(QLatin1String(objectName));
        if (!widget)
            continue;
        widget->setFocusPolicy(Qt::StrongFocus);
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}
