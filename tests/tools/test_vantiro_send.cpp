// vantiro-send as a script runs it, against a running window, a running background copy and no copy at all, with
// displays on pseudo-terminals.
#include "pty_displays.h"
#include "temp_app_folder.h"
#include "vantiro_process.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using vantiro::test::PtyDisplays;
using vantiro::test::TempAppFolder;
using vantiro::test::VantiroProcess;

namespace {

// An LG display's power commands, each ended by a carriage return.
const QByteArray lgOn = "ka 01 01\r";
const QByteArray lgOff = "ka 01 00\r";

// Group Lobby: an LG display on COM 1 and one on COM 2; the rows given, if any.
QByteArray settingsFile(const QList<QByteArray> &rows = {})
{
    QByteArray text = "[GROUP_SETTINGS]\r\nGroups=1\r\n1=Lobby%front wall%1~left~LG`2~right~LG\r\n";
    text += "[SCHEDULE_SETTINGS]\r\nSchedules=" + QByteArray::number(rows.size()) + "\r\n";
    for (qsizetype i = 0; i < rows.size(); ++i)
        text += QByteArray::number(i + 1) + '=' + rows.at(i) + "\r\n";
    return text;
}

QByteArray rowDueAt(const QDateTime &due, const QByteArray &function)
{
    const QByteArray date = due.date().toString(u"MM/dd/yyyy"_s).toLatin1();
    const QByteArray time = due.time().toString(u"HH:mm:ss"_s).toLatin1();
    return "Lobby`" + date + '`' + date + '`' + time + '`' + time + "`1111111`" + function;
}

struct Run
{
    int exit = -1;
    QString out;
    QString err;
};

// Every display's bytes as they arrive, read on a thread of its own, each chunk with the time it came.
class WireLog
{
public:
    struct Chunk
    {
        int com;
        QByteArray bytes;
        std::chrono::steady_clock::time_point at;
        long round; // the reader's wake-up: bytes read in one may have come in any order
    };

    explicit WireLog(PtyDisplays &displays)
    {
        for (const auto &[com, pty] : displays.all()) {
            m_polls.push_back({ pty->masterFd(), POLLIN, 0 });
            m_coms.push_back(com);
        }
        m_thread = std::thread([this] { run(); });
    }
    ~WireLog()
    {
        m_stop = true;
        m_thread.join();
    }
    std::vector<Chunk> chunks() const
    {
        std::lock_guard lock(m_mutex);
        return m_chunks;
    }
    QByteArray bytesOf(int com) const
    {
        QByteArray all;
        for (const Chunk &chunk : chunks())
            all += chunk.com == com ? chunk.bytes : QByteArray();
        return all;
    }
    bool anyArrived() const { return m_any; }

private:
    void run()
    {
        while (!m_stop) {
            if (::poll(m_polls.data(), m_polls.size(), 20) <= 0)
                continue;
            ++m_round;
            for (size_t i = 0; i < m_polls.size(); ++i) {
                char buffer[256];
                const ssize_t n = (m_polls[i].revents & POLLIN) ? ::read(m_polls[i].fd, buffer, sizeof buffer) : 0;
                if (n <= 0)
                    continue;
                std::lock_guard lock(m_mutex);
                m_chunks.push_back({ m_coms[i], QByteArray(buffer, n), std::chrono::steady_clock::now(), m_round });
                m_any = true;
            }
        }
    }

    std::vector<pollfd> m_polls;
    std::vector<int> m_coms;
    std::atomic_bool m_stop = false;
    std::atomic_bool m_any = false;
    long m_round = 0;
    mutable std::mutex m_mutex;
    std::vector<Chunk> m_chunks;
    std::thread m_thread;
};

} // namespace

