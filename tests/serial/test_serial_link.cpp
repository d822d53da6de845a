#include "pty_displays.h"
#include "serial/command_text.h"
#include "serial/serial_link.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPort>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace vantiro;
using namespace Qt::StringLiterals;
using vantiro::test::Pty;
using vantiro::test::PtyDisplays;
using vantiro::test::TempAppFolder;
using vantiro::test::TerminalState;
using Status = vantiro::SendOutcome::Status;

namespace {

const QString lgPowerOn = QStringLiteral("6B 61 20 30 31 20 30 31 0D");
constexpr int longCommandBytes = 64 * 1024; // more than a pty holds: its send stays open until the test reads

QString longCommand(int byteCount = longCommandBytes)
{
    QStringList tokens;
    for (int i = 0; i < byteCount; ++i)
        tokens.append(QString::number(0x41 + i % 26, 16).toUpper());
    return tokens.join(u' ');
}

using TransportMaker = std::unique_ptr<SerialTransport> (*)();

// Displays on ptys as COM 1.., COM 9 a device that does not exist, and a link to them through the
// transport of the test's global row.
struct Rig
{
    explicit Rig(int displayCount = 1)
        : displays(folder, PtyDisplays::range(1, displayCount), { 9 })
    { }
    static TransportMaker transportMaker()
    {
        QFETCH_GLOBAL(bool, termios);
        return termios ? makeTermiosTransport : makeSerialPortTransport;
    }
    void to(int com, Handshaking handshaking = Handshaking::None, const QString &settings = u"9600,n,8,1"_s)
    {
        QVERIFY(displays.isValid());
        QVERIFY(link.configurePort(settings, QString::number(com), handshaking));
    }
    SendOutcome send(const QString &command) { return link.sendCommandText(command); }
    Pty &pty(int com) { return displays.display(com); }

    TempAppFolder folder;
    PtyDisplays displays;
    SerialLink link { PortMap(folder.path()), [make = transportMaker()](const PortConfig &) {
                         return make();
                     } };
};

// The line settings a pty shows while the link holds it open: the test sets an unusual speed, starts
// a send of a long command and waits for the link's speed to appear.
std::optional<TerminalState> stateWhileOpen(Pty &pty, const std::function<void()> &startSend)
{
    if (!pty.setBaudRate(50))
        return std::nullopt;
    startSend();
    if (!QTest::qWaitFor([&] { return pty.terminalState().value_or(TerminalState { 50 }).baudRate != 50; }, 5000))
        return std::nullopt;
    QThread::msleep(10); // the flow-control flags follow the speed by a few system calls
    return pty.terminalState();
}

// How this process holds a device open: the access mode of each of its descriptors on it, sorted.
QList<int> openModes(const QString &devicePath)
{
    QList<int> modes;
    const QString canonical = QFileInfo(devicePath).canonicalFilePath();
    for (const QFileInfo &fd : QDir(u"/proc/self/fd"_s).entryInfoList(QDir::Files | QDir::System)) {
        if (QFileInfo(fd.symLinkTarget()).canonicalFilePath() != canonical)
            continue;
        QFile info(u"/proc/self/fdinfo/"_s + fd.fileName());
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : info.readAll().split('\n')) {
            if (line.startsWith("flags:"))
                modes.append(int(line.mid(6).trimmed().toInt(nullptr, 8) & O_ACCMODE));
        }
    }
    std::sort(modes.begin(), modes.end());
    return modes;
}

// Records what a send asks of its port, for what a pty cannot show (parity, data bits).
struct RecordingTransport : SerialTransport
{
    explicit RecordingTransport(QList<PortConfig> &opened)
        : opened(opened)
    { }
    Status open(const PortConfig &config) override
    {
        opened.append(config);
        return Status::Sent;
    }
    bool write(char) override { return true; }
    Status drain() override { return Status::Sent; }
    void close() override { }
    QString errorText() const override { return {}; }
    QList<PortConfig> &opened;
};

using Clock = std::chrono::steady_clock;

