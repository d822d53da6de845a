#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace vantiro {

// Result of writing a file: whether it succeeded and, if not, why (the system's own words, "No space
// left on device").
struct SaveResult
{
    bool ok = false;
    QString error;

    explicit operator bool() const { return ok; }
};

// Replaces a file as a whole or not at all. The bytes go to a temporary file beside the target, named
// ".<name>.vantiro-save-XXXXXX" so that no file of the user's ever has that name; every write, the
// sync and the close are checked, and only then is it renamed over the target and the folder synced.
// On any failure the temporary file is removed and the old file stays byte for byte. A symbolic link
// is followed, so the file it points at is replaced; the new file keeps the old one's permissions.
class SafeSave
{
public:
    explicit SafeSave(const QString &path);
    ~SafeSave();
    SafeSave(const SafeSave &) = delete;
    SafeSave &operator=(const SafeSave &) = delete;

    // The file that will be replaced, its links followed.
    const QString &targetPath() const { return m_target; }
    // False once anything has failed; later writes are skipped.
    bool write(QByteArrayView bytes);
    SaveResult commit();

private:
    void fail(int error);

    QString m_target;
    QString m_temporary;
    int m_fd = -1;
    QString m_error;
};

SaveResult saveFile(const QString &path, QByteArrayView contents);

// The whole of a file, read to its end; nothing when it cannot be, with the reason in `error` ("it is a
// folder", the system's words). Only a regular file is read: a pipe of that name would wait for a writer.
std::optional<QByteArray> readWholeFile(const QString &path, QString &error);

// Keeps the file at original, whose bytes are given, also under copyPath, replacing whatever was there as
// a whole. Where the file system allows it the copy is a second name for the same file, which costs no
// writing: a save then renames the new file over the original's name, and the copy holds the old one. It
// is synced with the folder by that save.
SaveResult keepCopy(const QString &original, const QByteArray &bytes, const QString &copyPath);

// Removes the temporary files that saves cut short (a kill, a power cut) left in a folder, once they are
// older than a minute, so a save still running elsewhere keeps its own. Only names a save gives are
// touched.
void removeLeftoverSaves(const QString &folder);

} // namespace vantiro
