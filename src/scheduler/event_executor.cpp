#include "scheduler/event_executor.h"

#include "commands/quick_commands.h"
#include "common/event_wait.h"
#include "common/prompts.h"
#include "common/status_log.h"
#include "common/text_table_model.h"
#include "serial/line_settings.h"
#include "serial/port_text.h"
#include "serial/serial_link.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

QString modelCommand(const ModelCommandSet &commands, HandOffCommand command)
{
    if (command == HandOffCommand::PowerOff)
        return commands.powerOffCommand;
    if (command == HandOffCommand::AutoConfig)
        return commands.autoConfigCommand;
    return commands.powerOnCommand;
}

void logEach(StatusLog &log, const QStringList &lines)
{
    for (const QString &line : lines)
        log.statusMessage(line);
}

// "COM 3: sent", "COM abc: not sent: not a COM number".
QString portOutcomeLine(const QString &portText, const SendOutcome &outcome)
{
    return u"COM "_s % (portText.isEmpty() ? u"(none)"_s : portText) % u": "_s % outcome.text();
}

QuickCommand muteOrVolumeButton(HandOffCommand command)
{
    if (command == HandOffCommand::MuteOn)
        return QuickCommand::MuteOn;
    if (command == HandOffCommand::MuteOff)
        return QuickCommand::MuteOff;
    return QuickCommand::SetVolume;
}

} // namespace

struct EventExecutor::Run
{
    // One port of the run in the order it is reached: a send for the link, or a failure known
    // before anything is opened.
    struct Step
    {
        QString portText;
        bool logged = false; // "Start sending" and "Finished sending" lines around it
        std::optional<UnreachedPort> knownFailure;
    };

    const CommandRequest &request;
    const CommandHandOff &handOff;
    const SendSnapshot &inputs;
    QList<Step> steps;
    QList<PortSend> sends; // the steps without a known failure, in order
    QList<qsizetype> stepOfSend;
    // A setting the list left empty stops the run at that port, after the ports before it.
    std::optional<QString> missingSetting;
    // The last failure of each COM port, by COM number, and of each port text that names none.
    QMap<int, UnreachedPort> failures;
    QMap<QString, UnreachedPort> unnamed;
    // Where the operator's Stop took effect: the first step not tried.
    std::optional<qsizetype> stoppedAt;

    void record(const UnreachedPort &port)
    {
        if (port.com > 0)
            failures.insert(port.com, port);
        else
            unnamed.insert(port.portText, port);
    }
    void recordOutcome(const QString &portText, const SendOutcome &outcome)
    {
        const std::optional<int> com = comPortNumber(portText);
        if (!com)
            record(UnreachedPort { 0, portText, outcome });
        else if (outcome.failed())
            record(UnreachedPort { *com, QString::number(*com), outcome });
        else
            failures.remove(*com);
    }
    QList<UnreachedPort> unreached() const { return failures.values() + unnamed.values(); }
    CommandReport report() const
    {
        CommandReport report;
        for (const UnreachedPort &port : unreached())
            report.unreached.insert(port.com, port.outcome.status);
        return report;
    }
};

