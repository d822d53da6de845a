#include "pty_displays.h"
#include "running_copy/local_requests.h"
#include "running_copy/single_instance.h"
#include "temp_app_folder.h"
#include "vantiro_process.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vantiro;
using vantiro::test::PtyDisplays;
using vantiro::test::TempAppFolder;
using vantiro::test::VantiroProcess;

namespace {

// What an LG display takes for on and off: "ka 01 01" and "ka 01 00", each with a carriage return.
const QByteArray lgOn = "ka 01 01\r";
const QByteArray lgOff = "ka 01 00\r";

// A Settings.ini as the window writes it: one group Lobby with an LG display on COM 1, and the rows given.
QByteArray settingsFile(const QList<QByteArray> &rows, bool withSchedule = true)
{
    QByteArray text = "; written by the test\r\n[GROUP_SETTINGS]\r\nGroups=1\r\n1=Lobby%front wall%1~left~LG\r\n";
    if (!withSchedule)
        return text;
    text += "[SCHEDULE_SETTINGS]\r\nSchedules=" + QByteArray::number(rows.size()) + "\r\n";
    for (qsizetype i = 0; i < rows.size(); ++i)
        text += QByteArray::number(i + 1) + '=' + rows.at(i) + "\r\n";
    return text;
}

// A row of the group due once, at that second, every day of the week.
QByteArray rowDueAt(const QDateTime &due, const QByteArray &function, const QByteArray &group = "Lobby")
{
    const QByteArray date = due.date().toString(u"MM/dd/yyyy"_s).toLatin1();
    const QByteArray time = due.time().toString(u"HH:mm:ss"_s).toLatin1();
    return group + '`' + date + '`' + date + '`' + time + '`' + time + "`1111111`" + function;
}

// Replaces the file the way a save does: a new file renamed over the old one.
bool replaceByRename(const TempAppFolder &folder, const QString &name, const QByteArray &contents)
{
    folder.writeFile(u".incoming"_s, contents);
    return ::rename(QFile::encodeName(folder.filePath(u".incoming"_s)).constData(),
                    QFile::encodeName(folder.filePath(name)).constData())
        == 0;
}

// Reads every display's line from a thread of its own while it lives, and calls `onFirstByte` once, from that
// thread, when the first byte arrives anywhere.
class DisplayReader
{
public:
    DisplayReader(PtyDisplays &displays, std::function<void()> onFirstByte = {})
        : m_onFirstByte(std::move(onFirstByte))
    {
        for (const auto &[com, pty] : displays.all())
            m_fds.emplace(com, pty->masterFd());
        m_thread = std::thread([this] { run(); });
    }
    ~DisplayReader()
    {
        m_stop = true;
        m_thread.join();
    }
    std::map<int, QByteArray> received() const
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

private:
    void run()
    {
        std::vector<pollfd> polls;
        std::vector<int> coms;
        for (const auto &[com, fd] : m_fds) {
            polls.push_back({ fd, POLLIN, 0 });
            coms.push_back(com);
        }
        bool first = true;
        while (!m_stop) {
            if (::poll(polls.data(), polls.size(), 20) <= 0)
                continue;
            for (size_t i = 0; i < polls.size(); ++i) {
                if (!(polls[i].revents & POLLIN))
                    continue;
                char buffer[256];
                const ssize_t n = ::read(polls[i].fd, buffer, sizeof buffer);
                if (n <= 0)
                    continue;
                {
                    std::lock_guard lock(m_mutex);
                    m_received[coms[i]].append(buffer, n);
                }
                if (std::exchange(first, false) && m_onFirstByte)
                    m_onFirstByte();
            }
        }
    }

    std::function<void()> m_onFirstByte;
    std::map<int, int> m_fds;
    std::atomic_bool m_stop = false;
    mutable std::mutex m_mutex;
    std::map<int, QByteArray> m_received;
    std::thread m_thread;
};

} // namespace

class TestVantiroBackground : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void scheduleRunsWithoutADisplay();
    void changedSettingsAreTaken();
    void stopDuringASendFinishesThePortOnTheWire();
    void windowTakesOverAndHandsBackWhileRowsFire();
    void cleanup();

