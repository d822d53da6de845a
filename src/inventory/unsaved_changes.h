#pragma once

#include "inventory/settings_file.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

namespace vantiro {

class TextTableModel;

// Whether the operator has changed what "Settings.ini" keeps since it was last loaded or saved: the
// groups with their ports, the schedule rows, the dates without events, and the serial settings typed
// or chosen by hand.
//
// The tables count as changed while they differ from what was loaded or saved, so an edit that is
// undone again (a port added and removed, "Update" with the same texts) leaves no change; whatever
// writes them is told by their own change signals. The serial settings are rewritten by the program
// too (a model choice, a scheduled event): what it writes there is taken as the new state, so only
// the operator's edits after it count.
class UnsavedChanges : public QObject
{
    Q_OBJECT

public:
    using SerialSettingsReader = std::function<SerialCommandSettings()>;

    UnsavedChanges(const TextTableModel &groups, const TextTableModel &schedule,
                   const TextTableModel &datesWithoutEvents, SerialSettingsReader serialSettings,
                   QObject *parent = nullptr);

    bool hasChanges() const { return m_hasChanges; }

    // What is shown now is what the file holds: after a load or a save.
    void markSaved();
    // The program has written the serial settings itself; what they show now is no edit.
    void acceptSerialSettings();
    // The operator has typed into or chosen from a serial setting.
    void serialSettingsEdited();

signals:
    void hasChangesChanged(bool hasChanges);

private:
    // The serial settings as a save writes them.
    SerialCommandSettings savedFormOfSerialSettings() const;
    void recheck();

    const TextTableModel &m_groups;
    const TextTableModel &m_schedule;
    const TextTableModel &m_dates;
    SerialSettingsReader m_serialSettings;
    QList<QStringList> m_savedGroups;
    QList<QStringList> m_savedSchedule;
    QList<QStringList> m_savedDates;
    SerialCommandSettings m_acceptedSerial;
    bool m_hasChanges = false;
};

} // namespace vantiro