class TestVantiroSend : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sendsThroughWhateverRuns_data();
    void sendsThroughWhateverRuns();
    void usageErrorsNameTheCulprit_data();
    void usageErrorsNameTheCulprit();
    void waitsBehindAScheduledSend();
    void aCopyStartedMeanwhileWaits();
    void badRequestsChangeNothing_data();
    void badRequestsChangeNothing();
    void anotherUsersRequestIsRefused();

private:
    Run send(const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(QStringLiteral(VANTIRO_SEND_PATH), arguments);
        if (!process.waitForFinished(90000))
            process.kill();
        return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                 QString::fromUtf8(process.readAllStandardOutput()),
                 QString::fromUtf8(process.readAllStandardError()) };
    }
    std::unique_ptr<VantiroProcess> startCopy(const QString &copy)
    {
        QStringList arguments { u"--app-folder"_s, m_folder->path() };
        if (copy == u"background"_s)
            arguments.prepend(u"--background"_s);
        return std::make_unique<VantiroProcess>(QStringLiteral(VANTIRO_PATH), arguments, m_environment);
    }
    // The copy answers, with its groups loaded.
    bool answers()
    {
        return QTest::qWaitFor([this] { return send({ u"--list"_s }).out.contains(u"Lobby: COM 1 LG"_s); }, 15000);
    }
    QString socketPath() const { return m_runtime->filePath(u"vantiro.socket"_s); }

    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_runtime;
    QProcessEnvironment m_environment;
};

void TestVantiroSend::init()
{
    m_folder = std::make_unique<TempAppFolder>();
    m_runtime = std::make_unique<QTemporaryDir>();
    QVERIFY(vantiro::test::privateCopiesEnvironment(m_runtime->path(), m_environment));
    m_environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    m_folder->writeFile(u"Settings.ini"_s, settingsFile());
}

void TestVantiroSend::sendsThroughWhateverRuns_data()
{
    QTest::addColumn<QString>("copy");
    QTest::addColumn<bool>("elsewhere"); // vantiro-send's runtime folder is not the copy's (a cron job's)
    QTest::addColumn<QString>("sender"); // what the output names as having sent
    QTest::newRow("window") << u"window"_s << false << u"the window copy"_s;
    QTest::newRow("background") << u"background"_s << false << u"the background copy"_s;
    QTest::newRow("background, asked from elsewhere") << u"background"_s << true << u"the background copy"_s;
    QTest::newRow("none") << u"none"_s << false << u"vantiro-send sent itself"_s;
}

// A group with a display and a port with no device: the display gets its bytes, the other port is named with its
// reason and the status is 1; a quick command to the display alone ends with 0. Each send is in the daily log of the
// folder that sent it.
void TestVantiroSend::sendsThroughWhateverRuns()
{
    QFETCH(QString, copy);
    QFETCH(bool, elsewhere);
    QFETCH(QString, sender);
    PtyDisplays displays(*m_folder, { 1 }, { 2 });
    QVERIFY(displays.isValid());
    std::unique_ptr<VantiroProcess> running;
    QStringList folder { u"--app-folder"_s, m_folder->path() }; // only for sending alone
    if (copy != u"none"_s) {
        running = startCopy(copy);
        QVERIFY(answers());
        folder.clear();
    }
    QTemporaryDir otherRuntime;
    if (elsewhere) {
        QVERIFY(::chmod(QFile::encodeName(otherRuntime.path()).constData(), 0700) == 0);
        m_environment.insert(u"XDG_RUNTIME_DIR"_s, otherRuntime.path());
    }

    const Run group = send(folder + QStringList { u"--group"_s, u"Lobby"_s, u"Monitors ON"_s });
    QCOMPARE(displays.display(1).read(lgOn.size(), 8000), lgOn);
    QVERIFY2(group.exit == 1, qPrintable(group.err));
    QVERIFY2(group.err.contains(u"COM 2 not reached: no such device"_s), qPrintable(group.err));
    QVERIFY2(group.out.contains(sender) && group.out.contains(m_folder->path()), qPrintable(group.out));

    const Run one
        = send(folder + QStringList { u"--com"_s, u"1"_s, u"--model"_s, u"LG"_s, u"Monitors OFF"_s, u"--json"_s });
    QCOMPARE(displays.display(1).read(lgOff.size(), 8000), lgOff);
    QVERIFY2(one.exit == 0, qPrintable(one.err));
    QVERIFY2(one.out.contains(u"\"outcome\":\"sent\""_s), qPrintable(one.out));

    const QString log = QString::fromUtf8(
        m_folder->readFile(u"logs/"_s + QDate::currentDate().toString(u"yyyy-MM-dd"_s) + u".log"_s));
    QVERIFY2(log.contains(u"Lobby Monitors ON"_s) && log.contains(u"COM 1 LG Monitors OFF"_s), qPrintable(log));
    QVERIFY(!running || running->isRunning());
}

