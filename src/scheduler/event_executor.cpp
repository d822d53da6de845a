#include "scheduler/event_executor.h"

#include "common/prompts.h"
#include "common/status_log.h"
#include "common/text_table_model.h"
#include "serial/line_settings.h"
#include "serial/port_map.h"
#include "serial/serial_link.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

QString commandForKind(const ModelCommandSet &commands, const QString &index)
{
    if (index == u"1" || index == u"3")
        return commands.powerOffCommand;
    if (index == u"7" || index == u"8")
        return commands.autoConfigCommand;
    return commands.powerOnCommand;
}

// "3", "5-40", "1, 4-6, 9".
QString comRangesText(QList<int> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    QStringList ranges;
    for (qsizetype i = 0; i < numbers.size();) {
        qsizetype last = i;
        while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1)
            ++last;
        const QString first = QString::number(numbers[i]);
        ranges.append(last == i ? first : first % u'-' % QString::number(numbers[last]));
        i = last + 1;
    }
    return ranges.join(u", "_s);
}

QString reasonText(SendOutcome::Status status)
{
    // The usual cause on Linux, and the one thing the operator can do about it.
    if (status == SendOutcome::Status::PermissionDenied)
        return sendStatusReason(status) % u" (is the user in the dialout group?)"_s;
    return sendStatusReason(status);
}

} // namespace

struct EventExecutor::Run
{
    const CommandRequest &request;
    const CommandHandOff &handOff;
    const SendSnapshot &inputs;
    // The last outcome of each COM port that failed, by COM number.
    QMap<int, SendOutcome::Status> failures;
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
    Run run { request, request.handOff, request.snapshot, {} };
    if (request.handOff.pendingCommand.isEmpty())
        reportEmptyCommand(run);
    else if (send(run) == Outcome::Completed)
        reportEnd(run);

    const QString unreached = unreachedPortsText(run.failures);
    if (!unreached.isEmpty())
        m_services.statusLog.statusMessage(unreached);

    m_host.unlockEditingFrames();
    // Sends from the status log's side (the runner, the panels' keys) leave the focus where it is.
    if (!request.handOff.reportToStatusLog || request.origin() == CommandOrigin::GroupPortsListSettings)
        m_host.focusVolumeBox();

    waiting.completion.addResult(CommandReport { run.failures });
    waiting.completion.finish();
    emit commandExecuted();
}

EventExecutor::Outcome EventExecutor::send(Run &run)
{
    switch (run.request.origin()) {
    case CommandOrigin::GroupPortsOwnModels:
        return sendToGroupWithOwnModels(run);
    case CommandOrigin::EveryComPort:
        return sendToEveryComPort(run);
    case CommandOrigin::GroupPortsListSettings:
        return sendToGroupWithListSettings(run);
    case CommandOrigin::LgPanel:
    case CommandOrigin::HyundaiPanel:
        sendToPanel(run);
        return Outcome::Completed;
    case CommandOrigin::Unknown:
        break;
    }
    return Outcome::Completed;
}

// Each port of the group with the commands and line settings of its own model.
EventExecutor::Outcome EventExecutor::sendToGroupWithOwnModels(Run &run)
{
    for (const GroupPort &port : run.inputs.groupPorts) {
        applyModelForSend(m_commands, port.model, SendReach::GroupPorts);
        const QString command = commandForKind(m_commands, run.handOff.pendingCommandIndex);
        if (sendToPort(run, port.com, m_commands.lineSettings(), command) == Outcome::Stopped)
            return Outcome::Stopped;
    }
    return Outcome::Completed;
}

// Every COM port of the list with the model the model list shows, whatever group is loaded.
EventExecutor::Outcome EventExecutor::sendToEveryComPort(Run &run)
{
    for (const QString &portText : run.inputs.comPortItems) {
        applyModelForSend(m_commands, run.inputs.modelListText, SendReach::AllPorts);
        const QString command = commandForKind(m_commands, run.handOff.pendingCommandIndex);
        if (sendToPort(run, portText, m_commands.lineSettings(), command) == Outcome::Stopped)
            return Outcome::Stopped;
    }
    return Outcome::Completed;
}

