#include "app/single_instance.h"
#include "temp_app_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
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
    void strayConnectionsActivateNothing();
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

// Connections that do not make the one request are dropped, activate nothing and block nothing.
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
