#pragma once

#include "inventory/settings_file.h"

#include <QString>

namespace vantiro {

class BusyPointer;
class Inventory;
class TextTableModel;

// "Settings.ini" of the application folder and the tables it fills: the inventory's groups, the
// schedule list and the dates without events. The serial section belongs to the window's frame, so it is handed over as values.
// Starting a session clears the folder of what saves cut short by a kill left behind.
class SettingsSession
{
public:
    SettingsSession(const QString &applicationFolder, Inventory &inventory, TextTableModel &schedule,
                    TextTableModel &datesWithoutEvents, BusyPointer &busyPointer);

    const QString &path() const { return m_path; }
    // Something is there under the file's name, readable or not.
    bool fileExists() const;

    // Fills the group table and the schedule list from the file and returns its serial section; what
    // the file does not hold leaves the tables as they are. A file that cannot be read loads nothing.
    SerialCommandSettings load();
    // Why the file that is there could not be read at the last load; empty when it was read. Until a
    // save has replaced it, a save should ask first, since the file may hold settings not shown.
    const QString &loadError() const { return m_loadError; }
    // A start that loads schedule rows comes up running the schedule.
    bool loadedScheduleStarts() const;

    // Writes the tables and the serial section, keeping the previous file as Settings.ini.bak; on failure
    // the previous file stays untouched and the result says why.
    SettingsSaveResult save(const SerialCommandSettings &serial);

private:
    QString m_path;
    Inventory &m_inventory;
    TextTableModel &m_schedule;
    TextTableModel &m_dates;
    BusyPointer &m_busyPointer;
    QString m_loadError;
};

} // namespace vantiro