// The real transport, noting when its port was open and when the first byte was handed to it.
struct TimedTransport : SerialTransport
{
    TimedTransport(std::unique_ptr<SerialTransport> real, std::optional<Clock::time_point> &opened,
                   std::optional<Clock::time_point> &firstByte)
        : real(std::move(real))
        , opened(opened)
        , firstByte(firstByte)
    { }
    Status open(const PortConfig &config) override
    {
        const Status status = real->open(config);
        opened = Clock::now();
        return status;
    }
    bool write(char byte) override
    {
        if (!firstByte)
            firstByte = Clock::now();
        return real->write(byte);
    }
    Status drain() override { return real->drain(); }
    void close() override { real->close(); }
    QString errorText() const override { return real->errorText(); }
    std::unique_ptr<SerialTransport> real;
    std::optional<Clock::time_point> &opened;
    std::optional<Clock::time_point> &firstByte;
};

// Sets a pty's line as the link leaves it for a port it opens at `baudRate`, 8 data bits, no parity,
// so that a send asking only for another framing changes nothing but that.
bool makeRawLine(const Pty &pty, speed_t baudRate)
{
    const int fd = ::open(QFile::encodeName(pty.devicePath()).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return false;
    termios tio {};
    bool done = ::tcgetattr(fd, &tio) == 0;
    if (done) {
        ::cfmakeraw(&tio);
        tio.c_cflag = (tio.c_cflag & ~tcflag_t(HUPCL | CRTSCTS)) | CLOCAL | CREAD;
        done = ::cfsetspeed(&tio, baudRate) == 0 && ::tcsetattr(fd, TCSANOW, &tio) == 0;
    }
    ::close(fd);
    return done;
}

QString userName(uid_t uid)
{
    const passwd *user = ::getpwuid(uid);
    return user ? QString::fromLocal8Bit(user->pw_name) : QString();
}

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void bytesArriveWholeAndInOrder();
    void lineSpeedAndFlowControlOnTheLine_data();
    void lineSpeedAndFlowControlOnTheLine();
    void configurationReachesThePort_data();
    void configurationReachesThePort();
    void missingAndBusyDevicesReported();
    void firstByteWaitsForThePortToSettle();
    void virtualDisplayKeepsItsFraming_data();
    void virtualDisplayKeepsItsFraming();
    void sendsRunInRequestOrderWithoutInterleaving();
    void portHeldBackFailsAndFreesTheLink();
    void cancelledRunStopsAfterThePortBeingSent();
    void outputQueueWaitIsBounded_data();
    void outputQueueWaitIsBounded();
    void permissionHelpNamesTheDevicesGroup_data();
    void permissionHelpNamesTheDevicesGroup();
};

// Every test runs on both transports: termios on Unix, QSerialPort where there is no termios.
void TestSerialLink::initTestCase_data()
{
    QTest::addColumn<bool>("termios");
    QTest::newRow("termios") << true;
    QTest::newRow("QSerialPort") << false;
}

// Every byte of a command goes out as it is and in order, text, control and binary bytes alike.
void TestSerialLink::bytesArriveWholeAndInOrder()
{
    Rig rig;
    rig.to(1);
    const SendOutcome outcome = rig.send(u"6B 61 0A 0D _ 11 13 00 7F BE F0"_s);
    QCOMPARE(outcome.text(), u"sent"_s);
    QCOMPARE(outcome.bytesWritten, 10);
    QCOMPARE(outcome.device, rig.pty(1).devicePath());
    // Everything is on the line when the send reports back: nothing more arrives after.
    QCOMPARE(rig.pty(1).readUntilQuiet(50), QByteArray("ka\n\r\x11\x13\0\x7F\xBE\xF0", 10));
    QCOMPARE(rig.send(u"   "_s).status, Status::NothingToSend);
}

void TestSerialLink::lineSpeedAndFlowControlOnTheLine_data()
{
    QTest::addColumn<QString>("lineSettings");
    QTest::addColumn<Handshaking>("handshaking");

    QTest::newRow("9600, none") << "9600,n,8,1" << Handshaking::None;
    QTest::newRow("38400, RTS and XON/XOFF") << "38400,n,8,1" << Handshaking::RtsXonXoff;
    QTest::newRow("custom speed") << "250000,n,8,1" << Handshaking::None;
}

