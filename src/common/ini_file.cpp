#include "common/ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace vantiro {

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

// Bytes 0x80 to 0x9F of Windows-1252; the five bytes the code page leaves unassigned stand for the
// control characters of the same number, as Windows reads them.
constexpr std::array<char16_t, 32> windows1252High {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = uchar(bytes[i]);
        text[i] = QChar(byte >= 0x80 && byte <= 0x9F ? windows1252High[byte - 0x80] : char16_t(byte));
    }
    return text;
}

// Nothing when a character has no place in the code page.
std::optional<QByteArray> toWindows1252(const QString &text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes[i] = char(c);
            continue;
        }
        const auto found = std::find(windows1252High.begin(), windows1252High.end(), c);
        if (found == windows1252High.end())
            return std::nullopt;
        bytes[i] = char(0x80 + (found - windows1252High.begin()));
    }
    return bytes;
}

// A byte-order mark before bytes that are not UTF-8 is a mark some editor put in front of a
// single-byte file: the bytes after it are read as Windows-1252, so nothing is lost on saving.
QString decode(QByteArrayView bytes)
{
    static constexpr char bom[] = "\xEF\xBB\xBF";
    if (bytes.startsWith(bom))
        bytes = bytes.sliced(3);
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return fromWindows1252(bytes);
}

// Windows-1252 when every character fits and the bytes cannot be mistaken for UTF-8 on reading;
// otherwise UTF-8, which always reads back as written.
QByteArray encode(const QString &text)
{
    if (const std::optional<QByteArray> singleBytes = toWindows1252(text); singleBytes && decode(*singleBytes) == text)
        return *singleBytes;
    return text.toUtf8();
}

QString unquoted(QString value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// Quotes a value whose blanks or quotes at either end would otherwise be lost on reading.
QString quotedIfNeeded(const QString &value)
{
    if (value.isEmpty())
        return value;
    const bool edgeBlank = value.front().isSpace() || value.back().isSpace();
    if (edgeBlank || unquoted(value) != value)
        return u'"' + value + u'"';
    return value;
}

QString singleLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

IniFile IniFile::load(const QString &path)
{
    QString error;
    return read(path, error).value_or(IniFile());
}

std::optional<IniFile> IniFile::read(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return IniFile();
    // Only a regular file is read: a pipe or a device of that name would wait for a writer.
    if (!info.isFile()) {
        error = info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    return parse(contents);
}

IniFile IniFile::parse(const QByteArray &contents)
{
    IniFile ini;
    QString text = decode(contents);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');

    Section *current = nullptr;
    for (QStringView rawLine : QStringView(text).split(u'\n')) {
        const QStringView line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            const QStringView name = close < 0 ? line.mid(1) : line.mid(1, close - 1);
            ini.m_sections.append(Section { name.trimmed().toString(), {} });
            current = &ini.m_sections.back();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!current || equals < 0)
            continue; // lines outside a section and lines without "=" carry no key
        const QString key = line.left(equals).trimmed().toString();
        const QString value = unquoted(line.mid(equals + 1).trimmed().toString());
        current->entries.append(Entry { key, value });
    }
    return ini;
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    for (const Section &section : m_sections) {
        if (sameName(section.name, name))
            return &section;
    }
    return nullptr;
}

IniFile::Section *IniFile::findSection(const QString &name)
{
    return const_cast<Section *>(std::as_const(*this).findSection(name));
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const Section *found = findSection(section);
    if (!found)
        return std::nullopt;
    for (const Entry &entry : found->entries) {
        if (sameName(entry.key, key))
            return entry.value;
    }
    return std::nullopt;
}

QString IniFile::value(const QString &section, const QString &key, const QString &defaultValue) const
{
    return value(section, key).value_or(defaultValue);
}

QStringList IniFile::sections() const
{
    QStringList names;
    for (const Section &section : m_sections)
        names.append(section.name);
    return names;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList names;
    if (const Section *found = findSection(section)) {
        for (const Entry &entry : found->entries)
            names.append(entry.key);
    }
    return names;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    Section *target = findSection(section);
    if (!target) {
        m_sections.append(Section { section.trimmed(), {} });
        target = &m_sections.back();
    }
    const QString storedValue = singleLine(value);
    for (Entry &entry : target->entries) {
        if (sameName(entry.key, key)) {
            entry.value = storedValue;
            return;
        }
    }
    target->entries.append(Entry { key.trimmed(), storedValue });
}

QByteArray IniFile::serialize() const
{
    QString text;
    for (const Section &section : m_sections) {
        text += u'[' + section.name + QStringLiteral("]\r\n");
        for (const Entry &entry : section.entries)
            text += entry.key + u'=' + quotedIfNeeded(entry.value) + QStringLiteral("\r\n");
    }
    return encode(text);
}

SaveResult IniFile::save(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return { false, file.errorString() };
    const QByteArray contents = serialize();
    if (file.write(contents) != contents.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return { false, error };
    }
    if (!file.commit())
        return { false, file.errorString() };
    return { true, {} };
}

} // namespace vantiro
