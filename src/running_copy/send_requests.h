#pragma once

#include "commands/command_dispatch.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>
#include <variant>

namespace vantiro {

class EventExecutor;
class Inventory;
class SingleInstance;
class StatusLog;
class TextTableModel;

// The "send", "send-args" and "list" requests of the running copy (local_requests.h), and the sending behind them
// that vantiro-send also uses when it sends itself.
//
// send  {"what": "Lobby Monitors ON", "pid": 4242, "index": "0", "command": "6B 61 20 30 31 20 30 31 0D",
//        "ports": [{"com": "3", "model": "LG"}], "modelList": "LG", "comPorts": ["1", ..., "40"],
//        "lineSettings": "9600,n,8,1", "volume": ""}
//       A command as the executor takes it: the hand-off index ("0" to "8") and command, and the snapshot the
//       send reads (the group's ports with their models, the model list's text, the COM list, the line settings,
//       the volume), resolved by the asker, so the copy's own tables and lists are neither read nor changed. It
//       is sent behind whatever the copy is sending, never interleaved with it, and logged as the copy's own
//       sends are. Answers "ok" once sent, with the copy's fields (copy, pid, folder) and "ports": one object
//       per port in the order sent, {"port": "3", "com": 3, "outcome": "sent"} or, when not reached,
//       "outcome" "not sent" or "no device" (no device is there) and "reason" in the status log's words.
// list  Answers "ok" with the copy's fields and "groups": [{"name", "note", "ports": [{"com", "model",
//       "note"}]}], the group table as the copy holds it, unsaved edits included.
// send-args {"args": ["--com", "3", "--model", "LG", "Monitors ON"], "pid": 4242}
//       vantiro-send's arguments (without the program's name), from its quick start, which plans nothing itself.
//       When they ask for a send (send_command_line.h), the copy plans it with its own group table and sends it as
//       a "send", then answers "ok" with what vantiro-send prints: {"exit": 1, "out": "...", "err": "..."}, each
//       text whole lines. Anything else (--help, --version, --list, --status, a usage error, an unknown group) is
//       answered "error" and nothing is sent: the asker then runs as a whole, as when no copy runs.
namespace send_requests {

inline const QString send = QStringLiteral("send");
inline const QString list = QStringLiteral("list");
inline const QString sendArguments = QStringLiteral("send-args");

// The outcomes of one port.
inline const QString sent = QStringLiteral("sent");
inline const QString notSent = QStringLiteral("not sent");
inline const QString noDevice = QStringLiteral("no device");

// The fields of a send request for this command; `what` names it in the copy's status log.
QJsonObject requestFields(const CommandRequest &request, const QString &what);
// The command of a send request's fields, or why it is none.
std::variant<CommandRequest, QString> commandRequest(const QJsonObject &fields);

// The ports a request reaches, in the order the executor sends them.
QStringList portsOf(const CommandRequest &request);

// The "ports" answer of a finished send from its report and the status log's "Not sent to COM ..." lines.
QJsonArray portOutcomes(const CommandRequest &request, const CommandReport &report, const QStringList &notSentLines);

// The group table's rows (Group, Note, COM Settings) as the "groups" of a list answer.
QJsonArray groupsFields(const QList<QStringList> &groupRows);

} // namespace send_requests

// Sends requests through an executor and tells each asker how every port fared. The reasons come from the
// executor's "Not sent to COM ..." lines of the run that carried the request, which are the same words the
// status log shows.
class SendRequests : public QObject
{
    Q_OBJECT

public:
    SendRequests(EventExecutor &executor, StatusLog &statusLog, QObject *parent = nullptr);

    // Queues the request behind any send in progress; `done` gets the "ports" answer once it has been sent, or
    // nothing when the send was dropped (the copy is ending).
    void send(const CommandRequest &request, std::function<void(std::optional<QJsonArray>)> done);

private:
    struct Waiting;

    void runFinished();

    EventExecutor &m_executor;
    QStringList m_notSentLines; // of the run in progress
    QList<std::shared_ptr<Waiting>> m_waiting;
};

// What the copy offers the "send" and "list" requests.
struct SendRequestServices
{
    EventExecutor &executor;
    StatusLog &statusLog;
    const Inventory &inventory; // its group table
    const TextTableModel &schedule; // for the next event in the status answer
};

// Adds "send" and "list" to the copy's requests and the next event to its status answer.
void registerSendRequests(SingleInstance &instance, const SendRequestServices &services);

} // namespace vantiro
