// tarndeck-sim: a simulated VISCA camera and lamp behind a simulated ACTi
// encoder on a loopback port, and optionally on a serial line, with a window
// that shows what the camera would see.
//
// Standard output carries lines for programs that drive the simulator:
//   tarndeck-sim: encoder at 127.0.0.1:PORT
//   tarndeck-sim: serial at /dev/pts/N          (with --serial or --pty)
//   tarndeck-sim: panel setting serialPorts=/dev/pts/N ...   (with --pty)
//   tarndeck-sim: visca udp at 127.0.0.1:PORT   (with --visca-udp)
//   tarndeck-sim: visca tcp at 127.0.0.1:PORT   (with --visca-tcp)
//   tarndeck-sim: ready
//   state zoom=... focus=... ...                after every decoded packet
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

} // namespace

int main(int argc, char *argv[])
{
    // Help and version need no window either.
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"--headless", "--help", "-h", "-?", "--help-all"})
            headless = headless || qstrcmp(argv[i], option) == 0;
    }
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    const std::unique_ptr<QCoreApplication> app(headless ? new QCoreApplication(argc, argv)
                                                         : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("tarndeck-sim"));
    quitOnSignals(app.get());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated VISCA camera and lamp behind a simulated ACTi encoder."));
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
        QStringLiteral("Also read VISCA bytes from this serial device (9600 8N1)."),
        QStringLiteral("DEVICE"));
    const QCommandLineOption pty(QStringLiteral("pty"),
                                 QStringLiteral("Also read VISCA bytes from a new pseudo-terminal; "
                                                "prints the serialPorts line that lists it in "
                                                "the panel's Connect menu."));
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
    parser.addOptions({listen, user, password, serial, pty, viscaUdp, viscaTcp, viscaDrop,
                       viscaLate, viscaMute, noWindow});
    parser.process(*app);

    QHostAddress address;
    quint16 port = 0;
    QString error;
    if (!parseListen(QStringLiteral("listen"), parser.value(listen), &address, &port, &error))
        return fail(error);
    if (parser.isSet(serial) && parser.isSet(pty))
        return fail(QStringLiteral("--serial and --pty exclude each other"));

    Simulator sim;
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
        const bool listening = udp ? sim.network().listenUdp(networkAddress, networkPort)
                                   : sim.network().listenTcp(networkAddress, networkPort);
        if (!listening)
            return fail(QStringLiteral("cannot listen on %1").arg(parser.value(*option)));
        say(QStringLiteral("tarndeck-sim: visca %1 at %2")
                .arg(udp ? QStringLiteral("udp") : QStringLiteral("tcp"),
                     udp ? sim.network().udpAuthority() : sim.network().tcpAuthority()));
    }
    ViscaIpFront::Faults faults;
    faults.dropEvery = parser.value(viscaDrop).toInt();
    faults.answerDelayMs = parser.value(viscaLate).toInt();
    faults.mute = parser.isSet(viscaMute);
    sim.network().setFaults(faults);

    QObject::connect(&sim, &Simulator::packetDecoded, [](const ViscaModel::Packet &packet) {
        say(QStringLiteral("state ") + ViscaModel::stateText(packet.state));
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
        window = std::make_unique<SimWindow>(&sim, links);
        window->show();
    }
    say(QStringLiteral("tarndeck-sim: ready"));
    return app->exec();
}
