#include "inventory/ini_file.h"
#include "serial/port_map.h"
#include "serial/serial_link.h"
#include "temp_app_folder.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <signal.h>
#include <termios.h>
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
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { takeOutput(); });
    }

    ~DisplaysProcess()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(waitMs);
    }

    // Starts with `displays` displays from COM `firstCom` on and waits for its one line per display.
    bool start(int displays, int firstCom)
    {
        m_process.start(QStringLiteral(VANTIRO_DISPLAYS_PATH),
                        { u"--displays"_s, QString::number(displays), u"--first-com"_s, QString::number(firstCom),
                          u"--app-folder"_s, m_appFolder });
        if (m_process.waitForStarted(waitMs) && waitForLines(displays))
            return true;
        qWarning("%s", m_process.readAllStandardError().constData());
        return false;
    }

    // Freezes the tool, so that what happens on the line meanwhile waits for it.
    bool pause()
    {
        const qint64 pid = m_process.processId();
        return ::kill(pid_t(pid), SIGSTOP) == 0 && QTest::qWaitFor([pid] { return isStopped(pid); }, waitMs);
    }

    bool resume() { return ::kill(pid_t(m_process.processId()), SIGCONT) == 0; }

    // Stops it with SIGTERM and tells whether it ended cleanly.
    bool stop()
    {
        m_process.terminate();
        return m_process.waitForFinished(waitMs) && m_process.exitStatus() == QProcess::NormalExit
            && m_process.exitCode() == 0;
    }

    bool waitForLines(qsizetype count)
    {
        // Gives up early when the tool has ended.
        return QTest::qWaitFor([&] { return m_lines.size() >= count || m_process.state() == QProcess::NotRunning; },
                               waitMs)
            && m_lines.size() >= count;
    }

    // The lines printed since the last call.
    QStringList takeLines() { return std::exchange(m_lines, {}); }

private:
    static bool isStopped(qint64 pid)
    {
        QFile stat(u"/proc/%1/stat"_s.arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = stat.readAll();
        return text.mid(text.lastIndexOf(')') + 2, 1) == "T";
    }

    void takeOutput()
    {
        m_partial += m_process.readAllStandardOutput();
        qsizetype end;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            m_lines.append(QString::fromUtf8(m_partial.left(end)));
            m_partial.remove(0, end + 1);
        }
    }

    QString m_appFolder;
    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
};

// "COM3 -> /dev/pts/7" for each announced display.
QMap<int, QString> announcedDevices(const QStringList &lines)
{
    static const QRegularExpression pattern(u"\\ACOM(\\d+) -> (/dev/\\S+)\\z"_s);
    QMap<int, QString> devices;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = pattern.match(line);
        if (match.hasMatch())
            devices.insert(match.captured(1).toInt(), match.captured(2));
    }
    return devices;
}

// The test's own end of a display's line, set to a speed and put back on closing, as a serial port
// is.
class RawPort
{
public:
    RawPort(const QString &device, speed_t speed)
        : m_fd(::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY))
    {
        if (m_fd < 0 || ::tcgetattr(m_fd, &m_original) != 0)
            return;
        termios changed = m_original;
        m_ready = ::cfsetspeed(&changed, speed) == 0 && ::tcsetattr(m_fd, TCSANOW, &changed) == 0;
    }
    ~RawPort() { close(); }

    bool isReady() const { return m_ready; }
    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    void close()
    {
        if (m_fd < 0)
            return;
        ::tcdrain(m_fd);
        ::tcsetattr(m_fd, TCSANOW, &m_original);
        ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    termios m_original {};
    bool m_ready = false;
};

} // namespace

class TestVantiroDisplays : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void decodesWhatVantiroSends_data();
    void decodesWhatVantiroSends();
    void bytesReadAfterThePortClosedKeepTheirSpeed();
    void mapsDisplaysAndRestoresPortsIni();
    void removesPortsIniItCreated();

private:
    TempAppFolder m_folder;
    std::unique_ptr<DisplaysProcess> m_displays;
};

void TestVantiroDisplays::initTestCase()
{
    QVERIFY2(QFileInfo::exists(QStringLiteral(VANTIRO_DISPLAYS_PATH)), VANTIRO_DISPLAYS_PATH);
    QVERIFY(m_folder.isValid());
    m_displays = std::make_unique<DisplaysProcess>(m_folder.path());
    QVERIFY(m_displays->start(4, 1));
    QCOMPARE(announcedDevices(m_displays->takeLines()).keys(), QList<int>({ 1, 2, 3, 4 }));
}

void TestVantiroDisplays::cleanupTestCase()
{
    if (m_displays)
        QVERIFY(m_displays->stop());
}