// While the port is open the line shows its speed and flow control; with flow control the display's
// XOFF holds the bytes back until its XON. The send is done only once every byte has left.
void TestSerialLink::lineSpeedAndFlowControlOnTheLine()
{
    QFETCH(QString, lineSettings);
    QFETCH(Handshaking, handshaking);

    Rig rig;
    rig.to(1, handshaking, lineSettings);
    Pty &display = rig.pty(1);
    const QString command = longCommand();
    QFuture<SendOutcome> send;
    const auto state = stateWhileOpen(display, [&] { send = rig.link.startSend(command); });
    QVERIFY(state.has_value());
    QCOMPARE(qint32(state->baudRate), parseLineSettings(lineSettings)->baudRate);
    const bool flowControl = handshaking == Handshaking::RtsXonXoff;
    QCOMPARE(state->rtsCts, flowControl);
    QCOMPARE(state->xonXoff, flowControl);
    // With XON/XOFF the port is open for reading too, so a UART's receiver takes in the display's
    // XOFF (a pty takes it in either way). The test's own descriptor is read-write.
    QCOMPARE(openModes(display.devicePath()), (QList<int> { flowControl ? O_RDWR : O_WRONLY, O_RDWR }));

    QByteArray received;
    if (flowControl) {
        display.writeToProgram("\x13"); // XOFF: the display asks the program to wait
        received = display.readUntilQuiet(150);
        QVERIFY(received.size() < longCommandBytes);
        display.writeToProgram("\x11"); // XON
    }
    QVERIFY(!send.isFinished());
    received += display.read(longCommandBytes - int(received.size()));
    QCOMPARE(received, parseCommandText(command));
    QCOMPARE(send.result().status, Status::Sent);
    QCOMPARE(send.result().bytesWritten, longCommandBytes);
    // The line is left as the link found it.
    QTRY_COMPARE(display.terminalState().value_or(TerminalState {}).baudRate, 50u);
}

void TestSerialLink::configurationReachesThePort_data()
{
    QTest::addColumn<QString>("lineSettings");
    QTest::addColumn<QString>("portText");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("inForce"); // the settings the next send uses
    QTest::addColumn<QString>("device"); // empty: nothing is opened, the send is "not a COM number"

    // The link is first set to 19200,e,7,2 on COM 4; settings a text cannot name leave the previous
    // in force, a port text that names no COM port sends nowhere (never to COM 4).
    QTest::newRow("accepted") << "38400,o,8,1"
                              << "5" << true << "38400,o,8,1"
                              << "/dev/ttyS4";
    QTest::newRow("mark parity, 5 bits, 2 stop") << "9600,m,5,2"
                                                 << "255" << true << "9600,m,5,2"
                                                 << "/dev/ttyS254";
    QTest::newRow("parity unknown") << "9600,x,8,1"
                                    << "6" << false << "19200,e,7,2"
                                    << "/dev/ttyS5";
    QTest::newRow("port 0") << "9600,n,8,1"
                            << "0" << true << ""
                            << "";
    QTest::newRow("missing field, empty port") << "9600,n,8"
                                               << "" << false << ""
                                               << "";
    // termios has no 1.5 stop bits: the port cannot take the text.
    QTest::newRow("1.5 stop bits, port not a number") << "9600,n,5,1.5"
                                                      << "two" << false << ""
                                                      << "";
    QTest::newRow("port above 255") << "9600,n,8,1"
                                    << "99999" << true << ""
                                    << "";
}

