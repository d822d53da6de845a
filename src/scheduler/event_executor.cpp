#include "scheduler/event_executor.h"

#include "app/prompts.h"
#include "app/status_log.h"
#include "app/text_table_model.h"
#include "inventory/inventory.h"
#include "serial/line_settings.h"
#include "serial/serial_link.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

enum class Kind { GroupPorts, EveryComPort, GroupPortsWithListSettings, LgPanel, HyundaiPanel, Nothing };

// The index is compared as text, exactly: " 0" or "00" name nothing.
Kind kindOf(const QString &index)
{
    if (index == u"0" || index == u"1" || index == u"7")
        return Kind::GroupPorts;
    if (index == u"2" || index == u"3" || index == u"8")
        return Kind::EveryComPort;
    if (index == u"4" || index == u"5" || index == u"6")
        return Kind::GroupPortsWithListSettings;
    if (index == u"100")
        return Kind::LgPanel;
    if (index == u"99")
        return Kind::HyundaiPanel;
    return Kind::Nothing;
}

QString commandForKind(const ModelCommandSet &commands, const QString &index)
{
    if (index == u"1" || index == u"3")
        return commands.powerOffCommand;
    if (index == u"7" || index == u"8")
        return commands.autoConfigCommand;
    return commands.powerOnCommand;
}

