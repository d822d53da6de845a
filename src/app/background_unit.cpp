#include "app/background_unit.h"

#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

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

BackgroundUnit::ToolRun BackgroundUnit::run(const QString &program, const QStringList &arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return { false, {}, program + u" is not installed"_s };
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(toolTimeout, &loop, &QEventLoop::quit);
    process.start(path, arguments);
    loop.exec();

    const QString command = program + u' ' + arguments.join(u' ');
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return { false, {}, command + u" did not answer within %1 s"_s.arg(toolTimeout.count()) };
    }
    if (process.error() == QProcess::FailedToStart)
        return { false, {}, command + u" could not be started: "_s + process.errorString() };
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return { true, output, {} };
    QString said = firstLine(QString::fromLocal8Bit(process.readAllStandardError()));
    if (said.isEmpty())
        said = firstLine(output);
    if (said.isEmpty())
        said = u"ended with status %1"_s.arg(process.exitCode());
    return { false, output, command + u": "_s + said };
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

std::optional<bool> BackgroundUnit::isEnabled(QString *problem) const
{
    // "enabled" with status 0; "disabled", "static", "masked" and the like with status 1.
    const ToolRun state = run(systemctl, { u"--user"_s, u"is-enabled"_s, unitName });
    const QString word = firstLine(state.output);
    if (state.ran || (!word.isEmpty() && !word.contains(u' ') && word != u"not-found"_s))
        return word == u"enabled"_s || word == u"enabled-runtime"_s;
    if (problem)
        *problem = systemctlProblem(state);
    return std::nullopt;
}

BackgroundUnit::Outcome BackgroundUnit::enable() const
{
    const ToolRun enabled = run(systemctl, { u"--user"_s, u"enable"_s, unitName });
    if (!enabled.ran)
        return { false, u"The schedule cannot run in the background: "_s + systemctlProblem(enabled) };

    const ToolRun linger = run(loginctl, { u"show-user"_s, userId(), u"--property=Linger"_s, u"--value"_s });
    if (linger.ran && linger.output == u"yes"_s)
        return { true, {} };
    const ToolRun asked = run(loginctl, { u"enable-linger"_s });
    if (asked.ran)
        return { true, {} };
    return { true,
             u"The schedule now runs in the background while you are logged in, but not from boot before anyone logs "
             "in: keeping your services running without a login (linger) was refused ("_s
                 + asked.problem + u"). An administrator can allow it with: loginctl enable-linger "_s
                 + qEnvironmentVariable("USER", userId()) };
}

BackgroundUnit::Outcome BackgroundUnit::disable() const
{
    const ToolRun disabled = run(systemctl, { u"--user"_s, u"disable"_s, unitName });
    if (disabled.ran)
        return { false, {} };
    return { true, u"The background schedule could not be switched off: "_s + systemctlProblem(disabled) };
}

} // namespace vantiro