void TestSerialLink::configurationReachesThePort()
{
    QFETCH(QString, lineSettings);
    QFETCH(QString, portText);
    QFETCH(bool, accepted);
    QFETCH(QString, inForce);
    QFETCH(QString, device);

    TempAppFolder folder;
    QList<PortConfig> opened;
    SerialLink link(PortMap(folder.path()),
                    [&](const PortConfig &) { return std::make_unique<RecordingTransport>(opened); });
    QVERIFY(link.configurePort(QStringLiteral("19200,e,7,2"), QStringLiteral("4")));
    QCOMPARE(link.configurePort(lineSettings, portText, Handshaking::RtsXonXoff), accepted);
    const SendOutcome outcome = link.sendCommandText(lgPowerOn);
    if (device.isEmpty()) {
        QCOMPARE(outcome.text(), u"not sent: not a COM number"_s);
        QVERIFY(opened.isEmpty());
        return;
    }
    QCOMPARE(outcome.status, Status::Sent);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(lineSettingsText(opened[0].settings), inForce);
    QCOMPARE(opened[0].handshaking, Handshaking::RtsXonXoff);
    QCOMPARE(opened[0].devicePath, device);
}

void TestSerialLink::missingAndBusyDevicesReported()
{
    Rig rig;
    rig.to(9);
    const QString missingDevice = QString::fromLocal8Bit(PtyDisplays::missingDevice());
    const QString missingText = u"not sent: no such device (%1, from Ports.ini)"_s.arg(missingDevice);
    // The empty text does not even try the (missing) device; a text of blanks does.
    QCOMPARE(rig.send(QString()).status, Status::NothingToSend);
    QCOMPARE(rig.send(QStringLiteral("  ")).status, Status::NoSuchDevice);
    const SendOutcome missing = rig.send(lgPowerOn);
    QCOMPARE(missing.text(), missingText);
    QCOMPARE(missing.device, missingDevice);
    QCOMPARE(missing.bytesWritten, 0);

    // Another program opening the same missing name holds the serial lock file for that moment.
    QLockFile otherOpening(QStringLiteral("/var/lock/LCK..") + QFileInfo(missingDevice).fileName());
    QVERIFY(otherOpening.tryLock(0));
    QCOMPARE(rig.send(lgPowerOn).text(), missingText);
    otherOpening.unlock();

    // A COM number without an entry: its default device, and where to name another.
    rig.to(200);
    QCOMPARE(rig.send(lgPowerOn).text(),
             u"not sent: no such device (/dev/ttyS199; map COM numbers to devices in Ports.ini)"_s);

    // A name that is there but is no port (a folder, a file) is told apart from a missing one.
    rig.folder.writeFile(u"not-a-port"_s, "text");
    rig.displays.addDevice(7, rig.folder.filePath(u"not-a-port"_s).toLocal8Bit());
    rig.displays.addDevice(8, rig.folder.path().toLocal8Bit());
    for (const int com : { 7, 8 }) {
        rig.to(com);
        QCOMPARE(rig.send(lgPowerOn).text(), QStringLiteral("not sent: not a serial device"));
    }
    QCOMPARE(rig.folder.readFile(u"not-a-port"_s), QByteArray("text"));

    QSerialPort otherProgram(rig.pty(1).devicePath());
    QVERIFY(otherProgram.open(QIODevice::ReadWrite));
    rig.to(1);
    QCOMPARE(rig.send(lgPowerOn).text(), QStringLiteral("not sent: busy"));

    otherProgram.close();
    QFETCH_GLOBAL(bool, termios);
    if (termios) {
        // The advisory lock other serial tools take, which holds even for root.
        const int other = ::open(QFile::encodeName(rig.pty(1).devicePath()).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) == 0);
        QCOMPARE(rig.send(lgPowerOn).text(), QStringLiteral("not sent: busy"));
        ::close(other);
    }
    QCOMPARE(rig.send(lgPowerOn).text(), QStringLiteral("sent"));
    QCOMPARE(rig.pty(1).readUntilQuiet(50), QByteArray("ka 01 01\r"));
}

