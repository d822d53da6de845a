#pragma once

#include "commands/command_dispatch.h"
#include "serial/line_settings.h"

#include <QFuture>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantiro {

class Prompts;

// The Hyundai panel serves two models; `panelModel` is the position of one of them in the model list.
inline constexpr qint16 vvuonPanelModel = 0;
inline constexpr qint16 d525PanelModel = 1;
// "HYUNDAI-VVUON", "HYUNDAI-D525ML".
const QStringList &hyundaiPanelModelNames();

// What a remote-control key shows: its caption, or an arrow drawn on it.
enum class KeyGlyph { Caption, ArrowUp, ArrowDown, ArrowLeft, ArrowRight };

// One key of the Vvuon remote control.
struct VvuonKey
{
    QString name; // the control's name
    QString caption;
    QString accessibleName;
    QString code; // sent as its decimal digits after "@KEY:"; may be empty
    QString fixedCommand; // the power keys send a command of their own instead
    KeyGlyph glyph = KeyGlyph::Caption;
};

// Every key of the remote control.
const QList<VvuonKey> &vvuonKeys();
const VvuonKey *findVvuonKey(const QString &name);
// "@KEY:" + the code's digits + CR, or the key's fixed command.
QString vvuonKeyCommand(const VvuonKey &key);

// One entry of the D525ML function list and the command it sends.
struct D525Function
{
    QString entry;
    QString command;
};
const QList<D525Function> &d525Functions();
QStringList d525FunctionEntries();
// The command of the entry the text names exactly; the empty text for anything else.
QString d525FunctionCommand(const QString &functionText);

// "did:all-" + the value's digits + ".".
QString d525SequenceCommand(const QString &value);

// A D525ML command with a horizontal and a vertical value: "did:all-" + code + H + "v" + V + ".".
struct D525ValuePair
{
    QString name; // "SetCount": names the group's controls
    QString caption;
    QString code;
    QString emptyMessage; // shown when a value is missing
};
const QList<D525ValuePair> &d525ValuePairs();
QString d525PairCommand(const D525ValuePair &pair, const QString &horizontal, const QString &vertical);

// A row of an "Up" and a "Down" button in the frames "Contrast", "Offset" and "Gain".
struct D525StepRow
{
    QString frame;
    QString name; // "SubBrightness": names the row's buttons
    QString label;
    QString upCommand;
    QString downCommand;
};
const QList<D525StepRow> &d525StepRows();
// The frames in the order they are shown.
QStringList d525StepFrames();

// "Enable Color Control Mode" and "Enable IR Mode".
struct D525ModeButton
{
    QString name;
    QString caption;
    QString command;
};
const QList<D525ModeButton> &d525ModeButtons();

// What a key typed into one of the panel's number fields does: digits, backspace (8) and code 16
// reach the text; Enter sends where the field has a send key (the display sequence); every other key
// is discarded.
enum class PanelFieldKey { Pass, Send, Discard };
PanelFieldKey panelFieldKeyAction(char16_t characterCode, bool enterSends);

// Where the panel sends: its port text and the texts of its four line settings lists.
struct PanelPort
{
    QString portText;
    LineSettings lineSettings;
};

// The panel's actions, each checked as the panel checks it and handed to the executor with the
// Hyundai panel's index. An action stopped by a check tells the operator and returns nothing.
class HyundaiPanelCommands
{
public:
    using Sent = std::optional<QFuture<CommandReport>>;

    HyundaiPanelCommands(CommandDispatch &dispatch, Prompts &prompts);

    // Completion in the status log.
    Sent pressKey(const VvuonKey &key, const PanelPort &port);
    Sent pressStep(const QString &command, const PanelPort &port);
    // Completion in a message box.
    Sent sendFunction(const QString &functionText, const PanelPort &port);
    Sent sendDisplaySequence(const QString &value, const PanelPort &port);
    Sent sendPair(const D525ValuePair &pair, const QString &horizontal, const QString &vertical, const PanelPort &port);
    Sent pressMode(const QString &command, const PanelPort &port);

    // Hands the command over for the executor's next tick, with the port as it stands now.
    QFuture<CommandReport> sendHyundaiCommand(const QString &command, bool reportToStatusLog, const PanelPort &port);

    // The port text and line settings text of the last hand-off.
    QString panelCommPort;
    QString panelLineSettings;

private:
    void tell(const QString &text);

    CommandDispatch &m_dispatch;
    Prompts &m_prompts;
};

} // namespace vantiro
