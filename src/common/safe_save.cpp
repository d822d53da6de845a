#include "common/safe_save.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

constexpr QStringView saveMark = u".vantiro-save-";
constexpr QStringView randomCharacters = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr qsizetype randomLength = 6;
constexpr qint64 leftoverAgeSeconds = 60;

QString resolvedTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical; // a dangling link names the file to create
}

// Syncs the folder, so that the rename itself survives a power cut. File systems that cannot sync a
// folder say so with EINVAL; they have nothing to sync.
int syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int synced = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return synced;
}

} // namespace

SafeSave::SafeSave(const QString &path)
    : m_target(resolvedTarget(path))
{
    const QFileInfo target(m_target);
    const QString prefix = target.absolutePath() % u"/."_s % target.fileName() % saveMark;
    auto *random = QRandomGenerator::global();
    // Another save of the same file may hold one name; a few tries find a free one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = prefix;
        for (qsizetype i = 0; i < randomLength; ++i)
            name += randomCharacters.at(random->bounded(int(randomCharacters.size())));
        m_fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temporary = name;
            break;
        }
        if (errno != EEXIST) {
            fail(errno);
            return;
        }
    }
    if (m_fd < 0) {
        fail(EEXIST);
        return;
    }
    struct stat old;
    if (::stat(QFile::encodeName(m_target).constData(), &old) == 0 && S_ISREG(old.st_mode)
        && ::fchmod(m_fd, old.st_mode & 07777) != 0)
        fail(errno);
}

SafeSave::~SafeSave()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temporary.isEmpty())
        ::unlink(QFile::encodeName(m_temporary).constData());
}

void SafeSave::fail(int error)
{
    if (m_error.isEmpty())
        m_error = qt_error_string(error);
}

bool SafeSave::write(QByteArrayView bytes)
{
    if (!m_error.isEmpty())
        return false;
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(std::min<qsizetype>(left, qsizetype(1) << 30)));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            fail(written < 0 ? errno : EIO);
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

SaveResult SafeSave::commit()
{
    if (m_error.isEmpty() && ::fsync(m_fd) != 0)
        fail(errno);
    if (m_fd >= 0) {
        const int closed = ::close(m_fd);
        m_fd = -1;
        if (closed != 0)
            fail(errno);
    }
    if (m_error.isEmpty()
        && ::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_target).constData()) != 0)
        fail(errno);
    if (!m_error.isEmpty())
        return { false, m_error }; // the destructor removes the temporary file
    m_temporary.clear();
    if (const int synced = syncFolder(QFileInfo(m_target).absolutePath()); synced != 0)
        return { false, qt_error_string(synced) };
    return { true, {} };
}

SaveResult saveFile(const QString &path, QByteArrayView contents)
{
    SafeSave file(path);
    file.write(contents);
    return file.commit();
}

bool isLeftoverSaveName(QStringView name)
{
    const qsizetype markAt = name.size() - randomLength - saveMark.size();
    if (markAt < 2 || !name.startsWith(u'.') || name.sliced(markAt, saveMark.size()) != saveMark)
        return false;
    const QStringView random = name.last(randomLength);
    return std::all_of(random.begin(), random.end(), [](QChar c) { return randomCharacters.contains(c); });
}

void removeLeftoverSaves(const QString &folder)
{
    QDir dir(folder);
    const QDateTime oldest = QDateTime::currentDateTimeUtc().addSecs(-leftoverAgeSeconds);
    const QFileInfoList candidates
        = dir.entryInfoList({ u".*"_s + saveMark + u'*' }, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &info : candidates) {
        if (isLeftoverSaveName(info.fileName()) && info.lastModified() < oldest)
            dir.remove(info.fileName());
    }
}

} // namespace vantiro
