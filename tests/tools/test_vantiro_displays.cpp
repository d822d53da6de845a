#include "common/ini_file.h"
#include "serial/port_map.h"
#include "serial/serial_link.h"
#include "temp_app_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <memory>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

using namespace vantiro;
using namespace Qt::StringLiterals;
using vantiro::test::TempAppFolder;

namespace {

constexpr int waitMs = 5000;

// vantiro-displays running in its own process, with the lines it has printed so far.
class DisplaysProcess
{
public:
    explicit DisplaysProcess(const QString &appFolder)
        : m_appFolder(appFolder)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] {
            m_partial += m_process.readAllStandardOutput();
            for (qsizetype end; (end = m_partial.indexOf('\n')) >= 0; m_partial.remove(0, end + 1))
                m_lines.append(QString::fromUtf8(m_partial.left(end)));
        });
    }
    ~DisplaysProcess()
    {
        m_process.kill();
        m_process.waitForFinished(waitMs);
    }

    // Starts with `count` displays from COM `firstCom` on and waits for the line each one announces.
    bool start(int count, int firstCom, const QStringList &more = {})
    {
        m_process.start(QStringLiteral(VANTIRO_DISPLAYS_PATH),
                        QStringList { u"--displays"_s, QString::number(count), u"--first-com"_s,
                                      QString::number(firstCom), u"--app-folder"_s, m_appFolder }
                            + more);
        return m_process.waitForStarted(waitMs) && waitForLines(count);
    }

    // Freezes the tool, so that what happens on the line meanwhile waits for it.
    bool pause()
    {
        const qint64 pid = m_process.processId();
        return ::kill(pid_t(pid), SIGSTOP) == 0
            && QTest::qWaitFor(
                   [pid] {
                       QFile stat(u"/proc/%1/stat"_s.arg(pid));
                       const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
                       return text.mid(text.lastIndexOf(')') + 2, 1) == "T";
                   },
                   waitMs);
    }
    bool resume() { return ::kill(pid_t(m_process.processId()), SIGCONT) == 0; }

    void killHard()
    {
        m_process.kill();
        m_process.waitForFinished(waitMs);
    }

    // Stops it with SIGTERM and tells whether it ended cleanly.
    bool stop()
    {
        m_process.terminate();
        return m_process.waitForFinished(waitMs) && m_process.exitStatus() == QProcess::NormalExit
            && m_process.exitCode() == 0;
    }

    // Gives up early when the tool has ended.
    bool waitForLines(qsizetype count)
    {
        return QTest::qWaitFor([&] { return m_lines.size() >= count || m_process.state() == QProcess::NotRunning; },
                               waitMs)
            && m_lines.size() >= count;
    }
    // The lines printed since the last call.
    QStringList takeLines() { return std::exchange(m_lines, {}); }

private:
    QString m_appFolder;
    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
};

} // namespace

class TestVantiroDisplays : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void decodesWhatVantiroSends();
    void bytesReadAfterThePortClosedKeepTheirSpeed();
    void mapsDisplaysAndRestoresPortsIni_data();
    void mapsDisplaysAndRestoresPortsIni();
    void pipeNamedPortsIniIsNotRead();
    void servesDisplaysOverRfc2217();
    void badClientsNeverHoldTheDisplay_data();
    void badClientsNeverHoldTheDisplay();
    void killedRunIsPutBackLater_data();
    void killedRunIsPutBackLater();

private:
    TempAppFolder m_folder;
    std::unique_ptr<DisplaysProcess> m_displays;
};

void TestVantiroDisplays::initTestCase()
{
    QVERIFY2(QFileInfo::exists(QStringLiteral(VANTIRO_DISPLAYS_PATH)), VANTIRO_DISPLAYS_PATH);
    m_displays = std::make_unique<DisplaysProcess>(m_folder.path());
    QVERIFY(m_displays->start(3, 1));
    QCOMPARE(m_displays->takeLines().size(), 3);
}

