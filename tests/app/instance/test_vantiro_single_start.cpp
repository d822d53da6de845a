#include "running_copy/single_instance.h"
#include "temp_app_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>

using namespace vantiro;
using namespace Qt::StringLiterals;
using vantiro::test::TempAppFolder;

namespace {

constexpr int waitMs = 10000;
// A second start that finds a running copy ends this quickly.
constexpr int handOverMs = 2000;

// One run of the program, killed when the test is done with it, whatever the outcome.
class Run
{
public:
    Run(const QString &program, const QProcessEnvironment &environment)
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(program, {});
    }
    ~Run()
    {
        if (!isRunning())
            return;
        ::kill(pid_t(m_process.processId()), SIGCONT);
        killHard();
    }

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }
    // Ends by itself within the time, with this status.
    bool endsWith(int status, int ms = handOverMs)
    {
        if (isRunning() && !m_process.waitForFinished(ms))
            return false;
        if (m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == status)
            return true;
        qWarning("%s", m_process.readAllStandardError().constData());
        return false;
    }
    // The program has written this to stderr; it then shows the message in a box until the user closes it.
    bool saysOnStderr(const QString &text)
    {
        return QTest::qWaitFor(
            [&] {
                m_error += QString::fromLocal8Bit(m_process.readAllStandardError());
                return m_error.contains(text);
            },
            waitMs);
    }
    // Started and not ended by itself in this time.
    bool keepsRunningFor(int ms) { return m_process.waitForStarted(waitMs) && !m_process.waitForFinished(ms); }
    void killHard()
    {
        m_process.kill();
        m_process.waitForFinished(waitMs);
    }
    bool pause() { return ::kill(pid_t(m_process.processId()), SIGSTOP) == 0; }

private:
    QProcess m_process;
    QString m_error;
};

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

private:
    std::unique_ptr<Run> run() { return std::make_unique<Run>(m_program, m_environment); }
    bool waitUntilListening(Run &copy)
    {
        return QTest::qWaitFor([&] { return QFile::exists(socketPath()) || !copy.isRunning(); }, waitMs)
            && copy.isRunning();
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
    QVERIFY(QFile::setPermissions(m_runtime->path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    m_environment.insert(u"XDG_RUNTIME_DIR"_s, m_runtime->path());
}

void TestVantiroSingleStart::secondStartHandsOverAlsoAfterAKilledCopy()
{
    const auto first = run();
    QVERIFY(waitUntilListening(*first));
    const auto second = run();
    QVERIFY(second->endsWith(0));
    QVERIFY(first->isRunning());
    QVERIFY(lockNames(first->pid()));

    first->killHard();
    // What a crash leaves behind: both files.
    QVERIFY(QFile::exists(lockPath()) && QFile::exists(socketPath()));
    const auto next = run();
    QVERIFY(next->keepsRunningFor(1000));
    QVERIFY(lockNames(next->pid()));
    const auto later = run();
    QVERIFY(later->endsWith(0));
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
    Run &running = one->isRunning() ? *one : *other;
    QVERIFY((one->isRunning() ? *other : *one).endsWith(0, 0));
    QVERIFY(lockNames(running.pid()));
}

// A copy that holds the lock but cannot answer is never joined by a second one: the new start explains and fails.
void TestVantiroSingleStart::frozenCopyIsNotDoubled()
{
    const auto frozen = run();
    QVERIFY(waitUntilListening(*frozen));
    QVERIFY(frozen->pause());

    const auto second = run();
    QVERIFY(second->saysOnStderr(u"already running"_s));
    QVERIFY(lockNames(frozen->pid()));
}

// A folder where the lock file belongs is no running copy: the start names it at once.
void TestVantiroSingleStart::blockedLockIsNamed()
{
    QVERIFY(QDir().mkdir(lockPath()));
    const auto blocked = run();
    QVERIFY(blocked->saysOnStderr(lockPath() + u"\" is a folder"_s));
}

QTEST_GUILESS_MAIN(TestVantiroSingleStart)
#include "test_vantiro_single_start.moc"
