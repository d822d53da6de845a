#pragma once

#include "common/safe_save.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace vantiro {

// An INI file read as the Windows private-profile functions read it, so that files written or edited on
// Windows (often in Notepad) mean the same here. The reading rules, all in one place:
// - Encoding: a file that starts with a UTF-16 byte-order mark (FF FE or FE FF) is UTF-16 in that
//   order; else a file that is valid UTF-8 (with or without its mark) is UTF-8; else it is Windows-1252.
// - Lines end at CR LF, LF or CR. Blanks around a line, a name and a value are trimmed: tab, the
//   line-end controls 0x0B and 0x0C, space, and Ctrl-Z (0x1A); a no-break space is text.
// - Lines starting with ";" are comments. A line "[name]" starts a section named by what lies between
//   the "[" and the last "]" ("[A]B]" is section "A]B"); a "[" line without "]" is a key line.
// - A key line is name=value, split at the first "=". A line without "=" is a key without a value:
//   like any key it hides later keys of its name, and it reads as absent. Key lines before the first
//   section belong to no section.
// - A name or value ends at a NUL character. One pair of matching quotes (" or ') around a value is
//   removed after the trimming.
// - Section and key names match without regard to case; the first matching section and, within it,
//   the first matching key win.
// - A key present with an empty value reads as empty, an absent one as the caller's default; values
//   are read whole, whatever their length.
// Writing: text that fits Windows-1252 is written as single bytes like the files of Windows
// installations; other text makes the whole file UTF-8. A file read from UTF-16, or saved over a
// UTF-16 file, is written as UTF-16LE with its mark, so the Windows tools that wrote it keep reading it.
// A value with blanks or quotes at its ends is written in quotes, so it reads back as it was.
class IniFile
{
public:
    IniFile() = default;

    // A file that does not exist (or cannot be read) reads as an empty file.
    static IniFile load(const QString &path);
    // A file that does not exist reads as an empty file; one that exists but cannot be read (no
    // permission, an I/O error, not a regular file) gives nothing and the system's reason.
    static std::optional<IniFile> read(const QString &path, QString &error);
    static IniFile parse(const QByteArray &contents);

    std::optional<QString> value(const QString &section, const QString &key) const;
    QString value(const QString &section, const QString &key, const QString &defaultValue) const;
    bool contains(const QString &section, const QString &key) const { return value(section, key).has_value(); }

    QStringList sections() const;
    QStringList keys(const QString &section) const;

    // The keys and values of the first matching section in file order, duplicates included, for
    // callers that walk a whole section in one pass; a key without a value shows an empty one. The
    // views point into this object's text: they stay valid until it is changed or destroyed.
    struct KeyValueView
    {
        QStringView key;
        QStringView value;
    };
    QList<KeyValueView> entries(const QString &section) const;

    // Replaces the first matching key in place, or adds the key at the end of its section (the
    // section at the end of the file when new). Line breaks in a value are written as blanks, since
    // the format has no way to hold them.
    void setValue(const QString &section, const QString &key, const QString &value);

    QByteArray serialize() const;
    // Whether a save over a file holding these bytes would write the very same bytes.
    bool isSavedIn(QByteArrayView bytes) const;

    // Replaces the file as a whole or not at all (SafeSave): on failure the old file stays as it was.
    SaveResult save(const QString &path) const;

private:
    // A piece of m_text. Names and values point into the text rather than each holding a string of
    // its own, so a file of millions of short lines costs 16 bytes a line besides its text. (A text
    // of 4 G characters, 8 GB, is far past any file this program could hold.)
    struct Span
    {
        static constexpr quint32 noValue = ~quint32(0); // the position of a key line's missing value

        quint32 position = 0;
        quint32 size = 0;
    };
    // Open-addressed positions of names by the hash of their case-folded text: lookups and first-wins
    // insertion in constant time, without a folded copy of every name.
    class NameIndex
    {
    public:
        // The first position inserted under the hash whose name `matches` accepts, or -1.
        template<typename Matches> qsizetype find(quint32 hash, Matches matches) const
        {
            if (m_slots.empty())
                return -1;
            const std::size_t mask = m_slots.size() - 1;
            for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
                const Slot &slot = m_slots[i];
                if (slot.positionPlusOne == 0)
                    return -1;
                if (slot.hash == hash && matches(qsizetype(slot.positionPlusOne - 1)))
                    return qsizetype(slot.positionPlusOne - 1);
            }
        }
        // For a name not in the index yet.
        void insert(quint32 hash, qsizetype position);

    private:
        struct Slot
        {
            quint32 hash = 0;
            quint32 positionPlusOne = 0; // 0: empty
        };
        void place(Slot slot);

        std::vector<Slot> m_slots;
        qsizetype m_count = 0;
    };
    struct Entry
    {
        Span key;
        Span value;

        bool hasValue() const { return value.position != Span::noValue; }
    };
    struct Section
    {
        Span name;
        // The section's entries in m_entries: a run read from the file, then those set since.
        qsizetype firstEntry = 0;
        qsizetype endEntry = 0;
        std::vector<qsizetype> addedEntries;
        // The first entry of each key, made on the first lookup in the section: a section that is
        // only walked or saved (or never read at all) costs no index. So a const IniFile is not to be
        // read from two threads at once.
        mutable NameIndex keys;
        mutable bool indexed = false;

        qsizetype entryCount() const { return endEntry - firstEntry + qsizetype(addedEntries.size()); }
        // Calls visit(position in m_entries) for each entry in order.
        template<typename Visit> void forEachEntry(Visit visit) const
        {
            for (qsizetype position = firstEntry; position < endEntry; ++position)
                visit(position);
            for (const qsizetype position : addedEntries)
                visit(position);
        }
    };

    QStringView text(Span span) const { return QStringView(m_text).sliced(span.position, span.size); }
    Span appendText(QStringView text);
    const Section *findSection(QStringView name) const;
    qsizetype findEntry(const Section &section, QStringView key) const; // -1 when absent
    Section &addSection(Span name);
    void addEntry(Section &section, Span key, Span value);
    // Calls put() with the pieces of the text a save writes, in order.
    void forEachPiece(const std::function<void(QStringView)> &put) const;
    // Hands the file's bytes to take() in order, in chunks where the encoding allows; stops when take()
    // returns false, and then returns false.
    bool forEachChunk(bool utf16, const std::function<bool(QByteArrayView)> &take) const;
    // The text a save writes, before its encoding is chosen, and its length.
    QString fileText() const;
    qsizetype fileSize() const;

    // The file's text and, after it, every name and value set since; the spans point into it.
    QString m_text;
    std::vector<Entry> m_entries; // of every section, in one array: a file of millions of lines grows it once
    std::vector<Section> m_sections;
    NameIndex m_sectionIndex; // the first section of each name
    bool m_utf16 = false; // read from UTF-16, so written back in it
};

} // namespace vantiro