EventExecutor::EventExecutor(ExecutorHost &host, ModelCommandSet &commands, Services services, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_commands(commands)
    , m_services(services)
    , m_timer(this)
{
    m_timer.setObjectName(u"TimerExcuteEventCmd"_s);
    m_timer.setSingleShot(true);
    m_timer.setInterval(timerIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &EventExecutor::runWaiting);
}

EventExecutor::~EventExecutor()
{
    for (Waiting &waiting : m_waiting)
        waiting.completion.finish();
}

QFuture<CommandReport> EventExecutor::dispatch(const CommandRequest &request, Timing timing)
{
    Waiting &waiting = m_waiting.emplace_back(Waiting { request, QPromise<CommandReport>() });
    waiting.completion.start();
    QFuture<CommandReport> completion = waiting.completion.future();
    if (timing == Timing::Now)
        runWaiting();
    else if (!m_timer.isActive())
        m_timer.start();
    return completion;
}

void EventExecutor::runWaiting()
{
    m_timer.stop();
    // A request made while a run is sending waits its turn; the run in progress sends it next.
    if (m_running)
        return;
    m_running = true;
    while (!m_waiting.empty()) {
        Waiting waiting = std::move(m_waiting.front());
        m_waiting.pop_front();
        runOnce(waiting);
    }
    m_running = false;
    emit idle();
}

void EventExecutor::runOnce(Waiting &waiting)
{
    BusyScope busy(m_services.busyPointer);
    m_host.lockEditingFrames();

    const CommandRequest &request = waiting.request;
    Run run { request, request.handOff, request.snapshot, {}, {}, {}, {}, {}, {}, {} };
    if (request.handOff.pendingCommand.isEmpty()) {
        reportEmptyCommand(run);
    } else {
        plan(run);
        m_progress.begin(int(run.steps.size()));
        const Outcome outcome = send(run);
        m_progress.end();
        const QStringList unreached = unreachedPortsLines(run.unreached());
        if (outcome == Outcome::Completed)
            reportEnd(run, unreached);
        else
            logEach(m_services.statusLog, unreached);
    }

    m_host.unlockEditingFrames();
    // Sends from the status log's side (the runner, the panels' keys) and from outside leave the focus where it is.
    if (!request.fromOutside
        && (!request.handOff.reportToStatusLog || request.origin() == CommandOrigin::GroupPortsListSettings))
        m_host.focusVolumeBox();

    waiting.completion.addResult(run.report());
    waiting.completion.finish();
    emit commandExecuted();
}

void EventExecutor::plan(Run &run)
{
    switch (run.request.origin()) {
    case CommandOrigin::GroupPortsOwnModels:
        planGroupWithOwnModels(run);
        break;
    case CommandOrigin::EveryComPort:
        planEveryComPort(run);
        break;
    case CommandOrigin::GroupPortsListSettings:
        planGroupWithListSettings(run);
        break;
    case CommandOrigin::LgPanel:
    case CommandOrigin::HyundaiPanel:
        planPanel(run);
        break;
    case CommandOrigin::Unknown:
        break;
    }
}

// Each port of the group with the commands and line settings of its own model. The window's command set keeps the
// model applied last, as its quick commands then send; a send asked for from outside leaves it as it was.
EventExecutor::Outcome EventExecutor::planGroupWithOwnModels(Run &run)
{
    ModelCommandSet outside = m_commands;
    ModelCommandSet &commands = run.request.fromOutside ? outside : m_commands;
    for (const GroupPort &port : run.inputs.groupPorts) {
        applyModelForSend(commands, port.model, SendReach::GroupPorts);
        const QString command = modelCommand(commands, run.request.kind().command);
        if (planPort(run, port.com, commands.lineSettings(), command) == Outcome::Stopped)
            return Outcome::Stopped;
    }
    return Outcome::Completed;
}

// Every COM port of the list with the model the model list shows, whatever group is loaded; the command set kept
// as for a group.
EventExecutor::Outcome EventExecutor::planEveryComPort(Run &run)
{
    ModelCommandSet outside = m_commands;
    ModelCommandSet &commands = run.request.fromOutside ? outside : m_commands;
    for (const QString &portText : run.inputs.comPortItems) {
        applyModelForSend(commands, run.inputs.modelListText, SendReach::AllPorts);
        const QString command = modelCommand(commands, run.request.kind().command);
        if (planPort(run, portText, commands.lineSettings(), command) == Outcome::Stopped)
            return Outcome::Stopped;
    }
    return Outcome::Completed;
}

// Mute and volume. A group of the model list's model gets the caller's command at the lists' line
// settings; any other group gets, port by port, its own model's command at that model's settings.
EventExecutor::Outcome EventExecutor::planGroupWithListSettings(Run &run)
{
    const DisplayModel listModel = portDisplayModel(run.inputs.modelListText);
    const bool allListModel
        = std::all_of(run.inputs.groupPorts.cbegin(), run.inputs.groupPorts.cend(),
                      [&](const GroupPort &port) { return portDisplayModel(port.model) == listModel; });
    if (!allListModel || !modelTakesMuteAndVolume(run.inputs.modelListText))
        return planGroupPortByPort(run);
    const QString command = run.handOff.pendingCommand.trimmed();
    for (const GroupPort &port : run.inputs.groupPorts) {
        if (planPort(run, port.com, run.inputs.lineSettings, command) == Outcome::Stopped)
            return Outcome::Stopped;
    }
    return Outcome::Completed;
}

EventExecutor::Outcome EventExecutor::planGroupPortByPort(Run &run)
{
    const QuickCommand button = muteOrVolumeButton(run.request.kind().command);
    const QString what = button == QuickCommand::SetVolume ? u"volume"_s : u"mute"_s;
    for (const GroupPort &port : run.inputs.groupPorts) {
        const DisplayModel model = portDisplayModel(port.model);
        const std::optional<QString> command = muteOrVolumeCommandFor(button, model, run.inputs.volumeText);
        const std::optional<int> com = comPortNumber(port.com);
        if (!command && com) {
            const QString reason = u"no "_s % what % u" command for "_s % displayModelNames().at(int(model));
            knownFailure(
                run,
                UnreachedPort { *com, QString::number(*com),
                                SendOutcome { SendOutcome::Status::NoCommandForModel, {}, 0, reason, false } });
            continue;
        }
        if (!command) {
            knownFailure(run,
                         UnreachedPort { 0, port.com.trimmed(),
                                         SendOutcome { SendOutcome::Status::NotAComNumber, {}, 0, {}, false } });
            continue;
        }
        if (planPort(run, port.com, muteAndVolumeFor(model).lineSettings, *command) == Outcome::Stopped)
            return Outcome::Stopped;
    }
    return Outcome::Completed;
}

void EventExecutor::planPanel(Run &run)
{
    QString portText = run.inputs.panelCommPort.trimmed();
    // A panel's key sends even without a port, to the port the link still has; the operator is told
    // which one, as the panel cannot show it. A port text that names no port is not sent at all.
    if (portText.isEmpty()) {
        portText = QString::number(m_services.link.comNumber());
        m_services.statusLog.statusMessage(u"No COM port given: sending to COM "_s % portText
                                           % u", the port last set"_s);
    }
    planSend(run, run.inputs.panelLineSettings, portText, run.handOff.pendingCommand.trimmed(), false);
}

EventExecutor::Outcome EventExecutor::planPort(Run &run, const QString &portText, const LineSettings &settings,
                                               const QString &command)
{
    if (const std::optional<QString> missing = settings.firstEmptySetting()) {
        run.missingSetting = *missing;
        return Outcome::Stopped;
    }
    planSend(run, settings.joined(), portText.trimmed(), command, run.handOff.reportToStatusLog);
    return Outcome::Completed;
}

void EventExecutor::planSend(Run &run, const QString &lineSettings, const QString &portText, const QString &command,
                             bool logged)
{
    run.stepOfSend.append(run.steps.size());
    run.steps.append(Run::Step { portText, logged, std::nullopt });
    run.sends.append(PortSend { portText, lineSettings, handshakingFor(run.request.origin()), command });
}

void EventExecutor::knownFailure(Run &run, const UnreachedPort &port)
{
    run.steps.append(Run::Step { port.portText, false, port });
}

// Sends the planned ports as one job on the link and reports each port as the link reaches it:
// the failures known beforehand in their place, the log lines around each send.
EventExecutor::Outcome EventExecutor::send(Run &run)
{
    // After a Stop, every port not tried is told as stopped, whatever else would have kept it.
    const SendOutcome stopped { SendOutcome::Status::Cancelled, {}, 0, stoppedByUserText(), false };
    const auto recordStopped = [&](const QString &portText) {
        const std::optional<int> com = comPortNumber(portText);
        run.record(UnreachedPort { com.value_or(0), com ? QString::number(*com) : portText, stopped });
    };
    qsizetype nextStep = 0;
    const auto recordKnownFailuresUpTo = [&](qsizetype step) {
        for (; nextStep < step; ++nextStep) {
            const Run::Step &port = run.steps.at(nextStep);
            if (!port.knownFailure)
                continue;
            if (run.stoppedAt) {
                recordStopped(port.portText);
                continue;
            }
            run.record(*port.knownFailure);
            m_services.statusLog.statusMessage(portOutcomeLine(port.portText, port.knownFailure->outcome));
        }
    };
    const QFuture<PortProgress> progress = m_services.link.startRun(run.sends, m_progress.stopFlag());
    waitWhileEventsRun(progress, OnQuit::WaitForOtherThread, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const PortProgress event = progress.resultAt(i);
            const qsizetype step = run.stepOfSend.at(event.index);
            const Run::Step &port = run.steps.at(step);
            const bool leftOut = event.finished && event.outcome.status == SendOutcome::Status::Cancelled;
            if (leftOut && m_progress.stopRequested() && !run.stoppedAt)
                run.stoppedAt = step;
            recordKnownFailuresUpTo(step);
            if (!event.finished) {
                m_progress.reachPort(int(step) + 1, port.portText);
                if (port.logged)
                    m_services.statusLog.statusMessage(u"Start sending serial command to COM "_s % port.portText);
                continue;
            }
            nextStep = step + 1;
            if (leftOut && run.stoppedAt) {
                recordStopped(port.portText);
                continue;
            }
            run.recordOutcome(port.portText, event.outcome);
            if (port.logged)
                m_services.statusLog.statusMessage(u"Finished sending serial command to COM "_s % port.portText);
            m_services.statusLog.statusMessage(portOutcomeLine(port.portText, event.outcome));
        }
    });
    recordKnownFailuresUpTo(run.steps.size());
    if (!run.missingSetting)
        return Outcome::Completed;
    m_services.prompts.inform(u"Please select the "_s % *run.missingSetting % u" setting before sending."_s,
                              PromptIcon::Information);
    return Outcome::Stopped;
}