// Real sends through Vantiro's serial link, by way of Ports.ini, each with its own line settings.
void TestVantiroDisplays::decodesWhatVantiroSends_data()
{
    QTest::addColumn<QString>("lineSettings");
    QTest::addColumn<int>("comNumber");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("LG power on") << u"9600,n,8,1"_s << 2 << QStringList { u"6B 61 20 30 31 20 30 31 0D"_s }
                                 << QStringList { u"COM2 9600 LG \"ka 01 01\" power on -> power=on"_s };
    QTest::newRow("two commands back to back")
        << u"9600,n,8,1"_s << 1 << QStringList { u"6B 64 20 30 31 20 30 31 0D"_s, u"6B 66 20 30 31 20 31 39 0D"_s }
        << QStringList { u"COM1 9600 LG \"kd 01 01\" screen mute on -> screen-mute=on"_s,
                         u"COM1 9600 LG \"kf 01 19\" volume 25 -> volume=25"_s };
    QTest::newRow("OLEVIA power at 115200")
        << u"115200,n,8,1"_s << 3 << QStringList { u"BE 05 25 08 F0"_s }
        << QStringList { u"COM3 115200 OLEVIA BE 05 25 08 F0 power toggle -> power=on"_s };
    QTest::newRow("Vvuon volume") << u"9600,n,8,1"_s << 4 << QStringList { u"40 56 4F 4C 3A 32 35 0D"_s }
                                  << QStringList { u"COM4 9600 HYUNDAI-Vvuon \"@VOL:25\" volume 25 -> volume=25"_s };
    QTest::newRow("speed changes between sends")
        << u"19200,n,8,1"_s << 4 << QStringList { u"64 69 64 3A 61 6C 6C 2D 73 64 2E"_s }
        << QStringList { u"COM4 19200 HYUNDAI-D525ML \"did:all-sd.\" input HDMI -> input=HDMI"_s };
}

void TestVantiroDisplays::decodesWhatVantiroSends()
{
    QFETCH(QString, lineSettings);
    QFETCH(int, comNumber);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, lines);

    SerialLink link { PortMap(m_folder.path()) };
    QVERIFY(link.configurePort(lineSettings, QString::number(comNumber)));
    for (const QString &command : commands) {
        const SendOutcome outcome = link.sendCommandText(command);
        QVERIFY2(outcome.status == SendOutcome::Status::Sent, qPrintable(outcome.text()));
    }

    QVERIFY(m_displays->waitForLines(lines.size()));
    QCOMPARE(m_displays->takeLines(), lines);
}

// A port is closed, and its old settings put back, right after its last byte: when the tool falls
// behind, it reads the bytes only after that, and must still show the speed they were sent at.
void TestVantiroDisplays::bytesReadAfterThePortClosedKeepTheirSpeed()
{
    TempAppFolder folder;
    DisplaysProcess displays(folder.path());
    QVERIFY(displays.start(1, 5));
    RawPort port(announcedDevices(displays.takeLines()).value(5), B115200);
    QVERIFY(port.isReady());

    // Once this line is out, the tool knows the new speed.
    QVERIFY(port.write("ka 01 01\r"));
    QVERIFY(displays.waitForLines(1));
    QVERIFY(displays.pause());
    QVERIFY(port.write("kd 01 01\r"));
    port.close();
    QVERIFY(displays.resume());

    QVERIFY(displays.waitForLines(2));
    const QStringList expected = { u"COM5 115200 LG \"ka 01 01\" power on -> power=on"_s,
                                   u"COM5 115200 LG \"kd 01 01\" screen mute on -> screen-mute=on"_s };
    QCOMPARE(displays.takeLines(), expected);
}

// A Ports.ini of the user's keeps its other entries while the displays run and comes back byte for
// byte when they stop.
void TestVantiroDisplays::mapsDisplaysAndRestoresPortsIni()
{
    TempAppFolder folder;
    const QByteArray original = "; adapters\r\n[COM_PORTS]\r\n1=/dev/ttyUSB7\r\n3=/dev/ttyUSB9\r\n"
                                "[OTHER]\r\nkey=value\r\n";
    folder.writeFile(PortMap::fileName(), original);

    DisplaysProcess displays(folder.path());
    QVERIFY(displays.start(2, 3));
    const QMap<int, QString> devices = announcedDevices(displays.takeLines());
    QCOMPARE(devices.keys(), QList<int>({ 3, 4 }));

    const PortMap portMap(folder.path());
    QCOMPARE(portMap.devicePath(1), u"/dev/ttyUSB7"_s);
    for (auto it = devices.cbegin(); it != devices.cend(); ++it) {
        QCOMPARE(portMap.devicePath(it.key()), it.value());
        QVERIFY2(QFileInfo::exists(it.value()), qPrintable(it.value()));
    }
    const IniFile running = IniFile::load(folder.filePath(PortMap::fileName()));
    QCOMPARE(running.value(u"OTHER"_s, u"key"_s), u"value"_s);

    QVERIFY(displays.stop());
    QCOMPARE(folder.readFile(PortMap::fileName()), original);
}

void TestVantiroDisplays::removesPortsIniItCreated()
{
    TempAppFolder folder;
    DisplaysProcess displays(folder.path());
    QVERIFY(displays.start(1, 7));
    const QMap<int, QString> devices = announcedDevices(displays.takeLines());
    QCOMPARE(devices.keys(), QList<int>({ 7 }));
    QCOMPARE(PortMap(folder.path()).devicePath(7), devices.value(7));

    QVERIFY(displays.stop());
    QVERIFY(!QFileInfo::exists(folder.filePath(PortMap::fileName())));
}

QTEST_GUILESS_MAIN(TestVantiroDisplays)
#include "test_vantiro_displays.moc"
