#include "common/daily_log.h"

#include "common/status_log.h"

#include <QDir>
#include <QFile>

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

void DailyLog::append(const QDateTime &time, const QString &line)
{
    // A line break inside a message would split it into two lines of the file.
    QString text = line;
    text.replace(u"\r\n"_s, u" "_s).replace(u'\r', u' ').replace(u'\n', u' ');

    QFile file(filePath(time.date()));
    const bool written = QDir().mkpath(m_folder) && file.open(QIODevice::WriteOnly | QIODevice::Append)
        && file.write(QString(text % u'\n').toUtf8()) >= 0 && file.flush();
    if (written) {
        m_failureReported = false;
        return;
    }
    if (m_failureReported)
        return;
    m_failureReported = true;
    const QString reason = file.errorString().isEmpty() ? u"the folder cannot be created"_s : file.errorString();
    m_statusLog.statusMessage(u"The daily log %1 cannot be written (%2); its lines are kept only in this list."_s.arg(
        QDir::toNativeSeparators(file.fileName()), reason));
}

} // namespace vantiro
