#include "vantiro_process.h"

#include <QFile>
#include <QTest>

#include <signal.h>

namespace vantiro::test {

bool privateCopiesEnvironment(const QString &runtimeFolder, QProcessEnvironment &environment)
{
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
    environment.insert(QStringLiteral("VANTIRO_STATE_DIR"), runtimeFolder);
    return QFile::setPermissions(runtimeFolder,
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

namespace {
constexpr int waitMs = 10000;
}

VantiroProcess::VantiroProcess(const QString &program, const QStringList &arguments,
                               const QProcessEnvironment &environment, std::function<void()> childSetup)
{
    m_process.setProcessEnvironment(environment);
    if (childSetup)
        m_process.setChildProcessModifier(childSetup);
    m_process.start(program, arguments);
}

VantiroProcess::~VantiroProcess()
{
    if (!isRunning())
        return;
    signal(SIGCONT);
    killHard();
}

bool VantiroProcess::endsWith(int status, int ms)
{
    if (isRunning() && !m_process.waitForFinished(ms))
        return false;
    if (m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == status)
        return true;
    qWarning("ended with %d (%s): %s", m_process.exitCode(),
             m_process.exitStatus() == QProcess::NormalExit ? "normal" : "crash", qPrintable(standardError()));
    return false;
}

bool VantiroProcess::says(QString &collected, QProcess::ProcessChannel channel, const QString &text, int ms)
{
    const auto read = [&] {
        m_process.setReadChannel(channel);
        collected += QString::fromUtf8(m_process.readAll());
        return collected.contains(text);
    };
    if (QTest::qWaitFor(read, ms))
        return true;
    qWarning("not said: %s\nsaid: %s", qPrintable(text), qPrintable(collected));
    return false;
}

bool VantiroProcess::saysOnStderr(const QString &text, int ms)
{
    return says(m_error, QProcess::StandardError, text, ms);
}

bool VantiroProcess::saysOnStdout(const QString &text, int ms)
{
    return says(m_output, QProcess::StandardOutput, text, ms);
}

QString VantiroProcess::standardError()
{
    m_error += QString::fromUtf8(m_process.readAllStandardError());
    return m_error;
}

bool VantiroProcess::keepsRunningFor(int ms)
{
    return m_process.waitForStarted(waitMs) && !m_process.waitForFinished(ms);
}

bool VantiroProcess::signal(int signalNumber) const
{
    return isRunning() && ::kill(pid_t(m_process.processId()), signalNumber) == 0;
}

void VantiroProcess::killHard()
{
    m_process.kill();
    m_process.waitForFinished(waitMs);
}

} // namespace vantiro::test
