#include "running_copy/runtime_folder.h"
#include "running_copy/single_instance.h"
#include "temp_app_folder.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vantiro;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using vantiro::test::TempAppFolder;
using Start = SingleInstance::Start;

namespace {

constexpr auto shortAnswerTimeout = 300ms;

bool setAge(const QString &path, std::chrono::hours age)
{
    QFile file(path);
    const QDateTime time = QDateTime::currentDateTime().addSecs(-3600 * age.count());
    return file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
}

// A first copy living in a thread of its own, as in its own process, whose window takes a moment to come forward.
struct FirstCopyInThread
{
    explicit FirstCopyInThread(const QString &folder)
        : instance(folder)
    {
        QObject::connect(&instance, &SingleInstance::activationRequested, &instance, [this] {
            QThread::msleep(300);
            ++broughtForward;
        });
        instance.moveToThread(&thread);
        thread.start();
        QMetaObject::invokeMethod(
            &instance, [this] { started = instance.start(); }, Qt::BlockingQueuedConnection);
    }
    ~FirstCopyInThread()
    {
        thread.quit();
        thread.wait();
    }

    QThread thread;
    SingleInstance instance;
    Start started = Start::Failed;
    std::atomic<int> broughtForward = 0;
};

// A client made of the system's calls, run on a thread of its own (or in a child process of another user): it
// sends its bytes, then reads until the copy closes the connection, and times that.
struct RawClient
{
    struct Result
    {
        QByteArray received;
        qint64 closedAfterMs = -1;
    };

    // Waits for the answer while this thread's event loop runs, so a copy living here can answer.
    static Result exchange(const QString &path, const QByteArray &sent, std::optional<uid_t> asUser = {})
    {
        Result result;
        std::atomic_bool done = false;
        std::thread client([&] {
            result = asUser ? talkAs(*asUser, path, sent) : talk(path, sent);
            done = true;
        });
        // The client gives up by itself after its own timeout, so the join cannot hang.
        [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return done.load(); }, 20000);
        client.join();
        return result;
    }

    // The other user's side runs in a child, which hands back what it received through a pipe.
    static Result talkAs(uid_t user, const QString &path, const QByteArray &sent)
    {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0)
            return {};
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeEnds[0]);
            if (::setgid(user) != 0 || ::setuid(user) != 0)
                ::_exit(1);
            const Result result = talk(path, sent);
            [[maybe_unused]] const ssize_t written
                = ::write(pipeEnds[1], result.received.constData(), size_t(result.received.size()));
            ::_exit(0);
        }
        ::close(pipeEnds[1]);
        Result result;
        char buffer[4096];
        for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            result.received.append(buffer, n);
        ::close(pipeEnds[0]);
        ::waitpid(child, nullptr, 0);
        return result;
    }

    static Result talk(const QString &path, const QByteArray &sent)
    {
        Result result;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        QElapsedTimer timer;
        timer.start();
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
            ::send(fd, sent.constData(), size_t(sent.size()), MSG_NOSIGNAL);
            const timeval timeout { 12, 0 };
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            char buffer[4096];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                result.received.append(buffer, n);
        }
        ::close(fd);
        result.closedAfterMs = timer.elapsed();
        return result;
    }
};

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void laterStartsBringTheFirstForward();
    void answerComesAfterTheWindowIsForward();
    void requestWaitsUntilSomethingCanActivate();
    void unreadableOldLockDoesNotBlock();
    void silentCopyIsNeverDoubled();
    void lockFreedWhileWaitingStartsNormally();
    void requestsAreBoundedAndAnswered_data();
    void requestsAreBoundedAndAnswered();
    void backgroundCopyHasNoWindowToShow();
    void copiesOfTwoRuntimeFoldersMeet();
    void anotherUsersRequestIsRefused();
    void unusableFolderFails();
    void lockNoCopyHoldsIsExplained_data();
    void lockNoCopyHoldsIsExplained();
    void closingCopyIsWaitedFor();
};

// Each later start gets one activation, however old the live copy's lock is; once the first copy has
// ended, the next start is first again.
void TestSingleInstance::laterStartsBringTheFirstForward()
{
    TempAppFolder folder;
    auto first = std::make_unique<SingleInstance>(folder.path());
    QSignalSpy activations(first.get(), &SingleInstance::activationRequested);
    QCOMPARE(first->start(), Start::First);
    QVERIFY(setAge(SingleInstance::lockFilePath(folder.path()), 24h));
    for (int request = 1; request <= 2; ++request) {
        SingleInstance later(folder.path());
        QCOMPARE(later.start(), Start::AnotherRunning);
        QVERIFY(later.errorString().isEmpty());
        QCOMPARE(activations.size(), request);
    }

    first.reset();
    QVERIFY(!QFile::exists(SingleInstance::lockFilePath(folder.path())));
    SingleInstance next(folder.path());
    QCOMPARE(next.start(), Start::First);
}

