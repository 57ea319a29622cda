// tarndeck-sim: simulated VISCA cameras and a lamp behind a simulated ACTi
// encoder on a loopback port, optionally on a serial line and as network
// cameras, with a window that shows what each camera would see.
//
// Standard output carries lines for programs that drive the simulator:
//   tarndeck-sim: encoder at 127.0.0.1:PORT
//   tarndeck-sim: serial at /dev/pts/N          (with --serial or --pty)
//   tarndeck-sim: panel setting serialPorts=/dev/pts/N ...   (with --pty)
//   tarndeck-sim: serial line: cameras at 1..N, lamp at A (or: no lamp)
//   tarndeck-sim: visca udp at 127.0.0.1:PORT   (with --visca-udp; camera 1)
//   tarndeck-sim: visca tcp at 127.0.0.1:PORT   (with --visca-tcp; camera 1)
//   tarndeck-sim: network camera K (camera C) udp at 127.0.0.1:PORT   (each of them)
//   tarndeck-sim: ready
//   state zoom=... focus=... ... camera=C       after every decoded packet
// The readable log (one line per packet) goes to standard error.
#include "appicon.h"
#include "simulator.h"
#include "simwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

int fail(const QString &message)
{
    std::fputs(qPrintable(QStringLiteral("tarndeck-sim: ") + message + QLatin1Char('\n')), stderr);
    return 1;
}

// "127.0.0.1:8080", "[::1]:8080", "localhost:8080", "127.0.0.1" (a free
// port). Loopback addresses only; option names the option in the error.
bool parseListen(const QString &option, const QString &text, QHostAddress *address, quint16 *port,
                 QString *error)
{
    QString host = text;
    QString portText;
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        host = text.mid(1, close - 1);
        if (close > 0 && colon > close)
            portText = text.mid(colon + 1);
    } else if (colon >= 0 && text.indexOf(QLatin1Char(':')) == colon) {
        host = text.left(colon);
        portText = text.mid(colon + 1);
    }
    *address = host == QLatin1String("localhost") ? QHostAddress(QHostAddress::LocalHost)
                                                  : QHostAddress(host);
    if (address->isNull() || !address->isLoopback()) {
        *error = QStringLiteral("--%1 takes a loopback address (127.0.0.1, ::1), not '%2'")
                     .arg(option, text);
        return false;
    }
    bool ok = true;
    const uint number = portText.isEmpty() ? 0 : portText.toUInt(&ok);
    if (!ok || number > 65535) {
        *error = QStringLiteral("--%1: no port '%2'").arg(option, portText);
        return false;
    }
    *port = quint16(number);
    return true;
}

// SIGTERM and SIGINT end the event loop, so the program exits as after a
// normal close: the handler only writes a byte that the loop then reads.
int quitSignalPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(quitSignalPipe[1], &byte, 1);
}

