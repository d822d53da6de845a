#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace vantiro::test {

// The environment of copies that meet only each other: the runtime folder (made the user's own, 0700) and the
// folder of the user's lock both `runtimeFolder`, so they never meet another test's copies or a real one. False
// when the folder's mode could not be set.
bool privateCopiesEnvironment(const QString &runtimeFolder, QProcessEnvironment &environment);

// One run of the real program, killed when the test is done with it, whatever the outcome.
class VantiroProcess
{
public:
    VantiroProcess(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                   std::function<void()> childSetup = {});
    ~VantiroProcess();
    VantiroProcess(const VantiroProcess &) = delete;
    VantiroProcess &operator=(const VantiroProcess &) = delete;

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }
    // Ends by itself within the time, with this status (what it said on stderr is printed when not).
    bool endsWith(int status, int ms);
    // Has written this to stderr (or stdout) within the time.
    bool saysOnStderr(const QString &text, int ms = 10000);
    bool saysOnStdout(const QString &text, int ms = 10000);
    QString standardError();
    // Started and not ended by itself in this time.
    bool keepsRunningFor(int ms);
    bool signal(int signalNumber) const;
    void killHard();

private:
    bool says(QString &collected, QProcess::ProcessChannel channel, const QString &text, int ms);

    QProcess m_process;
    QString m_error;
    QString m_output;
};

} // namespace vantiro::test
