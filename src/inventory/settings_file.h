#pragma once

#include "common/ini_file.h"
#include "serial/line_settings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantiro {

// The command-port settings and monitor commands of "Settings.ini". A value that is absent (or
// empty, which files of every earlier version read the same way) is the empty text, and on load
// leaves the window's field as it is.
struct SerialCommandSettings
{
    QString monitorOn;
    QString monitorOff;
    LineSettings lineSettings;

    friend bool operator==(const SerialCommandSettings &, const SerialCommandSettings &) = default;
};

// The number of columns of a schedule row: Group, Start Date, End Date, Start Time, End Time, Days,
// Function.
inline constexpr int scheduleColumnCount = 7;

// Everything "Settings.ini" holds, in the form the window's tables use.
struct SettingsContents
{
    SerialCommandSettings serial;
    // Rows of the group table: Group, Note, COM Settings (the packed ports). Absent when the file's
    // count is absent, zero or not a number: the table then keeps what it has.
    std::optional<QList<QStringList>> groupRows;
    // Rows of the schedule list in its column order, with the days as text ("S,N,N,N,N,N,Sat").
    // Absent on the same terms as the groups.
    std::optional<QList<QStringList>> scheduleRows;
    // Dates on which no row fires, as date text ("12/25/2027") and note, in the file's order. A file
    // without them writes none, so it stays as it was; files of earlier versions ignore them. Read them
    // from a file with loadSettingsFile(path).contents, and as dates with DatesWithoutEvents::fromRows.
    QList<QStringList> datesWithoutEvents;

    friend bool operator==(const SettingsContents &, const SettingsContents &) = default;
};

SettingsContents readSettings(const IniFile &ini);
// The file as a save writes it, built from nothing: absent serial values are written empty and
// absent rows as a count of 0.
IniFile settingsToIni(const SettingsContents &contents);

// A missing file gives contents in which everything is absent; so does a file that exists but
// cannot be read, whose reason is then given.
struct SettingsLoad
{
    SettingsContents contents;
    QString error; // empty when the file was read or is missing
};
SettingsLoad loadSettingsFile(const QString &path);

// A save that changes the file first keeps the previous one beside it, as "Settings.ini.bak" (one
// copy), so a file damaged by hand or by a faulty save can still be put back. A save of the very bytes
// already there writes nothing, so the automatic save at each start never overwrites the copy with the
// same content. A copy that cannot be kept does not stop the save; the warning says why.
struct SettingsSaveResult : SaveResult
{
    QString backupWarning;
};
QString settingsBackupPath(const QString &path);
// Replaces the file as a whole, atomically; on failure the old file stays as it was.
SettingsSaveResult saveSettingsFile(const QString &path, const SettingsContents &contents);

} // namespace vantiro
