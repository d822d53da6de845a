#include "custom/panel_button.h"

#include "common/record_numbers.h"
#include "custom/panel_command_set.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <limits>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString buttonSection = u"BUTTON_SETTINGS"_s;
const QString buttonCountKey = u"Button"_s;
const QString lgCommandSection = u"LG_SERIAL_COMMANDS"_s;

constexpr int portSpecFirstField = 2; // cells() from here on form the port specification

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString buttonFilePath(const QString &applicationFolder)
{
    return QDir(applicationFolder).filePath(buttonFileName);
}

// The count as Settings.ini's counts are read. Nothing when it is absent or empty, negative or without
// digits: such a count cannot say how many buttons there are.
std::optional<int> readButtonCount(const IniFile &ini)
{
    const std::optional<qint64> count = leadingWholeNumber(ini.value(buttonSection, buttonCountKey, QString()));
    if (!count)
        return std::nullopt;
    return int(*count);
}

} // namespace

QString PanelButton::portSpec() const
{
    return QStringList { port, baudrate, parity, databits, stopbits }.join(portSpecSeparator);
}

QStringList PanelButton::cells() const
{
    return { button, lcd, port, baudrate, parity, databits, stopbits };
}

PanelButton PanelButton::fromCells(const QStringList &cells)
{
    return { cells.value(0), cells.value(1), cells.value(2), cells.value(3),
             cells.value(4), cells.value(5), cells.value(6) };
}

QString PanelButton::entryValue() const
{
    return button + buttonFieldSeparator + lcd + buttonFieldSeparator + portSpec();
}

PanelButton PanelButton::fromEntryValue(QStringView value)
{
    const QList<QStringView> fields = value.trimmed().split(buttonFieldSeparator);
    const QList<QStringView> parts = fields.value(2).split(portSpecSeparator);
    QStringList cells { fields.value(0).trimmed().toString(), fields.value(1).trimmed().toString() };
    for (const QStringView part : parts)
        cells.append(part.toString());
    return fromCells(cells);
}

const QStringList &panelButtonFieldNames()
{
    static const QStringList names { u"button caption"_s, u"display model"_s, u"COM port"_s, u"baud rate"_s,
                                     u"parity"_s,         u"data bits"_s,     u"stop bits"_s };
    return names;
}

std::optional<SeparatorFound> firstSplittingCharacter(const PanelButton &button)
{
    const QStringList cells = button.cells();
    for (int field = 0; field < cells.size(); ++field) {
        for (const QChar character : cells.at(field)) {
            if (character == buttonFieldSeparator || (field >= portSpecFirstField && character == portSpecSeparator))
                return SeparatorFound { field, character };
        }
    }
    return std::nullopt;
}

namespace {

// A count that names more missing entries than this is not taken at its word (a hand-edited file):
// only the entries present are read.
constexpr int maxDefaultEntries = 1000;

} // namespace

ButtonFileContents readButtonFile(const IniFile &ini)
{
    ButtonFileContents contents;
    const std::optional<int> count = readButtonCount(ini);
    const int limit = count.value_or(std::numeric_limits<int>::max());
    // One pass over the keys the file has rather than counting up to the count, so a wild count costs
    // nothing. The first key of a number wins; when it is empty, that entry makes no button.
    QSet<int> seen;
    for (const IniFile::KeyValueView &entry : ini.entries(buttonSection)) {
        const std::optional<int> number = recordNumber(entry.key);
        if (!number || *number > limit || seen.contains(*number))
            continue;
        seen.insert(*number);
        const QStringView value = entry.value.trimmed();
        if (!value.isEmpty())
            contents.buttons.insert(*number, PanelButton::fromEntryValue(value));
    }
    const int highest = contents.buttons.isEmpty() ? 0 : contents.buttons.lastKey();
    // Within a count that can be taken at its word, an entry the file lacks reads as its default,
    // "0": a button captioned 0, as every earlier version showed it.
    if (count && *count <= qsizetype(seen.size()) + maxDefaultEntries) {
        for (int number = 1; number <= *count; ++number) {
            if (!seen.contains(number))
                contents.buttons.insert(number, PanelButton::fromEntryValue(u"0"_s));
        }
        contents.buttonCount = *count;
    } else {
        contents.buttonCount = highest;
    }
    contents.lgOnCommand = readCommandValue(ini, lgCommandSection, u"ON"_s);
    contents.lgOffCommand = readCommandValue(ini, lgCommandSection, u"OFF"_s);
    return contents;
}

std::optional<ButtonFileContents> loadButtonFile(const QString &applicationFolder)
{
    const QString path = buttonFilePath(applicationFolder);
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    return readButtonFile(IniFile::load(path));
}

IniFile withButtonList(const IniFile &ini, const QList<PanelButton> &buttons)
{
    IniFile result;
    bool listWritten = false;
    const auto writeList = [&] {
        result.setValue(buttonSection, buttonCountKey, QString::number(buttons.size()));
        for (qsizetype i = 0; i < buttons.size(); ++i)
            result.setValue(buttonSection, QString::number(i + 1), buttons.at(i).entryValue());
        listWritten = true;
    };

    // One pass over the file, each section looked up once, so that a file of many sections saves in
    // time proportional to its size.
    QSet<QString> copied;
    for (const QString &section : ini.sections()) {
        if (sameName(section, buttonSection)) {
            if (!listWritten)
                writeList(); // where the old list was
            continue;
        }
        // A repeated section is never read (the first one wins), so it is not kept either.
        const qsizetype before = copied.size();
        copied.insert(section.toCaseFolded());
        if (copied.size() == before)
            continue;
        for (const IniFile::KeyValueView &entry : ini.entries(section)) {
            const QString key = entry.key.toString();
            if (!result.contains(section, key)) // the first of a repeated key wins
                result.setValue(section, key, entry.value.toString());
        }
    }
    if (!listWritten)
        writeList();
    return result;
}

SaveResult saveButtonFile(const QString &applicationFolder, const QList<PanelButton> &buttons)
{
    const QString path = buttonFilePath(applicationFolder);
    IniFile old;
    if (QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return { false, file.errorString() };
        old = IniFile::parse(file.readAll());
    }
    return withButtonList(old, buttons).save(path);
}

} // namespace vantiro
