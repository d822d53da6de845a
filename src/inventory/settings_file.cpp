#include "inventory/settings_file.h"

#include "common/record_numbers.h"
#include "inventory/day_mask.h"
#include "inventory/records.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <limits>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString serialSection = u"SERIAL_COMMAND_SETTINGS"_s;
const QString groupSection = u"GROUP_SETTINGS"_s;
const QString groupCountKey = u"Groups"_s;
const QString scheduleSection = u"SCHEDULE_SETTINGS"_s;
const QString scheduleCountKey = u"Schedules"_s;
const QString exceptionSection = u"SCHEDULE_EXCEPTIONS"_s;
const QString exceptionCountKey = u"Dates"_s;

constexpr int groupColumnCount = 3;
constexpr int scheduleDaysColumn = 5;
constexpr int scheduleFunctionColumn = 6;

struct SerialKey
{
    QString key;
    QString &(*field)(SerialCommandSettings &);
};

// In the order a save writes them.
const std::array<SerialKey, 6> &serialKeys()
{
    using S = SerialCommandSettings;
    static const std::array<SerialKey, 6> keys { {
        { u"Monitor ON"_s,
          [](S &s) -> QString & {
              return s.monitorOn;
          } },
        { u"Monitor OFF"_s,
          [](S &s) -> QString & {
              return s.monitorOff;
          } },
        { u"Baud Rate"_s,
          [](S &s) -> QString & {
              return s.lineSettings.baudRate;
          } },
        { u"Parity"_s,
          [](S &s) -> QString & {
              return s.lineSettings.parity;
          } },
        { u"Data Bits"_s,
          [](S &s) -> QString & {
              return s.lineSettings.dataBits;
          } },
        { u"Stop Bits"_s,
          [](S &s) -> QString & {
              return s.lineSettings.stopBits;
          } },
    } };
    return keys;
}

// Files of every earlier version treat an empty value like a missing key, so this one does too.
std::optional<QString> readValue(const IniFile &ini, const QString &section, const QString &key)
{
    std::optional<QString> value = ini.value(section, key);
    if (!value || value->isEmpty())
        return std::nullopt;
    return value;
}

// The records "1" to the count in key order; missing keys are skipped. It walks the keys the file
// has, in one pass, rather than counting up, so a wild count in a hand-edited file costs nothing. A
// count of 0 loads nothing. A count that is absent, negative or unreadable cannot say how many records
// there are, and the next save would write it as the number of rows loaded: every numbered key there
// is is read, so no record is lost. The records are views into the file's text.
std::optional<QList<QStringView>> readRecords(const IniFile &ini, const QString &section, const QString &countKey)
{
    const std::optional<QString> countText = readValue(ini, section, countKey);
    const std::optional<qint64> count = countText ? leadingWholeNumber(*countText) : std::nullopt;
    if (count == 0)
        return std::nullopt;
    const qint64 limit = count.value_or(std::numeric_limits<int>::max());
    QList<std::pair<int, QStringView>> numbered;
    for (const IniFile::KeyValueView &entry : ini.entries(section)) {
        const std::optional<int> number = recordNumber(entry.key);
        if (number && *number <= limit)
            numbered.append({ *number, entry.value });
    }
    // The first key of a number wins, as in every lookup; when it is empty, the record is missing.
    std::stable_sort(numbered.begin(), numbered.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<QStringView> records;
    records.reserve(numbered.size());
    for (qsizetype i = 0; i < numbered.size(); ++i) {
        if ((i == 0 || numbered.at(i).first != numbered.at(i - 1).first) && !numbered.at(i).second.isEmpty())
            records.append(numbered.at(i).second);
    }
    if (!count && records.isEmpty())
        return std::nullopt;
    return records;
}

QStringList groupRowFromRecord(QStringView record)
{
    const QList<QStringView> fields = record.split(groupFieldSeparator);
    QStringList row;
    row.reserve(groupColumnCount);
    for (int column = 0; column < groupColumnCount; ++column)
        row.append(fields.value(column).trimmed().toString());
    return row;
}

QString groupRecordFromRow(const QStringList &row)
{
    QStringList fields;
    for (int column = 0; column < groupColumnCount; ++column)
        fields.append(row.value(column).trimmed());
    return fields.join(groupFieldSeparator);
}

// A record without a mask shows no day rather than an empty cell, so it saves back as "0000000".
QStringList scheduleRowFromRecord(QStringView record)
{
    QStringList row;
    for (const QStringView field : record.split(recordSeparator))
        row.append(field.toString());
    row.resize(scheduleColumnCount);
    row[scheduleDaysColumn] = dayMaskToText(row.at(scheduleDaysColumn));
    return row;
}

QString scheduleRecordFromRow(QStringList row)
{
    row.resize(scheduleColumnCount);
    row[scheduleDaysColumn] = dayTextToMask(row.at(scheduleDaysColumn).trimmed());
    row[scheduleFunctionColumn] = row.at(scheduleFunctionColumn).trimmed();
    return row.join(recordSeparator);
}

// The date, and after the first grave accent the note, which may hold more of them.
QStringList dateRowFromRecord(QStringView record)
{
    const qsizetype separator = record.indexOf(recordSeparator);
    if (separator < 0)
        return { record.trimmed().toString(), {} };
    return { record.first(separator).trimmed().toString(), record.sliced(separator + 1).trimmed().toString() };
}

QString dateRecordFromRow(const QStringList &row)
{
    const QString note = row.value(1).trimmed();
    return row.value(0).trimmed() + (note.isEmpty() ? QString() : recordSeparator + note);
}

template<typename Convert>
std::optional<QList<QStringList>> rowsFromRecords(const std::optional<QList<QStringView>> &records, Convert convert)
{
    if (!records)
        return std::nullopt;
    QList<QStringList> rows;
    rows.reserve(records->size());
    for (const QStringView record : *records)
        rows.append(convert(record));
    return rows;
}

template<typename Convert>
void writeRecords(IniFile &ini, const QString &section, const QString &countKey,
                  const std::optional<QList<QStringList>> &rows, Convert convert)
{
    const QList<QStringList> written = rows.value_or(QList<QStringList> {});
    ini.setValue(section, countKey, QString::number(written.size()));
    for (qsizetype i = 0; i < written.size(); ++i)
        ini.setValue(section, QString::number(i + 1), convert(written.at(i)));
}

} // namespace

