// The operator's sentences for failures, straight from the outcome: what
// each network error, HTTP status and encoder answer reads like after
// "Not sent: <request> – " and in the encoder's connect tooltip.
#include "sendfailure.h"

#include <QNetworkReply>
#include <QtTest>

using namespace SendFailure;

class tst_SendFailure : public QObject
{
    Q_OBJECT

private slots:
    void encoderOutcomeReads_data();
    void encoderOutcomeReads();
    void routeWordings_data();
    void routeWordings();
    void serialOpenFailure_data();
    void serialOpenFailure();
};

void tst_SendFailure::encoderOutcomeReads_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("connecting");
    QTest::addColumn<QString>("sentence"); // in the status line
    QTest::addColumn<QString>("tooltip");  // after a failed connect
    QTest::addColumn<bool>("network");

    const auto row = [](const char *name, int error, const QByteArray &reply, bool connecting,
                        const char *sentence, const char *tooltip, bool network) {
        QTest::newRow(name) << error << reply << connecting << QString::fromUtf8(sentence)
                            << QString::fromUtf8(tooltip) << network;
    };
    row("time-out", QNetworkReply::TimeoutError, "", false,
        "Not sent: zoom,3 \u2013 encoder did not answer in 5 s", "no answer in 5 s", true);
    row("refused", QNetworkReply::ConnectionRefusedError, "", false,
        "Not sent: zoom,3 \u2013 encoder refused the connection", "connection refused", true);
    row("no route to host", QNetworkReply::UnknownNetworkError, "", false,
        "Not sent: zoom,3 \u2013 encoder unreachable", "host unreachable", true);
    row("closed without an answer", QNetworkReply::RemoteHostClosedError, "", false,
        "Not sent: zoom,3 \u2013 encoder closed the connection without an answer",
        "connection closed without an answer", true);
    row("HTTP 401", QNetworkReply::AuthenticationRequiredError, "", true,
        "Not sent: zoom,3 \u2013 encoder answered HTTP 401", "HTTP 401", false);
    row("HTTP 500", QNetworkReply::InternalServerError, "", false,
        "Not sent: zoom,3 \u2013 encoder answered HTTP 500", "HTTP 500", false);
    row("unlisted network error", QNetworkReply::ProxyNotFoundError, "", false,
        "Not sent: zoom,3 \u2013 encoder request failed (network error 103)",
        "request failed (network error 103)", true);
    row("ERROR, first line only", QNetworkReply::NoError,
        "\r\n  ERROR: serial port busy \r\nsecond line", false,
        "Not sent: zoom,3 \u2013 encoder answered ERROR: serial port busy",
        "encoder answered ERROR: serial port busy", false);
    row("error word after OK:", QNetworkReply::NoError, "OK: error", false,
        "Not sent: zoom,3 \u2013 encoder answered OK: error", "encoder answered OK: error", false);
    row("long ERROR cut", QNetworkReply::NoError, "ERROR: " + QByteArray(100, 'x'), false,
        qPrintable(QStringLiteral("Not sent: zoom,3 \u2013 encoder answered ERROR: ")
                   + QString(72, 'x') + QChar(0x2026)),
        qPrintable(QStringLiteral("encoder answered ERROR: ") + QString(72, 'x') + QChar(0x2026)),
        false);
    row("no OK:", QNetworkReply::NoError, "done", false,
        "Not sent: zoom,3 \u2013 encoder did not confirm: done", "encoder did not confirm: done",
        false);
    row("empty answer", QNetworkReply::NoError, "", false,
        "Not sent: zoom,3 \u2013 encoder did not confirm: empty answer",
        "encoder did not confirm: empty answer", false);
    row("connect: not system information", QNetworkReply::NoError, "<?xml version=\"1.0\"?><A",
        true, "Not sent: zoom,3 \u2013 the answer was not system information",
        "the answer was not system information", false);
}

void tst_SendFailure::encoderOutcomeReads()
{
    QFETCH(int, error);
    QFETCH(QByteArray, reply);
    QFETCH(bool, connecting);
    QFETCH(QString, sentence);
    QFETCH(QString, tooltip);
    QFETCH(bool, network);

    const Outcome outcome = encoderOutcome(error, reply, connecting);
    QCOMPARE(notSentText(QStringLiteral("zoom,3"), reason(outcome)), sentence);
    QCOMPARE(connectReason(outcome), tooltip);
    QCOMPARE(isNetworkFailure(outcome.kind), network);
    if (!connecting)
        QCOMPARE(encoderReason(error, reply), reason(outcome));
}

void tst_SendFailure::routeWordings_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("expected");
    QTest::newRow("serial write") << serialWriteFailed(QStringLiteral("Input/output error"))
                                  << "serial write failed: Input/output error";
    QTest::newRow("serial blocked") << serialBlocked() << "serial line blocked";
    QTest::newRow("camera buffer full")
        << reason({Kind::CameraBufferFull, QString()}) << "camera: command buffer full";
    QTest::newRow("camera silent")
        << reason({Kind::CameraNoAnswer, QString()}) << "camera did not answer";
    QTest::newRow("no address") << noAddressEntered() << "no address entered";
    QTest::newRow("not an address")
        << notAnAddress(QStringLiteral(" encoder.local ")) << "not an IP address: encoder.local";
    QTest::newRow("unusable address")
        << notAUsableAddress(QStringLiteral("0.0.0.0")) << "not a usable address: 0.0.0.0";
}

void tst_SendFailure::routeWordings()
{
    QFETCH(QString, reason);
    QFETCH(QString, expected);
    QCOMPARE(reason, expected);
}

void tst_SendFailure::serialOpenFailure_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString denied = QStringLiteral("Permission denied");
    QTest::newRow("permission: the dialout hint")
        << int(QSerialPort::PermissionError) << denied
        << "Could not open ttyUSB0: Permission denied (is this user in the dialout group?)";
    QTest::newRow("device gone: no hint") << int(QSerialPort::DeviceNotFoundError) << denied
                                          << "Could not open ttyUSB0: Permission denied";
    // The serial library reports a port another program has locked as a
    // permission error too; group membership would not help there.
    QTest::newRow("locked by another program")
        << int(QSerialPort::PermissionError) << "Permission error while locking the device"
        << "Could not open ttyUSB0: Permission error while locking the device (another program "
           "holds its lock)";
}

void tst_SendFailure::serialOpenFailure()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(
        serialOpenFailedText(QStringLiteral("ttyUSB0"), QSerialPort::SerialPortError(error), text),
        expected);
}

QTEST_MAIN(tst_SendFailure)
#include "tst_sendfailure.moc"
