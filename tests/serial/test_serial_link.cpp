#include "serial/serial_link.h"
#include "serial/command_text.h"

#include "pseudo_terminal.h"
#include "temp_app_folder.h"

#include <QElapsedTimer>
#include <QFutureSynchronizer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>

using namespace vantiro;
using vantiro::test::Pty;
using vantiro::test::TempAppFolder;
using vantiro::test::TerminalState;

Q_DECLARE_METATYPE(vantiro::Handshaking)
Q_DECLARE_METATYPE(vantiro::SendOutcome::Status)

namespace {

const QString lgPowerOn = QStringLiteral("6B 61 20 30 31 20 30 31 0D");
const QString missingDevice = QStringLiteral("/dev/vantiro-test-no-such-device");

// An application folder whose Ports.ini maps COM 1.. to the given ptys, and COM 9 to a device that
// does not exist.
void mapPorts(const TempAppFolder &folder, const QList<const Pty *> &ptys)
{
    QByteArray ini = "[COM_PORTS]\r\n";
    for (int i = 0; i < ptys.size(); ++i)
        ini += QByteArray::number(i + 1) + '=' + ptys[i]->devicePath().toLocal8Bit() + "\r\n";
    ini += "9=" + missingDevice.toLocal8Bit() + "\r\n";
    folder.writeFile(QStringLiteral("Ports.ini"), ini);
}

// A command longer than a pty holds: a send of it stays open until the test reads.
QString longCommand(int byteCount)
{
    QStringList tokens;
    for (int i = 0; i < byteCount; ++i)
        tokens.append(QString::number(0x41 + i % 26, 16).toUpper());
    return tokens.join(u' ');
}
constexpr int longCommandBytes = 64 * 1024;

// The line settings a pty shows while the link holds it open: the test sets an unusual speed, starts
// a send of a long command and waits for the link's speed to appear.
std::optional<TerminalState> stateWhileOpen(Pty &pty, const std::function<void()> &startSend)
{
    if (!pty.setBaudRate(50))
        return std::nullopt;
    startSend();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        const auto state = pty.terminalState();
        if (state && state->baudRate != 50) {
            QThread::msleep(10); // the flow-control flags follow the speed by a few system calls
            return pty.terminalState();
        }
        QThread::usleep(200);
    }
    return std::nullopt;
}

// Records what a send asks of its port, for what a pty cannot show (parity, data bits).
class RecordingTransport : public SerialTransport
{
public:
    explicit RecordingTransport(QList<PortConfig> &opened)
        : m_opened(opened)
    {
    }
    SendOutcome::Status open(const PortConfig &config) override
    {
        m_opened.append(config);
        return SendOutcome::Status::Sent;
    }
    bool write(char) override { return true; }
    SendOutcome::Status drain() override { return SendOutcome::Status::Sent; }
    void close() override { }
    QString errorText() const override { return {}; }

private:
    QList<PortConfig> &m_opened;
};

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void bytesArriveInOrder_data();
    void bytesArriveInOrder();
    void emptyCommandNeverOpensThePort();
    void lineSpeedAndFlowControlOnTheLine_data();
    void lineSpeedAndFlowControlOnTheLine();
    void settingsReachTheTransport_data();
    void settingsReachTheTransport();
    void portTextThatNamesNoPortKeepsThePrevious_data();
    void portTextThatNamesNoPortKeepsThePrevious();
    void missingDeviceReportedAndNextSendWorks();
    void busyPortReported();
    void backToBackSendsArriveWhole();
    void sendsKeepTheConfigurationOfTheirRequest();
    void flowControlHoldsBytesUntilReleased();
    void portHeldBackFailsAndFreesTheLink();
    void outcomeSignalledToListeners();
};

void TestSerialLink::bytesArriveInOrder_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<SendOutcome::Status>("status");

    QTest::newRow("LG power on") << lgPowerOn << QByteArray("ka 01 01\r") << SendOutcome::Status::Sent;
    QTest::newRow("unfilled placeholder skipped") << "6B 66 20 30 31 20 _ 0D" << QByteArray("kf 01 \r")
                                                  << SendOutcome::Status::Sent;
    QTest::newRow("binary power toggle") << "BE 05 25 08 F0" << QByteArray("\xBE\x05\x25\x08\xF0")
                                         << SendOutcome::Status::Sent;
    QTest::newRow("control bytes stay raw") << "0A 0D 11 13 00 7F" << QByteArray("\n\r\x11\x13\0\x7F", 6)
                                            << SendOutcome::Status::Sent;
    QTest::newRow("blanks only") << "   " << QByteArray() << SendOutcome::Status::NothingToSend;
}

