#include "running_copy/send_plan.h"

#include "commands/display_models.h"
#include "commands/quick_commands.h"
#include "scheduler/schedule_runner.h"

#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace vantiro::send {

namespace {

constexpr int highestCom = 255;

struct QuickName
{
    const char16_t *name;
    HandOffCommand command;
    CommandOrigin origin;
};

// The main window's quick commands that address the ports of a group, by the names vantiro-send takes.
constexpr QuickName quickNames[] = {
    { u"Monitors ON", HandOffCommand::PowerOn, CommandOrigin::GroupPortsOwnModels },
    { u"Monitors OFF", HandOffCommand::PowerOff, CommandOrigin::GroupPortsOwnModels },
    { u"Mute ON", HandOffCommand::MuteOn, CommandOrigin::GroupPortsListSettings },
    { u"Mute OFF", HandOffCommand::MuteOff, CommandOrigin::GroupPortsListSettings },
    { u"Auto Config", HandOffCommand::AutoConfig, CommandOrigin::GroupPortsOwnModels },
    { u"Set Volume", HandOffCommand::Volume, CommandOrigin::GroupPortsListSettings },
};

// The line settings lists as the window starts: 9600, "n", "8", "1". Only mute and volume read them.
LineSettings defaultLineSettings()
{
    const LineSettingsSelection lists;
    return { baudRateItems().value(lists.baudIndex), parityItems().value(lists.parityIndex),
             dataBitsItems().value(lists.dataBitsIndex), stopBitsItems().value(lists.stopBitsIndex) };
}

QStringList everyComPort()
{
    QStringList ports;
    for (int com = 1; com <= 40; ++com)
        ports.append(QString::number(com));
    return ports;
}

// The model's own command of this kind, from a set that starts empty: empty when the model has none.
QString modelCommand(const QString &model, HandOffCommand command, SendReach reach)
{
    ModelCommandSet set;
    applyModelForSend(set, model, reach);
    switch (command) {
    case HandOffCommand::PowerOn:
        return set.powerOnCommand;
    case HandOffCommand::PowerOff:
        return set.powerOffCommand;
    case HandOffCommand::AutoConfig:
        return set.autoConfigCommand;
    default:
        return {};
    }
}

std::optional<QString> modelNamed(const QString &name)
{
    for (const QString &model : displayModelNames()) {
        if (model.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return model;
    }
    return std::nullopt;
}

QString quotedList(const QStringList &names)
{
    return u"\""_s + names.join(u"\", \""_s) + u'"';
}

} // namespace

std::variant<Options, QString> readOptions(const QStringList &positional, const QString &group, const QString &com,
                                           const QString &model, const QString &volume, bool list, bool status)
{
    Options options;
    options.group = group;
    options.model = model;
    options.volume = volume;
    const bool sending
        = !group.isEmpty() || !com.isEmpty() || !model.isEmpty() || !volume.isEmpty() || !positional.isEmpty();
    if (int(list) + int(status) + int(sending) > 1)
        return u"--list, --status and a send are asked one at a time"_s;
    if (list || status) {
        options.action = list ? Options::Action::List : Options::Action::Status;
        return options;
    }
    if (positional.size() != 1)
        return positional.isEmpty() ? u"no function or command named"_s
                                    : u"one function or command at a time (quote a name with blanks)"_s;
    options.name = positional.first().trimmed();
    if (group.isEmpty() == com.isEmpty())
        return u"give either --group or --com with --model"_s;
    if (!group.isEmpty()) {
        if (!model.isEmpty() || !volume.isEmpty())
            return u"--model and --volume go with --com, not with --group"_s;
        return options;
    }
    bool ok = false;
    const int number = com.toInt(&ok);
    if (!ok || number < 1 || number > highestCom)
        return u"--com takes a COM number from 1 to %1, not \"%2\""_s.arg(highestCom).arg(com);
    options.com = number;
    if (model.isEmpty())
        return u"--com needs --model (one of %1)"_s.arg(quotedList(displayModelNames()));
    return options;
}

std::variant<PlannedSend, QString> planFunction(const QString &function, const QString &group,
                                                const QJsonArray &groupPorts)
{
    const std::optional<ScheduledFunction> scheduled = scheduledFunction(function);
    if (!scheduled)
        return u"unknown function \"%1\"; the schedule's functions are \"Monitors ON\", \"Monitors OFF\", "
               "\"LG Auto Configuration\", \"All Monitors ON\", \"LG All Monitors OFF\", ..."_s.arg(function);
    PlannedSend plan;
    plan.what = group + u' ' + function;
    CommandRequest &request = plan.request;
    request.handOff = { {}, handOffIndex(scheduled->kind), true };
    request.snapshot.lineSettings = defaultLineSettings();
    request.snapshot.comPortItems = everyComPort();
    request.snapshot.modelListText = displayModelNames().value(scheduled->modelEntry.value_or(0));
    for (const QJsonValue &port : groupPorts) {
        const QJsonObject fields = port.toObject();
        request.snapshot.groupPorts.append({ fields.value(u"com"_s).toString(), fields.value(u"model"_s).toString() });
    }
    plan.everyComPort = scheduled->kind.origin == CommandOrigin::EveryComPort;
    if (plan.everyComPort) {
        request.handOff.pendingCommand
            = modelCommand(request.snapshot.modelListText, scheduled->kind.command, SendReach::AllPorts);
    } else {
        if (request.snapshot.groupPorts.isEmpty())
            return u"group \"%1\" has no ports"_s.arg(group);
        // Each port gets its own model's command; the hand-off carries the first port's.
        request.handOff.pendingCommand
            = modelCommand(request.snapshot.groupPorts.first().model, scheduled->kind.command, SendReach::GroupPorts);
    }
    if (request.handOff.pendingCommand.isEmpty())
        request.handOff.pendingCommand = modelCommand(u"LG"_s, scheduled->kind.command, SendReach::GroupPorts);
    return plan;
}

std::variant<PlannedSend, QString> planQuickCommand(const QString &command, int com, const QString &model,
                                                    const QString &volume)
{
    const auto quick = std::find_if(std::begin(quickNames), std::end(quickNames),
                                    [&](const QuickName &known) { return command == QStringView(known.name); });
    if (quick == std::end(quickNames)) {
        QStringList names;
        for (const QuickName &known : quickNames)
            names.append(QString::fromUtf16(known.name));
        return u"unknown command \"%1\"; with --com the commands are %2"_s.arg(command, quotedList(names));
    }
    const std::optional<QString> modelName = modelNamed(model);
    if (!modelName)
        return u"unknown model \"%1\"; the models are %2"_s.arg(model, quotedList(displayModelNames()));
    if (quick->command == HandOffCommand::Volume && volume.isEmpty())
        return u"\"Set Volume\" needs --volume N (0 to 100)"_s;
    if (quick->command != HandOffCommand::Volume && !volume.isEmpty())
        return u"--volume goes with \"Set Volume\" only"_s;
    bool ok = false;
    const int level = volume.toInt(&ok);
    if (!volume.isEmpty() && (!ok || level < 0 || level > 100))
        return u"--volume takes a whole number from 0 to 100, not \"%1\""_s.arg(volume);

    PlannedSend plan;
    plan.what = u"COM %1 %2 %3"_s.arg(com).arg(*modelName, command);
    if (quick->command == HandOffCommand::Volume)
        plan.what += u' ' + QString::number(level);
    CommandRequest &request = plan.request;
    request.handOff = { {}, handOffIndex({ quick->origin, quick->command }), true };
    request.snapshot.groupPorts = { { QString::number(com), *modelName } };
    request.snapshot.modelListText = *modelName;
    request.snapshot.comPortItems = everyComPort();
    request.snapshot.lineSettings = defaultLineSettings();
    request.snapshot.volumeText = volume.isEmpty() ? QString() : QString::number(level);

    QString &bytes = request.handOff.pendingCommand;
    if (quick->origin == CommandOrigin::GroupPortsOwnModels) {
        bytes = modelCommand(*modelName, quick->command, SendReach::GroupPorts);
    } else {
        const ModelMuteAndVolume own = muteAndVolumeFor(portDisplayModel(*modelName));
        request.snapshot.lineSettings = own.lineSettings;
        if (quick->command == HandOffCommand::MuteOn)
            bytes = own.muteOn.value_or(QString());
        else if (quick->command == HandOffCommand::MuteOff)
            bytes = own.muteOff.value_or(QString());
        else if (own.volume)
            bytes = volumeCommandFor(*own.volume, request.snapshot.volumeText, *modelName).value_or(QString());
    }
    if (bytes.isEmpty())
        return u"model \"%1\" has no \"%2\" command"_s.arg(*modelName, command);
    return plan;
}

std::optional<QJsonArray> groupPorts(const QJsonArray &groups, const QString &group)
{
    for (const QJsonValue &entry : groups) {
        const QJsonObject fields = entry.toObject();
        if (fields.value(u"name"_s).toString().trimmed() == group.trimmed())
            return fields.value(u"ports"_s).toArray();
    }
    return std::nullopt;
}

} // namespace vantiro::send
