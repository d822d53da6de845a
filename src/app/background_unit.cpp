#include "app/background_unit.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString systemctl = u"systemctl"_s;
const QString loginctl = u"loginctl"_s;

QString firstLine(const QString &text)
{
    return text.trimmed().section(u'\n', 0, 0);
}

QString userId()
{
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return {};
#endif
}

} // namespace

BackgroundUnit::BackgroundUnit(QObject *parent)
    : QObject(parent)
{ }

void BackgroundUnit::run(const QString &program, const QStringList &arguments,
                         std::function<void(const ToolRun &)> then)
{
    const QString command = program + u' ' + arguments.join(u' ');
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        then({ false, {}, program + u" is not installed"_s });
        return;
    }
    auto *process = new QProcess(this);
    auto answered = std::make_shared<bool>(false);
    const auto answer = [process, answered, then](const ToolRun &result) {
        if (std::exchange(*answered, true))
            return;
        process->deleteLater();
        then(result);
    };
    auto *timeout = new QTimer(process);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, process, [process, answer, command] {
        answer({ false, {}, command + u" did not answer within %1 s"_s.arg(toolTimeout.count()) });
        process->kill();
    });
    connect(process, &QProcess::errorOccurred, process, [process, answer, command](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            answer({ false, {}, command + u" could not be started: "_s + process->errorString() });
    });
    connect(process, &QProcess::finished, process,
            [process, answer, command](int exitCode, QProcess::ExitStatus status) {
                const QString output = QString::fromLocal8Bit(process->readAllStandardOutput()).trimmed();
                if (status == QProcess::NormalExit && exitCode == 0) {
                    answer({ true, output, {} });
                    return;
                }
                QString said = firstLine(QString::fromLocal8Bit(process->readAllStandardError()));
                if (said.isEmpty())
                    said = firstLine(output);
                if (said.isEmpty())
                    said = u"ended with status %1"_s.arg(exitCode);
                answer({ false, output, command + u": "_s + said });
            });
    timeout->start(toolTimeout);
    process->start(path, arguments);
}

QString BackgroundUnit::systemctlProblem(const ToolRun &run)
{
    if (run.problem.endsWith(u" is not installed"_s))
        return u"systemd is not installed here (there is no systemctl)."_s;
    if (run.problem.contains(u"connect to bus"_s) || run.problem.contains(u"DBUS_SESSION_BUS_ADDRESS"_s))
        return u"no systemd user manager runs for you ("_s + run.problem + u")."_s;
    if (run.problem.contains(u"does not exist"_s) || run.problem.contains(u"No such file"_s)
        || run.problem.contains(u"not found"_s))
        return u"the unit "_s + unitName + u" is not installed; it comes with the Vantiro package ("_s + run.problem
            + u")."_s;
    return run.problem + u'.';
}

void BackgroundUnit::askState()
{
    // "enabled" with status 0; "disabled", "static", "masked" and the like with status 1.
    run(systemctl, { u"--user"_s, u"is-enabled"_s, unitName }, [this](const ToolRun &state) {
        const QString word = firstLine(state.output);
        if (state.ran || (!word.isEmpty() && !word.contains(u' ') && word != u"not-found"_s))
            emit stateKnown(word == u"enabled"_s || word == u"enabled-runtime"_s, {});
        else
            emit stateKnown(std::nullopt, systemctlProblem(state));
    });
}

void BackgroundUnit::enable()
{
    run(systemctl, { u"--user"_s, u"enable"_s, unitName }, [this](const ToolRun &enabled) {
        if (enabled.ran)
            askForLinger();
        else
            emit changed({ false, u"The schedule cannot run in the background: "_s + systemctlProblem(enabled) });
    });
}

void BackgroundUnit::askForLinger()
{
    run(loginctl, { u"show-user"_s, userId(), u"--property=Linger"_s, u"--value"_s }, [this](const ToolRun &linger) {
        if (linger.ran && linger.output == u"yes"_s) {
            emit changed({ true, {} });
            return;
        }
        run(loginctl, { u"enable-linger"_s }, [this](const ToolRun &asked) {
            if (asked.ran) {
                emit changed({ true, {} });
                return;
            }
            emit changed({ true,
                           u"The schedule now runs in the background while you are logged in, but not from boot "
                           "before anyone logs in: keeping your services running without a login (linger) was "
                           "refused ("_s
                               + asked.problem + u"). An administrator can allow it with: loginctl enable-linger "_s
                               + qEnvironmentVariable("USER", userId()) });
        });
    });
}

void BackgroundUnit::disable()
{
    run(systemctl, { u"--user"_s, u"disable"_s, unitName }, [this](const ToolRun &disabled) {
        if (disabled.ran)
            emit changed({ false, {} });
        else
            emit changed(
                { true, u"The background schedule could not be switched off: "_s + systemctlProblem(disabled) });
    });
}

} // namespace vantiro