void TestVantiroDisplays::cleanupTestCase()
{
    QVERIFY(m_displays->stop());
}

// Real sends through Vantiro's serial link, by way of Ports.ini, each with its own line settings.
void TestVantiroDisplays::decodesWhatVantiroSends()
{
    SerialLink link { PortMap(m_folder.path()) };
    QVERIFY(link.configurePort(u"9600,n,8,1"_s, u"1"_s));
    QCOMPARE(link.sendCommandText(u"6B 64 20 30 31 20 30 31 0D"_s).text(), u"sent"_s);
    QCOMPARE(link.sendCommandText(u"6B 66 20 30 31 20 31 39 0D"_s).text(), u"sent"_s);
    QVERIFY(link.configurePort(u"115200,n,8,1"_s, u"2"_s));
    QCOMPARE(link.sendCommandText(u"BE 05 25 08 F0"_s).text(), u"sent"_s);

    QVERIFY(m_displays->waitForLines(3));
    const QStringList expected = { u"COM1 9600 LG \"kd 01 01\" screen mute on -> screen-mute=on"_s,
                                   u"COM1 9600 LG \"kf 01 19\" volume 25 -> volume=25"_s,
                                   u"COM2 115200 OLEVIA BE 05 25 08 F0 power toggle -> power=on"_s };
    QCOMPARE(m_displays->takeLines(), expected);
}

// A port is closed, and its old settings put back, right after its last byte: when the tool falls
// behind, it reads the bytes only after that, and must still show the speed they were sent at.
void TestVantiroDisplays::bytesReadAfterThePortClosedKeepTheirSpeed()
{
    const QString device = PortMap(m_folder.path()).devicePath(3);
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY);
    termios original {};
    QVERIFY(fd >= 0 && ::tcgetattr(fd, &original) == 0);
    termios fast = original;
    QVERIFY(::cfsetspeed(&fast, B115200) == 0 && ::tcsetattr(fd, TCSANOW, &fast) == 0);

    // Once this line is out, the tool knows the new speed.
    QCOMPARE(::write(fd, "ka 01 01\r", 9), 9);
    QVERIFY(m_displays->waitForLines(1));
    QVERIFY(m_displays->pause());
    QCOMPARE(::write(fd, "kd 01 01\r", 9), 9);
    ::tcdrain(fd);
    ::tcsetattr(fd, TCSANOW, &original);
    ::close(fd);
    QVERIFY(m_displays->resume());

    QVERIFY(m_displays->waitForLines(2));
    const QStringList expected = { u"COM3 115200 LG \"ka 01 01\" power on -> power=on"_s,
                                   u"COM3 115200 LG \"kd 01 01\" screen mute on -> screen-mute=on"_s };
    QCOMPARE(m_displays->takeLines(), expected);
}

// A Ports.ini of the user's keeps its other entries while the displays run and comes back byte for
// byte when they stop; one the tool created goes again.
void TestVantiroDisplays::mapsDisplaysAndRestoresPortsIni_data()
{
    QTest::addColumn<QByteArray>("original"); // empty: there is none
    QTest::newRow("the user's") << QByteArray("; adapters\r\n[COM_PORTS]\r\n1=/dev/ttyUSB7\r\n3=/dev/ttyUSB9\r\n"
                                              "[OTHER]\r\nkey=value\r\n");
    QTest::newRow("none") << QByteArray();
}

