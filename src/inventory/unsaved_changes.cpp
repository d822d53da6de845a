#include "inventory/unsaved_changes.h"

#include "common/text_table_model.h"

#include <utility>

namespace vantiro {

UnsavedChanges::UnsavedChanges(const TextTableModel &groups, const TextTableModel &schedule,
                               const TextTableModel &datesWithoutEvents, SerialSettingsReader serialSettings,
                               QObject *parent)
    : QObject(parent)
    , m_groups(groups)
    , m_schedule(schedule)
    , m_dates(datesWithoutEvents)
    , m_serialSettings(std::move(serialSettings))
{
    for (const TextTableModel *table : { &m_groups, &m_schedule, &m_dates }) {
        connect(table, &QAbstractItemModel::rowsInserted, this, &UnsavedChanges::recheck);
        connect(table, &QAbstractItemModel::rowsRemoved, this, &UnsavedChanges::recheck);
        connect(table, &QAbstractItemModel::dataChanged, this, &UnsavedChanges::recheck);
        connect(table, &QAbstractItemModel::modelReset, this, &UnsavedChanges::recheck);
    }
    markSaved();
}

void UnsavedChanges::markSaved()
{
    m_savedGroups = m_groups.allRows();
    m_savedSchedule = m_schedule.allRows();
    m_savedDates = m_dates.allRows();
    acceptSerialSettings();
}

void UnsavedChanges::acceptSerialSettings()
{
    m_acceptedSerial = savedFormOfSerialSettings();
    recheck();
}

void UnsavedChanges::serialSettingsEdited()
{
    recheck();
}

SerialCommandSettings UnsavedChanges::savedFormOfSerialSettings() const
{
    const SerialCommandSettings shown = m_serialSettings();
    const LineSettings &line = shown.lineSettings;
    return { shown.monitorOn.trimmed(),
             shown.monitorOff.trimmed(),
             { line.baudRate.trimmed(), line.parity.trimmed(), line.dataBits.trimmed(), line.stopBits.trimmed() } };
}

void UnsavedChanges::recheck()
{
    const bool changed = m_groups.allRows() != m_savedGroups || m_schedule.allRows() != m_savedSchedule
        || m_dates.allRows() != m_savedDates || savedFormOfSerialSettings() != m_acceptedSerial;
    if (changed == m_hasChanges)
        return;
    m_hasChanges = changed;
    emit hasChangesChanged(changed);
}

} // namespace vantiro