void TestSerialLink::bytesArriveInOrder()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, bytes);
    QFETCH(SendOutcome::Status, status);

    TempAppFolder folder;
    Pty display;
    QVERIFY(display.isValid());
    mapPorts(folder, { &display });

    SerialLink link { PortMap(folder.path()) };
    QVERIFY(link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("1")));
    const SendOutcome outcome = link.sendCommandText(command);
    QCOMPARE(outcome.status, status);
    QCOMPARE(outcome.bytesWritten, bytes.size());
    QCOMPARE(outcome.device, display.devicePath());
    // Everything is on the line when the send reports back: nothing more arrives after.
    QCOMPARE(display.readUntilQuiet(50), bytes);
}

void TestSerialLink::emptyCommandNeverOpensThePort()
{
    TempAppFolder folder;
    mapPorts(folder, {});
    SerialLink link { PortMap(folder.path()) };
    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("9"));

    // The empty text does not even try the (missing) device; a text of blanks does.
    const SendOutcome empty = link.sendCommandText(QString());
    QCOMPARE(empty.status, SendOutcome::Status::NothingToSend);
    QVERIFY(!empty.failed());
    const SendOutcome blanks = link.sendCommandText(QStringLiteral("  "));
    QCOMPARE(blanks.status, SendOutcome::Status::NoSuchDevice);
}

void TestSerialLink::lineSpeedAndFlowControlOnTheLine_data()
{
    QTest::addColumn<QString>("lineSettings");
    QTest::addColumn<QString>("pendingCommandIndex");
    QTest::addColumn<quint32>("baud");
    QTest::addColumn<bool>("flowControl");

    QTest::newRow("quick command") << "9600,n,8,1" << "2" << 9600u << false;
    QTest::newRow("LG panel") << "9600,n,8,1" << "100" << 9600u << true;
    QTest::newRow("Hyundai panel") << "19200,n,8,1" << "99" << 19200u << false;
    QTest::newRow("OLEVIA speed") << "115200,n,8,1" << "8" << 115200u << false;
    QTest::newRow("LG panel, 38400") << "38400,n,8,1" << "100" << 38400u << true;
    QTest::newRow("custom speed") << "250000,n,8,1" << "0" << 250000u << false;
}

void TestSerialLink::lineSpeedAndFlowControlOnTheLine()
{
    QFETCH(QString, lineSettings);
    QFETCH(QString, pendingCommandIndex);
    QFETCH(quint32, baud);
    QFETCH(bool, flowControl);

    TempAppFolder folder;
    Pty display;
    mapPorts(folder, { &display });
    SerialLink link { PortMap(folder.path()) };
    QVERIFY(link.configurePort(lineSettings, QStringLiteral("1"), handshakingForIndex(pendingCommandIndex)));

    const QString command = longCommand(longCommandBytes);
    QFuture<SendOutcome> send;
    const auto state = stateWhileOpen(display, [&] { send = link.startSend(command); });
    QVERIFY(state.has_value());
    QCOMPARE(state->baudRate, baud);
    QCOMPARE(state->rtsCts, flowControl);
    QCOMPARE(state->xonXoff, flowControl);
    QVERIFY(!send.isFinished());

    QCOMPARE(display.read(longCommandBytes), parseCommandText(command));
    QCOMPARE(send.result().status, SendOutcome::Status::Sent);
    QCOMPARE(send.result().bytesWritten, longCommandBytes);
}

void TestSerialLink::settingsReachTheTransport_data()
{
    QTest::addColumn<QString>("lineSettings");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("inForce"); // the settings the next send uses

    // The link starts at 9600,n,8,1 and is first set to 19200,e,7,2.
    QTest::newRow("accepted") << "38400,o,8,1" << true << "38400,o,8,1";
    QTest::newRow("mark parity, 5 bits") << "9600,m,5,2" << true << "9600,m,5,2";
    QTest::newRow("custom speed") << "31250,n,8,1" << true << "31250,n,8,1";
    QTest::newRow("parity unknown keeps previous") << "9600,x,8,1" << false << "19200,e,7,2";
    QTest::newRow("speed zero keeps previous") << "0,n,8,1" << false << "19200,e,7,2";
    QTest::newRow("9 data bits keep previous") << "9600,n,9,1" << false << "19200,e,7,2";
    QTest::newRow("missing field keeps previous") << "9600,n,8" << false << "19200,e,7,2";
    QTest::newRow("empty keeps previous") << "" << false << "19200,e,7,2";
    // termios has no 1.5 stop bits: the port cannot take the text.
    QTest::newRow("1.5 stop bits keep previous") << "9600,n,5,1.5" << false << "19200,e,7,2";
}

