#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace vantiro {

// Tells when a file has changed on disk and has then been still for a moment, so that a file being copied in or
// written by an editor is read once it is whole. The folder is watched as well as the file: a file replaced by a
// rename (as every save of this program does) or copied in where there was none is seen too.
class SettingsWatch : public QObject
{
    Q_OBJECT

public:
    explicit SettingsWatch(const QString &filePath, std::chrono::milliseconds stillFor = std::chrono::seconds(1),
                           QObject *parent = nullptr);

    // The file as it stands counts as read: only a change from it is told.
    void markRead();

signals:
    // The file differs from the one last read (it may be gone) and has not changed for `stillFor`.
    void changed();

private:
    // What tells two versions of the file apart without reading it.
    struct Identity
    {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        quint64 inode = 0;

        friend bool operator==(const Identity &, const Identity &) = default;
    };

    Identity identity() const;
    void somethingMoved();
    void settle();
    void watchFile();

    QString m_path;
    std::chrono::milliseconds m_stillFor;
    QFileSystemWatcher m_watcher;
    QTimer m_stillTimer;
    Identity m_read;
    Identity m_seen;
};

} // namespace vantiro
