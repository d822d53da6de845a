#include "common/daily_log.h"

#include "common/status_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString fileNameFormat = u"yyyy-MM-dd"_s;

} // namespace

DailyLog::DailyLog(const QString &applicationFolder, StatusLog &statusLog, QObject *parent)
    : QObject(parent)
    , m_folder(QDir(applicationFolder).filePath(u"logs"_s))
    , m_statusLog(statusLog)
{
    removeOldFiles(statusLog.clock().now().date());
    connect(&statusLog, &StatusLog::lineLogged, this, &DailyLog::append);
}

QString DailyLog::filePath(QDate date) const
{
    return m_folder % u'/' % date.toString(fileNameFormat) % u".log"_s;
}

void DailyLog::removeOldFiles(QDate today) const
{
    const QDate oldestKept = today.addDays(-keptDays);
    QDir folder(m_folder);
    // YYYY-MM-DD.log, the name checked as a date below.
    for (const QString &name : folder.entryList({ u"[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9].log"_s }, QDir::Files)) {
        const QDate date = QDate::fromString(name.left(10), fileNameFormat);
        if (date.isValid() && date < oldestKept)
            folder.remove(name);
    }
}

namespace {

// Appends the line in one write, or nothing: a write that stopped part-way (a full disk, a file size
// limit) is cut off again, so the next line never runs on from half a line. 0 or the system's error.
int appendWhole(const QString &path, const QByteArray &line)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    struct stat before;
    int error = ::fstat(fd, &before) == 0 ? 0 : errno;
    for (qsizetype done = 0; error == 0 && done < line.size();) {
        const ssize_t written = ::write(fd, line.constData() + done, size_t(line.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            error = written < 0 ? errno : EIO;
        else
            done += written;
    }
    if (error != 0 && ::ftruncate(fd, before.st_size) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace

void DailyLog::append(const QDateTime &time, const QString &line)
{
    // A line break inside a message would split it into two lines of the file.
    QString text = line;
    text.replace(u"\r\n"_s, u" "_s).replace(u'\r', u' ').replace(u'\n', u' ');

    const QString path = filePath(time.date());
    const int error = QDir().mkpath(m_folder) ? appendWhole(path, QString(text % u'\n').toUtf8()) : ENOTDIR;
    if (error == 0) {
        m_failureReported = false;
        return;
    }
    if (m_failureReported)
        return;
    m_failureReported = true;
    const QString reason = QFileInfo(m_folder).isDir() ? qt_error_string(error) : u"the folder cannot be created"_s;
    emit writeFailed(QDir::toNativeSeparators(path), reason);
    m_statusLog.statusMessage(u"The daily log %1 cannot be written (%2); its lines are kept only in this list."_s.arg(
        QDir::toNativeSeparators(path), reason));
}

} // namespace vantiro
