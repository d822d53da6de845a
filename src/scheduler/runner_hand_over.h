#pragma once

#include "scheduler/examined_seconds.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace vantiro {

// An event the runner queued and has not sent yet: the row it stands for (group, function, and the
// wall-clock second it fell due in) and the moment it was queued.
struct QueuedEvent
{
    QString group;
    QString function;
    QDateTime dueAt;
    QDateTime queuedAt;

    friend bool operator==(const QueuedEvent &, const QueuedEvent &) = default;
};

// What one runner hands to another so that the other goes on where it stopped, neither repeating nor
// skipping a second: the seconds examined, and the events queued but not sent yet, oldest first.
//
// The text form is one line per item after a versioned first line:
//     vantiro-runner-hand-over 1
//     last 2027-03-10T10:00:40
//     examined 2027-03-10T10:00:05 2027-03-10T10:00:40
//     queued 2027-03-10T08:00:40 1804662040123 Lobby Monitors%20ON
// (wall-clock seconds, the queued-at moment in milliseconds since the epoch, names percent-encoded).
struct RunnerHandOver
{
    static constexpr qsizetype maxQueued = 1024;
    // A group or function name; a longer one is no name a schedule row holds.
    static constexpr qsizetype maxNameChars = 128;
    // Bounds what fromText reads: every line at its longest.
    static constexpr qsizetype maxTextChars
        = 64 + 2 * 64 + ExaminedSeconds::maxSpans * 64 + maxQueued * (64 + 2 * maxNameChars * 9);

    ExaminedSeconds examined;
    QList<QueuedEvent> queued;

    // Whether the event can be handed over: names no longer than maxNameChars, valid moments.
    static bool canCarry(const QueuedEvent &event);

    // Events that cannot be carried, and those beyond maxQueued, are left out.
    QString toText() const;
    // Nothing for a text that is not one toText could have written.
    static std::optional<RunnerHandOver> fromText(QStringView text);

    friend bool operator==(const RunnerHandOver &, const RunnerHandOver &) = default;
};

} // namespace vantiro
