#pragma once

#include "common/clock.h"

#include <QLocale>
#include <QStringListModel>

namespace vantiro {

// The system's general date-and-time format with seconds and a four-digit year, built from the
// locale's short formats ("M/d/yyyy h:mm:ss AP" in a US locale).
QString generalDateTimeFormat(const QLocale &locale);
QString generalDateTimeText(const QDateTime &dateTime, const QLocale &locale);

// The time-stamped lines the runner and the sender report to. It is emptied when it holds more than
// 1000 lines and a new line comes, so it never grows without bound; it lives only in memory.
class StatusLog : public QStringListModel
{
    Q_OBJECT

public:
    static constexpr int maximumLines = 1000;

    explicit StatusLog(const Clock &clock, QLocale locale = QLocale::system(), QObject *parent = nullptr);

    // Appends "<date and time> - <text>".
    void statusMessage(const QString &text);

    QStringList lines() const { return stringList(); }
    const Clock &clock() const { return m_clock; }

signals:
    void lineAppended(int row);
    // The line as shown, with the time it was stamped with.
    void lineLogged(const QDateTime &time, const QString &line);

private:
    const Clock &m_clock;
    QLocale m_locale;
    QString m_format;
};

} // namespace vantiro
