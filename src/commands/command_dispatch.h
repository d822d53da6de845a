#pragma once

#include "serial/line_settings.h"
#include "serial/send_outcome.h"

#include <QFuture>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace vantiro {

class SendProgress;

// What a sender leaves for the executor: the command, where it comes from ("0" to "8" the quick
// commands and scheduled functions, "99" the Hyundai panel, "100" the LG panel), and whether the
// executor reports to the status log (true) or in a message box (false).
struct CommandHandOff
{
    QString pendingCommand;
    QString pendingCommandIndex;
    bool reportToStatusLog = false;

    friend bool operator==(const CommandHandOff &, const CommandHandOff &) = default;
};

// Where a hand-off comes from, and so which ports it reaches.
enum class CommandOrigin {
    GroupPortsOwnModels, // "0", "1", "7": each port of the loaded group with its own model's commands
    EveryComPort, // "2", "3", "8": every COM port of the list with the model list's commands
    GroupPortsListSettings, // "4", "5", "6": mute and volume to the group's ports at the lists' settings
    HyundaiPanel, // "99"
    LgPanel, // "100"
    Unknown,
};

// Which command goes to each port: one of the applied model's own, or the hand-off's command as given
// (the mute and volume buttons when the group is of the model list's model, the panels).
enum class HandOffCommand { PowerOn, PowerOff, AutoConfig, MuteOn, MuteOff, Volume, AsGiven };

// What a hand-off index means. The index text is compared exactly: " 0" or "00" name nothing.
struct HandOffKind
{
    CommandOrigin origin = CommandOrigin::Unknown;
    HandOffCommand command = HandOffCommand::AsGiven;

    friend bool operator==(const HandOffKind &, const HandOffKind &) = default;
};
HandOffKind handOffKind(const QString &pendingCommandIndex);
// The index text of a kind; empty for a kind no index names.
QString handOffIndex(HandOffKind kind);
inline CommandOrigin commandOrigin(const QString &pendingCommandIndex)
{
    return handOffKind(pendingCommandIndex).origin;
}

// The LG panel's commands go out with RTS and XON/XOFF, everything else without flow control.
Handshaking handshakingFor(CommandOrigin origin);

// One port of the loaded group as a send reads it: the port table's "COM" and "LCD" cells.
struct GroupPort
{
    QString com;
    QString model;

    friend bool operator==(const GroupPort &, const GroupPort &) = default;
};

// Everything a send reads besides the hand-off, taken when the request is made: a request that waits
// behind another send still goes where it was asked to go, whatever the window shows by then.
struct SendSnapshot
{
    QList<GroupPort> groupPorts;
    QString modelListText;
    QStringList comPortItems; // "1" to "40", in list order
    LineSettings lineSettings; // the texts the four line settings lists show
    // The volume box, for Set Volume: a group of several models gets it encoded for each display.
    QString volumeText;
    // A panel's port and line settings text ("9600,n,8,1"), for "99" and "100".
    QString panelCommPort;
    QString panelLineSettings;
};

struct CommandRequest
{
    CommandHandOff handOff;
    SendSnapshot snapshot;
    // Asked for from outside the window (vantiro-send): the send leaves the window's focus and its command set (the
    // model applied last, which its quick commands send) as they were.
    bool fromOutside = false;

    HandOffKind kind() const { return handOffKind(handOff.pendingCommandIndex); }
    CommandOrigin origin() const { return kind().origin; }
};

// How a request ended: the COM ports it could not reach, by number, with the last reason each gave.
struct CommandReport
{
    QMap<int, SendOutcome::Status> unreached;
};

// Sends the window's requests, one after another and never interleaved.
class CommandDispatch
{
public:
    enum class Timing {
        NextTick, // on the executor timer's next tick, as buttons and panels send
        Now, // at once, or right after the send in progress (the schedule runner)
    };

    virtual ~CommandDispatch() = default;

    // Queues the request. The completion finishes once the request's own bytes have left and its
    // report has been made; a caller can wait on it (waitForCompletion) or watch it.
    virtual QFuture<CommandReport> dispatch(const CommandRequest &request, Timing timing = Timing::NextTick) = 0;
    // What the send in progress shows, and its Stop; none where sends cannot be watched.
    virtual SendProgress *progress() { return nullptr; }
};

// Waits for a completion while the event loop keeps running, and returns its report (empty when the
// request was dropped, for example because the program is ending).
CommandReport waitForCompletion(const QFuture<CommandReport> &completion);

// Where a request's snapshot is taken from: the main window, as it stands at the moment of asking.
class SendSnapshotSource
{
public:
    virtual ~SendSnapshotSource() = default;
    virtual SendSnapshot sendSnapshot() const = 0;
};

} // namespace vantiro
