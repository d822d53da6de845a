#include "inventory/settings_session.h"

#include "common/prompts.h"
#include "common/safe_save.h"
#include "common/text_table_model.h"
#include "inventory/inventory.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace vantiro {

SettingsSession::SettingsSession(const QString &applicationFolder, Inventory &inventory, TextTableModel &schedule,
                                 TextTableModel &datesWithoutEvents, BusyPointer &busyPointer)
    : m_path(applicationFolder + u"/Settings.ini"_s)
    , m_inventory(inventory)
    , m_schedule(schedule)
    , m_dates(datesWithoutEvents)
    , m_busyPointer(busyPointer)
{
    removeLeftoverSaves(applicationFolder);
}

bool SettingsSession::fileExists() const
{
    const QFileInfo info(m_path);
    return info.exists() || info.isSymLink();
}

SerialCommandSettings SettingsSession::load()
{
    const SettingsLoad loaded = [this] {
        BusyScope busy(m_busyPointer);
        return loadSettingsFile(m_path);
    }();
    m_loadError = loaded.error;
    const SettingsContents &contents = loaded.contents;
    if (contents.groupRows)
        m_inventory.loadGroups(*contents.groupRows);
    if (contents.scheduleRows)
        m_schedule.replaceRows(*contents.scheduleRows);
    if (m_loadError.isEmpty())
        m_dates.replaceRows(contents.datesWithoutEvents);
    return contents.serial;
}

bool SettingsSession::loadedScheduleStarts() const
{
    return m_schedule.rowCount() > 0;
}

SettingsSaveResult SettingsSession::save(const SerialCommandSettings &serial)
{
    BusyScope busy(m_busyPointer);
    SettingsContents contents;
    contents.serial = serial;
    contents.groupRows = m_inventory.groupRows();
    contents.scheduleRows = m_schedule.allRows();
    contents.datesWithoutEvents = m_dates.allRows();
    SettingsSaveResult saved = saveSettingsFile(m_path, contents);
    if (saved)
        m_loadError.clear();
    return saved;
}

} // namespace vantiro