void TestVantiroDisplays::mapsDisplaysAndRestoresPortsIni()
{
    QFETCH(QByteArray, original);
    TempAppFolder folder;
    if (!original.isEmpty())
        folder.writeFile(PortMap::fileName(), original);

    DisplaysProcess displays(folder.path());
    QVERIFY(displays.start(2, 3));
    const PortMap portMap(folder.path());
    const QStringList announced = { u"COM3 -> "_s + portMap.devicePath(3), u"COM4 -> "_s + portMap.devicePath(4) };
    QCOMPARE(displays.takeLines(), announced);
    for (const int com : { 3, 4 })
        QVERIFY2(portMap.devicePath(com).startsWith(u"/dev/"_s) && QFileInfo::exists(portMap.devicePath(com)),
                 qPrintable(portMap.devicePath(com)));
    if (!original.isEmpty()) {
        QCOMPARE(portMap.devicePath(1), u"/dev/ttyUSB7"_s);
        QCOMPARE(IniFile::load(folder.filePath(PortMap::fileName())).value(u"OTHER"_s, u"key"_s), u"value"_s);
    }

    QVERIFY(displays.stop());
    QCOMPARE(folder.readFile(PortMap::fileName()), original);
    QCOMPARE(QFileInfo::exists(folder.filePath(PortMap::fileName())), !original.isEmpty());
}

// A run killed with SIGKILL cannot put Ports.ini back itself: the operator's file waits beside it
// and the next run puts it back before it starts, or --restore does and ends.
void TestVantiroDisplays::killedRunIsPutBackLater_data()
{
    QTest::addColumn<QByteArray>("original"); // empty: there is none
    QTest::addColumn<bool>("byNextRun");
    const QByteArray users("[COM_PORTS]\r\n1=/dev/ttyUSB7\r\n");
    QTest::newRow("the user's, by --restore") << users << false;
    QTest::newRow("the user's, by the next run") << users << true;
    QTest::newRow("none, by --restore") << QByteArray() << false;
}

void TestVantiroDisplays::killedRunIsPutBackLater()
{
    QFETCH(QByteArray, original);
    QFETCH(bool, byNextRun);
    TempAppFolder folder;
    if (!original.isEmpty())
        folder.writeFile(PortMap::fileName(), original);

    {
        DisplaysProcess killed(folder.path());
        QVERIFY(killed.start(1, 5));
        killed.killHard();
    }
    QVERIFY(folder.readFile(PortMap::fileName()).contains("5=/dev/"));

    if (byNextRun) {
        DisplaysProcess next(folder.path());
        QVERIFY(next.start(1, 6));
        const QByteArray during = folder.readFile(PortMap::fileName());
        QVERIFY2(!during.contains("5=") && during.contains("1=/dev/ttyUSB7"), during.constData());
        QVERIFY(next.stop());
    } else {
        QCOMPARE(QProcess::execute(QStringLiteral(VANTIRO_DISPLAYS_PATH),
                                   { u"--restore"_s, u"--app-folder"_s, folder.path() }),
                 0);
    }
    QCOMPARE(folder.readFile(PortMap::fileName()), original);
    QCOMPARE(QFileInfo::exists(folder.filePath(PortMap::fileName())), !original.isEmpty());
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
             original.isEmpty() ? QStringList() : QStringList { PortMap::fileName() });
}

// A pipe named Ports.ini would hold every send until something wrote to it: only regular files are
// read. Should a read begin all the same, the pipe is fed a device after a while, which then shows.
void TestVantiroDisplays::pipeNamedPortsIniIsNotRead()
{
    TempAppFolder folder;
    const QByteArray pipe = QFile::encodeName(folder.filePath(PortMap::fileName()));
    QVERIFY(::mkfifo(pipe.constData(), 0600) == 0);
    std::promise<void> answered;
    std::thread feeder([&pipe, answered = answered.get_future()] {
        answered.wait_for(std::chrono::seconds(2));
        const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            return; // nobody reads it
        const QByteArray ini = "[COM_PORTS]\r\n1=/dev/from-the-pipe\r\n";
        [[maybe_unused]] const auto written = ::write(fd, ini.constData(), size_t(ini.size()));
        ::close(fd);
    });
    const QString device = PortMap(folder.path()).devicePath(1);
    answered.set_value();
    feeder.join();
    QCOMPARE(device, PortMap::defaultDevicePath(1));
}

