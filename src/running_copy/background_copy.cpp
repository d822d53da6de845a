#include "running_copy/background_copy.h"

#include "common/clock.h"
#include "common/prompts.h"
#include "common/status_log.h"
#include "running_copy/headless_schedule.h"
#include "running_copy/runtime_folder.h"
#include "running_copy/send_requests.h"
#include "running_copy/settings_watch.h"
#include "running_copy/termination_signals.h"

#include <QCoreApplication>
#include <QDir>

#include <csignal>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

// Standard error is the journal under a service manager; a line that cannot be written there is still in the
// daily log.
void printError(const QString &text)
{
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

QString alreadyRunningText(const SingleInstance::RunningCopy &copy)
{
    const QString which = copy.role == SingleInstance::Role::Background ? u"in the background"_s : u"with its window"_s;
    QString text = u"Vantiro is already running "_s + which;
    if (copy.pid > 0)
        text += u" (process %1"_s.arg(copy.pid)
            + (copy.folder.isEmpty() ? QString() : u", application folder "_s + QDir::toNativeSeparators(copy.folder))
            + u')';
    return text + u"; that copy runs the schedule, so this one ends."_s;
}

int runBackgroundProgram(int argc, char *argv[], const QString &applicationFolder)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(applicationTitle);
    return runBackgroundCopy(applicationFolder);
}

int runBackgroundCopy(const QString &applicationFolder)
{
#ifdef Q_OS_UNIX
    // A closed standard error (the terminal gone) must not end the schedule.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Caught from here on. A stop that comes while the start waits (for a copy that is closing) ends the program
    // once the start has returned; one that comes later ends the running schedule (see below).
    TerminationSignals termination;
    int stopSignal = 0;
    std::function<void()> stop;
    QObject::connect(&termination, &TerminationSignals::received, &termination, [&](int signalNumber) {
        if (stopSignal != 0)
            return;
        stopSignal = signalNumber;
        if (stop)
            stop();
    });

    const RuntimeFolder runtime = findRuntimeFolder();
    if (!runtime) {
        printError(runtime.error);
        return 1;
    }
    SingleInstance instance(runtime.path, SingleInstance::Role::Background);
    instance.setApplicationFolder(applicationFolder);
    const SingleInstance::Start start = instance.start();
    if (start == SingleInstance::Start::AnotherRunning) {
        printError(alreadyRunningText(instance.runningCopy()));
        return 0;
    }
    if (start != SingleInstance::Start::First) {
        printError(instance.errorString());
        return 1;
    }
    if (stopSignal != 0) {
        printError(u"Ended on "_s + QLatin1StringView(terminationSignalName(stopSignal)) + u" before it started."_s);
        return 0;
    }

    SystemClock clock;
    HeadlessSchedule schedule(applicationFolder, clock);
    StatusLog &log = schedule.statusLog();
    QObject::connect(&log, &StatusLog::lineLogged, &log,
                     [](const QDateTime &, const QString &line) { printError(line); });
    QObject::connect(&instance, &SingleInstance::requestRefused, &log, &StatusLog::statusMessage);
    instance.setScheduleRunning([&schedule] { return schedule.runner().isRunning(); });
    registerSendRequests(instance, { schedule.executor(), log, schedule.inventory(), schedule.schedule() });

    SettingsWatch watch(schedule.settingsPath());
    QObject::connect(&watch, &SettingsWatch::changed, &schedule, &HeadlessSchedule::takeChangedSettings);

    stop = [&] {
        log.statusMessage(u"Ending on "_s + QLatin1StringView(terminationSignalName(stopSignal))
                          + u": the send on the wire finishes first."_s);
        instance.setClosing();
        schedule.stop();
        // Ends every event loop: a send in progress stops after the port on the wire (the link ends the step it is
        // in), then the program ends.
        QCoreApplication::quit();
    };

    log.statusMessage(u"Vantiro %1 runs the schedule in the background (process %2) from %3."_s.arg(
        programVersion(), QString::number(QCoreApplication::applicationPid()),
        QDir::toNativeSeparators(applicationFolder)));
    schedule.start();
    QCoreApplication::exec();
    log.statusMessage(u"Vantiro in the background has ended."_s);
    return 0;
}

} // namespace vantiro
