#include "common/ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace vantiro {

namespace {

// Names match by their case-folded code points, as QString::compare() without regard to case
// matches them; the index hashes the same folded code points, so a name and its hash always agree.
class FoldedCodePoints
{
public:
    explicit FoldedCodePoints(QStringView text)
        : m_text(text)
    { }

    bool atEnd() const { return m_next >= m_text.size(); }
    char32_t next()
    {
        const char16_t unit = m_text[m_next++].unicode();
        if (unit < 0x80)
            return unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit;
        char32_t codePoint = unit;
        if (QChar::isHighSurrogate(unit) && !atEnd() && m_text[m_next].isLowSurrogate())
            codePoint = QChar::surrogateToUcs4(unit, m_text[m_next++].unicode());
        return QChar::toCaseFolded(codePoint);
    }

private:
    QStringView m_text;
    qsizetype m_next = 0;
};

bool sameName(QStringView a, QStringView b)
{
    if (a == b)
        return true;
    FoldedCodePoints left(a);
    FoldedCodePoints right(b);
    while (!left.atEnd() && !right.atEnd()) {
        if (left.next() != right.next())
            return false;
    }
    return left.atEnd() && right.atEnd();
}

quint32 nameHash(QStringView name)
{
    quint64 hash = 14695981039346656037ULL; // FNV-1a, then a final mix so the low bits spread
    for (FoldedCodePoints folded(name); !folded.atEnd();)
        hash = (hash ^ folded.next()) * 1099511628211ULL;
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return quint32(hash);
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

// Bytes of UTF-16 in the given order; an odd last byte is dropped.
QString fromUtf16(QByteArrayView bytes, bool bigEndian)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto first = char16_t(uchar(bytes[2 * i]));
        const auto second = char16_t(uchar(bytes[2 * i + 1]));
        out[i] = bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
    }
    return text;
}

constexpr char utf16LeMark[] = "\xFF\xFE";
constexpr char utf16BeMark[] = "\xFE\xFF";

bool startsWithUtf16Mark(QByteArrayView bytes)
{
    return bytes.startsWith(utf16LeMark) || bytes.startsWith(utf16BeMark);
}

// Only a regular file is looked at: a pipe of that name would wait for a writer.
bool isUtf16File(const QString &path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) && startsWithUtf16Mark(file.read(2));
}

struct DecodedText
{
    QString text;
    bool utf16 = false;
};

// A byte-order mark before bytes that are not UTF-8 is a mark some editor put in front of a
// single-byte file: the bytes after it are read as Windows-1252, so nothing is lost on saving.
DecodedText decode(QByteArrayView bytes)
{
    if (startsWithUtf16Mark(bytes))
        return { fromUtf16(bytes.sliced(2), bytes.startsWith(utf16BeMark)), true };
    static constexpr char bom[] = "\xEF\xBB\xBF";
    if (bytes.startsWith(bom))
        bytes = bytes.sliced(3);
    // One pass: the text decoded while checking is the text read. A second mark is kept as text.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return { text, false };
    return { fromWindows1252(bytes), false };
}

// Windows-1252 when every character fits and the bytes cannot be mistaken for UTF-8 on reading;
// otherwise UTF-8, which always reads back as written.
QByteArray encode(const QString &text)
{
    if (QtPrivate::isAscii(text))
        return text.toLatin1(); // the common case, converted in bulk
    const std::optional<QByteArray> singleBytes = toWindows1252(text);
    if (singleBytes && decode(*singleBytes).text == text)
        return *singleBytes;
    return text.toUtf8();
}

// The blanks trimmed around lines, names and values: tab, the line-end controls, blank, and Ctrl-Z,
// which old editors left at the end of a file. A no-break space is text.
bool isBlank(QChar c)
{
    const char16_t unit = c.unicode();
    return unit == u' ' || (unit >= u'\t' && unit <= u'\r') || unit == 0x1A;
}

