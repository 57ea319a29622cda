#include "remotecommand.h"

#include <cmath>

namespace {

using Op = RemoteCommand::Op;

// Where a row's path is found: after /tarndeck/camera/N/ and
// /tarndeck/selected/, or after /tarndeck/.
enum class Scope { Camera, Program };
// What a row's arguments are.
enum class Shape { None, Rate, Switch, Fractions, Preset, TallyWord, CameraNumber };

struct Row
{
    Scope scope;
    const char *path;
    Op op;
    Shape shape;
};

const Row kAddressSpace[] = {
    {Scope::Camera, "zoom", Op::Zoom, Shape::Rate},
    {Scope::Camera, "focus", Op::Focus, Shape::Rate},
    {Scope::Camera, "focus/auto", Op::FocusAuto, Shape::Switch},
    {Scope::Camera, "pantilt", Op::PanTilt, Shape::Fractions},
    {Scope::Camera, "preset/recall", Op::RecallPreset, Shape::Preset},
    {Scope::Camera, "preset/store", Op::StorePreset, Shape::Preset},
    {Scope::Camera, "tally", Op::Tally, Shape::TallyWord},
    {Scope::Camera, "stop", Op::StopCamera, Shape::None},
    {Scope::Program, "select", Op::Select, Shape::CameraNumber},
    {Scope::Program, "select/next", Op::SelectNext, Shape::None},
    {Scope::Program, "select/previous", Op::SelectPrevious, Shape::None},
    {Scope::Program, "stop", Op::StopAll, Shape::None},
};

const QString kPrefix = QStringLiteral("/tarndeck/");
const QString kCamera = QStringLiteral("camera/");
const QString kSelected = QStringLiteral("selected/");

bool numberOf(const QVariant &arg, double *number)
{
    switch (arg.userType()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        *number = arg.toDouble();
        return std::isfinite(*number);
    default:
        return false;
    }
}

// A whole number in [low, high]: 3 and 3.0 are, 2.5 is not.
bool wholeIn(const QVariant &arg, int low, int high, int *out)
{
    double number = 0;
    if (!numberOf(arg, &number) || std::trunc(number) != number || number < low || number > high)
        return false;
    *out = int(number);
    return true;
}

bool readArguments(Shape shape, const QVariantList &args, RemoteCommand *command, QString *why)
{
    const int expected = shape == Shape::None ? 0
        : shape == Shape::Fractions           ? 2
        : shape == Shape::Switch              ? int(args.size() <= 1 ? args.size() : 1)
                                              : 1;
    if (args.size() != expected) {
        *why = QStringLiteral("takes %1 argument%2, not %3")
                   .arg(expected)
                   .arg(expected == 1 ? "" : "s")
                   .arg(args.size());
        return false;
    }
    double number = 0;
    switch (shape) {
    case Shape::None:
        return true;
    case Shape::Rate:
        // Rounded half away from zero, so that -2.5 and 2.5 mirror each other.
        if (numberOf(args.at(0), &number) && std::fabs(number) < RemoteCommand::maxRate + 0.5) {
            command->value = int(std::lround(number));
            return true;
        }
        *why = QStringLiteral("the rate must be a number from -8 to 8");
        return false;
    case Shape::Switch:
        if (args.isEmpty()) {
            command->on = true;
        } else if (args.at(0).userType() == QMetaType::Bool) {
            command->on = args.at(0).toBool();
        } else if (numberOf(args.at(0), &number)) {
            command->on = number != 0;
        } else {
            *why = QStringLiteral("takes 1 (auto) or 0 (manual)");
            return false;
        }
        return true;
    case Shape::Fractions: {
        double pan = 0;
        double tilt = 0;
        if (numberOf(args.at(0), &pan) && numberOf(args.at(1), &tilt) && std::fabs(pan) <= 1.0
            && std::fabs(tilt) <= 1.0) {
            command->pan = pan;
            command->tilt = tilt;
            return true;
        }
        *why = QStringLiteral("pan and tilt must be numbers from -1.0 to 1.0");
        return false;
    }
    case Shape::TallyWord: {
        const QString word = args.at(0).userType() == QMetaType::QString
            ? args.at(0).toString().toLower()
            : QString();
        if (word == QLatin1String("program"))
            command->tally = RemoteTally::Program;
        else if (word == QLatin1String("preview"))
            command->tally = RemoteTally::Preview;
        else if (word == QLatin1String("off"))
            command->tally = RemoteTally::Off;
        else {
            *why = QStringLiteral("the tally is program, preview or off");
            return false;
        }
        return true;
    }
    case Shape::Preset:
    case Shape::CameraNumber: {
        const bool preset = shape == Shape::Preset;
        const int most = preset ? RemoteCommand::maxPreset : RemoteCommand::maxCamera;
        if (wholeIn(args.at(0), 1, most, &command->value))
            return true;
        *why = QStringLiteral("the %1 must be a whole number from 1 to %2")
                   .arg(QLatin1String(preset ? "preset" : "camera"))
                   .arg(most);
        return false;
    }
    }
    return false;
}

} // namespace

RemoteAxis RemoteCommand::axis() const
{
    return op == Op::Zoom ? RemoteAxis::Zoom
        : op == Op::Focus ? RemoteAxis::Focus
                          : RemoteAxis::PanTilt;
}

bool parseRemoteCommand(const RemoteMessage &message, RemoteCommand *command, QString *why)
{
    const QString &address = message.address;
    RemoteCommand out;
    Scope scope = Scope::Program;
    QStringView path;
    if (address.startsWith(kPrefix + kCamera)) {
        const QStringView rest = QStringView(address).mid(kPrefix.size() + kCamera.size());
        const int slash = rest.indexOf(QLatin1Char('/'));
        const QStringView number = rest.left(slash);
        bool ok = false;
        out.camera = number.toString().toInt(&ok);
        // Digits only, no sign, no leading zero.
        if (slash < 0 || !ok || number.startsWith(QLatin1Char('0')) || number.startsWith('+')
            || out.camera < 1 || out.camera > RemoteCommand::maxCamera) {
            *why = QStringLiteral("no camera number from 1 to %1 in the address")
                       .arg(RemoteCommand::maxCamera);
            return false;
        }
        scope = Scope::Camera;
        path = rest.mid(slash + 1);
    } else if (address.startsWith(kPrefix + kSelected)) {
        scope = Scope::Camera;
        path = QStringView(address).mid(kPrefix.size() + kSelected.size());
    } else if (address.startsWith(kPrefix)) {
        path = QStringView(address).mid(kPrefix.size());
    } else {
        *why = QStringLiteral("not an address of tarnDeck (they start with /tarndeck/)");
        return false;
    }
    for (const Row &row : kAddressSpace) {
        if (row.scope != scope || path != QLatin1String(row.path))
            continue;
        out.op = row.op;
        if (!readArguments(row.shape, message.args, &out, why))
            return false;
        *command = out;
        return true;
    }
    *why = QStringLiteral("no such address");
    return false;
}
