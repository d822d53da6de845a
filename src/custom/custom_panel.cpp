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

// A closing message names at most this many rows, each cut to a line; the log has them all, whole.
constexpr qsizetype maxListedRows = 12;
constexpr qsizetype messageNameLength = 60;
constexpr qsizetype loggedNameLength = 1000;

// The caption, or "button N" for a row without one, cut to `limit` characters.
QString buttonName(const PanelButton &button, int row, qsizetype limit)
{
    if (button.button.isEmpty())
        return u"button %1"_s.arg(row + 1);
    return button.button.size() <= limit ? button.button : button.button.left(limit - 1) + u'\u2026';
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
        plan.commands << PlannedCommand { u"power"_s, u"On"_s,
                                          hyundai ? commands.hyundaiOnCommand : commands.lgOnCommand };
        plan.texts.status = u"On"_s;
        plan.texts.statusColour = StatusColour::Green;
    } else if (choices.powerChoice == 1) {
        plan.commands << PlannedCommand { u"power"_s, u"Off"_s,
                                          hyundai ? commands.hyundaiOffCommand : commands.lgOffCommand };
        plan.texts.status = u"Off"_s;
        plan.texts.statusColour = StatusColour::Red;
    }

    if (choices.inputChoice == 0) {
        plan.commands << PlannedCommand { u"input"_s, u"DS"_s,
                                          hyundai ? commands.hyundaiSignageCommand
                                                  : fillPlaceholder(
                                                      commands.lgInputCommand, valuePlaceholder,
                                                      hexDigitsText(digitalSignageInput).value_or(QString())) };
        plan.texts.source = u"DS"_s;
    } else if (choices.inputChoice == 1) {
        const QString channel = choices.channelText.trimmed();
        if (!hyundai) {
            plan.commands << PlannedCommand { u"input"_s, u"Tuner"_s,
                                              fillPlaceholder(commands.lgInputCommand, valuePlaceholder,
                                                              hexDigitsText(tunerInput).value_or(QString())) };
            // No channel, no command: the checked send reports the empty one.
            const std::optional<QString> channelTokens = paddedHexText(channel);
            plan.commands << PlannedCommand {
                u"channel"_s, channel.isEmpty() ? u"no channel"_s : u"channel "_s + channel,
                channelTokens ? fillPlaceholder(commands.lgChannelCommand, valuePlaceholder, *channelTokens) : QString()
            };
        }
        plan.texts.source = u"Tuner "_s + channel;
    }

    if (hyundai) {
        plan.texts.volume = u"N/A"_s;
    } else {
        const QString volume = QString::number(choices.volume);
        plan.commands << PlannedCommand { u"volume"_s, u"volume "_s + volume,
                                          fillPlaceholder(commands.lgVolumeCommand, valuePlaceholder,
                                                          hexDigitsText(volume).value_or(QString())) };
        plan.texts.volume = volume;
    }
    return plan;
}

namespace {

void appendOnce(QStringList &list, const QString &text)
{
    if (!list.contains(text))
        list.append(text);
}

// "channel", "channel and volume", "power, channel and volume".
QString partsText(const QStringList &parts)
{
    if (parts.size() < 2)
        return parts.value(0);
    return parts.first(parts.size() - 1).join(u", "_s) + u" and "_s + parts.last();
}

} // namespace

void RowResult::add(const PlannedCommand &planned, const CheckedSend &send)
{
    if (send.sent()) {
        sent.append(planned.shown);
        return;
    }
    appendOnce(failedParts, planned.part);
    appendOnce(problems, send.problem);
}

QString RowResult::problemText() const
{
    const QString why = problems.join(u"; "_s);
    if (sent.isEmpty())
        return why;
    return partsText(failedParts) + u" not sent: "_s + why;
}

QString RowResult::outcomeText() const
{
    if (!failed())
        return u"sent"_s;
    if (sent.isEmpty())
        return u"not sent: "_s + problemText();
    return sent.join(u", "_s) + u" sent; "_s + problemText();
}

