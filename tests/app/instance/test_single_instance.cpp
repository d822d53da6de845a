#include "app/single_instance.h"
#include "temp_app_folder.h"

#include <QDateTime>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace vantiro;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using vantiro::test::TempAppFolder;
using Start = SingleInstance::Start;

namespace {

constexpr auto shortAnswerTimeout = 300ms;

// The id of a process that has already ended.
qint64 endedProcessId()
{
    QProcess process;
    process.start(u"true"_s, {});
    if (!process.waitForStarted())
        return 0;
    const qint64 pid = process.processId();
    process.waitForFinished();
    return pid;
}

// A lock file exactly as a copy leaves it when it is killed: the real format, naming a process that is gone.
bool leaveLockOfEndedProcess(const QString &folder)
{
    const QString path = SingleInstance::lockFilePath(folder);
    QByteArray contents;
    {
        QLockFile own(path);
        if (!own.tryLock(0))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        contents = file.readAll();
    }
    const qint64 pid = endedProcessId();
    if (pid <= 0)
        return false;
    contents = QByteArray::number(pid) + contents.mid(contents.indexOf('\n'));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// A socket file nobody listens on any more, as a killed copy leaves it.
bool leaveSocketFile(const QString &folder)
{
    const QByteArray path = QFile::encodeName(SingleInstance::serverPath(folder));
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound && QFile::exists(SingleInstance::serverPath(folder));
}

bool setAge(const QString &path, std::chrono::seconds age)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite)
        && file.setFileTime(QDateTime::currentDateTime().addSecs(-age.count()), QFileDevice::FileModificationTime);
}

// A lock file that is empty because its writer died right after creating it, long ago.
bool leaveUnreadableOldLock(const QString &folder)
{
    const QString path = SingleInstance::lockFilePath(folder);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.close();
    return setAge(path, 1h);
}