void quitOnSignals(QCoreApplication *app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, quitSignalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(quitSignalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, &QCoreApplication::quit);
    struct sigaction action
    {
    };
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

// "3" or "none" (0); -1 when not given.
bool parseLampAddress(const QString &text, int *address, QString *error)
{
    bool ok = false;
    *address = text == QLatin1String("none") ? 0 : text.toInt(&ok);
    if (text == QLatin1String("none") || (ok && *address > 0))
        return true;
    *error = QStringLiteral("--lamp-address takes 2..7 or none, not '%1'").arg(text);
    return false;
}

// A whole number for an option, or a message that names the option.
bool parseCount(const QString &option, const QString &text, int *value, QString *error)
{
    bool ok = false;
    *value = text.toInt(&ok);
    if (!ok)
        *error = QStringLiteral("--%1 takes a number, not '%2'").arg(option, text);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    // Help and version need no window either.
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"--headless", "--help", "-h", "-?", "--help-all"})
            headless = headless || qstrcmp(argv[i], option) == 0;
    }
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) // Qt 6 scales always
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    const std::unique_ptr<QCoreApplication> app(headless ? new QCoreApplication(argc, argv)
                                                         : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("tarndeck-sim"));
    quitOnSignals(app.get());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated VISCA cameras and a lamp behind a simulated ACTi encoder, on "
                       "a serial line and as network cameras. Every camera answers the same way "
                       "on every route: acknowledge and completion on one of two command "
                       "sockets, inquiries with their data, errors as a camera gives them."));
    parser.addHelpOption();
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Encoder address and port, loopback only (default 127.0.0.1 and a free "
                       "port, printed at start)."),
        QStringLiteral("ADDR:PORT"), QStringLiteral("127.0.0.1:0"));
    const QCommandLineOption user(QStringLiteral("user"),
                                  QStringLiteral("Encoder user name (default %1).")
                                      .arg(QLatin1String(EncoderFront::kDefaultUser)),
                                  QStringLiteral("USER"),
                                  QString::fromLatin1(EncoderFront::kDefaultUser));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("Encoder password (default %1).")
                                          .arg(QLatin1String(EncoderFront::kDefaultPassword)),
                                      QStringLiteral("PASSWORD"),
                                      QString::fromLatin1(EncoderFront::kDefaultPassword));
    const QCommandLineOption serial(
        QStringLiteral("serial"),
        QStringLiteral("Also read VISCA bytes from this serial device (9600 8N1) and answer on "
                       "it."),
        QStringLiteral("DEVICE"));
    const QCommandLineOption pty(QStringLiteral("pty"),
                                 QStringLiteral("Also read VISCA bytes from a new pseudo-terminal "
                                                "and answer on it; prints the serialPorts line "
                                                "that lists it in the panel's Connect menu."));
    const QCommandLineOption serialSilent(
        QStringLiteral("serial-silent"),
        QStringLiteral("Keep the serial line write-only: the cameras obey but send nothing back "
                       "(a line that wires the transmit direction alone)."));
    const QCommandLineOption serialCameras(
        QStringLiteral("serial-cameras"),
        QStringLiteral("Cameras on the serial line, 1..%1, at addresses 1..N in cable order "
                       "(default 1). The broadcast address set 88 30 0n FF numbers them from n.")
            .arg(ViscaModel::kMaxSerialCameras),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption lampAddress(
        QStringLiteral("lamp-address"),
        QStringLiteral("The lamp's address on the serial line, 2..7 or none (default 2 with one "
                       "serial camera, none with more). The lamp obeys pan-tilt drives on its "
                       "tilt axis and never answers; the address set leaves it alone."),
        QStringLiteral("A"));
    const QCommandLineOption ipCameras(
        QStringLiteral("ip-cameras"),
        QStringLiteral("Network cameras, 1..%1, on consecutive ports from the --visca-udp and "
                       "--visca-tcp ports (default 1). Network camera 1 is camera 1, the first "
                       "camera of the serial line; the others are cameras of their own.")
            .arg(ViscaModel::kMaxNetworkCameras),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption presets(
        QStringLiteral("presets"),
        QStringLiteral("Presets (memories) of each camera, 1..%1: one number for all, or a "
                       "list such as 16,64 for camera 1, 2, ... (the last one repeats; default "
                       "%2). Memory 7F, the camera default, is there besides.")
            .arg(ViscaModel::kMaxPresets)
            .arg(ViscaModel::kDefaultPresets),
        QStringLiteral("N[,N...]"), QString::number(ViscaModel::kDefaultPresets));
    const QCommandLineOption recallSpeedForm(
        QStringLiteral("recall-speed-form"),
        QStringLiteral("How each camera takes the recall speed of its presets: per-preset "
                       "(8x 01 7E 01 0B pp qq FF, one speed a preset) or global (8x 01 06 01 pp "
                       "FF, one speed for all); one for all cameras or a list for camera 1, 2, "
                       "... (the last one repeats; default per-preset). A camera refuses the "
                       "other form with a syntax error."),
        QStringLiteral("FORM[,FORM...]"), QStringLiteral("per-preset"));
    const QCommandLineOption announcePowerUp(
        QStringLiteral("announce-power-up"),
        QStringLiteral("The serial cameras announce their power-up at start (y0 38 FF on the "
                       "serial line: run the address set again), as a chain that is switched "
                       "on does. A serial camera that comes out of standby always does."));
    const QCommandLineOption wakeTime(
        QStringLiteral("wake-time"),
        QStringLiteral("How long a camera takes from standby to on, 0..%1 ms (default %2).")
            .arg(ViscaModel::kMaxWakeMs)
            .arg(ViscaModel::kDefaultWakeMs),
        QStringLiteral("MS"), QString::number(ViscaModel::kDefaultWakeMs));
    const QCommandLineOption noWindow(QStringLiteral("headless"),
                                      QStringLiteral("Run without a window."));
    const QCommandLineOption viscaUdp(
        QStringLiteral("visca-udp"),
        QStringLiteral("Also answer as a network camera, VISCA over UDP (port 0: a free one)."),
        QStringLiteral("ADDR:PORT"));
    const QCommandLineOption viscaTcp(
        QStringLiteral("visca-tcp"),
        QStringLiteral("Also answer as a network camera, VISCA packets on TCP."),
        QStringLiteral("ADDR:PORT"));
    const QCommandLineOption viscaDrop(
        QStringLiteral("visca-drop"),
        QStringLiteral("Test: lose every Nth UDP datagram, alternately a "
                       "request and its answers."),
        QStringLiteral("N"));
    const QCommandLineOption viscaLate(QStringLiteral("visca-late"),
                                       QStringLiteral("Test: answer the network camera's "
                                                      "packets MS milliseconds late."),
                                       QStringLiteral("MS"));
    const QCommandLineOption viscaMute(
        QStringLiteral("visca-mute"),
        QStringLiteral("Test: the network camera never answers (it still obeys)."));
    parser.addOptions({listen, user, password, serial, pty, serialSilent, serialCameras,
                       lampAddress, viscaUdp, viscaTcp, ipCameras, presets, recallSpeedForm,
                       wakeTime, announcePowerUp, viscaDrop, viscaLate, viscaMute, noWindow});
    parser.process(*app);

    QHostAddress address;
    quint16 port = 0;
    QString error;
    if (!parseListen(QStringLiteral("listen"), parser.value(listen), &address, &port, &error))
        return fail(error);
    if (parser.isSet(serial) && parser.isSet(pty))
        return fail(QStringLiteral("--serial and --pty exclude each other"));

    ViscaModel::Config config;
    if (!parseCount(QStringLiteral("serial-cameras"), parser.value(serialCameras),
                    &config.serialCameras, &error)
        || !parseCount(QStringLiteral("ip-cameras"), parser.value(ipCameras),
                       &config.networkCameras, &error))
        return fail(error);
    if (parser.isSet(lampAddress)
        && !parseLampAddress(parser.value(lampAddress), &config.lampAddress, &error))
        return fail(error);
    for (const QString &count : parser.value(presets).split(QLatin1Char(','))) {
        int value = 0;
        if (!parseCount(QStringLiteral("presets"), count, &value, &error))
            return fail(error);
        config.presets << value;
    }
    for (const QString &form : parser.value(recallSpeedForm).split(QLatin1Char(','))) {
        if (form != QLatin1String("per-preset") && form != QLatin1String("global"))
            return fail(QStringLiteral("--recall-speed-form takes per-preset or global (or a "
                                       "list of them), not '%1'")
                            .arg(form));
        config.recallForms << (form == QLatin1String("global") ? ViscaModel::RecallForm::Global
                                                               : ViscaModel::RecallForm::PerPreset);
    }
    int wakeMs = 0;
    if (!parseCount(QStringLiteral("wake-time"), parser.value(wakeTime), &wakeMs, &error))
        return fail(error);
    config.wakeMs = wakeMs;
    if (!config.problem().isEmpty())
        return fail(config.problem());
    if (config.networkCameras > 1 && !parser.isSet(viscaUdp) && !parser.isSet(viscaTcp))
        return fail(QStringLiteral("--ip-cameras needs --visca-udp or --visca-tcp"));
    if (parser.isSet(announcePowerUp)
        && (parser.isSet(serialSilent) || (!parser.isSet(serial) && !parser.isSet(pty))))
        return fail(QStringLiteral("--announce-power-up needs a serial line that answers: "
                                   "--serial or --pty, without --serial-silent"));

    Simulator sim(config);
    sim.setSerialAnswers(!parser.isSet(serialSilent));
    sim.encoder().setCredentials(parser.value(user), parser.value(password));
    if (parser.isSet(serial) && !sim.serial().openDevice(parser.value(serial), &error))
        return fail(error);
    if (parser.isSet(pty) && !sim.serial().openPty(&error))
        return fail(error);
    if (!sim.listen(address, port))
        return fail(QStringLiteral("cannot listen on %1").arg(parser.value(listen)));
    say(QStringLiteral("tarndeck-sim: encoder at ") + sim.encoderAuthority());
    if (sim.serial().isOpen())
        say(QStringLiteral("tarndeck-sim: serial at ") + sim.serial().path());
    if (parser.isSet(pty))
        say(QStringLiteral("tarndeck-sim: panel setting serialPorts=%1 (add it under [General] in "
                           "~/.config/Veltrane/tarnDeck.conf; the panel's \"Connect\" menu then "
                           "lists %1)")
                .arg(sim.serial().path()));
    for (const QCommandLineOption *option : {&viscaUdp, &viscaTcp}) {
        if (!parser.isSet(*option))
            continue;
        const QString name = option->names().constFirst();
        QHostAddress networkAddress;
        quint16 networkPort = 0;
        if (!parseListen(name, parser.value(*option), &networkAddress, &networkPort, &error))
            return fail(error);
        const bool udp = option == &viscaUdp;
        if (!sim.listenNetwork(udp ? ViscaIp::Protocol::Udp : ViscaIp::Protocol::Tcp,
                               networkAddress, networkPort, &error))
            return fail(QStringLiteral("--%1 %2: %3").arg(name, parser.value(*option), error));
        const QString protocol = udp ? QStringLiteral("udp") : QStringLiteral("tcp");
        const auto authority = [&sim, udp](int k) {
            return udp ? sim.network(k).udpAuthority() : sim.network(k).tcpAuthority();
        };
        say(QStringLiteral("tarndeck-sim: visca %1 at %2").arg(protocol, authority(1)));
        for (int k = 1; k <= sim.networkCameras(); ++k)
            say(QStringLiteral("tarndeck-sim: network camera %1 (camera %2) %3 at %4")
                    .arg(k)
                    .arg(k == 1 ? 1 : config.serialCameras + k - 1)
                    .arg(protocol, authority(k)));
    }
    const int lamp = config.lamp();
    say(QStringLiteral("tarndeck-sim: serial line: cameras at 1..%1, %2")
            .arg(config.serialCameras)
            .arg(lamp > 0 ? QStringLiteral("lamp at %1").arg(lamp) : QStringLiteral("no lamp")));
    ViscaIpFront::Faults faults;
    faults.dropEvery = parser.value(viscaDrop).toInt();
    faults.answerDelayMs = parser.value(viscaLate).toInt();
    faults.mute = parser.isSet(viscaMute);
    for (int k = 1; k <= sim.networkCameras(); ++k)
        sim.network(k).setFaults(faults);

    QObject::connect(&sim, &Simulator::packetDecoded, [](const ViscaModel::Packet &packet) {
        say(QStringLiteral("state ") + ViscaModel::stateText(packet.state)
            + QStringLiteral(" camera=") + QString::number(packet.state.number));
    });

    std::unique_ptr<SimWindow> window;
    if (!headless) {
        QStringList links{QStringLiteral("encoder http://%1  user %2")
                              .arg(sim.encoderAuthority(), sim.encoder().user())};
        if (sim.serial().isOpen())
            links << QStringLiteral("serial %1").arg(sim.serial().path());
        QApplication::setWindowIcon(applicationIcon());
        if (sim.network().udpListening())
            links << QStringLiteral("VISCA over UDP %1").arg(sim.network().udpAuthority());
        if (sim.network().tcpListening())
            links << QStringLiteral("VISCA over TCP %1").arg(sim.network().tcpAuthority());
        if (sim.networkCameras() > 1)
            links << QStringLiteral("network cameras 2..%1 on the next ports")
                         .arg(sim.networkCameras());
        window = std::make_unique<SimWindow>(&sim, links);
        window->show();
    }
    if (parser.isSet(announcePowerUp))
        sim.announcePowerUp();
    say(QStringLiteral("tarndeck-sim: ready"));
    return app->exec();
}