void TestVantiroSend::usageErrorsNameTheCulprit_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("running"); // asked of a running background copy, or with none running
    QTest::addColumn<QString>("named");
    QTest::newRow("function") << QStringList { u"--group"_s, u"Lobby"_s, u"Monitors UP"_s } << false
                              << u"Monitors UP"_s;
    QTest::newRow("group") << QStringList { u"--group"_s, u"Hall"_s, u"Monitors ON"_s } << false << u"Hall"_s;
    QTest::newRow("group, copy running") << QStringList { u"--group"_s, u"Hall \"Süd\""_s, u"Monitors ON"_s } << true
                                         << u"Hall \"Süd\""_s;
    QTest::newRow("model") << QStringList { u"--com"_s, u"1"_s, u"--model"_s, u"SONY"_s, u"Mute ON"_s } << false
                           << u"SONY"_s;
    QTest::newRow("no such command, copy running")
        << QStringList { u"--com"_s, u"1"_s, u"--model"_s, u"HYUNDAI-D525ML"_s, u"Mute ON"_s } << true
        << u"\"HYUNDAI-D525ML\" has no \"Mute ON\""_s;
    QTest::newRow("volume") << QStringList { u"--com"_s, u"1"_s, u"--model"_s, u"LG"_s, u"Set Volume"_s } << false
                            << u"--volume"_s;
    QTest::newRow("com") << QStringList { u"--com"_s, u"0"_s, u"--model"_s, u"LG"_s, u"Mute ON"_s } << false
                         << u"\"0\""_s;
    QTest::newRow("option, copy running") << QStringList { u"--comm"_s, u"1"_s, u"Mute ON"_s } << true << u"comm"_s;
}

// Nothing is sent and the status is 2.
void TestVantiroSend::usageErrorsNameTheCulprit()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, running);
    QFETCH(QString, named);
    PtyDisplays displays(*m_folder, { 1 });
    QVERIFY(displays.isValid());
    std::unique_ptr<VantiroProcess> copy;
    if (running) {
        copy = startCopy(u"background"_s);
        QVERIFY(answers());
    }
    const Run run = send(arguments);
    QCOMPARE(run.exit, 2);
    QVERIFY2(run.err.contains(named), qPrintable(run.err));
    QCOMPARE(displays.display(1).readUntilQuiet(100, 300), QByteArray());
}