QStringView trimmedBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

QStringView beforeNul(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.first(nul);
}

template<typename Text> Text unquoted(Text value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.sliced(1, value.size() - 2);
    }
    return value;
}

// Quotes a value whose blanks or quotes at either end would otherwise be lost on reading.
bool needsQuotes(QStringView value)
{
    return !value.isEmpty()
        && (isBlank(value.front()) || isBlank(value.back()) || unquoted(value).size() != value.size());
}

// CR LF, CR and LF each become one blank; one pass, whatever the value's length.
QString singleLine(const QString &text)
{
    if (!text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        line += c == u'\r' || c == u'\n' ? QChar(u' ') : c;
    }
    return line;
}

} // namespace

IniFile IniFile::load(const QString &path)
{
    QString error;
    return read(path, error).value_or(IniFile());
}

std::optional<IniFile> IniFile::read(const QString &path, QString &error)
{
    if (const QFileInfo info(path); !info.exists() && !info.isSymLink())
        return IniFile();
    const std::optional<QByteArray> contents = readWholeFile(path, error);
    if (!contents)
        return std::nullopt;
    return parse(*contents);
}

void IniFile::NameIndex::insert(quint32 hash, qsizetype position)
{
    // At most three quarters full, so a probe soon reaches an empty slot.
    if ((m_count + 1) * 4 > qsizetype(m_slots.size()) * 3) {
        const std::vector<Slot> old
            = std::exchange(m_slots, std::vector<Slot>(std::max<std::size_t>(8, m_slots.size() * 2)));
        for (const Slot &slot : old) {
            if (slot.positionPlusOne != 0)
                place(slot);
        }
    }
    place(Slot { hash, quint32(position + 1) });
    ++m_count;
}

void IniFile::NameIndex::place(Slot slot)
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = slot.hash & mask;
    while (m_slots[i].positionPlusOne != 0)
        i = (i + 1) & mask;
    m_slots[i] = slot;
}