// With --listen the displays sit behind an RFC 2217 server of the tool's own: Vantiro's sends reach
// them through Ports.ini's rfc2217:// addresses with their line speed, 0xFF once, and Ports.ini goes
// back when the tool stops.
void TestVantiroDisplays::servesDisplaysOverRfc2217()
{
    TempAppFolder folder;
    DisplaysProcess displays(folder.path());
    QVERIFY(displays.start(2, 7, { u"--listen"_s, u"0"_s }));
    const PortMap portMap(folder.path());
    const QStringList announced = displays.takeLines();
    QCOMPARE(announced, (QStringList { u"COM7 -> "_s + portMap.devicePath(7), u"COM8 -> "_s + portMap.devicePath(8) }));
    QVERIFY2(portMap.devicePath(7).startsWith(u"rfc2217://127.0.0.1:"_s), qPrintable(portMap.devicePath(7)));

    SerialLink link { portMap };
    QVERIFY(link.configurePort(u"38400,n,8,1"_s, u"7"_s));
    QCOMPARE(link.sendCommandText(u"6B 61 20 30 31 20 30 31 0D"_s).text(), u"sent"_s);
    QVERIFY(link.configurePort(u"19200,e,7,2"_s, u"8"_s, Handshaking::RtsXonXoff));
    QCOMPARE(link.sendCommandText(u"01 FF 02"_s).text(), u"sent"_s);

    QVERIFY(displays.waitForLines(2));
    const QStringList expected
        = { u"COM7 38400 LG \"ka 01 01\" power on -> power=on"_s, u"COM8 19200 ? raw 01 FF 02"_s };
    QCOMPARE(displays.takeLines(), expected);
    QVERIFY(displays.stop());
    QVERIFY(!QFileInfo::exists(folder.filePath(PortMap::fileName())));
}

void TestVantiroDisplays::badClientsNeverHoldTheDisplay_data()
{
    QTest::addColumn<QByteArray>("said"); // what the first client sends once it is connected
    QTest::addColumn<bool>("givesUp"); // whether a second client comes while it is served, and gives up

    QTest::newRow("silent client, dropped when idle") << QByteArray() << false;
    QTest::newRow("subnegotiation that never ends, dropped at once")
        << QByteArray("\xFF\xFA\x2C\x01") + QByteArray(8 * 1024, '\x25') << false;
    QTest::newRow("a client gives up while another is served") << QByteArray() << true;
}

// Whatever a client does to a display behind --listen, the display is soon free again and takes
// Vantiro's next send.
void TestVantiroDisplays::badClientsNeverHoldTheDisplay()
{
    QFETCH(QByteArray, said);
    QFETCH(bool, givesUp);

    TempAppFolder folder;
    DisplaysProcess displays(folder.path());
    QVERIFY(displays.start(1, 9, { u"--listen"_s, u"0"_s }));
    displays.takeLines();
    const PortMap portMap(folder.path());
    const quint16 port = quint16(QUrl(portMap.devicePath(9)).port());

    QTcpSocket bad;
    bad.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(bad.waitForConnected(waitMs));
    bad.write(said);
    if (givesUp) {
        QTcpSocket waiting;
        waiting.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(waiting.waitForConnected(waitMs));
        waiting.abort();
        QTest::qWait(100);
        bad.abort();
    } else {
        // Dropped by the display, within its idle bound.
        QVERIFY(QTest::qWaitFor([&] { return bad.state() == QAbstractSocket::UnconnectedState; }, 10000));
    }

    SerialLink link { portMap };
    QVERIFY(link.configurePort(u"9600,n,8,1"_s, u"9"_s));
    QCOMPARE(link.sendCommandText(u"6B 61 20 30 31 20 30 31 0D"_s).text(), u"sent"_s);
    QVERIFY(displays.waitForLines(1));
    QCOMPARE(displays.takeLines(), QStringList { u"COM9 9600 LG \"ka 01 01\" power on -> power=on"_s });
}

QTEST_GUILESS_MAIN(TestVantiroDisplays)
#include "test_vantiro_displays.moc"
