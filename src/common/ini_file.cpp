#include "common/ini_file.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

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

QString decode(QByteArrayView bytes)
{
    static constexpr char bom[] = "\xEF\xBB\xBF";
    if (bytes.startsWith(bom))
        return QString::fromUtf8(bytes.sliced(3));
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return QString::fromLatin1(bytes);
}

// Latin-1 when every character fits and the bytes cannot be mistaken for UTF-8 on reading;
// otherwise UTF-8, which always reads back as written.
QByteArray encode(const QString &text)
{
    const bool fitsLatin1 = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    if (fitsLatin1) {
        const QByteArray latin1 = text.toLatin1();
        if (decode(latin1) == text)
            return latin1;
    }
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
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