private:
    std::unique_ptr<VantiroProcess> startBackground()
    {
        return std::make_unique<VantiroProcess>(QStringLiteral(VANTIRO_PATH),
                                                QStringList { u"--background"_s, u"--app-folder"_s, m_folder->path() },
                                                m_environment);
    }

    // The copy answering on the socket, when it is of that kind.
    qint64 runningCopyPid(const QString &kind = {}) const
    {
        const std::optional<local_requests::Message> status = local_requests::ask(
            SingleInstance::serverPath(m_runtime->path()), local_requests::line(local_requests::status), 1s, 5s);
        if (!status || (!kind.isEmpty() && status->fields.value(u"copy"_s).toString() != kind))
            return 0;
        return status->fields.value(u"pid"_s).toInteger();
    }

    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_runtime;
    QProcessEnvironment m_environment;
};

// No display server at all, and a runtime folder of the test's own.
void TestVantiroBackground::init()
{
    m_folder = std::make_unique<TempAppFolder>();
    m_runtime = std::make_unique<QTemporaryDir>();
    QVERIFY(test::privateCopiesEnvironment(m_runtime->path(), m_environment));
    for (const QString &name : { u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s })
        m_environment.remove(name);
}

// A background copy that a window started is no child of the test: it is found by the lock it holds.
void TestVantiroBackground::cleanup()
{
    if (const qint64 pid = runningCopyPid(); pid > 0)
        ::kill(pid_t(pid), SIGKILL);
}

