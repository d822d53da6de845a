#include "running_copy/hand_back.h"

#include "common/safe_save.h"
#include "scheduler/schedule_rules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace vantiro::hand_back {

namespace {

const QString unitName = u"vantiro.service"_s;

struct ToolRun
{
    bool ok = false;
    QString output;
    QString problem;
};

ToolRun runSystemctl(const QStringList &arguments)
{
    const QString path = QStandardPaths::findExecutable(u"systemctl"_s);
    if (path.isEmpty())
        return { false, {}, u"systemctl is not installed"_s };
    QProcess process;
    process.start(path, QStringList { u"--user"_s } + arguments);
    const QString command = u"systemctl --user "_s + arguments.join(u' ');
    if (!process.waitForStarted(int(std::chrono::milliseconds(toolTimeout).count())))
        return { false, {}, command + u" could not be started: "_s + process.errorString() };
    if (!process.waitForFinished(int(std::chrono::milliseconds(toolTimeout).count()))) {
        process.kill();
        process.waitForFinished();
        return { false, {}, command + u" did not answer within %1 s"_s.arg(toolTimeout.count()) };
    }
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return { true, output, {} };
    QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().section(u'\n', 0, 0);
    if (said.isEmpty())
        said = u"ended with status %1"_s.arg(process.exitCode());
    return { false, output, command + u": "_s + said };
}

} // namespace

bool writeFile(const QString &folder, const RunnerHandOver &handOver, QString *error)
{
    const SaveResult saved = saveFile(QDir(folder).filePath(fileName), handOver.toText().toUtf8());
    if (!saved && error)
        *error = saved.error;
    return saved.ok;
}

std::optional<RunnerHandOver> takeFile(const QStringList &folders, const QDateTime &now, QString *note)
{
    std::optional<RunnerHandOver> taken;
    QString said;
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(fileName);
        QFile file(path);
        if (!file.exists())
            continue;
        const QDateTime written = QFileInfo(path).lastModified();
        const bool opened = file.open(QIODevice::ReadOnly);
        const QByteArray bytes = opened ? file.read(RunnerHandOver::maxTextChars * 4 + 1) : QByteArray();
        file.close();
        if (!QFile::remove(path) && said.isEmpty())
            said = u"The schedule handed back in %1 cannot be removed: "_s.arg(path) + file.errorString() + u'.';
        if (taken)
            continue;
        if (!opened) {
            said = u"The schedule handed back in %1 cannot be read: "_s.arg(path) + file.errorString() + u'.';
            continue;
        }
        if (written.secsTo(now) > std::chrono::seconds(maximumAge).count() || now.secsTo(written) > 60) {
            said = u"The schedule handed back in %1 at %2 is stale and was ignored."_s.arg(
                path, written.toString(u"yyyy-MM-dd HH:mm:ss"_s));
            continue;
        }
        taken = RunnerHandOver::fromText(QString::fromUtf8(bytes));
        if (!taken)
            said = u"The schedule handed back in %1 is damaged and was ignored."_s.arg(path);
    }
    if (note)
        *note = taken ? QString() : said;
    return taken;
}

bool unitEnabled()
{
    const ToolRun state = runSystemctl({ u"is-enabled"_s, unitName });
    return state.ok && (state.output == u"enabled"_s || state.output == u"enabled-runtime"_s);
}

QString startBackgroundCopy(bool throughUnit, const QString &program, const QString &applicationFolder)
{
    if (throughUnit) {
        const ToolRun started = runSystemctl({ u"start"_s, unitName });
        return started.ok ? QString() : started.problem;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments({ u"--background"_s, u"--app-folder"_s, applicationFolder });
    // Its lines go to the daily log; a terminal the window was started from may be gone long before it ends.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setWorkingDirectory(QDir::rootPath());
    if (!process.startDetached())
        return program + u" --background could not be started: "_s + process.errorString();
    return {};
}

Outcome handBack(ScheduleRunner &runner, SingleInstance &instance, bool tookOver, const QString &program,
                 const QString &applicationFolder)
{
    const bool throughUnit = unitEnabled();
    if (!throughUnit && !tookOver)
        return {};
    const bool wasRunning = runner.isRunning();
    RunnerHandOver state = runner.takeHandOver();
    const QDateTime before = wallClockSecond(QDateTime::currentDateTime()).addSecs(-1);
    if (!wasRunning && (!state.examined.last() || *state.examined.last() < before))
        state.examined.setLast(before);

    QStringList said;
    QString error;
    const QString folder = instance.handOverFolder();
    if (!writeFile(folder, state, &error))
        said.append(u"What the schedule examined and queued cannot be left in %1 (%2): the background copy starts "
                    "afresh, and %3 queued events are not sent."_s.arg(QDir::toNativeSeparators(folder), error)
                        .arg(state.queued.size()));
    instance.release();

    QString failed = startBackgroundCopy(throughUnit, program, applicationFolder);
    if (failed.isEmpty()) {
        said.append(u"The schedule is handed back to the background copy (%1): %2 events queued."_s.arg(
            throughUnit ? u"vantiro.service"_s : u"a process of its own"_s, QString::number(state.queued.size())));
        return { true, said.join(u' '), false };
    }
    if (throughUnit) {
        const QString detached = startBackgroundCopy(false, program, applicationFolder);
        if (detached.isEmpty()) {
            said.append(u"vantiro.service could not be started ("_s + failed
                        + u"); the schedule is handed back to a background copy of its own instead."_s);
            return { true, said.join(u' '), false };
        }
        failed += u"; "_s + detached;
    }
    said.append(
        u"The schedule could not be handed back to a background copy ("_s + failed
        + u"): it does not run until Vantiro starts again; a start within ten minutes goes on from what this window "
          "left."_s);
    return { true, said.join(u' '), true };
}

} // namespace vantiro::hand_back
