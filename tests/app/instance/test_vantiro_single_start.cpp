#include "running_copy/local_requests.h"
#include "running_copy/single_instance.h"
#include "temp_app_folder.h"
#include "vantiro_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace vantiro;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using vantiro::test::TempAppFolder;
using vantiro::test::VantiroProcess;

namespace {

constexpr int waitMs = 10000;
// A second start that finds a running copy ends this quickly.
constexpr int handOverMs = 2000;

// The folder every copy of this user must share when XDG_RUNTIME_DIR says nothing usable, found here by plain means:
// /run/user/<uid> when the system made it, else the fixed folder in the home the password database names.
QString usersOwnRuntimeFolder()
{
    const QString runUser = u"/run/user/%1"_s.arg(::geteuid());
    struct stat status;
    if (::stat(QFile::encodeName(runUser).constData(), &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::geteuid() && (status.st_mode & 0777) == 0700)
        return runUser;
    return QFile::decodeName(::getpwuid(::geteuid())->pw_dir) + u"/.local/state/Vantiro/runtime"_s;
}

// A connection that says nothing, made with the system's calls so that a thousand of them cost the test little.
int idleConnection(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const timeval timeout { 5, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Closed by the other end: a read returns end of file (or a reset) rather than waiting.
bool closedByPeer(int fd)
{
    char byte = 0;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

} // namespace

class TestVantiroSingleStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void secondStartHandsOverAlsoAfterAKilledCopy();
    void simultaneousStartsLeaveOneRunning();
    void frozenCopyIsNotDoubled();
    void blockedLockIsNamed();
    void secondCopyOfEitherKindSaysWhatRuns_data();
    void secondCopyOfEitherKindSaysWhatRuns();
    void copyWithoutRuntimeVariableFindsTheFirst_data();
    void copyWithoutRuntimeVariableFindsTheFirst();
    void idleConnectionsDoNotCloseTheServer();
    void commandLine_data();
    void commandLine();

private:
    std::unique_ptr<VantiroProcess> run(const QStringList &arguments = {}) { return run(arguments, m_environment); }
    std::unique_ptr<VantiroProcess> run(const QStringList &arguments, const QProcessEnvironment &environment,
                                        std::function<void()> childSetup = {})
    {
        return std::make_unique<VantiroProcess>(m_program, arguments, environment, std::move(childSetup));
    }
    QStringList background() const { return { u"--background"_s, u"--app-folder"_s, m_appFolder.path() }; }
    bool waitUntilListening(VantiroProcess &copy, const QString &runtimeFolder = {})
    {
        const QString socket = runtimeFolder.isEmpty() ? socketPath() : SingleInstance::serverPath(runtimeFolder);
        return QTest::qWaitFor([&] { return QFile::exists(socket) || !copy.isRunning(); }, waitMs) && copy.isRunning();
    }
    bool lockNames(qint64 pid) const
    {
        qint64 owner = 0;
        return QLockFile(lockPath()).getLockInfo(&owner, nullptr, nullptr) && owner == pid;
    }
    QString lockPath() const { return SingleInstance::lockFilePath(m_runtime->path()); }
    QString socketPath() const { return SingleInstance::serverPath(m_runtime->path()); }

    TempAppFolder m_appFolder;
    QString m_program;
    std::unique_ptr<QTemporaryDir> m_runtime;
    QProcessEnvironment m_environment;
};

// A copy of the program alone in an empty folder, which is its application folder.
void TestVantiroSingleStart::initTestCase()
{
    QVERIFY2(QFileInfo::exists(QStringLiteral(VANTIRO_PATH)), VANTIRO_PATH);
    m_program = m_appFolder.filePath(u"vantiro"_s);
    QVERIFY(QFile::copy(QStringLiteral(VANTIRO_PATH), m_program));
}

// Each test has a runtime folder of its own, so it never meets another test's copies or a real one.
void TestVantiroSingleStart::init()
{
    m_runtime = std::make_unique<QTemporaryDir>();
    QVERIFY(test::privateCopiesEnvironment(m_runtime->path(), m_environment));
    m_environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
}

void TestVantiroSingleStart::secondStartHandsOverAlsoAfterAKilledCopy()
{
    const auto first = run();
    QVERIFY(waitUntilListening(*first));
    const auto second = run();
    QVERIFY(second->endsWith(0, handOverMs));
    QVERIFY(first->isRunning());
    QVERIFY(lockNames(first->pid()));

    first->killHard();
    // What a crash leaves behind: both files.
    QVERIFY(QFile::exists(lockPath()) && QFile::exists(socketPath()));
    const auto next = run();
    QVERIFY(next->keepsRunningFor(1000));
    QVERIFY(lockNames(next->pid()));
    const auto later = run();
    QVERIFY(later->endsWith(0, handOverMs));
    QVERIFY(next->isRunning());
}

void TestVantiroSingleStart::simultaneousStartsLeaveOneRunning()
{
    const auto one = run();
    const auto other = run();
    QVERIFY(QTest::qWaitFor([&] { return !one->isRunning() || !other->isRunning(); }, waitMs));
    // Give the remaining one time to end as well, wrongly.
    QTest::qWait(1000);

    QVERIFY(one->isRunning() != other->isRunning());
    VantiroProcess &running = one->isRunning() ? *one : *other;
    QVERIFY((one->isRunning() ? *other : *one).endsWith(0, 0));
    QVERIFY(lockNames(running.pid()));
}

// A copy that holds the lock but cannot answer is never joined by a second one: the new start explains and fails.
void TestVantiroSingleStart::frozenCopyIsNotDoubled()
{
    const auto frozen = run();
    QVERIFY(waitUntilListening(*frozen));
    QVERIFY(frozen->signal(SIGSTOP));

    const auto second = run();
    // Its own start and the wait for the frozen copy's answer come first; a busy machine slows both.
    QVERIFY(second->saysOnStderr(u"already running"_s, 30000));
    QVERIFY(lockNames(frozen->pid()));
}

// A folder where the lock file belongs is no running copy: the start names it at once.
void TestVantiroSingleStart::blockedLockIsNamed()
{
    QVERIFY(QDir().mkdir(lockPath()));
    const auto blocked = run();
    QVERIFY(blocked->saysOnStderr(lockPath() + u"\" is a folder"_s));
}

// One copy per user, whichever kind: a second background copy ends with 0 (a service manager must not restart it)
// and says which copy runs; a window started while a background copy runs takes over, and the background copy
// ends with 0.
void TestVantiroSingleStart::secondCopyOfEitherKindSaysWhatRuns_data()
{
    QTest::addColumn<bool>("firstInBackground");
    QTest::addColumn<bool>("secondInBackground");
    QTest::addColumn<QString>("said"); // empty: the second ends at once, saying nothing; "takes over": the first ends
    QTest::newRow("window, then window: brought forward") << false << false << QString();
    QTest::newRow("window, then background") << false << true << u"already running with its window (process"_s;
    QTest::newRow("background, then background") << true << true << u"already running in the background (process"_s;
    QTest::newRow("background, then window: taken over") << true << false << u"takes over"_s;
}

void TestVantiroSingleStart::secondCopyOfEitherKindSaysWhatRuns()
{
    QFETCH(bool, firstInBackground);
    QFETCH(bool, secondInBackground);
    QFETCH(QString, said);
    const auto first = run(firstInBackground ? background() : QStringList());
    QVERIFY(waitUntilListening(*first));

    const auto second = run(secondInBackground ? background() : QStringList());
    if (said == u"takes over"_s) {
        QVERIFY(first->endsWith(0, waitMs));
        QVERIFY(QTest::qWaitFor([&] { return lockNames(second->pid()); }, waitMs));
        QVERIFY(second->isRunning());
        return;
    }
    if (!said.isEmpty())
        QVERIFY(second->saysOnStderr(said + u' ' + QString::number(first->pid())));
    QVERIFY(second->endsWith(0, handOverMs));
    QVERIFY(first->isRunning());
    QVERIFY(lockNames(first->pid()));
}

// su, ssh, cron and a service manager give a copy no XDG_RUNTIME_DIR, or one that is not the user's: it must still
// find the copy that runs with the variable, or both would run the schedule.
void TestVantiroSingleStart::copyWithoutRuntimeVariableFindsTheFirst_data()
{
    QTest::addColumn<QString>("variable"); // "unset", or what XDG_RUNTIME_DIR holds
    QTest::newRow("unset (cron, a plain ssh)") << u"unset"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("a folder others can read") << u"open folder"_s;
    QTest::newRow("a folder that does not exist") << u"/nonexistent/vantiro-runtime"_s;
    // A boot-time unit started before the system made /run/user/<uid>, a session that has it: two good folders.
    QTest::newRow("another folder of the user's") << u"own folder"_s;
}

void TestVantiroSingleStart::copyWithoutRuntimeVariableFindsTheFirst()
{
    QFETCH(QString, variable);
    const QString shared = usersOwnRuntimeFolder();
    QVERIFY(QDir().mkpath(shared));
    QVERIFY(QFile::setPermissions(shared, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QLockFile probe(SingleInstance::lockFilePath(shared));
    if (!probe.tryLock(0))
        QSKIP("a copy of Vantiro runs for this user");
    probe.unlock();
    // A socket file left behind would make the first copy look as if it listened before it does.
    QFile::remove(SingleInstance::serverPath(shared));

    QProcessEnvironment withVariable = m_environment;
    withVariable.insert(u"XDG_RUNTIME_DIR"_s, shared);
    const auto first = run(background(), withVariable);
    QVERIFY(waitUntilListening(*first, shared));

    QProcessEnvironment without = m_environment;
    QTemporaryDir openFolder;
    if (variable == u"unset"_s) {
        without.remove(u"XDG_RUNTIME_DIR"_s);
    } else if (variable == u"open folder"_s || variable == u"own folder"_s) {
        const QFileDevice::Permissions others = variable == u"open folder"_s
            ? QFileDevice::ReadOther | QFileDevice::ExeOther
            : QFileDevice::Permissions();
        QVERIFY(QFile::setPermissions(
            openFolder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | others));
        without.insert(u"XDG_RUNTIME_DIR"_s, openFolder.path());
    } else {
        without.insert(u"XDG_RUNTIME_DIR"_s, variable);
    }
    const auto second = run(background(), without);
    QVERIFY(second->saysOnStderr(u"already running in the background (process "_s + QString::number(first->pid())));
    QVERIFY(second->endsWith(0, handOverMs));
    QVERIFY(!QFile::exists(SingleInstance::lockFilePath(openFolder.path())));
    // Ended as a service manager ends it, so the user's folder is left clean.
    QVERIFY(first->signal(SIGTERM));
    QVERIFY(first->endsWith(0, waitMs));
}

// Idle connections by the thousand (more than the copy's 1,024 file descriptors) neither use up its descriptors nor
// close its socket: a start during the flood and one after it are answered, and every idle connection is dropped.
void TestVantiroSingleStart::idleConnectionsDoNotCloseTheServer()
{
    constexpr int connections = 1100;
    rlimit own {};
    QVERIFY(::getrlimit(RLIMIT_NOFILE, &own) == 0);
    if (own.rlim_max < connections + 100)
        QSKIP("this process may not hold enough connections");
    own.rlim_cur = std::max<rlim_t>(own.rlim_cur, connections + 100);
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &own) == 0);

    // The limit of a desktop session.
    const auto copy = run(background(), m_environment, [] {
        const rlimit limit { 1024, 1024 };
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
    QVERIFY(waitUntilListening(*copy));

    std::vector<int> idle;
    for (int i = 0; i < connections; ++i) {
        const int fd = idleConnection(socketPath());
        QVERIFY2(fd >= 0, qPrintable(u"connection %1: %2"_s.arg(i).arg(QString::fromLocal8Bit(strerror(errno)))));
        idle.push_back(fd);
    }
    const auto status = [this] {
        return local_requests::ask(socketPath(), local_requests::line(local_requests::status), 1s, 5s);
    };
    const std::optional<local_requests::Message> during = status();
    QVERIFY(during);
    QCOMPARE(during->word, local_requests::ok);

    QVERIFY(QTest::qWaitFor(
        [&] { return std::all_of(idle.begin(), idle.end(), [](int fd) { return closedByPeer(fd); }); }, 15000));
    for (int fd : idle)
        ::close(fd);
    const std::optional<local_requests::Message> after = status();
    QVERIFY(after);
    QCOMPARE(after->fields.value(u"copy"_s).toString(), u"background"_s);
    QVERIFY(copy->isRunning());
}

// The arguments are read before any application is made: help and version print and end, mistakes are refused
// with the usage, and Qt's own options still reach the window (with no display variable, the window starts only
// if -platform reached Qt).
void TestVantiroSingleStart::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status"); // -1: keeps running
    QTest::addColumn<QString>("said"); // on stdout for status 0, on stderr otherwise
    const QString version = u"Vantiro %1.%2.%3.%4\n"_s.arg(VANTIRO_VERSION_MAJOR)
                                .arg(VANTIRO_VERSION_MINOR)
                                .arg(VANTIRO_VERSION_PATCH)
                                .arg(VANTIRO_VERSION_REVISION);
    QTest::newRow("--help") << QStringList { u"--help"_s } << 0 << u"Usage: vantiro"_s;
    QTest::newRow("--version") << QStringList { u"--version"_s } << 0 << version;
    QTest::newRow("an unknown option") << QStringList { u"--bogus"_s } << 2
                                       << u"unknown option --bogus\n\nUsage: vantiro"_s;
    QTest::newRow("a stray argument") << QStringList { u"file.ini"_s } << 2 << u"Usage: vantiro"_s;
    QTest::newRow("--app-folder without a folder") << QStringList { u"--app-folder"_s } << 2 << u"needs a folder"_s;
    QTest::newRow("a window option in the background")
        << QStringList { u"--background"_s, u"-platform"_s, u"offscreen"_s } << 2 << u"-platform does not apply"_s;
    QTest::newRow("-platform reaches the window") << QStringList { u"-platform"_s, u"offscreen"_s } << -1 << QString();
    QTest::newRow("-style and the session manager's -session")
        << QStringList { u"--platform"_s, u"offscreen"_s, u"-style"_s, u"Fusion"_s, u"-session"_s, u"1a2b_3"_s } << -1
        << QString();
}

void TestVantiroSingleStart::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    QProcessEnvironment environment = m_environment;
    for (const QString &name : { u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s })
        environment.remove(name);
    const auto program = run(arguments, environment);
    if (status < 0) {
        QVERIFY(program->keepsRunningFor(1500));
        QVERIFY(QFile::exists(socketPath()));
        return;
    }
    QVERIFY(status == 0 ? program->saysOnStdout(said) : program->saysOnStderr(said));
    QVERIFY(program->endsWith(status, handOverMs));
    // Nothing ran: no lock was taken.
    QVERIFY(!QFile::exists(lockPath()));
}

QTEST_GUILESS_MAIN(TestVantiroSingleStart)
#include "test_vantiro_single_start.moc"