// A first copy living in another thread, whose window takes a moment to come forward.
class FirstCopyInThread
{
public:
    explicit FirstCopyInThread(const QString &folder)
        : m_folder(folder)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
    }
    ~FirstCopyInThread()
    {
        QMetaObject::invokeMethod(
            &m_context, [this] { m_instance.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    Start start()
    {
        Start result = Start::Failed;
        QMetaObject::invokeMethod(
            &m_context,
            [this, &result] {
                m_instance = std::make_unique<SingleInstance>(m_folder);
                QObject::connect(m_instance.get(), &SingleInstance::activationRequested, &m_context, [this] {
                    QThread::msleep(300);
                    ++m_broughtForward;
                });
                result = m_instance->start();
            },
            Qt::BlockingQueuedConnection);
        return result;
    }

    int windowsBroughtForward() const { return m_broughtForward; }

private:
    QString m_folder;
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<SingleInstance> m_instance;
    std::atomic<int> m_broughtForward = 0;
};

enum class Leftover { LockOfEndedProcess, SocketFile, LockAndSocket, UnreadableOldLock };

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void laterStartsBringTheFirstForward();
    void answerComesAfterTheWindowIsForward();
    void nextStartAfterTheFirstEndedIsFirst();
    void leftoversOfACrashDoNotBlock_data();
    void leftoversOfACrashDoNotBlock();
    void liveCopyKeepsItsLockHoweverOld();
    void silentCopyIsNeverDoubled_data();
    void silentCopyIsNeverDoubled();
    void lockFreedWhileWaitingStartsNormally();
    void requestWaitsUntilSomethingCanActivate();
    void strayConnectionsActivateNothing();
    void unusableFolderFails();
};

void TestSingleInstance::laterStartsBringTheFirstForward()
{
    TempAppFolder folder;
    SingleInstance first(folder.path());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QCOMPARE(first.start(), Start::First);
    QVERIFY(first.errorString().isEmpty());

    for (int request = 1; request <= 3; ++request) {
        SingleInstance later(folder.path());
        QCOMPARE(later.start(), Start::AnotherRunning);
        QVERIFY(later.errorString().isEmpty());
        QCOMPARE(activations.size(), request);
    }
    QTest::qWait(100);
    QCOMPARE(activations.size(), 3);
}

// The first copy runs in a thread of its own, as in its own process, and takes a while to bring its window forward:
// the later start must not end before that is done.
void TestSingleInstance::answerComesAfterTheWindowIsForward()
{
    TempAppFolder folder;
    FirstCopyInThread first(folder.path());
    QCOMPARE(first.start(), Start::First);

    SingleInstance later(folder.path());
    QCOMPARE(later.start(), Start::AnotherRunning);
    QCOMPARE(first.windowsBroughtForward(), 1);
}

void TestSingleInstance::nextStartAfterTheFirstEndedIsFirst()
{
    TempAppFolder folder;
    auto first = std::make_unique<SingleInstance>(folder.path());
    QCOMPARE(first->start(), Start::First);
    first.reset();
    QVERIFY(!QFile::exists(SingleInstance::lockFilePath(folder.path())));

    SingleInstance next(folder.path());
    QSignalSpy activations(&next, &SingleInstance::activationRequested);
    QCOMPARE(next.start(), Start::First);
    SingleInstance later(folder.path());
    QCOMPARE(later.start(), Start::AnotherRunning);
    QCOMPARE(activations.size(), 1);
}

void TestSingleInstance::leftoversOfACrashDoNotBlock_data()
{
    QTest::addColumn<Leftover>("leftover");
    QTest::newRow("lock of an ended process") << Leftover::LockOfEndedProcess;
    QTest::newRow("socket file") << Leftover::SocketFile;
    QTest::newRow("lock and socket file") << Leftover::LockAndSocket;
    QTest::newRow("unreadable old lock") << Leftover::UnreadableOldLock;
}

void TestSingleInstance::leftoversOfACrashDoNotBlock()
{
    QFETCH(Leftover, leftover);
    TempAppFolder folder;
    if (leftover == Leftover::LockOfEndedProcess || leftover == Leftover::LockAndSocket)
        QVERIFY(leaveLockOfEndedProcess(folder.path()));
    if (leftover == Leftover::SocketFile || leftover == Leftover::LockAndSocket)
        QVERIFY(leaveSocketFile(folder.path()));
    if (leftover == Leftover::UnreadableOldLock)
        QVERIFY(leaveUnreadableOldLock(folder.path()));

    SingleInstance first(folder.path());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QCOMPARE(first.start(), Start::First);

    // It really listens where the leftover was.
    SingleInstance later(folder.path());
    QCOMPARE(later.start(shortAnswerTimeout), Start::AnotherRunning);
    QCOMPARE(activations.size(), 1);
}

// Only a lock whose owner is gone is taken over; its age alone never counts.
void TestSingleInstance::liveCopyKeepsItsLockHoweverOld()
{
    TempAppFolder folder;
    SingleInstance first(folder.path());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QCOMPARE(first.start(), Start::First);
    QVERIFY(setAge(SingleInstance::lockFilePath(folder.path()), 24h));

    SingleInstance later(folder.path());
    QCOMPARE(later.start(), Start::AnotherRunning);
    QCOMPARE(activations.size(), 1);
}

void TestSingleInstance::silentCopyIsNeverDoubled_data()
{
    QTest::addColumn<bool>("listens");
    QTest::newRow("holds the lock, not listening") << false;
    QTest::newRow("listens, never answers") << true;
}

void TestSingleInstance::silentCopyIsNeverDoubled()
{
    QFETCH(bool, listens);
    TempAppFolder folder;
    QLockFile liveLock(SingleInstance::lockFilePath(folder.path()));
    QVERIFY(liveLock.tryLock(0));
    QLocalServer silent;
    if (listens)
        QVERIFY(silent.listen(SingleInstance::serverPath(folder.path())));

    SingleInstance later(folder.path());
    QCOMPARE(later.start(shortAnswerTimeout), Start::AnotherUnreachable);
    QVERIFY(later.errorString().contains(u"already running"_s));
    if (listens)
        QVERIFY(silent.hasPendingConnections());

    // The refused start took nothing: the silent copy's lock is still its own.
    qint64 owner = 0;
    QVERIFY(liveLock.getLockInfo(&owner, nullptr, nullptr));
    QCOMPARE(owner, QCoreApplication::applicationPid());
    QVERIFY(liveLock.isLocked());
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

void TestSingleInstance::strayConnectionsActivateNothing()
{
    TempAppFolder folder;
    SingleInstance first(folder.path());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QCOMPARE(first.start(), Start::First);

    for (const QByteArray &message : { QByteArray("GET / HTTP/1.0\r\n\r\n"), QByteArray(200, 'x') }) {
        QLocalSocket stray;
        stray.connectToServer(SingleInstance::serverPath(folder.path()));
        QVERIFY(stray.waitForConnected(1000));
        stray.write(message);
        QTRY_COMPARE_WITH_TIMEOUT(stray.state(), QLocalSocket::UnconnectedState, 2000);
        QVERIFY(!stray.canReadLine());
    }
    QCOMPARE(activations.size(), 0);

    SingleInstance later(folder.path());
    QCOMPARE(later.start(), Start::AnotherRunning);
    QCOMPARE(activations.size(), 1);
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

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