void TestSerialLink::settingsReachTheTransport()
{
    QFETCH(QString, lineSettings);
    QFETCH(bool, accepted);
    QFETCH(QString, inForce);

    TempAppFolder folder;
    QList<PortConfig> opened;
    SerialLink link(PortMap(folder.path()), [&] { return std::make_unique<RecordingTransport>(opened); });
    QVERIFY(link.configurePort(QStringLiteral("19200,e,7,2"), QStringLiteral("4")));
    QCOMPARE(link.configurePort(lineSettings, QStringLiteral("5"), Handshaking::RtsXonXoff), accepted);
    QCOMPARE(link.sendCommandText(lgPowerOn).status, SendOutcome::Status::Sent);

    QCOMPARE(opened.size(), 1);
    QCOMPARE(lineSettingsText(opened[0].settings), inForce);
    QCOMPARE(opened[0].handshaking, Handshaking::RtsXonXoff);
    QCOMPARE(opened[0].devicePath, QStringLiteral("/dev/ttyS4"));
}

void TestSerialLink::portTextThatNamesNoPortKeepsThePrevious_data()
{
    QTest::addColumn<QString>("portText");
    QTest::newRow("zero") << "0";
    QTest::newRow("empty") << "";
    QTest::newRow("negative") << "-2";
    QTest::newRow("not a number") << "two";
}

void TestSerialLink::portTextThatNamesNoPortKeepsThePrevious()
{
    QFETCH(QString, portText);
    TempAppFolder folder;
    Pty first, second;
    mapPorts(folder, { &first, &second });
    SerialLink link { PortMap(folder.path()) };

    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("2"));
    link.configurePort(QStringLiteral("9600,n,8,1"), portText);
    QCOMPARE(link.sendCommandText(lgPowerOn).status, SendOutcome::Status::Sent);
    QCOMPARE(second.read(9), QByteArray("ka 01 01\r"));
    QCOMPARE(first.readUntilQuiet(20), QByteArray());
}

void TestSerialLink::missingDeviceReportedAndNextSendWorks()
{
    TempAppFolder folder;
    Pty display;
    mapPorts(folder, { &display });
    SerialLink link { PortMap(folder.path()) };

    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("9"));
    const SendOutcome missing = link.sendCommandText(lgPowerOn);
    QCOMPARE(missing.status, SendOutcome::Status::NoSuchDevice);
    QCOMPARE(missing.text(), QStringLiteral("not sent: no such device"));
    QCOMPARE(missing.device, missingDevice);
    QCOMPARE(missing.bytesWritten, 0);

    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("1"));
    const SendOutcome next = link.sendCommandText(lgPowerOn);
    QCOMPARE(next.text(), QStringLiteral("sent"));
    QCOMPARE(display.read(9), QByteArray("ka 01 01\r"));
}

void TestSerialLink::busyPortReported()
{
    TempAppFolder folder;
    Pty display;
    mapPorts(folder, { &display });

    QSerialPort otherProgram(display.devicePath());
    QVERIFY(otherProgram.open(QIODevice::ReadWrite));

    SerialLink link { PortMap(folder.path()) };
    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("1"));
    QCOMPARE(link.sendCommandText(lgPowerOn).text(), QStringLiteral("not sent: busy"));

    otherProgram.close();
    QCOMPARE(link.sendCommandText(lgPowerOn).status, SendOutcome::Status::Sent);
    QCOMPARE(display.read(9), QByteArray("ka 01 01\r"));
}

