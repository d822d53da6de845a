#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantiro {

// Result of writing a file: whether it succeeded and, if not, why.
struct SaveResult
{
    bool ok = false;
    QString error;

    explicit operator bool() const { return ok; }
};

// An INI file with the lookup rules of Windows private-profile files, so that files move between
// installations unchanged in meaning:
// - section and key names match without regard to case; the first matching section and, within
//   it, the first matching key win;
// - blanks around names and values are trimmed and one pair of matching quotes around a value is
//   removed; lines starting with ";" are comments; CRLF, LF and CR line ends are all read;
// - a key present with an empty value is distinguished from an absent key;
// - values are read whole, whatever their length.
// Text that fits Windows-1252 is written as single bytes like the files of Windows installations;
// other text makes the whole file UTF-8. A file that is valid UTF-8 is read as UTF-8, any other as
// Windows-1252.
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

    // Replaces the first matching key in place, or adds the key at the end of its section (the
    // section at the end of the file when new). Line breaks in a value are written as blanks, since
    // the format has no way to hold them.
    void setValue(const QString &section, const QString &key, const QString &value);

    QByteArray serialize() const;

    // Writes a temporary file beside the target and renames it over the target, so the file on disk
    // is always either the old or the new one.
    SaveResult save(const QString &path) const;

private:
    struct Entry
    {
        QString key;
        QString value;
    };
    struct Section
    {
        QString name;
        QList<Entry> entries;
    };

    const Section *findSection(const QString &name) const;
    Section *findSection(const QString &name);

    QList<Section> m_sections;
};

} // namespace vantiro
