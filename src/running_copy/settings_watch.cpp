#include "running_copy/settings_watch.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace vantiro {

SettingsWatch::SettingsWatch(const QString &filePath, std::chrono::milliseconds stillFor, QObject *parent)
    : QObject(parent)
    , m_path(filePath)
    , m_stillFor(stillFor)
    , m_watcher(this)
    , m_stillTimer(this)
{
    m_stillTimer.setSingleShot(true);
    connect(&m_stillTimer, &QTimer::timeout, this, &SettingsWatch::settle);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &SettingsWatch::somethingMoved);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &SettingsWatch::somethingMoved);
    m_watcher.addPath(QFileInfo(filePath).absolutePath());
    watchFile();
    markRead();
}

void SettingsWatch::markRead()
{
    m_read = identity();
    m_seen = m_read;
}

SettingsWatch::Identity SettingsWatch::identity() const
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(QFile::encodeName(m_path).constData(), &status) != 0)
        return {};
    return { true, qint64(status.st_size), qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec,
             qint64(status.st_ctim.tv_sec) * 1'000'000'000 + status.st_ctim.tv_nsec, quint64(status.st_ino) };
#else
    const QFileInfo info(m_path);
    if (!info.exists())
        return {};
    return { true, info.size(), info.lastModified().toMSecsSinceEpoch() * 1'000'000, 0, 0 };
#endif
}

// A file replaced by a rename is a new file: its watch is made again.
void SettingsWatch::watchFile()
{
    if (QFileInfo::exists(m_path) && !m_watcher.files().contains(m_path))
        m_watcher.addPath(m_path);
}

void SettingsWatch::somethingMoved()
{
    watchFile();
    m_seen = identity();
    m_stillTimer.start(m_stillFor);
}

void SettingsWatch::settle()
{
    watchFile();
    const Identity now = identity();
    // Still changing, or changed too recently to be sure a writer is done with it (its last change may have come
    // without an event).
    const qint64 sinceChangeMs = QDateTime::currentMSecsSinceEpoch() - now.modifiedNs / 1'000'000;
    if (now != m_seen || (now.exists && sinceChangeMs >= 0 && sinceChangeMs < m_stillFor.count())) {
        m_seen = now;
        m_stillTimer.start(m_stillFor);
        return;
    }
    if (now == m_read)
        return;
    m_read = now;
    emit changed();
}

} // namespace vantiro