void TestSerialLink::backToBackSendsArriveWhole()
{
    TempAppFolder folder;
    Pty display;
    mapPorts(folder, { &display });
    SerialLink link { PortMap(folder.path()) };
    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("1"));

    // A long command and a short one requested together; then one requested from inside the wait
    // for another, as a click during a send would.
    QString longCommand;
    for (int i = 0; i < 200; ++i)
        longCommand += QStringLiteral("%1 ").arg(0x41 + i % 26, 2, 16).toUpper();
    const QByteArray longBytes = parseCommandText(longCommand);

    QFuture<SendOutcome> first = link.startSend(longCommand);
    QFuture<SendOutcome> second = link.startSend(lgPowerOn);
    QTimer::singleShot(0, &link, [&] { link.startSend(QStringLiteral("6B 61 20 30 31 20 30 30 0D")); });
    QCOMPARE(link.sendCommandText(QStringLiteral("6A 75 20 30 31 20 30 31 0D")).status, SendOutcome::Status::Sent);
    QCOMPARE(first.result().bytesWritten, 200);
    QCOMPARE(second.result().status, SendOutcome::Status::Sent);

    const QByteArray expected = longBytes + "ka 01 01\r" + "ju 01 01\r" + "ka 01 00\r";
    QCOMPARE(display.read(expected.size()), expected);
}

void TestSerialLink::sendsKeepTheConfigurationOfTheirRequest()
{
    TempAppFolder folder;
    Pty first, second;
    mapPorts(folder, { &first, &second });
    SerialLink link { PortMap(folder.path()) };

    QFutureSynchronizer<SendOutcome> sends;
    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("1"));
    sends.addFuture(link.startSend(QStringLiteral("41")));
    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("2"));
    sends.addFuture(link.startSend(QStringLiteral("42")));
    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("1"));
    sends.addFuture(link.startSend(QStringLiteral("43")));
    sends.waitForFinished();

    QCOMPARE(first.readUntilQuiet(50), QByteArray("AC"));
    QCOMPARE(second.readUntilQuiet(50), QByteArray("B"));
}

void TestSerialLink::flowControlHoldsBytesUntilReleased()
{
    TempAppFolder folder;
    Pty display;
    mapPorts(folder, { &display });
    SerialLink link { PortMap(folder.path()) };
    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("1"), Handshaking::RtsXonXoff);

    const QString command = longCommand(longCommandBytes);
    QFuture<SendOutcome> send;
    const auto state = stateWhileOpen(display, [&] { send = link.startSend(command); });
    QVERIFY(state && state->xonXoff);
    display.writeToProgram("\x13"); // XOFF: the display asks the program to wait
    const QByteArray beforeRelease = display.readUntilQuiet(150);
    QVERIFY(beforeRelease.size() < longCommandBytes);
    QVERIFY(!send.isFinished());

    display.writeToProgram("\x11"); // XON
    const QByteArray afterRelease = display.read(longCommandBytes - int(beforeRelease.size()));
    QCOMPARE(beforeRelease + afterRelease, parseCommandText(command));
    QCOMPARE(send.result().status, SendOutcome::Status::Sent);
}

void TestSerialLink::portHeldBackFailsAndFreesTheLink()
{
    TempAppFolder folder;
    Pty stuck, other;
    mapPorts(folder, { &stuck, &other });
    SerialLink link { PortMap(folder.path()) };
    // At this speed the link gives the held bytes well under two seconds before it gives up.
    link.configurePort(QStringLiteral("4000000,n,8,1"), QStringLiteral("1"), Handshaking::RtsXonXoff);

    QFuture<SendOutcome> send;
    QVERIFY(stateWhileOpen(stuck, [&] { send = link.startSend(longCommand(longCommandBytes)); }).has_value());
    stuck.writeToProgram("\x13"); // XOFF, never released
    QVERIFY(stuck.readUntilQuiet(50).size() < longCommandBytes);

    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("2"), Handshaking::None);
    const SendOutcome next = link.sendCommandText(lgPowerOn);
    QCOMPARE(send.result().status, SendOutcome::Status::WriteFailed);
    QCOMPARE(next.status, SendOutcome::Status::Sent);
    QCOMPARE(other.read(9), QByteArray("ka 01 01\r"));
}

void TestSerialLink::outcomeSignalledToListeners()
{
    TempAppFolder folder;
    Pty display;
    mapPorts(folder, { &display });
    SerialLink link { PortMap(folder.path()) };
    QSignalSpy finished(&link, &SerialLink::sendFinished);

    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("9"));
    link.startSend(lgPowerOn);
    link.configurePort(QStringLiteral("9600,n,8,1"), QStringLiteral("1"));
    link.startSend(lgPowerOn);
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(finished[0][0].value<SendOutcome>().status, SendOutcome::Status::NoSuchDevice);
    QCOMPARE(finished[1][0].value<SendOutcome>().status, SendOutcome::Status::Sent);
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "test_serial_link.moc"