// The later start must not end before the first copy's window is forward.
void TestSingleInstance::answerComesAfterTheWindowIsForward()
{
    TempAppFolder folder;
    FirstCopyInThread first(folder.path());
    QCOMPARE(first.started, Start::First);

    SingleInstance later(folder.path());
    QCOMPARE(later.start(), Start::AnotherRunning);
    QCOMPARE(first.broughtForward, 1);
}

// A start that comes while the first copy is still making its window gets its answer once the window is there.
void TestSingleInstance::requestWaitsUntilSomethingCanActivate()
{
    TempAppFolder folder;
    SingleInstance first(folder.path());
    QCOMPARE(first.start(), Start::First);

    int activations = 0;
    QObject window;
    QTimer::singleShot(300ms, &window, [&] {
        QObject::connect(&first, &SingleInstance::activationRequested, &window, [&activations] { ++activations; });
    });
    SingleInstance later(folder.path());
    QCOMPARE(later.start(2s), Start::AnotherRunning);
    QCOMPARE(activations, 1);
}

// A lock file that stayed empty because its writer died right after creating it, long ago, does not block. (What
// a killed copy leaves, a lock naming a process that is gone and its socket file, is tried with the real program.)
void TestSingleInstance::unreadableOldLockDoesNotBlock()
{
    TempAppFolder folder;
    const QString lock = SingleInstance::lockFilePath(folder.path());
    QVERIFY(QFile(lock).open(QIODevice::WriteOnly) && setAge(lock, 1h));

    SingleInstance first(folder.path());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QCOMPARE(first.start(), Start::First);
    SingleInstance later(folder.path());
    QCOMPARE(later.start(shortAnswerTimeout), Start::AnotherRunning);
    QCOMPARE(activations.size(), 1);
}

// A live copy that holds the lock but does not listen (a frozen listening copy is tried with the real program).
void TestSingleInstance::silentCopyIsNeverDoubled()
{
    TempAppFolder folder;
    QLockFile liveLock(SingleInstance::lockFilePath(folder.path()));
    QVERIFY(liveLock.tryLock(0));

    SingleInstance later(folder.path());
    QCOMPARE(later.start(shortAnswerTimeout), Start::AnotherUnreachable);
    QVERIFY(later.errorString().contains(u"already running"_s));
    // The refused start took nothing: the silent copy's lock is still its own.
    qint64 owner = 0;
    QVERIFY(liveLock.getLockInfo(&owner, nullptr, nullptr));
    QCOMPARE(owner, QCoreApplication::applicationPid());
}

// Two starts at once: the first may end before the other reaches it, and then the other must run.
void TestSingleInstance::lockFreedWhileWaitingStartsNormally()
{
    TempAppFolder folder;
    QLockFile ending(SingleInstance::lockFilePath(folder.path()));
    QVERIFY(ending.tryLock(0));
    QTimer::singleShot(300ms, this, [&ending] { ending.unlock(); });

    SingleInstance next(folder.path());
    QSignalSpy activations(&next, &SingleInstance::activationRequested);
    QCOMPARE(next.start(), Start::First);
    SingleInstance later(folder.path());
    QCOMPARE(later.start(), Start::AnotherRunning);
    QCOMPARE(activations.size(), 1);
}

// Whatever a connection sends besides a known request, it is answered with the reason or dropped, activates
// nothing and blocks nothing; a silent one is dropped after five seconds. The client is a thread of its own, so the
// copy's event loop runs meanwhile.
void TestSingleInstance::requestsAreBoundedAndAnswered_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("answer"); // the start of the line expected back
    QTest::addColumn<int>("droppedAfterMs"); // at least this long before the copy closes the connection

    QTest::newRow("status") << QByteArray("status\n") << QByteArray("ok {\"copy\":\"window\"") << 0;
    QTest::newRow("a request this copy does not know")
        << QByteArray("frobnicate {\"x\":1}\n") << QByteArray("error {\"message\":\"unknown request \\\"frobnicate")
        << 0;
    QTest::newRow("not a request at all")
        << QByteArray("GET / HTTP/1.0\r\n\r\n") << QByteArray("error {\"message\":\"malformed request") << 0;
    QTest::newRow("arguments that are not JSON")
        << QByteArray("status {oops\n") << QByteArray("error {\"message\":\"malformed request") << 0;
    QTest::newRow("a line over 64 KB") << QByteArray(70000, 'x')
                                       << QByteArray("error {\"message\":\"the request is longer than 65536") << 0;
    QTest::newRow("half a line, then silence") << QByteArray("activ") << QByteArray() << 4500;
}