LineSettingsTexts modelLineSettings(const ModelCommandSet &commands)
{
    return { commands.modelBaudRate, commands.modelParity, commands.modelDataBits, commands.modelStopBits };
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

// What a run sends from, taken from the window when the run starts: the ports and lists that stay
// editable while it sends cannot change the rest of the run under it.
struct RunInputs
{
    struct Port
    {
        QString com;
        QString model;
    };
    QList<Port> groupPorts;
    QString modelListText;
    QStringList comPortItems;
    LineSettingsTexts lineSettings;
};

struct EventExecutor::Run
{
    CommandHandOff handOff;
    RunInputs inputs;
    // The last outcome of each COM port that failed, by COM number.
    QMap<int, SendOutcome::Status> failures;
};

EventExecutor::EventExecutor(ExecutorHost &host, const CommandHandOff &handOff, ModelCommandSet &commands,
                             Services services, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_handOff(handOff)
    , m_commands(commands)
    , m_services(services)
    , m_timer(this)
{
    m_timer.setObjectName(u"TimerExcuteEventCmd"_s);
    m_timer.setSingleShot(true);
    m_timer.setInterval(timerIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { runWaiting(); });
}

void EventExecutor::scheduleExecution()
{
    // Taken now: a caller may prepare the next hand-off before the tick, and both must be sent.
    m_waiting.append(m_handOff);
    if (!m_timer.isActive())
        m_timer.start();
}

bool EventExecutor::executeCommand()
{
    m_waiting.append(m_handOff);
    return runWaiting();
}

bool EventExecutor::runWaiting()
{
    m_timer.stop();
    // A request made while a run is sending waits its turn; the run in progress sends it next.
    if (m_running)
        return false;
    m_running = true;
    while (!m_waiting.isEmpty())
        runOnce(m_waiting.takeFirst());
    m_running = false;
    emit idle();
    return true;
}

void EventExecutor::runOnce(const CommandHandOff &handOff)
{
    BusyScope busy(m_services.busyPointer);
    m_host.lockEditingFrames();

    Run run { handOff, takeInputs(), {} };
    if (handOff.pendingCommand.isEmpty())
        reportEmptyCommand(run);
    else if (send(run) == Outcome::Completed)
        reportEnd(run);

    const QString unreached = unreachedPortsText(run.failures);
    if (!unreached.isEmpty())
        m_services.statusLog.statusMessage(unreached);

    m_host.unlockEditingFrames();
    // Sends from the status log's side (the runner, the panels' keys) leave the focus where it is.
    if (!handOff.reportToStatusLog || kindOf(handOff.pendingCommandIndex) == Kind::GroupPortsWithListSettings)
        m_host.focusVolumeBox();
    emit commandExecuted();
}

RunInputs EventExecutor::takeInputs() const
{
    RunInputs inputs;
    const TextTableModel &ports = m_host.portTable();
    for (int row = 0; row < ports.rowCount(); ++row)
        inputs.groupPorts.append({ ports.cell(row, portNumberColumn), ports.cell(row, portModelColumn) });
    inputs.modelListText = m_host.displayModelText();
    inputs.comPortItems = m_host.comPortItems();
    inputs.lineSettings = m_host.lineSettingsTexts();
    return inputs;
}

EventExecutor::Outcome EventExecutor::send(Run &run)
{
    switch (kindOf(run.handOff.pendingCommandIndex)) {
    case Kind::GroupPorts:
        return sendToGroupWithOwnModels(run);
    case Kind::EveryComPort:
        return sendToEveryComPort(run);
    case Kind::GroupPortsWithListSettings:
        return sendToGroupWithListSettings(run);
    case Kind::LgPanel:
        sendToPanel(run, m_host.lgPanel());
        return Outcome::Completed;
    case Kind::HyundaiPanel:
        sendToPanel(run, m_host.hyundaiPanel());
        return Outcome::Completed;
    case Kind::Nothing:
        break;
    }
    return Outcome::Completed;
}

// Each port of the group with the commands and line settings of its own model.
EventExecutor::Outcome EventExecutor::sendToGroupWithOwnModels(Run &run)
{
    for (const RunInputs::Port &port : run.inputs.groupPorts) {
        applyModelForSend(m_commands, port.model, SendReach::GroupPorts);
        const QString command = commandForKind(m_commands, run.handOff.pendingCommandIndex);
        if (sendToPort(run, port.com, modelLineSettings(m_commands), command) == Outcome::Stopped)
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
        if (sendToPort(run, portText, modelLineSettings(m_commands), command) == Outcome::Stopped)
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
    for (const RunInputs::Port &port : run.inputs.groupPorts) {
        if (sendToPort(run, port.com, run.inputs.lineSettings, command) == Outcome::Stopped)
            return Outcome::Stopped;
    }
    return Outcome::Completed;
}

void EventExecutor::sendToPanel(Run &run, const PanelHandOff *panel)
{
    if (!panel)
        return;
    transmit(run, panel->panelLineSettings(), panel->panelCommPort(), run.handOff.pendingCommand.trimmed());
}

EventExecutor::Outcome EventExecutor::sendToPort(Run &run, const QString &portText, const LineSettingsTexts &settings,
                                                 const QString &command)
{
    const std::optional<QString> lineSettings = lineSettingsOrTell(settings);
    if (!lineSettings)
        return Outcome::Stopped;

    const QString port = portText.trimmed();
    const bool log = run.handOff.reportToStatusLog;
    if (log)
        m_services.statusLog.statusMessage(u"Start sending serial command to COM "_s % port);
    transmit(run, *lineSettings, port, command);
    if (log)
        m_services.statusLog.statusMessage(u"Finished sending serial command to COM "_s % port);
    QCoreApplication::processEvents();
    return Outcome::Completed;
}

void EventExecutor::transmit(Run &run, const QString &lineSettings, const QString &portText, const QString &command)
{
    SerialLink &link = m_services.link;
    const bool settingsTaken
        = link.configurePort(lineSettings, portText, handshakingForIndex(run.handOff.pendingCommandIndex));
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

// The line settings text "9600,n,8,1", or nothing after telling the operator which one is missing.
std::optional<QString> EventExecutor::lineSettingsOrTell(const LineSettingsTexts &settings)
{
    const std::pair<const QString &, QString> fields[] = {
        { settings.baudRate, u"Baud Rate"_s },
        { settings.parity, u"Parity"_s },
        { settings.dataBits, u"Data Bits"_s },
        { settings.stopBits, u"Stop Bits"_s },
    };
    QStringList values;
    for (const auto &[value, name] : fields) {
        if (value.isEmpty()) {
            m_services.prompts.inform(u"Please select the "_s % name % u" setting before sending."_s,
                                      PromptIcon::Information);
            return std::nullopt;
        }
        values.append(value);
    }
    return values.join(u',');
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
