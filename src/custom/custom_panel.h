#pragma once

#include "common/prompts.h"
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

// The commands one row receives for the choices, in sending order, and the texts it then shows. An
// empty command stands for one that could not be built (an empty channel): the checked send reports
// it.
struct RowPlan
{
    QStringList commands;
    RowTexts texts;
};
RowPlan planRow(const PanelCommandSet &commands, const QString &lcd, const PanelChoices &choices);

// The channels the LG tuning command can carry.
inline constexpr int highestPanelChannel = 255;
// The message refusing the choices before anything is sent, if any.
std::optional<QString> choicesProblem(const PanelChoices &choices);

// The end user's command panel without its window: the rows loaded from the button file, the user's
// row and all-rows choices, and the sends, which go row by row through the panel's own serial link
// with the checked send. Nothing is written to any file or log.
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
    // False when a send of the row did not go out.
    bool processRow(int row, const PanelChoices &choices);
    QString rowName(int row) const;

    QString m_applicationFolder;
    Prompts &m_prompts;
    BusyPointer &m_busyPointer;
    SerialLink m_link;
    PanelCommandSet m_commands;
    int m_buttonCount = 0;
    QMap<int, PanelRow> m_rows;
    int m_selectedRow = -1;
    int m_powerChoice = -1;
    int m_inputChoice = -1;
    int m_allRowsChoice = -1;
    bool m_sending = false;
};

} // namespace vantiro
