#pragma once

#include "commands/send_progress.h"
#include "common/clock.h"
#include "common/daily_log.h"
#include "common/prompts.h"
#include "common/status_log.h"
#include "custom/checked_send.h"
#include "custom/panel_button.h"
#include "custom/panel_command_set.h"
#include "serial/serial_link.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <optional>

namespace vantiro {

// The models the custom panel tells apart; every model but HYUNDAI_D525ML gets the LG commands.
bool isHyundaiPanelModel(const QString &lcd);
// Rows of this model show the tuner, channel and volume controls.
bool isLgPanelModel(const QString &lcd);

enum class StatusColour { None, Green, Red };

// What a row shows of its last send.
struct RowTexts
{
    QString status;
    StatusColour statusColour = StatusColour::None;
    QString statusTip; // why something was not sent
    QString source;
    QString volume;

    friend bool operator==(const RowTexts &, const RowTexts &) = default;
};

inline const QString notSentText = QStringLiteral("Not sent");

struct PanelRow
{
    PanelButton button;
    RowTexts texts;
};

// What the user has picked for the next send. Choices are -1 for none; power 0 "On", 1 "Off"; input
// 0 digital signage, 1 tuner.
struct PanelChoices
{
    int powerChoice = -1;
    int inputChoice = -1;
    QString channelText;
    int volume = 0;
};

// One command of a row: which part of the choices it carries ("power", "input", "channel",
// "volume"), how the log names what it does ("Off", "DS", "Tuner", "channel 12", "volume 5"), and the
// command. An empty command stands for one that could not be built (an empty channel): the checked
// send reports it.
struct PlannedCommand
{
    QString part;
    QString shown;
    QString command;
};

// The commands one row receives for the choices, in sending order, and the texts it then shows.
struct RowPlan
{
    QList<PlannedCommand> commands;
    RowTexts texts;
};
RowPlan planRow(const PanelCommandSet &commands, const QString &lcd, const PanelChoices &choices);

// How the commands of one row went.
struct RowResult
{
    QStringList sent; // as the plan shows them, in order
    QStringList failedParts; // each part once, in order
    QStringList problems; // each reason once, in order

    void add(const PlannedCommand &planned, const CheckedSend &send);
    bool failed() const { return !failedParts.isEmpty(); }
    // Why, for the closing message and the Status tooltip: "COM 4: no such device"; when some of
    // the row's commands went out, which did not first: "channel not sent: no command".
    QString problemText() const;
    // For the daily log: "sent", "not sent: <why>", or what went out and then what did not.
    QString outcomeText() const;
};

// The texts a row shows after its send: those of the plan, with a Status that says what did not go
// out ("Not sent", or "Off, channel not sent" when the power and input reached the display) in red,
// and why in its tooltip.
RowTexts rowTextsAfterSend(const RowPlan &plan, const RowResult &result);

// The channels the LG tuning command can carry.
inline constexpr int highestPanelChannel = 255;
// The message refusing the choices before anything is sent, if any.
std::optional<QString> choicesProblem(const PanelChoices &choices);

// The end user's command panel without its window: the rows loaded from the button file, the user's
// row and all-rows choices, and the sends, which go row by row through the panel's own serial link
// with the checked send. Each row's send is recorded in the daily log file of the application folder
// (not in the main window's status list), so it can be looked up later; no other file is written.
class CustomPanel : public QObject
{
    Q_OBJECT

public:
    CustomPanel(const QString &applicationFolder, Prompts &prompts, BusyPointer &busyPointer,
                QObject *parent = nullptr);

    const QString &applicationFolder() const { return m_applicationFolder; }
    int buttonCount() const { return m_buttonCount; }
    // The rows of the last load by row index (entry number - 1); entries that made no row are absent.
    const QMap<int, PanelRow> &rows() const { return m_rows; }
    int selectedRow() const { return m_rows.contains(m_selectedRow) ? m_selectedRow : -1; }
    int powerChoice() const { return m_powerChoice; }
    int inputChoice() const { return m_inputChoice; }
    // -1 when off, else the highlighted all-rows button: 0 "Blackout All", 1 "Restore All".
    int allRowsChoice() const { return m_allRowsChoice; }
    bool allRowsMode() const { return m_allRowsChoice >= 0; }
    bool isSending() const { return m_sending; }
    // What a send of more than a second shows, and its Stop, which ends the send between rows.
    SendProgress &progress() { return m_progress; }
    PanelCommandSet &commands() { return m_commands; }
    SerialLink &link() { return m_link; }

    // Reads the button file: rows that remain keep their texts; the file's "ON" and "OFF" replace the
    // LG on and off commands. Without the file nothing changes.
    void loadButtonSettings();

    void chooseRow(int row);
    void choosePower(int choice);
    void chooseInput(int choice);
    // Needs at least one button, else tells the user and returns false. Acts as "On" (Restore All)
    // or "Off" (Blackout All) and digital signage.
    bool chooseAll(int index);

    // Sends the choices to the chosen row, or to every row in all-rows mode, and tells the user how it
    // ended. A press while a send runs is ignored, so rows never mix.
    void confirmSend(const QString &channelText, int volume);

    void resetSerialCommands();
    void loadCustomSerialCommands();

signals:
    void rowsLoaded();
    void rowTextsChanged(int row);
    void choicesChanged();
    void sendingChanged(bool sending);

private:
    RowResult processRow(int row, const PanelChoices &choices);
    void record(const PanelButton &button, int row, const RowPlan &plan, const RowResult &result);

    QString m_applicationFolder;
    Prompts &m_prompts;
    BusyPointer &m_busyPointer;
    SerialLink m_link;
    // The daily log is fed by a status list of the panel's own, which no window shows.
    SystemClock m_clock;
    StatusLog m_sendLog;
    DailyLog m_dailyLog;
    QString m_logProblem; // what the daily log said when it could not be written
    PanelCommandSet m_commands;
    int m_buttonCount = 0;
    QMap<int, PanelRow> m_rows;
    int m_selectedRow = -1;
    int m_powerChoice = -1;
    int m_inputChoice = -1;
    int m_allRowsChoice = -1;
    bool m_sending = false;
    SendProgress m_progress;
};

} // namespace vantiro