IniFile IniFile::parse(const QByteArray &contents)
{
    IniFile ini;
    DecodedText decoded = decode(contents);
    ini.m_text = std::move(decoded.text);
    ini.m_utf16 = decoded.utf16;
    // At most one entry a line: the entries are allocated once (a file of mixed line ends may grow
    // them once more).
    ini.m_entries.reserve(
        std::max(std::count(contents.begin(), contents.end(), '\n'), std::count(contents.begin(), contents.end(), '\r'))
        + 1);
    const QStringView text(ini.m_text);
    const auto spanOf = [&text](QStringView piece) {
        return Span { quint32(piece.data() - text.data()), quint32(piece.size()) };
    };
    // A name or value ends at a NUL; one look at the whole text spares the search in every piece.
    const bool hasNul = text.contains(QChar(0));
    const auto cleaned = [&](QStringView piece) {
        return hasNul ? beforeNul(trimmedBlanks(piece)) : trimmedBlanks(piece);
    };

    // Each line ends at CR LF, LF or CR; walked once, so the cost follows the file's length.
    Section *current = nullptr;
    const qsizetype length = text.size();
    for (qsizetype start = 0; start < length;) {
        qsizetype end = start;
        while (end < length && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QStringView line = trimmedBlanks(text.sliced(start, end - start));
        start = end + (end + 1 < length && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);

        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        // Without a "]" the line is no section header but a key line of the section before.
        if (const qsizetype close = line.startsWith(u'[') ? line.lastIndexOf(u']') : -1; close > 0) {
            current = &ini.addSection(spanOf(cleaned(line.sliced(1, close - 1))));
            continue;
        }
        if (!current)
            continue; // a key before the first section belongs to no section a lookup can name
        const qsizetype equals = line.indexOf(u'=');
        const Span value = equals < 0 ? Span { Span::noValue, 0 } : spanOf(unquoted(cleaned(line.sliced(equals + 1))));
        ini.m_entries.push_back(Entry { spanOf(cleaned(equals < 0 ? line : line.first(equals))), value });
        current->endEntry = qsizetype(ini.m_entries.size());
    }
    return ini;
}

IniFile::Span IniFile::appendText(QStringView text)
{
    const Span span { quint32(m_text.size()), quint32(text.size()) };
    m_text += text;
    return span;
}

const IniFile::Section *IniFile::findSection(QStringView name) const
{
    const qsizetype found = m_sectionIndex.find(
        nameHash(name), [&](qsizetype position) { return sameName(text(m_sections[position].name), name); });
    return found < 0 ? nullptr : &m_sections[found];
}

qsizetype IniFile::findEntry(const Section &section, QStringView key) const
{
    if (!section.indexed) {
        section.indexed = true;
        section.forEachEntry([&](qsizetype position) {
            const QStringView name = text(m_entries[position].key);
            if (findEntry(section, name) < 0)
                section.keys.insert(nameHash(name), position);
        });
    }
    return section.keys.find(nameHash(key),
                             [&](qsizetype position) { return sameName(text(m_entries[position].key), key); });
}

IniFile::Section &IniFile::addSection(Span name)
{
    // A later section of the same name is kept for saving, but lookups never reach it.
    const qsizetype position = qsizetype(m_sections.size());
    const qsizetype end = qsizetype(m_entries.size());
    m_sections.push_back(Section { name, end, end, {}, {}, false });
    if (!findSection(text(name)))
        m_sectionIndex.insert(nameHash(text(name)), position);
    return m_sections.back();
}

void IniFile::addEntry(Section &section, Span key, Span value)
{
    const qsizetype position = qsizetype(m_entries.size());
    // Once the section is indexed, the index keeps up; a later key of a name already there stays out.
    if (section.indexed && findEntry(section, text(key)) < 0)
        section.keys.insert(nameHash(text(key)), position);
    m_entries.push_back(Entry { key, value });
    if (section.endEntry == position && section.addedEntries.empty())
        section.endEntry = position + 1; // the last section grows its run, as a file being built does
    else
        section.addedEntries.push_back(position);
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const Section *found = findSection(section);
    if (!found)
        return std::nullopt;
    const qsizetype entry = findEntry(*found, key);
    if (entry < 0 || !m_entries[entry].hasValue())
        return std::nullopt;
    return text(m_entries[entry].value).toString();
}

QString IniFile::value(const QString &section, const QString &key, const QString &defaultValue) const
{
    return value(section, key).value_or(defaultValue);
}

QStringList IniFile::sections() const
{
    QStringList names;
    names.reserve(qsizetype(m_sections.size()));
    for (const Section &section : m_sections)
        names.append(text(section.name).toString());
    return names;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList names;
    if (const Section *found = findSection(section)) {
        names.reserve(found->entryCount());
        found->forEachEntry([&](qsizetype position) { names.append(text(m_entries[position].key).toString()); });
    }
    return names;
}

QList<IniFile::KeyValueView> IniFile::entries(const QString &section) const
{
    QList<KeyValueView> pairs;
    if (const Section *found = findSection(section)) {
        pairs.reserve(found->entryCount());
        found->forEachEntry([&](qsizetype position) {
            const Entry &entry = m_entries[position];
            pairs.append(KeyValueView { text(entry.key), entry.hasValue() ? text(entry.value) : QStringView() });
        });
    }
    return pairs;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const Section *found = findSection(section);
    Section &target = found ? m_sections[found - m_sections.data()] : addSection(appendText(section.trimmed()));
    const Span stored = appendText(singleLine(value));
    if (const qsizetype entry = findEntry(target, key); entry >= 0) {
        m_entries[entry].value = stored;
        return;
    }
    addEntry(target, appendText(key.trimmed()), stored);
}

namespace {

// Appends ASCII text as its bytes.
void appendAscii(QByteArray &bytes, QStringView piece)
{
    const qsizetype at = bytes.size();
    bytes.resize(at + piece.size());
    char *out = bytes.data() + at;
    for (const QChar c : piece)
        *out++ = char(c.unicode());
}

} // namespace

void IniFile::forEachPiece(const std::function<void(QStringView)> &put) const
{
    for (const Section &section : m_sections) {
        put(u"[");
        put(text(section.name));
        put(u"]\r\n");
        section.forEachEntry([&](qsizetype position) {
            const Entry &entry = m_entries[position];
            put(text(entry.key));
            if (!entry.hasValue()) {
                put(u"\r\n"); // a line without "=" is written back as it was read
                return;
            }
            const QStringView value = text(entry.value);
            put(u"=");
            const bool quoted = needsQuotes(value);
            if (quoted)
                put(u"\"");
            put(value);
            if (quoted)
                put(u"\"");
            put(u"\r\n");
        });
    }
}

namespace {

// Appends text as UTF-16 in little-endian order.
void appendUtf16Le(QByteArray &bytes, QStringView piece)
{
    const qsizetype at = bytes.size();
    bytes.resize(at + 2 * piece.size());
    char *out = bytes.data() + at;
    for (const QChar c : piece) {
        *out++ = char(c.unicode() & 0xFF);
        *out++ = char(c.unicode() >> 8);
    }
}

} // namespace

bool IniFile::forEachChunk(bool utf16, const std::function<bool(QByteArrayView)> &take) const
{
    const bool ascii = QtPrivate::isAscii(m_text);
    if (!ascii && !utf16)
        return take(encode(fileText())); // the encoding follows from the whole text
    // Otherwise the file goes out in chunks, never held whole a second time.
    constexpr qsizetype chunkSize = 64 * 1024;
    QByteArray chunk;
    chunk.reserve(2 * chunkSize);
    if (utf16)
        chunk.append(utf16LeMark, 2);
    bool going = true;
    forEachPiece([&](QStringView piece) {
        if (!going)
            return;
        if (utf16)
            appendUtf16Le(chunk, piece);
        else
            appendAscii(chunk, piece);
        if (chunk.size() >= chunkSize) {
            going = take(chunk);
            chunk.resize(0); // keeps its capacity
        }
    });
    return going && take(chunk);
}

QByteArray IniFile::serialize() const
{
    QByteArray file;
    if (QtPrivate::isAscii(m_text))
        file.reserve(m_utf16 ? 2 * fileSize() + 2 : fileSize());
    forEachChunk(m_utf16, [&file](QByteArrayView chunk) {
        file += chunk;
        return true;
    });
    return file;
}

bool IniFile::isSavedIn(QByteArrayView bytes) const
{
    qsizetype at = 0;
    const bool same = forEachChunk(m_utf16 || startsWithUtf16Mark(bytes), [&](QByteArrayView chunk) {
        if (bytes.size() - at < chunk.size() || bytes.sliced(at, chunk.size()) != chunk)
            return false;
        at += chunk.size();
        return true;
    });
    return same && at == bytes.size();
}

qsizetype IniFile::fileSize() const
{
    qsizetype size = 0;
    for (const Section &section : m_sections) {
        size += section.name.size + 4;
        section.forEachEntry([&](qsizetype position) {
            const Entry &entry = m_entries[position];
            size += entry.key.size + (entry.hasValue() ? entry.value.size + 5 : 2);
        });
    }
    return size;
}

QString IniFile::fileText() const
{
    QString file;
    file.reserve(fileSize()); // sized once, not copied over and over while it grows
    forEachPiece([&file](QStringView piece) { file += piece; });
    return file;
}

SaveResult IniFile::save(const QString &path) const
{
    SafeSave file(path);
    forEachChunk(m_utf16 || isUtf16File(file.targetPath()),
                 [&file](QByteArrayView chunk) { return file.write(chunk); });
    return file.commit();
}

} // namespace vantiro