// Mute and volume: the caller's command to each port of the group, with the lists' line settings.
EventExecutor::Outcome EventExecutor::sendToGroupWithListSettings(Run &run)
{
    if (!modelTakesMuteAndVolume(run.inputs.modelListText))
        return Outcome::Completed;
    const QString command = run.handOff.pendingCommand.trimmed();
    for (const GroupPort &port : run.inputs.groupPorts) {
        if (sendToPort(run, port.com, run.inputs.lineSettings, command) == Outcome::Stopped)
            return Outcome::Stopped;
    }
    return Outcome::Completed;
}

void EventExecutor::sendToPanel(Run &run)
{
    const QString &portText = run.inputs.panelCommPort;
    // A panel's key sends even without a port, to the port the link still has; the operator is told
    // which one, as the panel cannot show it.
    if (!comNumberFromPortText(portText)) {
        m_services.statusLog.statusMessage(u"No COM port given: sending to COM "_s
                                           % QString::number(m_services.link.comNumber()) % u", the port last set"_s);
    }
    transmit(run, run.inputs.panelLineSettings, portText, run.handOff.pendingCommand.trimmed());
}

EventExecutor::Outcome EventExecutor::sendToPort(Run &run, const QString &portText, const LineSettings &settings,
                                                 const QString &command)
{
    if (const std::optional<QString> missing = settings.firstEmptySetting()) {
        m_services.prompts.inform(u"Please select the "_s % *missing % u" setting before sending."_s,
                                  PromptIcon::Information);
        return Outcome::Stopped;
    }

    const QString port = portText.trimmed();
    const bool log = run.handOff.reportToStatusLog;
    if (log)
        m_services.statusLog.statusMessage(u"Start sending serial command to COM "_s % port);
    transmit(run, settings.joined(), port, command);
    if (log)
        m_services.statusLog.statusMessage(u"Finished sending serial command to COM "_s % port);
    QCoreApplication::processEvents();
    return Outcome::Completed;
}

void EventExecutor::transmit(Run &run, const QString &lineSettings, const QString &portText, const QString &command)
{
    SerialLink &link = m_services.link;
    const bool settingsTaken = link.configurePort(lineSettings, portText, handshakingFor(run.request.origin()));
    // A port text that names no port sends to the previous one; the report names where it went.
    const int comNumber = link.comNumber();
    if (!settingsTaken) {
        // Line settings the port cannot take (a typed "96OO"): sending at the previous port's speed
        // would garble the command, so this port is reported instead.
        run.failures.insert(comNumber, SendOutcome::Status::SettingsRejected);
        return;
    }
    const SendOutcome outcome = link.sendCommandText(command);
    if (outcome.failed())
        run.failures.insert(comNumber, outcome.status);
    else
        run.failures.remove(comNumber);
}

void EventExecutor::reportEmptyCommand(const Run &run)
{
    if (run.handOff.reportToStatusLog)
        m_services.statusLog.statusMessage(u"Empty serial command."_s);
    else
        m_services.prompts.inform(u"Please enter the serial command before sending."_s, PromptIcon::Information);
}

void EventExecutor::reportEnd(const Run &run)
{
    if (run.handOff.reportToStatusLog)
        m_services.statusLog.statusMessage(u"Finish sending out command string."_s);
    else
        m_services.prompts.inform(u"Finish sending out command string!"_s);
}

QString unreachedPortsText(const QMap<int, SendOutcome::Status> &failures)
{
    if (failures.isEmpty())
        return {};
    QMap<SendOutcome::Status, QList<int>> byReason;
    for (auto it = failures.cbegin(); it != failures.cend(); ++it)
        byReason[it.value()].append(it.key());
    QStringList groups;
    for (auto it = byReason.cbegin(); it != byReason.cend(); ++it)
        groups.append(u"COM "_s % comRangesText(it.value()) % u": "_s % reasonText(it.key()));
    return u"Not sent to "_s % groups.join(u"; "_s);
}

bool modelTakesMuteAndVolume(const QString &modelListText)
{
    // The D525ML has no mute or volume commands of its own, so it gets none.
    return portDisplayModel(modelListText) != DisplayModel::HyundaiD525ML;
}

} // namespace vantiro