// A send asked for while a scheduled "All" event is on the wire goes out after the event's last port: the first
// display gets the event's command whole, then the asked one, and no display gets anything else.
void TestVantiroSend::waitsBehindAScheduledSend()
{
    PtyDisplays displays(*m_folder, PtyDisplays::range(1, 40));
    QVERIFY(displays.isValid());
    m_folder->writeFile(u"Settings.ini"_s,
                        settingsFile({ rowDueAt(QDateTime::currentDateTime().addSecs(3), "LG All Monitors ON") }));
    const auto copy = startCopy(u"background"_s);
    WireLog wire(displays);
    QVERIFY(QTest::qWaitFor([&] { return wire.anyArrived(); }, 15000));
    const auto askedAt = std::chrono::steady_clock::now();
    const Run asked = send({ u"--com"_s, u"1"_s, u"--model"_s, u"LG"_s, u"Monitors OFF"_s });
    QVERIFY2(asked.exit == 0, qPrintable(asked.err));
    QVERIFY(QTest::qWaitFor([&] { return wire.bytesOf(1).size() >= lgOn.size() + lgOff.size(); }, 5000));

    QCOMPARE(wire.bytesOf(1), lgOn + lgOff);
    for (int com = 2; com <= 40; ++com)
        QCOMPARE(wire.bytesOf(com), lgOn);
    const std::vector<WireLog::Chunk> chunks = wire.chunks();
    QVERIFY2(std::any_of(chunks.begin(), chunks.end(), [&](const auto &c) { return c.com == 40 && c.at > askedAt; }),
             "the event had left the wire before the send was asked for");
    qsizetype firstBytes = 0;
    const auto asksOwn = std::find_if(chunks.begin(), chunks.end(), [&](const WireLog::Chunk &c) {
        return c.com == 1 && (firstBytes += c.bytes.size()) > lgOn.size();
    });
    QVERIFY(asksOwn != chunks.end());
    QVERIFY2(std::none_of(chunks.begin(), chunks.end(),
                          [&](const WireLog::Chunk &c) { return c.com != 1 && c.round > asksOwn->round; }),
             "the asked send went out before the event's last port");
}

// With no copy running, vantiro-send holds the lock while it sends to 40 displays; a background copy started
// meanwhile waits for it to end, then runs, rather than giving up on a copy that does not answer.
void TestVantiroSend::aCopyStartedMeanwhileWaits()
{
    PtyDisplays displays(*m_folder, PtyDisplays::range(1, 40));
    QVERIFY(displays.isValid());
    WireLog wire(displays);
    VantiroProcess sender(QStringLiteral(VANTIRO_SEND_PATH),
                          { u"--app-folder"_s, m_folder->path(), u"--group"_s, u"Lobby"_s, u"LG All Monitors ON"_s },
                          m_environment);
    QVERIFY(QTest::qWaitFor([&] { return wire.anyArrived(); }, 15000));
    const auto copy = startCopy(u"background"_s);
    QVERIFY(sender.endsWith(0, 30000));
    QVERIFY(copy->saysOnStderr(u"runs the schedule in the background"_s, 30000));
    QVERIFY(copy->isRunning());
    QCOMPARE(wire.bytesOf(40), lgOn);
    // Both write to the folder's daily log: the copy's start comes after the whole send.
    const QString log = QString::fromUtf8(
        m_folder->readFile(u"logs/"_s + QDate::currentDate().toString(u"yyyy-MM-dd"_s) + u".log"_s));
    QVERIFY2(log.indexOf(u"Finish sending out command string."_s)
                 < log.indexOf(u"runs the schedule in the background"_s),
             qPrintable(log));
}

void TestVantiroSend::badRequestsChangeNothing_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("closeAfterWriting");
    QTest::addColumn<QByteArray>("answer"); // how the answer starts; empty: the copy drops the connection
    QTest::newRow("malformed") << QByteArray("send {\"index\": \"0\",\n") << false << QByteArray("error");
    QTest::newRow("no ports") << QByteArray("send {\"index\":\"0\",\"command\":\"6B\",\"ports\":[]}\n") << false
                              << QByteArray("error");
    QTest::newRow("panel index") << QByteArray(
        "send {\"index\":\"100\",\"command\":\"6B\",\"ports\":[{\"com\":\"1\",\"model\":\"LG\"}],"
        "\"comPorts\":[],\"lineSettings\":\"9600,n,8,1\"}\n")
                                 << false << QByteArray("error");
    QTest::newRow("oversized") << QByteArray("send ") + QByteArray(70 * 1024, 'a') << false << QByteArray("error");
    QTest::newRow("truncated") << QByteArray("send {\"index\":\"0\",\"command\":\"6B 61") << true << QByteArray();
    QTest::newRow("silent") << QByteArray() << false << QByteArray();
}

