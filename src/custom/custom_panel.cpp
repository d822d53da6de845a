#include "custom/custom_panel.h"

#include "custom/checked_send.h"
#include "serial/command_text.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString digitalSignageInput = u"7"_s;
const QString tunerInput = u"1"_s;

void tell(Prompts &prompts, const QString &text, PromptIcon icon = PromptIcon::Information)
{
    prompts.inform(text, icon);
}

// Lets the window repaint and take input between the commands of a row.
void yieldToUser()
{
    QCoreApplication::processEvents();
}

} // namespace

bool isHyundaiPanelModel(const QString &lcd)
{
    return lcd.compare(u"HYUNDAI_D525ML"_s, Qt::CaseInsensitive) == 0;
}

bool isLgPanelModel(const QString &lcd)
{
    return lcd.compare(u"LG"_s, Qt::CaseInsensitive) == 0;
}

RowPlan planRow(const PanelCommandSet &commands, const QString &lcd, const PanelChoices &choices)
{
    const bool hyundai = isHyundaiPanelModel(lcd);
    RowPlan plan;
    if (choices.powerChoice == 0) {
        plan.commands << (hyundai ? commands.hyundaiOnCommand : commands.lgOnCommand);
        plan.texts.status = u"On"_s;
        plan.texts.statusColour = StatusColour::Green;
    } else if (choices.powerChoice == 1) {
        plan.commands << (hyundai ? commands.hyundaiOffCommand : commands.lgOffCommand);
        plan.texts.status = u"Off"_s;
        plan.texts.statusColour = StatusColour::Red;
    }

    if (choices.inputChoice == 0) {
        plan.commands << (hyundai ? commands.hyundaiSignageCommand
                                  : fillPlaceholder(commands.lgInputCommand, valuePlaceholder,
                                                    hexDigitsText(digitalSignageInput).value_or(QString())));
        plan.texts.source = u"DS"_s;
    } else if (choices.inputChoice == 1) {
        const QString channel = choices.channelText.trimmed();
        if (!hyundai) {
            plan.commands << fillPlaceholder(commands.lgInputCommand, valuePlaceholder,
                                             hexDigitsText(tunerInput).value_or(QString()));
            // No channel, no command: the checked send reports the empty one.
            const std::optional<QString> channelTokens = paddedHexText(channel);
            plan.commands << (channelTokens
                                  ? fillPlaceholder(commands.lgChannelCommand, valuePlaceholder, *channelTokens)
                                  : QString());
        }
        plan.texts.source = u"Tuner "_s + channel;
    }

    if (hyundai) {
        plan.texts.volume = u"N/A"_s;
    } else {
        const QString volume = QString::number(choices.volume);
        plan.commands << fillPlaceholder(commands.lgVolumeCommand, valuePlaceholder,
                                         hexDigitsText(volume).value_or(QString()));
        plan.texts.volume = volume;
    }
    return plan;
}

std::optional<QString> choicesProblem(const PanelChoices &choices)
{
    // From 256 on the channel's encoding keeps only its first hexadecimal digit and tunes another channel.
    if (choices.inputChoice == 1 && numericReading(choices.channelText) > highestPanelChannel)
        return u"The channel must be from 0 to %1."_s.arg(highestPanelChannel);
    return std::nullopt;
}

CustomPanel::CustomPanel(const QString &applicationFolder, Prompts &prompts, BusyPointer &busyPointer, QObject *parent)
    : QObject(parent)
    , m_applicationFolder(applicationFolder)
    , m_prompts(prompts)
    , m_busyPointer(busyPointer)
    , m_link(PortMap(applicationFolder))
{ }

void CustomPanel::loadButtonSettings()
{
    const BusyScope busy(m_busyPointer);
    const std::optional<ButtonFileContents> contents = loadButtonFile(m_applicationFolder);
    if (!contents)
        return;

    m_buttonCount = contents->buttonCount;
    QMap<int, PanelRow> rows;
    for (auto entry = contents->buttons.cbegin(); entry != contents->buttons.cend(); ++entry) {
        const int row = entry.key() - 1;
        // A row that remains keeps what it shows of its last send.
        PanelRow loaded = m_rows.value(row);
        loaded.button = entry.value();
        rows.insert(row, loaded);
    }
    m_rows = rows;
    m_commands.applyButtonFileCommands(*contents);
    emit rowsLoaded();
    emit choicesChanged();
}

