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

// Makes something under a free temporary name beside the target, ".<name>.vantiro-save-XXXXXX":
// create(name) gives 0 or the system's error. Another save of the same file may hold one name; a few
// tries find a free one. Returns the name, or nothing and the error.
template<typename Create> QString createUnderTemporaryName(const QString &target, Create create, int &error)
{
    const QFileInfo info(target);
    const QString prefix = info.absolutePath() % u"/."_s % info.fileName() % saveMark;
    auto *random = QRandomGenerator::global();
    error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        QString name = prefix;
        for (qsizetype i = 0; i < randomLength; ++i)
            name += randomCharacters.at(random->bounded(int(randomCharacters.size())));
        error = create(QFile::encodeName(name));
        if (error == 0)
            return name;
    }
    return {};
}

bool isLeftoverSaveName(QStringView name)
{
    const qsizetype markAt = name.size() - randomLength - saveMark.size();
    if (markAt < 2 || !name.startsWith(u'.') || name.sliced(markAt, saveMark.size()) != saveMark)
        return false;
    const QStringView random = name.last(randomLength);
    return std::all_of(random.begin(), random.end(), [](QChar c) { return randomCharacters.contains(c); });
}

} // namespace

SafeSave::SafeSave(const QString &path)
    : m_target(resolvedTarget(path))
{
    int error = 0;
    m_temporary = createUnderTemporaryName(
        m_target,
        [this](const QByteArray &name) {
            m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            return m_fd < 0 ? errno : 0;
        },
        error);
    if (m_fd < 0) {
        fail(error);
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

std::optional<QByteArray> readWholeFile(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (info.isDir() || ((info.exists() || info.isSymLink()) && !info.isFile())) {
        error = info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
        return std::nullopt;
    }
    QFile file(path);
    QByteArray contents;
    if (file.open(QIODevice::ReadOnly))
        contents = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    return contents;
}

SaveResult keepCopy(const QString &original, const QByteArray &bytes, const QString &copyPath)
{
    const QString copy = resolvedTarget(copyPath);
    int error = 0;
    const QString link = createUnderTemporaryName(
        copy,
        [&original](const QByteArray &name) {
            const QByteArray from = QFile::encodeName(original);
            const int linked = ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW);
            return linked == 0 ? 0 : errno;
        },
        error);
    if (link.isEmpty())
        return saveFile(copyPath, bytes); // a file system without hard links
    if (::rename(QFile::encodeName(link).constData(), QFile::encodeName(copy).constData()) != 0) {
        error = errno;
        ::unlink(QFile::encodeName(link).constData());
        return { false, qt_error_string(error) };
    }
    return { true, {} };
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
