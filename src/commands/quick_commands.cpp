#include "commands/quick_commands.h"

#include "common/prompts.h"
#include "serial/command_text.h"

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The template follows the model list while the encoding follows the port's model; one command
// goes to every port, so the last port row decides the encoding. Without ports, the template's own
// (hexadecimal) encoding is used.
std::optional<QString> volumeCommand(const QString &volumeText, const ModelCommandSet &commands,
                                     const QList<GroupPort> &groupPorts, Prompts &prompts)
{
    // A text that is no number (pasted letters) would send the template with its value missing.
    if (volumeText.trimmed().isEmpty() || !hexDigitsText(volumeText)) {
        prompts.inform(u"Please enter or select a volume value."_s, PromptIcon::Information, u"Information"_s);
        return std::nullopt;
    }
    const QString lastModel = groupPorts.isEmpty() ? QString() : groupPorts.last().model;
    return volumeCommandFor(commands.volumeCommand, volumeText, lastModel);
}

} // namespace

QuickCommands::QuickCommands(const ModelCommandSet &commands, const SendSnapshotSource &window,
                             CommandDispatch &dispatch, Prompts &prompts)
    : m_commands(commands)
    , m_window(window)
    , m_dispatch(dispatch)
    , m_prompts(prompts)
{ }

std::optional<QFuture<CommandReport>> QuickCommands::send(int index, const QString &volumeText)
{
    CommandRequest request { {}, m_window.sendSnapshot() };
    request.snapshot.volumeText = volumeText;
    const std::optional<CommandHandOff> handOff
        = quickCommandHandOff(index, volumeText, m_commands, request.snapshot.groupPorts, m_prompts);
    if (!handOff)
        return std::nullopt;
    request.handOff = *handOff;
    return m_dispatch.dispatch(request);
}

std::optional<CommandHandOff> quickCommandHandOff(int index, const QString &volumeText, const ModelCommandSet &commands,
                                                  const QList<GroupPort> &groupPorts, Prompts &prompts)
{
    if (index < 0 || index >= quickCommandCount)
        return std::nullopt;
    CommandHandOff handOff { {}, QString::number(index), false };
    switch (QuickCommand(index)) {
    case QuickCommand::MonitorsOn:
    case QuickCommand::MonitorsAllOn:
        handOff.pendingCommand = commands.powerOnCommand;
        break;
    case QuickCommand::MonitorsOff:
    case QuickCommand::MonitorsAllOff:
        handOff.pendingCommand = commands.powerOffCommand;
        break;
    case QuickCommand::MuteOn:
        handOff.pendingCommand = commands.muteOnCommand;
        break;
    case QuickCommand::MuteOff:
        handOff.pendingCommand = commands.muteOffCommand;
        break;
    case QuickCommand::SetVolume: {
        const std::optional<QString> command = volumeCommand(volumeText, commands, groupPorts, prompts);
        if (!command)
            return std::nullopt;
        handOff.pendingCommand = *command;
        break;
    }
    case QuickCommand::AutoConfig:
    case QuickCommand::AutoConfigAll:
        handOff.pendingCommand = commands.autoConfigCommand;
        break;
    }
    return handOff;
}

std::optional<QString> volumeCommandFor(const QString &volumeTemplate, const QString &volumeText, QStringView portModel)
{
    const bool decimal = portDisplayModel(portModel) == DisplayModel::HyundaiVvuon;
    const std::optional<QString> encoded = decimal ? decimalDigitsText(volumeText) : hexDigitsText(volumeText);
    if (!encoded)
        return std::nullopt;
    return fillPlaceholder(volumeTemplate, valuePlaceholder, *encoded);
}

std::optional<QString> muteOrVolumeCommandFor(QuickCommand button, DisplayModel model, const QString &volumeText)
{
    const ModelMuteAndVolume commands = muteAndVolumeFor(model);
    switch (button) {
    case QuickCommand::MuteOn:
        return commands.muteOn;
    case QuickCommand::MuteOff:
        return commands.muteOff;
    case QuickCommand::SetVolume:
        if (!commands.volume)
            return std::nullopt;
        return volumeCommandFor(*commands.volume, volumeText, displayModelNames().at(int(model)));
    default:
        return std::nullopt;
    }
}

double volumeReading(QStringView text)
{
    text = text.trimmed();
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        text = text.mid(1);

    // The whole part saturates instead of overflowing; anything that large is clamped anyway.
    double value = double(numericReading(text));
    qsizetype i = 0;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    if (i < text.size() && text[i] == u'.') {
        double scale = 0.1;
        for (++i; i < text.size() && isDigit(text[i]); ++i, scale /= 10)
            value += (text[i].unicode() - u'0') * scale;
    }
    return negative ? -value : value;
}

VolumeTextRule volumeTextChanged(const QString &text)
{
    const double value = volumeReading(text);
    if (value > 100)
        return { u"100"_s, 100 };
    if (value < 0)
        return { u"0"_s, 0 };
    return { std::nullopt, qRound(value) };
}

VolumeKey volumeKeyAction(char16_t characterCode)
{
    constexpr char16_t backspace = 8;
    constexpr char16_t passThrough = 16;
    constexpr char16_t enter = 13;
    if (characterCode == backspace || characterCode == passThrough || isDigit(QChar(characterCode)))
        return VolumeKey::Pass;
    if (characterCode == enter)
        return VolumeKey::Send;
    return VolumeKey::Discard;
}

} // namespace vantiro