void CustomPanel::chooseRow(int row)
{
    if (!m_rows.contains(row))
        return;
    m_selectedRow = row;
    m_allRowsChoice = -1;
    emit choicesChanged();
}

void CustomPanel::choosePower(int choice)
{
    m_powerChoice = choice;
    emit choicesChanged();
}

void CustomPanel::chooseInput(int choice)
{
    m_inputChoice = choice;
    emit choicesChanged();
}

bool CustomPanel::chooseAll(int index)
{
    if (m_buttonCount < 1) {
        tell(m_prompts, u"Please assign at least one buttons in the list."_s);
        return false;
    }
    m_allRowsChoice = index;
    m_powerChoice = index == 1 ? 0 : 1;
    m_inputChoice = 0;
    emit choicesChanged();
    return true;
}

void CustomPanel::confirmSend(const QString &channelText, int volume)
{
    if (m_sending)
        return;
    const bool allRows = allRowsMode();
    if (!allRows && selectedRow() < 0) {
        tell(m_prompts, u"Please select a button in the list."_s);
        return;
    }
    // Taken once, so that a choice changed while the rows are sent applies to the next send only.
    const PanelChoices choices { m_powerChoice, m_inputChoice, channelText, volume };
    if (const std::optional<QString> problem = choicesProblem(choices)) {
        tell(m_prompts, *problem);
        return;
    }

    m_sending = true;
    emit sendingChanged(true);
    QStringList failedRows;
    const QList<int> targets = allRows ? m_rows.keys() : QList<int> { m_selectedRow };
    for (const int row : targets) {
        if (!m_rows.contains(row)) // gone with a reload during the send
            continue;
        if (!processRow(row, choices))
            failedRows << rowName(row);
    }
    m_sending = false;
    emit sendingChanged(false);

    const QString finished
        = allRows ? u"Finished sending all serial commands."_s : u"Finished sending out all commands."_s;
    if (failedRows.isEmpty())
        tell(m_prompts, finished);
    else
        tell(m_prompts, finished + u"\nNot sent to: "_s + failedRows.join(u", "_s) + u'.', PromptIcon::Exclamation);
}

bool CustomPanel::processRow(int row, const PanelChoices &choices)
{
    const PanelButton button = m_rows.value(row).button;
    const RowPlan plan = planRow(m_commands, button.lcd, choices);
    bool allSent = true;
    for (const QString &command : plan.commands) {
        const std::optional<SendOutcome> outcome
            = sendWithPortSpec(m_link, m_prompts, m_busyPointer, button.portSpec(), command, false);
        if (!outcome || outcome->failed())
            allSent = false;
        yieldToUser();
    }
    if (plan.commands.isEmpty())
        yieldToUser();

    auto found = m_rows.find(row);
    if (found == m_rows.end())
        return allSent;
    found->texts = plan.texts;
    if (!allSent) {
        found->texts.status = notSentText;
        found->texts.statusColour = StatusColour::Red;
    }
    emit rowTextsChanged(row);
    return allSent;
}

QString CustomPanel::rowName(int row) const
{
    const QString caption = m_rows.value(row).button.button;
    return caption.isEmpty() ? u"button %1"_s.arg(row + 1) : caption;
}

void CustomPanel::resetSerialCommands()
{
    m_commands.setHyundaiDefaultCommands();
    m_commands.setLgDefaultCommands();
    tell(m_prompts, u"Set all serial commands to default."_s);
}

void CustomPanel::loadCustomSerialCommands()
{
    if (m_commands.loadCustomSerialCommands(m_applicationFolder, m_busyPointer))
        tell(m_prompts, u"Successfully loaded custom serial commands."_s);
    else
        tell(m_prompts, u"Can't find the 'CustomSerialCommands.ini' file."_s);
}

} // namespace vantiro
