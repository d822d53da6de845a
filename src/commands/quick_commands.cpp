#include "commands/quick_commands.h"

#include "app/prompts.h"
#include "app/text_table_model.h"
#include "inventory/inventory.h"
#include "scheduler/command_hand_off.h"
#include "serial/command_text.h"

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

QuickCommands::QuickCommands(const ModelCommandSet &commands, const TextTableModel &portTable, CommandHandOff &handOff,
                             Prompts &prompts)
    : m_commands(commands)
    , m_portTable(portTable)
    , m_handOff(handOff)
    , m_prompts(prompts)
{ }

bool QuickCommands::dispatch(int index, const QString &volumeText)
{
    if (index < 0 || index >= quickCommandCount)
        return false;
    m_handOff.pendingCommandIndex = QString::number(index);
    m_handOff.reportToStatusLog = false;

    switch (QuickCommand(index)) {
    case QuickCommand::MonitorsOn:
    case QuickCommand::MonitorsAllOn:
        m_handOff.pendingCommand = m_commands.powerOnCommand;
        break;
    case QuickCommand::MonitorsOff:
    case QuickCommand::MonitorsAllOff:
        m_handOff.pendingCommand = m_commands.powerOffCommand;
        break;
    case QuickCommand::MuteOn:
        m_handOff.pendingCommand = m_commands.muteOnCommand;
        break;
    case QuickCommand::MuteOff:
        m_handOff.pendingCommand = m_commands.muteOffCommand;
        break;
    case QuickCommand::SetVolume:
        return prepareVolume(volumeText);
    case QuickCommand::AutoConfig:
    case QuickCommand::AutoConfigAll:
        m_handOff.pendingCommand = m_commands.autoConfigCommand;
        break;
    }
    return true;
}

// The template follows the model list while the encoding follows the port's model; one command
// goes to every port, so the last port row decides the encoding.
bool QuickCommands::prepareVolume(const QString &volumeText)
{
    // A text that is no number (pasted letters) would send the template with its value missing.
    if (volumeText.trimmed().isEmpty() || !hexDigitsText(volumeText)) {
        m_prompts.inform(u"Please enter or select a volume value."_s, PromptIcon::Information, u"Information"_s);
        return false;
    }
    for (int row = 0; row < m_portTable.rowCount(); ++row) {
        if (const auto command
            = volumeCommandFor(m_commands.volumeCommand, volumeText, m_portTable.cell(row, portModelColumn)))
            m_handOff.pendingCommand = *command;
    }
    return true;
}

std::optional<QString> volumeCommandFor(const QString &volumeTemplate, const QString &volumeText, QStringView portModel)
{
    const bool decimal = portDisplayModel(portModel) == DisplayModel::HyundaiVvuon;
    const std::optional<QString> encoded = decimal ? decimalDigitsText(volumeText) : hexDigitsText(volumeText);
    if (!encoded)
        return std::nullopt;
    return fillPlaceholder(volumeTemplate, valuePlaceholder, *encoded);
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