void TestSingleInstance::requestsAreBoundedAndAnswered()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answer);
    QFETCH(int, droppedAfterMs);
    TempAppFolder folder;
    SingleInstance first(folder.path());
    first.setApplicationFolder(folder.path());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QCOMPARE(first.start(), Start::First);

    const RawClient::Result result = RawClient::exchange(SingleInstance::serverPath(folder.path()), sent);
    QVERIFY2(result.received.startsWith(answer), result.received.constData());
    QVERIFY2(result.closedAfterMs >= droppedAfterMs && result.closedAfterMs < droppedAfterMs + 5000,
             qPrintable(QString::number(result.closedAfterMs)));
    if (answer.startsWith("ok"))
        QVERIFY(result.received.contains(QJsonDocument(QJsonObject { { u"folder"_s, folder.path() } })
                                             .toJson(QJsonDocument::Compact)
                                             .mid(1)
                                             .chopped(1)));
    QCOMPARE(activations.size(), 0);
    SingleInstance later(folder.path());
    QCOMPARE(later.start(), Start::AnotherRunning);
    QCOMPARE(activations.size(), 1);
}

// A background copy has no window: a window start learns which copy runs instead, and nothing is activated.
void TestSingleInstance::backgroundCopyHasNoWindowToShow()
{
    TempAppFolder folder;
    SingleInstance background(folder.path(), SingleInstance::Role::Background);
    background.setApplicationFolder(folder.path());
    QSignalSpy activations(&background, &SingleInstance::activationRequested);
    QCOMPARE(background.start(), Start::First);

    for (const SingleInstance::Role role : { SingleInstance::Role::Window, SingleInstance::Role::Background }) {
        SingleInstance later(folder.path(), role);
        QCOMPARE(later.start(shortAnswerTimeout), Start::AnotherRunning);
        QCOMPARE(later.runningCopy().role, SingleInstance::Role::Background);
        QCOMPARE(later.runningCopy().pid, QCoreApplication::applicationPid());
        QCOMPARE(later.runningCopy().folder, folder.path());
    }
    QCOMPARE(activations.size(), 0);
}

// A desktop session has XDG_RUNTIME_DIR, a start at boot may find neither it nor /run/user and take the folder in
// the home: two runtime folders. The later start still finds the running copy, through the user's lock, and starts
// once that copy has ended.
void TestSingleInstance::copiesOfTwoRuntimeFoldersMeet()
{
    QTemporaryDir base;
    RuntimeFolderPlaces session;
    session.uid = ::geteuid();
    session.home = base.filePath(u"home"_s);
    session.runUserFolder = base.filePath(u"run/user/1000"_s);
    session.xdgRuntimeDir = base.filePath(u"xdg"_s);
    QVERIFY(QDir().mkpath(*session.xdgRuntimeDir) && ::chmod(QFile::encodeName(*session.xdgRuntimeDir), 0700) == 0);
    RuntimeFolderPlaces boot = session;
    boot.xdgRuntimeDir.reset();
    const RuntimeFolder sessionFolder = findRuntimeFolder(session);
    const RuntimeFolder bootFolder = findRuntimeFolder(boot);
    QCOMPARE(sessionFolder.path, *session.xdgRuntimeDir);
    QCOMPARE(bootFolder.path, session.home + u"/.local/state/Vantiro/runtime"_s);

    auto running = std::make_unique<SingleInstance>(sessionFolder.path, SingleInstance::Role::Background);
    running->setUserFolder(sessionFolder.stateFolder);
    QCOMPARE(running->start(), Start::First);
    SingleInstance later(bootFolder.path, SingleInstance::Role::Background);
    later.setUserFolder(bootFolder.stateFolder);
    QCOMPARE(later.start(shortAnswerTimeout), Start::AnotherRunning);
    QCOMPARE(later.runningCopy().pid, QCoreApplication::applicationPid());
    QVERIFY(!QFile::exists(SingleInstance::serverPath(bootFolder.path)));

    running.reset();
    QCOMPARE(later.start(shortAnswerTimeout), Start::First);
}

