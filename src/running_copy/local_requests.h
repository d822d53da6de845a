#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <optional>
#include <variant>

namespace vantiro {

// The requests the user's running copy (a window or a background copy) takes on its local socket, and their
// answers. One request per connection: a single line, UTF-8, ending in a line feed, at most 64 KB with it. The
// line is a request name ([a-z][a-z0-9-]*, up to 32 characters), then optionally one blank and a JSON object of
// arguments. The copy answers with one line of the same shape: an answer word, then optionally a blank and a
// JSON object, and closes the connection.
//
// Requests:
//   activate  bring the window forward. Answers "activated" once it is forward; a background copy, which has no
//             window, answers "error" with its status fields.
//   status    answers "ok" with: copy ("window" or "background"), pid, folder (the application folder),
//             version, schedule ("running" or "stopped"), and next (the schedule's next event, where known).
//   hand-over a window that starts asks the background copy for its schedule, with its own pid. The background
//             copy takes no further events, lets the send on the wire finish and answers "handed-over" with
//             state: what it examined and queued (a RunnerHandOver text); then it ends. A window answers "error".
//   send      send a command to displays; send-args  the same, asked with vantiro-send's arguments; list  the
//             groups with their ports (send_requests.h has all three).
// Any request may be answered "closing" (the copy is ending: ask again once it has gone) or "error" with a
// message field: a request the copy does not know, a malformed or oversized line, another user's connection, too
// many connections at once. Older copies answer "activate" alone, and drop anything else unanswered.
namespace local_requests {

inline constexpr qsizetype maximumLineBytes = 64 * 1024; // the line feed included
inline constexpr qsizetype maximumNameLength = 32;

inline const QString activate = QStringLiteral("activate");
inline const QString status = QStringLiteral("status");
inline const QString handOver = QStringLiteral("hand-over");

inline const QString activated = QStringLiteral("activated");
inline const QString closing = QStringLiteral("closing");
inline const QString ok = QStringLiteral("ok");
inline const QString error = QStringLiteral("error");
inline const QString handedOver = QStringLiteral("handed-over");

// A request line or an answer line, read.
struct Message
{
    QString word;
    QJsonObject fields;

    friend bool operator==(const Message &, const Message &) = default;
};

// The line as sent, with its line feed.
QByteArray line(const QString &word, const QJsonObject &fields = {});
QByteArray errorLine(const QString &message);

// Reads one line, with or without its line feed; the reason, for the error answer, when it is not a message.
std::variant<Message, QString> parse(QByteArrayView line);

// Asks the copy listening at `serverPath` and waits for its answer while the caller's event loop runs (an answer
// from this same process can arrive). Nothing when no copy listens there, the connection closed without an
// answer, or no answer came in `answerTimeout`; `failure` then says which.
enum class AskFailure { NotListening, ClosedUnanswered, NoAnswer, Malformed };
std::optional<Message> ask(const QString &serverPath, const QByteArray &requestLine,
                           std::chrono::milliseconds connectTimeout, std::chrono::milliseconds answerTimeout,
                           AskFailure *failure = nullptr);

} // namespace local_requests

} // namespace vantiro