SettingsContents readSettings(const IniFile &ini)
{
    SettingsContents contents;
    for (const SerialKey &serialKey : serialKeys())
        serialKey.field(contents.serial) = readValue(ini, serialSection, serialKey.key).value_or(QString());
    contents.groupRows = rowsFromRecords(readRecords(ini, groupSection, groupCountKey), groupRowFromRecord);
    contents.scheduleRows = rowsFromRecords(readRecords(ini, scheduleSection, scheduleCountKey), scheduleRowFromRecord);
    contents.datesWithoutEvents
        = rowsFromRecords(readRecords(ini, exceptionSection, exceptionCountKey), dateRowFromRecord).value_or(QList<QStringList> {});
    return contents;
}

IniFile settingsToIni(const SettingsContents &contents)
{
    IniFile ini;
    SerialCommandSettings serial = contents.serial;
    for (const SerialKey &serialKey : serialKeys())
        ini.setValue(serialSection, serialKey.key, serialKey.field(serial).trimmed());
    writeRecords(ini, groupSection, groupCountKey, contents.groupRows, groupRecordFromRow);
    writeRecords(ini, scheduleSection, scheduleCountKey, contents.scheduleRows, scheduleRecordFromRow);
    if (!contents.datesWithoutEvents.isEmpty())
        writeRecords(ini, exceptionSection, exceptionCountKey, std::optional(contents.datesWithoutEvents),
                     dateRecordFromRow);
    return ini;
}

SettingsLoad loadSettingsFile(const QString &path)
{
    SettingsLoad load;
    if (const std::optional<IniFile> ini = IniFile::read(path, load.error))
        load.contents = readSettings(*ini);
    return load;
}

QString settingsBackupPath(const QString &path)
{
    return path + u".bak"_s;
}

SettingsSaveResult saveSettingsFile(const QString &path, const SettingsContents &contents)
{
    const IniFile ini = settingsToIni(contents);
    SettingsSaveResult result;
    // Only a regular file holds settings to keep; in a folder's place the save fails below.
    if (QFileInfo(path).isFile()) {
        QFile old(path);
        const QByteArray bytes = old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray();
        const bool read = old.error() == QFileDevice::NoError;
        if (read && ini.isSavedIn(bytes))
            return { { true, {} }, {} };
        const QString backupPath = settingsBackupPath(path);
        const SaveResult kept = read ? keepCopy(path, bytes, backupPath) : SaveResult { false, old.errorString() };
        if (!kept)
            result.backupWarning = u"The previous settings could not be kept as %1 (%2)."_s.arg(
                QDir::toNativeSeparators(backupPath), kept.error);
    }
    static_cast<SaveResult &>(result) = ini.save(path);
    return result;
}

} // namespace vantiro
