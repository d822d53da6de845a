#pragma once

#include <QDate>
#include <QObject>
#include <QString>

namespace vantiro {

class StatusLog;

// Keeps every status-log line also in logs/YYYY-MM-DD.log of the application folder (UTF-8, one line each,
// the same text), so that what the schedule did overnight can be read the next morning. Files older than
// 90 days are removed when it starts. A log that cannot be written is reported once in the status log, with the
// system's reason (again only after a write has succeeded in between), and never stops what is being logged. A
// line reaches the file whole or not at all. Lines are not synced one by one: that would hold the window for
// each line, and a power cut costs at most the last lines.
class DailyLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int keptDays = 90;

    DailyLog(const QString &applicationFolder, StatusLog &statusLog, QObject *parent = nullptr);

    QString folder() const { return m_folder; }
    QString filePath(QDate date) const;

    // Removes the daily files dated more than keptDays before today; other files are left alone.
    void removeOldFiles(QDate today) const;

signals:
    // The log could not be written: emitted with the status-log line that says so, once until a write succeeds.
    void writeFailed(const QString &path, const QString &reason);

private:
    void append(const QDateTime &time, const QString &line);

    QString m_folder;
    StatusLog &m_statusLog;
    bool m_failureReported = false;
};

} // namespace vantiro