void EventExecutor::reportEmptyCommand(const Run &run)
{
    if (run.handOff.reportToStatusLog)
        m_services.statusLog.statusMessage(u"Empty serial command."_s);
    else
        m_services.prompts.inform(u"Please enter the serial command before sending."_s, PromptIcon::Information);
}

// The ports not reached go to the status log in either case; a message box names them too, under
// its usual first line and with the warning icon, and comes after the log lines so the log is
// complete while the box waits.
void EventExecutor::reportEnd(const Run &run, const QStringList &unreached)
{
    if (run.handOff.reportToStatusLog) {
        m_services.statusLog.statusMessage(u"Finish sending out command string."_s);
        logEach(m_services.statusLog, unreached);
        return;
    }
    if (unreached.isEmpty()) {
        m_services.prompts.inform(u"Finish sending out command string!"_s);
        return;
    }
    logEach(m_services.statusLog, unreached);
    m_services.prompts.inform(u"Finish sending out command string!\n"_s % unreached.join(u'\n'),
                              PromptIcon::Exclamation);
}

QStringList unreachedPortsLines(const QList<UnreachedPort> &ports)
{
    QList<UnreachedPort> numbered;
    QList<UnreachedPort> unnamed;
    for (const UnreachedPort &port : ports)
        (port.com > 0 ? numbered : unnamed).append(port);
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const UnreachedPort &a, const UnreachedPort &b) { return a.com < b.com; });

    // Lines in the order of their first port; a reason met again joins its line.
    QList<std::pair<QString, QStringList>> lines;
    const auto add = [&lines](const QString &reason, const QString &portsText) {
        const auto line = std::find_if(lines.begin(), lines.end(), [&](const auto &l) { return l.first == reason; });
        if (line == lines.end())
            lines.append({ reason, { portsText } });
        else
            line->second.append(portsText);
    };
    for (qsizetype first = 0; first < numbered.size();) {
        qsizetype last = first;
        while (last + 1 < numbered.size() && numbered[last + 1].com == numbered[last].com + 1
               && sameReason(numbered[last].outcome, numbered[last + 1].outcome))
            ++last;
        const QString range = last == first
            ? QString::number(numbered[first].com)
            : QString::number(numbered[first].com) % u'-' % QString::number(numbered[last].com);
        add(reasonTextThrough(numbered[first].outcome, numbered[last].outcome), range);
        first = last + 1;
    }
    for (const UnreachedPort &port : std::as_const(unnamed))
        add(port.outcome.reasonText(), port.portText.isEmpty() ? u"(none)"_s : port.portText);

    QStringList texts;
    for (const auto &[reason, names] : std::as_const(lines))
        texts.append(u"Not sent to COM "_s % names.join(u", "_s) % u": "_s % reason);
    return texts;
}

bool modelTakesMuteAndVolume(const QString &modelListText)
{
    // The D525ML has no mute or volume commands of its own, so it gets none.
    return portDisplayModel(modelListText) != DisplayModel::HyundaiD525ML;
}

} // namespace vantiro