// A row due two seconds after the start is sent to the display and logged to the daily log and to stderr; neither
// a platform plugin nor the window toolkit is loaded, and Settings.ini is left exactly as it was written.
void TestVantiroBackground::scheduleRunsWithoutADisplay()
{
    PtyDisplays displays(*m_folder, { 1 });
    QVERIFY(displays.isValid());
    const QDateTime due = QDateTime::currentDateTime().addSecs(2);
    const QByteArray settings = settingsFile({ rowDueAt(due, "Monitors ON") });
    m_folder->writeFile(u"Settings.ini"_s, settings);

    const auto copy = startBackground();
    QCOMPARE(displays.display(1).read(lgOn.size(), 8000), lgOn);
    const QString finished = u"Finished sending serial command in Lobby"_s;
    QVERIFY(copy->saysOnStderr(finished));
    const QString log
        = QString::fromUtf8(m_folder->readFile(u"logs/"_s + due.date().toString(u"yyyy-MM-dd"_s) + u".log"_s));
    QVERIFY2(log.contains(u"Start sending serial command in Lobby"_s) && log.contains(finished), qPrintable(log));

    QFile maps(u"/proc/%1/maps"_s.arg(copy->pid()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY(!mapped.contains("/platforms/"));
    QVERIFY(!mapped.contains("libQt6Widgets"));
    QCOMPARE(m_folder->readFile(u"Settings.ini"_s), settings);
    QVERIFY(copy->signal(SIGTERM));
    QVERIFY(copy->endsWith(0, 5000));
}

// Settings.ini replaced under the running copy (by a rename, as a save does): the row added fires. Then a damaged
// file written in place: the reason is logged and the schedule it had keeps firing.
void TestVantiroBackground::changedSettingsAreTaken()
{
    PtyDisplays displays(*m_folder, { 1 });
    QVERIFY(displays.isValid());
    const QDateTime start = QDateTime::currentDateTime();
    const QByteArray distant = rowDueAt(start.addSecs(3600), "Monitors OFF");
    m_folder->writeFile(u"Settings.ini"_s, settingsFile({ distant }));
    const auto copy = startBackground();
    QVERIFY(copy->saysOnStderr(u"1 groups and 1 schedule rows"_s));

    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(replaceByRename(
        *m_folder, u"Settings.ini"_s,
        settingsFile({ distant, rowDueAt(now.addSecs(4), "Monitors ON"), rowDueAt(now.addSecs(9), "Monitors OFF") })));
    QVERIFY(copy->saysOnStderr(u"1 groups and 3 schedule rows"_s, 5000));
    QCOMPARE(displays.display(1).read(lgOn.size(), 8000), lgOn);

    m_folder->writeFile(u"Settings.ini"_s, settingsFile({}, false));
    QVERIFY(copy->saysOnStderr(u"holds no readable [SCHEDULE_SETTINGS] section"_s, 5000));
    QCOMPARE(displays.display(1).read(lgOff.size(), 8000), lgOff);
    QVERIFY(copy->isRunning());
}

// SIGTERM while an "All" event goes to 40 displays: the display on the wire gets its whole command, no display gets
// part of one, and the program ends with 0 after that port rather than after all 40.
void TestVantiroBackground::stopDuringASendFinishesThePortOnTheWire()
{
    PtyDisplays displays(*m_folder, PtyDisplays::range(1, 40));
    QVERIFY(displays.isValid());
    m_folder->writeFile(u"Settings.ini"_s,
                        settingsFile({ rowDueAt(QDateTime::currentDateTime().addSecs(2), "LG All Monitors ON") }));
    const auto copy = startBackground();
    const qint64 pid = copy->pid();
    std::map<int, QByteArray> received;
    {
        DisplayReader reader(displays, [pid] { ::kill(pid_t(pid), SIGTERM); });
        QVERIFY(copy->endsWith(0, 15000));
        QTest::qWait(300); // bytes still on their way
        received = reader.received();
    }
    QVERIFY(!received.empty());
    QVERIFY2(received.size() < 40, "the whole run went out after the stop");
    for (const auto &[com, bytes] : received)
        QVERIFY2(bytes == lgOn, qPrintable(u"COM %1 got \"%2\""_s.arg(com).arg(QString::fromLatin1(bytes))));
}

// 20 rows, one a second, each for a display of its own: a window started in the middle takes the schedule over
// from the background copy, and closes (SIGTERM) while rows still fire, handing it back to a new background copy.
// Every display gets its command exactly once: nothing is lost or sent twice across either hand-over.
void TestVantiroBackground::windowTakesOverAndHandsBackWhileRowsFire()
{
    constexpr int rows = 20;
    PtyDisplays displays(*m_folder, PtyDisplays::range(1, rows));
    QVERIFY(displays.isValid());
    const QDateTime start = QDateTime::currentDateTime();
    const QDateTime first = start.addSecs(5);
    QByteArray settings = "[GROUP_SETTINGS]\r\nGroups=" + QByteArray::number(rows) + "\r\n";
    for (int com = 1; com <= rows; ++com)
        settings += QByteArray::number(com) + "=G" + QByteArray::number(com) + "%wall%" + QByteArray::number(com)
            + "~d~LG\r\n";
    settings += "[SCHEDULE_SETTINGS]\r\nSchedules=" + QByteArray::number(rows) + "\r\n";
    for (int com = 1; com <= rows; ++com)
        settings += QByteArray::number(com) + '='
            + rowDueAt(first.addSecs(com - 1), "Monitors ON", 'G' + QByteArray::number(com)) + "\r\n";
    m_folder->writeFile(u"Settings.ini"_s, settings);

    std::map<int, QByteArray> received;
    {
        DisplayReader reader(displays);
        const auto background = startBackground();
        QVERIFY(QTest::qWaitFor([&] { return QDateTime::currentDateTime() >= first.addSecs(3); }, 20000));
        QProcessEnvironment windowEnvironment = m_environment;
        windowEnvironment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        VantiroProcess window(QStringLiteral(VANTIRO_PATH), { u"--app-folder"_s, m_folder->path() }, windowEnvironment);
        QVERIFY(background->endsWith(0, 30000));
        QVERIFY(QTest::qWaitFor([&] { return runningCopyPid(u"window"_s) == window.pid(); }, 30000));

        QVERIFY(QTest::qWaitFor([&] { return QDateTime::currentDateTime() >= first.addSecs(9); }, 30000));
        QVERIFY(window.signal(SIGTERM));
        QVERIFY(window.endsWith(0, 30000));
        QVERIFY(QTest::qWaitFor([&] { return runningCopyPid(u"background"_s) > 0; }, 30000));

        const QDateTime last = first.addSecs(rows - 1);
        QVERIFY(QTest::qWaitFor(
            [&] { return QDateTime::currentDateTime() > last.addSecs(3) && reader.received().size() == size_t(rows); },
            60000));
        QTest::qWait(1500); // anything sent twice would be on its way
        received = reader.received();
    }
    for (int com = 1; com <= rows; ++com)
        QVERIFY2(received[com] == lgOn,
                 qPrintable(u"COM %1 got \"%2\""_s.arg(com).arg(QString::fromLatin1(received[com]))));
}

QTEST_GUILESS_MAIN(TestVantiroBackground)
#include "test_vantiro_background.moc"