// A display gets 20 ms to settle after its port is open: the first byte leaves no earlier.
void TestSerialLink::firstByteWaitsForThePortToSettle()
{
    TempAppFolder folder;
    PtyDisplays displays(folder, { 1 });
    QVERIFY(displays.isValid());
    std::optional<Clock::time_point> opened;
    std::optional<Clock::time_point> firstByte;
    SerialLink link(PortMap(folder.path()), [&, make = Rig::transportMaker()](const PortConfig &) {
        return std::make_unique<TimedTransport>(make(), opened, firstByte);
    });
    QVERIFY(link.configurePort(u"9600,n,8,1"_s, u"1"_s));
    QCOMPARE(link.sendCommandText(lgPowerOn).text(), u"sent"_s);
    QCOMPARE(displays.display(1).read(9), QByteArray("ka 01 01\r"));
    QVERIFY(opened && firstByte);
    QVERIFY2(*firstByte - *opened >= std::chrono::milliseconds(SerialLink::settleTimeMs),
             qPrintable(QString::number(std::chrono::duration<double, std::milli>(*firstByte - *opened).count())));
}

void TestSerialLink::virtualDisplayKeepsItsFraming_data()
{
    QTest::addColumn<QString>("lineSettings");
    QTest::addColumn<QString>("outcome");

    const QString kept = u"sent (the virtual display keeps 8 data bits, no parity)"_s;
    // The pty is at 9600 already: only the parity would change, which the system refuses outright.
    QTest::newRow("parity alone") << "9600,e,8,1" << kept;
    QTest::newRow("7 data bits, parity, 2 stop bits") << "19200,o,7,2" << kept;
    QTest::newRow("stop bits are held") << "9600,n,8,2"
                                        << "sent";
}

// A pseudo-terminal carries no line and keeps 8 data bits without parity: a framing it cannot hold
// does not stop the send, and the outcome says what the virtual display kept.
void TestSerialLink::virtualDisplayKeepsItsFraming()
{
    QFETCH(QString, lineSettings);
    QFETCH(QString, outcome);

    Rig rig;
    QVERIFY(makeRawLine(rig.pty(1), B9600));
    rig.to(1, Handshaking::None, lineSettings);
    QCOMPARE(rig.send(lgPowerOn).text(), outcome);
    QCOMPARE(rig.pty(1).read(9), QByteArray("ka 01 01\r"));
}

// Sends requested together, to two ports, and one requested from inside the wait for another (as a
// click during a send would): each goes whole to the port in force when it was requested, in order.
void TestSerialLink::sendsRunInRequestOrderWithoutInterleaving()
{
    Rig rig(2);
    const QString longText = longCommand(200);
    rig.to(1);
    QFuture<SendOutcome> first = rig.link.startSend(longText);
    rig.to(2);
    QFuture<SendOutcome> second = rig.link.startSend(QStringLiteral("42"));
    rig.to(1);
    QFuture<SendOutcome> third = rig.link.startSend(lgPowerOn);
    QTimer::singleShot(0, &rig.link, [&] { rig.link.startSend(QStringLiteral("6B 61 20 30 31 20 30 30 0D")); });
    QCOMPARE(rig.send(QStringLiteral("6A 75 20 30 31 20 30 31 0D")).status, Status::Sent);
    QCOMPARE(first.result().bytesWritten, 200);
    QCOMPARE(second.result().status, Status::Sent);
    QCOMPARE(third.result().status, Status::Sent);

    const QByteArray expected = parseCommandText(longText) + "ka 01 01\r" + "ju 01 01\r" + "ka 01 00\r";
    QCOMPARE(rig.pty(1).read(int(expected.size())), expected);
    QCOMPARE(rig.pty(2).readUntilQuiet(50), QByteArray("B"));
}

void TestSerialLink::portHeldBackFailsAndFreesTheLink()
{
    Rig rig(2);
    // At this speed the link gives the held bytes well under two seconds before it gives up.
    rig.to(1, Handshaking::RtsXonXoff, QStringLiteral("4000000,n,8,1"));
    QFuture<SendOutcome> send;
    QVERIFY(stateWhileOpen(rig.pty(1), [&] { send = rig.link.startSend(longCommand()); }).has_value());
    rig.pty(1).writeToProgram("\x13"); // XOFF, never released
    QVERIFY(rig.pty(1).readUntilQuiet(50).size() < longCommandBytes);

    rig.to(2);
    const SendOutcome next = rig.send(lgPowerOn);
    QCOMPARE(send.result().text(), u"not sent: held by flow control"_s);
    QCOMPARE(next.status, Status::Sent);
    QCOMPARE(rig.pty(2).read(9), QByteArray("ka 01 01\r"));
}