RowTexts rowTextsAfterSend(const RowPlan &plan, const RowResult &result)
{
    RowTexts texts = plan.texts;
    if (!result.failed())
        return texts;
    texts.statusColour = StatusColour::Red;
    texts.statusTip = result.problemText();
    if (result.sent.isEmpty()) {
        texts.status = notSentText;
        return texts;
    }
    // What reached the display first, then what did not.
    const bool powerSent = !plan.texts.status.isEmpty() && !result.failedParts.contains(u"power"_s);
    texts.status
        = (powerSent ? plan.texts.status + u", "_s : QString()) + partsText(result.failedParts) + u" not sent"_s;
    return texts;
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
    , m_sendLog(m_clock)
    , m_dailyLog(applicationFolder, m_sendLog)
{
    // The operator hears of a daily log that cannot be written at the end of the send, as no window shows
    // the panel's own list.
    connect(&m_dailyLog, &DailyLog::writeFailed, this, [this](const QString &path, const QString &reason) {
        m_logProblem = u"The daily log %1 cannot be written (%2)."_s.arg(path, reason);
    });
}

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
    m_logProblem.clear();
    QStringList notSent;
    QStringList stopped; // the ports of the rows a Stop left out
    const QList<int> targets = allRows ? m_rows.keys() : QList<int> { m_selectedRow };
    m_progress.begin(int(targets.size()));
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const int row = targets.at(i);
        if (!m_rows.contains(row)) // gone with a reload during the send
            continue;
        const QString port = m_rows.value(row).button.port;
        // A row's commands go together: a display is never left with half of them.
        if (m_progress.stopRequested()) {
            stopped << port;
            continue;
        }
        m_progress.reachPort(int(i) + 1, port.trimmed());
        const RowResult result = processRow(row, choices);
        if (result.failed())
            notSent << buttonName(m_rows.value(row).button, row, messageNameLength) + u": "_s + result.problemText();
    }
    m_progress.end();
    if (!stopped.isEmpty())
        m_sendLog.statusMessage(u"Custom panel, "_s + stoppedPortsLine(stopped));
    m_sending = false;
    emit sendingChanged(false);

    QStringList lines { allRows ? u"Finished sending all serial commands."_s
                                : u"Finished sending out all commands."_s };
    if (!notSent.isEmpty()) {
        lines << u"Not sent to:"_s << notSent.first(std::min(notSent.size(), maxListedRows));
        if (notSent.size() > maxListedRows)
            lines << u"... and %1 more (each row is in the daily log)."_s.arg(notSent.size() - maxListedRows);
    }
    if (!stopped.isEmpty())
        lines << stoppedPortsLine(stopped);
    if (!m_logProblem.isEmpty())
        lines << m_logProblem;
    tell(m_prompts, lines.join(u'\n'), lines.size() > 1 ? PromptIcon::Exclamation : PromptIcon::Information);
}

RowResult CustomPanel::processRow(int row, const PanelChoices &choices)
{
    const PanelButton button = m_rows.value(row).button;
    const RowPlan plan = planRow(m_commands, button.lcd, choices);
    RowResult result;
    for (const PlannedCommand &planned : plan.commands) {
        result.add(planned,
                   sendWithPortSpec(m_link, m_prompts, m_busyPointer, button.portSpec(), planned.command, false));
        yieldToUser();
    }
    if (plan.commands.isEmpty())
        yieldToUser();
    record(button, row, plan, result);

    auto found = m_rows.find(row);
    if (found == m_rows.end())
        return result;
    found->texts = rowTextsAfterSend(plan, result);
    emit rowTextsChanged(row);
    return result;
}

// One line per row: which display, what was to be sent and how it went.
void CustomPanel::record(const PanelButton &button, int row, const RowPlan &plan, const RowResult &result)
{
    QStringList what;
    for (const PlannedCommand &planned : plan.commands)
        what << planned.shown;
    const QString outcome
        = what.isEmpty() ? u"nothing to send"_s : what.join(u", "_s) + u" - "_s + result.outcomeText();
    m_sendLog.statusMessage(u"Custom panel, %1 (%2, %3): %4"_s.arg(buttonName(button, row, loggedNameLength),
                                                                   button.lcd.left(loggedNameLength),
                                                                   button.portSpec().left(loggedNameLength), outcome));
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
