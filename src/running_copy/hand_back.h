#pragma once

#include "running_copy/single_instance.h"
#include "scheduler/runner_hand_over.h"
#include "scheduler/schedule_runner.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace vantiro {

// A window that closes hands the schedule back to a background copy: it leaves what its runner examined and
// queued in a hand-over file, then starts the background copy, which reads and removes the file once it holds the
// lock and goes on from there. The file is written whole or not at all (safe_save.h).
namespace hand_back {

inline const QString fileName = QStringLiteral("vantiro-hand-over");

// A file older than this (by its modification time) is left from a hand-back long past: what it queued would be
// reported as missed anyway, so it is ignored.
inline constexpr std::chrono::minutes maximumAge { 10 };

// False, with the reason, when the file could not be written.
bool writeFile(const QString &folder, const RunnerHandOver &handOver, QString *error);

// The hand-over file found in the first of the folders that holds one; every one found is removed, so it is
// taken once. Nothing when there is none, or when it is stale or damaged: `note` then says so for the log.
std::optional<RunnerHandOver> takeFile(const QStringList &folders, const QDateTime &now, QString *note);

// Whether the systemd user unit is enabled for this user (systemctl --user is-enabled); false when systemctl
// cannot tell.
bool unitEnabled();

// Starts the background copy of this program for the application folder: through the systemd user unit when
// `throughUnit`, otherwise as a process of its own that outlives this one. Empty when started; otherwise why not.
QString startBackgroundCopy(bool throughUnit, const QString &program, const QString &applicationFolder);

// How long a call of systemctl may take at the end of a window.
inline constexpr std::chrono::seconds toolTimeout { 15 };

// The end of a window, once the send in progress has finished: when the systemd user unit is enabled, or the
// window took the schedule over from a background copy, the runner's state goes to the hand-over file, the
// instance lets its locks go and the background copy starts (through the unit when it is enabled; as a process of
// its own otherwise, or when the unit cannot be started). A runner the operator stopped hands back only what it
// still queued: the background copy runs Settings.ini from now on, not the seconds the Stop skipped.
struct Outcome
{
    bool attempted = false; // false: nothing to hand back, the window simply ends
    QString report; // what was done, for the status log; with `failed`, why the schedule no longer runs
    bool failed = false;
};
Outcome handBack(ScheduleRunner &runner, SingleInstance &instance, bool tookOver, const QString &program,
                 const QString &applicationFolder);

} // namespace hand_back

} // namespace vantiro