// The application quitting in the middle of a run gives up on the ports not yet reached, rather than
// holding the closing window until every port has been tried.
void TestSerialLink::cancelledRunStopsAfterThePortBeingSent()
{
    Rig rig(2);
    QVERIFY(rig.displays.isValid());
    const QList<PortSend> sends { { u"1"_s, u"9600,n,8,1"_s, Handshaking::None, lgPowerOn },
                                  { u"2"_s, u"9600,n,8,1"_s, Handshaking::None, lgPowerOn } };
    QFuture<PortProgress> run = rig.link.startRun(sends);
    run.cancel();
    run.waitForFinished();
    QCOMPARE(rig.pty(2).readUntilQuiet(50), QByteArray());
    // The link goes on with the next request as usual.
    rig.to(2);
    QCOMPARE(rig.send(lgPowerOn).status, Status::Sent);
    QCOMPARE(rig.pty(2).read(9), QByteArray("ka 01 01\r"));
}

void TestSerialLink::outputQueueWaitIsBounded_data()
{
    QTest::addColumn<int>("emptiesAfter"); // polls until the queue is empty; -1: never (CTS stays low)
    QTest::addColumn<bool>("emptied");

    QTest::newRow("already empty") << 0 << true;
    QTest::newRow("empties while waiting") << 5 << true;
    QTest::newRow("held for good") << -1 << false;
}

// The system's queue and a UART's transmitter are polled, never waited on without an end: a
// queue that never empties gives up at the deadline. (A pty has no such queue to hold.)
void TestSerialLink::outputQueueWaitIsBounded()
{
    QFETCH(int, emptiesAfter);
    QFETCH(bool, emptied);

    int polls = 0;
    const auto queued = [&] {
        return emptiesAfter >= 0 && polls++ >= emptiesAfter ? 0 : 9;
    };
    QCOMPARE(waitForEmptyQueue(queued, QDeadlineTimer(200)), emptied);
}

void TestSerialLink::permissionHelpNamesTheDevicesGroup_data()
{
    QTest::addColumn<QByteArray>("group"); // empty: the device does not exist
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("help");

    // %1: the device, %2: its owner.
    QTest::newRow("dialout") << QByteArray("dialout") << 0660
                             << "%1: add the user to the group \"dialout\" that owns the device, then log in again";
    QTest::newRow("another group") << QByteArray("tty") << 0660
                                   << "%1: add the user to the group \"tty\" that owns the device, then log in again";
    QTest::newRow("no group access") << QByteArray("dialout") << 0600
                                     << "%1 belongs to %2 and only its owner may open it";
    QTest::newRow("gone") << QByteArray() << 0
                          << "%1: add the user to the group that owns the device, usually \"dialout\", then log in "
                             "again";
}

// A port the user may not open names the device and how to get access, with the group or the owner
// read from the device.
void TestSerialLink::permissionHelpNamesTheDevicesGroup()
{
    QFETCH(QByteArray, group);
    QFETCH(int, mode);
    QFETCH(QString, help);

    Pty pty;
    QVERIFY(pty.isValid());
    QString device = pty.devicePath();
    if (group.isEmpty()) {
        device = QString::fromLocal8Bit(PtyDisplays::missingDevice());
    } else {
        const ::group *owner = ::getgrnam(group.constData());
        if (!owner)
            QSKIP("the group does not exist here");
        const QByteArray path = QFile::encodeName(device);
        QVERIFY(::chown(path.constData(), uid_t(-1), owner->gr_gid) == 0);
        QVERIFY(::chmod(path.constData(), mode_t(mode)) == 0);
    }
    const SendOutcome outcome { Status::PermissionDenied, device, 0, {}, false };
    QCOMPARE(outcome.text(),
             u"not sent: permission denied ("_s + help.replace(u"%1"_s, device).replace(u"%2"_s, userName(::getuid()))
                 + u')');
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "test_serial_link.moc"