// Each is answered with an error or dropped, the display gets nothing, and the copy answers the next request at
// once, also while a silent client is still connected.
void TestVantiroSend::badRequestsChangeNothing()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, closeAfterWriting);
    QFETCH(QByteArray, answer);
    PtyDisplays displays(*m_folder, { 1 });
    QVERIFY(displays.isValid());
    const auto copy = startCopy(u"background"_s);
    QVERIFY(answers());

    QLocalSocket client;
    client.connectToServer(socketPath());
    QVERIFY(client.waitForConnected(5000));
    client.write(request);
    QVERIFY(client.waitForBytesWritten(5000) || request.isEmpty());
    if (closeAfterWriting)
        client.disconnectFromServer();
    QElapsedTimer asked;
    asked.start();
    const Run status = send({ u"--status"_s });
    QVERIFY2(status.exit == 0 && status.out.contains(u"in the background"_s), qPrintable(status.err));
    QVERIFY2(asked.elapsed() < 4000, "the next request waited for the bad one");

    if (!closeAfterWriting) {
        QVERIFY(QTest::qWaitFor([&] { return client.state() != QLocalSocket::ConnectedState; }, 15000));
        const QByteArray answered = client.readAll();
        QVERIFY2(answer.isEmpty() ? answered.isEmpty() : answered.startsWith(answer), answered.constData());
        if (answer.isEmpty())
            QVERIFY2(asked.elapsed() > 4000, "a silent client was dropped before its 5 s were up");
    }
    QCOMPARE(displays.display(1).readUntilQuiet(200, 500), QByteArray());
    QVERIFY(copy->isRunning());
}

// A request from another user's process is refused, even where the socket could be reached, and logged.
void TestVantiroSend::anotherUsersRequestIsRefused()
{
    if (::geteuid() != 0)
        QSKIP("Only root can act as a second user here.");
    const uid_t nobody = 65534;
    PtyDisplays displays(*m_folder, { 1 });
    QVERIFY(displays.isValid());
    const auto copy = startCopy(u"background"_s);
    QVERIFY(answers());
    // As if someone had opened the folder and the socket to everyone.
    QVERIFY(::chmod(QFile::encodeName(m_runtime->path()).constData(), 0711) == 0);
    QVERIFY(::chmod(QFile::encodeName(socketPath()).constData(), 0777) == 0);

    int answerPipe[2];
    QVERIFY(::pipe(answerPipe) == 0);
    const QByteArray path = QFile::encodeName(socketPath());
    const QByteArray request = "send {\"index\":\"0\",\"command\":\"6B\",\"ports\":[{\"com\":\"1\",\"model\":\"LG\"}],"
                               "\"comPorts\":[],\"lineSettings\":\"9600,n,8,1\"}\n";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(answerPipe[0]);
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            ::_exit(3);
        // Refused on arrival, the copy may have closed before the request is written.
        [[maybe_unused]] const ssize_t written = ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
        char buffer[512];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
            if (::write(answerPipe[1], buffer, size_t(n)) != n)
                ::_exit(5);
        }
        ::_exit(0);
    }
    ::close(answerPipe[1]);
    QByteArray answered;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(answerPipe[0], buffer, sizeof buffer)) > 0)
        answered.append(buffer, n);
    ::close(answerPipe[0]);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY2(answered.startsWith("error") && answered.contains("refused"), answered.constData());
    QVERIFY(copy->saysOnStderr(u"user id 65534 was refused"_s));
    QCOMPARE(displays.display(1).readUntilQuiet(200, 500), QByteArray());
}

QTEST_GUILESS_MAIN(TestVantiroSend)
#include "test_vantiro_send.moc"
