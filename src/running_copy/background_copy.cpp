#include "running_copy/background_copy.h"

#include "common/clock.h"
#include "common/console_text.h"
#include "common/prompts.h"
#include "common/status_log.h"
#include "running_copy/hand_back.h"
#include "running_copy/headless_schedule.h"
#include "running_copy/runtime_folder.h"
#include "running_copy/send_requests.h"
#include "running_copy/settings_watch.h"
#include "running_copy/termination_signals.h"
#include "scheduler/schedule_rules.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>

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
    printBytes(stderr, text.toUtf8() + '\n');
}

// The answer to a window's hand-over request, within the limit of one answer line: events beyond it (hundreds,
// which no schedule queues at once) are logged as missed rather than cutting the answer short.
QJsonObject handOverFields(RunnerHandOver handOver, StatusLog &log)
{
    for (;;) {
        const QJsonObject fields { { u"state"_s, handOver.toText() } };
        if (handOver.queued.isEmpty()
            || local_requests::line(local_requests::handedOver, fields).size() <= local_requests::maximumLineBytes)
            return fields;
        const QueuedEvent dropped = handOver.queued.takeLast();
        log.statusMessage(u"Missed "_s + dropped.group + u' ' + dropped.function + u" due at "_s
                          + wallClockText(dropped.dueAt) + u": too many events queued to hand over."_s);
    }
}

QString handOverSummary(const RunnerHandOver &handOver)
{
    const std::optional<QDateTime> last = handOver.examined.last();
    return u"%1 events queued, examined up to %2"_s.arg(handOver.queued.size())
        .arg(last ? wallClockText(*last) : u"nothing yet"_s);
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
    if (runtime.stateFolder.isEmpty())
        printError(u"Vantiro has no folder for the user's lock ("_s + runtime.stateError
                   + u"); only the lock in the runtime folder keeps a second copy from starting."_s);
    SingleInstance instance(runtime.path, SingleInstance::Role::Background);
    instance.setUserFolder(runtime.stateFolder);
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

    // A window that starts takes the schedule over: no further events are taken here, the send on the wire
    // finishes, and what was examined and queued goes to the window in the answer. Then this copy ends.
    bool handingOver = false;
    instance.server().setHandler(
        local_requests::handOver, [&](const local_requests::Message &request, const LocalRequestServer::Reply &reply) {
            if (handingOver || stopSignal != 0) {
                reply.answer(local_requests::closing);
                return;
            }
            handingOver = true;
            log.statusMessage(
                u"A window (process %1) takes the schedule over: the send on the wire finishes first."_s.arg(
                    request.fields.value(u"pid"_s).toInteger()));
            instance.setClosing();
            schedule.stop();
            const auto handOver = [&, reply] {
                RunnerHandOver state = schedule.runner().takeHandOver();
                if (!reply.isOpen()) {
                    // The window has gone meanwhile: the schedule goes on here, from where it stopped.
                    log.statusMessage(u"The window that took the schedule over has gone; it runs on here."_s);
                    handingOver = false;
                    instance.cancelClosing();
                    schedule.runner().continueFrom(state);
                    schedule.runner().run();
                    return;
                }
                log.statusMessage(u"Handed the schedule over to the window: "_s + handOverSummary(state) + u'.');
                // An event the runner had taken just before the request came is still going out: it ends first.
                reply.answerThen(local_requests::handedOver, handOverFields(std::move(state), log), [&schedule] {
                    if (!schedule.executor().isRunning())
                        QCoreApplication::quit();
                    else
                        QObject::connect(&schedule.executor(), &EventExecutor::idle, &schedule, &QCoreApplication::quit,
                                         Qt::SingleShotConnection);
                });
            };
            if (schedule.executor().isRunning())
                QObject::connect(&schedule.executor(), &EventExecutor::idle, &schedule, handOver,
                                 Qt::SingleShotConnection);
            else
                handOver();
        });

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
    // A window that closed left what it had examined and queued.
    QString note;
    std::optional<RunnerHandOver> handedBack
        = hand_back::takeFile(instance.handOverFolders(), QDateTime::currentDateTime(), &note);
    if (handedBack)
        log.statusMessage(u"Took the schedule back from the window: "_s + handOverSummary(*handedBack) + u'.');
    else if (!note.isEmpty())
        log.statusMessage(note);
    schedule.start(std::move(handedBack));
    QCoreApplication::exec();
    log.statusMessage(handingOver ? u"Vantiro in the background has ended; the window runs the schedule."_s
                                  : u"Vantiro in the background has ended."_s);
    return 0;
}

} // namespace vantiro
