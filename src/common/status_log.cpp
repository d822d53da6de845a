#include "common/status_log.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

QString withFourDigitYear(QString format)
{
    if (format.contains(u"yyyy"))
        return format;
    static const QRegularExpression shortYear(u"y+"_s);
    return format.replace(shortYear, u"yyyy"_s);
}

QString withSeconds(QString format)
{
    if (format.contains(u's'))
        return format;
    // Seconds follow the minutes with the separator the locale puts before the minutes.
    static const QRegularExpression minutes(u"([^hHm\\s]*)(mm?)"_s);
    const QRegularExpressionMatch match = minutes.match(format);
    if (!match.hasMatch())
        return format;
    QString separator = match.captured(1);
    if (separator.isEmpty())
        separator = u":"_s;
    format.insert(match.capturedEnd(2), separator % u"ss"_s);
    return format;
}

} // namespace

QString generalDateTimeFormat(const QLocale &locale)
{
    return withFourDigitYear(locale.dateFormat(QLocale::ShortFormat)) % u' '
        % withSeconds(locale.timeFormat(QLocale::ShortFormat));
}

QString generalDateTimeText(const QDateTime &dateTime, const QLocale &locale)
{
    return locale.toString(dateTime, generalDateTimeFormat(locale));
}

StatusLog::StatusLog(const Clock &clock, QLocale locale, QObject *parent)
    : QStringListModel(parent)
    , m_clock(clock)
    , m_locale(std::move(locale))
    , m_format(generalDateTimeFormat(m_locale))
{ }

void StatusLog::statusMessage(const QString &text)
{
    if (rowCount() > maximumLines)
        removeRows(0, rowCount());
    const QDateTime now = m_clock.now();
    const QString line = m_locale.toString(now, m_format) % u" - "_s % text;
    const int row = rowCount();
    insertRows(row, 1);
    setData(index(row), line);
    emit lineAppended(row);
    emit lineLogged(now, line);
}

} // namespace vantiro