// Only the user the copy runs as may ask it anything: another user's request is refused and reported, also when
// the socket's permissions would let it through.
void TestSingleInstance::anotherUsersRequestIsRefused()
{
    if (::geteuid() != 0)
        QSKIP("only root can ask as another user");
    TempAppFolder folder;
    SingleInstance first(folder.path());
    QSignalSpy refusals(&first, &SingleInstance::requestRefused);
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QCOMPARE(first.start(), Start::First);
    const QString socket = SingleInstance::serverPath(folder.path());
    QVERIFY(::chmod(QFile::encodeName(folder.path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(socket).constData(), 0777) == 0);

    const RawClient::Result result = RawClient::exchange(socket, "activate\n", 65534);
    QVERIFY2(result.received.startsWith("error {\"message\":\"refused"), result.received.constData());
    QCOMPARE(refusals.size(), 1);
    QVERIFY(refusals.first().first().toString().contains(u"user id 65534"_s));
    QCOMPARE(activations.size(), 0);
}

void TestSingleInstance::unusableFolderFails()
{
    TempAppFolder folder;
    folder.writeFile(u"plain-file"_s, "not a folder");
    const QString unusable = folder.filePath(u"plain-file/runtime"_s);
    SingleInstance start(unusable);
    QCOMPARE(start.start(), Start::Failed);
    QVERIFY(start.errorString().contains(unusable));
}

// A lock that no running copy holds but that cannot be taken over is named with its reason, not taken for a
// copy that does not answer.
void TestSingleInstance::lockNoCopyHoldsIsExplained_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a folder in its place") << u"folder"_s << u"is a folder"_s;
    QTest::newRow("an ended copy's lock in a read-only folder") << u"read-only folder"_s << u"read-only"_s;
    QTest::newRow("a lock of another user") << u"other user"_s << u"another user"_s;
}

void TestSingleInstance::lockNoCopyHoldsIsExplained()
{
    QFETCH(QString, situation);
    QFETCH(QString, reason);
    TempAppFolder folder;
    const QString lock = SingleInstance::lockFilePath(folder.path());
    const bool root = ::geteuid() == 0;
    if (situation == u"folder"_s) {
        QVERIFY(QDir(folder.path()).mkdir(QFileInfo(lock).fileName()));
    } else if (situation == u"read-only folder"_s) {
        if (root)
            QSKIP("root writes into read-only folders");
        QProcess ended; // a process that is gone by the time the lock is looked at
        ended.start(u"sleep"_s, { u"60"_s });
        QVERIFY(ended.waitForStarted());
        const qint64 pid = ended.processId();
        ended.kill();
        QVERIFY(ended.waitForFinished());
        folder.writeFile(QFileInfo(lock).fileName(),
                         QByteArray::number(pid) + "\nvantiro\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        QVERIFY(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else {
        if (!root)
            QSKIP("only root can give a file to another user");
        folder.writeFile(QFileInfo(lock).fileName(), {});
        QVERIFY(::chown(QFile::encodeName(lock).constData(), 65534, 65534) == 0);
        QVERIFY(QFile::setPermissions(lock, QFileDevice::ReadOwner));
    }

    SingleInstance start(folder.path());
    QCOMPARE(start.start(shortAnswerTimeout), Start::Failed);
    QVERIFY(start.errorString().contains(lock));
    QVERIFY2(start.errorString().contains(reason), qPrintable(start.errorString()));
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The running copy's window has closed and it ends after its last send: a new start is not handed to it (which
// would leave nothing running) but waits for it to end and then runs itself.
void TestSingleInstance::closingCopyIsWaitedFor()
{
    TempAppFolder folder;
    auto closing = std::make_unique<SingleInstance>(folder.path());
    int activations = 0;
    QObject::connect(closing.get(), &SingleInstance::activationRequested, closing.get(),
                     [&activations] { ++activations; });
    QCOMPARE(closing->start(), Start::First);
    closing->setClosing();
    QTimer::singleShot(500ms, this, [&closing] { closing.reset(); });

    SingleInstance next(folder.path());
    QCOMPARE(next.start(shortAnswerTimeout), Start::First);
    QVERIFY(!closing);
    QCOMPARE(activations, 0);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
