#include "scheduler/schedule_rules.h"

#include "serial/command_text.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const std::array<QString, 7> &dayTags()
{
    static const std::array<QString, 7> tags { u"S"_s, u"M"_s, u"T"_s, u"W"_s, u"Th"_s, u"F"_s, u"Sat"_s };
    return tags;
}

std::optional<int> wholeNumber(QStringView text, int maxDigits)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > maxDigits)
        return std::nullopt;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// Gregorian month lengths, for any year number the text holds.
int monthLength(int year, int month)
{
    static constexpr int lengths[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : lengths[month - 1];
}

bool anyDay(const WeekdaySet &days)
{
    return std::find(days.begin(), days.end(), true) != days.end();
}

// Whether some day of [first, last] falls on a weekday of the set. A week or more holds every
// weekday, so only shorter spans are walked.
bool rangeMeetsWeekdays(QDate first, QDate last, const WeekdaySet &days)
{
    if (first > last)
        return false;
    if (first.daysTo(last) >= 6)
        return anyDay(days);
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        if (days[size_t(weekdayIndex(day))])
            return true;
    }
    return false;
}

} // namespace

int weekdayIndex(QDate date)
{
    return date.dayOfWeek() % 7;
}

std::optional<QDate> readScheduleDate(QStringView text)
{
    text = text.trimmed();
    const QChar separator = text.contains(u'/') ? u'/' : u'-';
    const QList<QStringView> parts = text.split(separator);
    if (parts.size() != 3)
        return std::nullopt;
    const std::optional<int> month = wholeNumber(parts[0], 2);
    const std::optional<int> day = wholeNumber(parts[1], 2);
    std::optional<int> year = wholeNumber(parts[2], 4);
    if (!month || !day || !year)
        return std::nullopt;
    if (parts[2].trimmed().size() <= 2)
        *year += *year < 30 ? 2000 : 1900;
    const QDate date(*year, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString scheduleDateText(QDate date)
{
    return u"%1/%2/%3"_s.arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

std::optional<QTime> readScheduleTime(QStringView text)
{
    const QList<QStringView> parts = text.trimmed().split(u':');
    if (parts.size() != 2 && parts.size() != 3)
        return std::nullopt;
    const std::optional<int> hour = wholeNumber(parts[0], 2);
    const std::optional<int> minute = wholeNumber(parts[1], 2);
    const std::optional<int> second = parts.size() == 3 ? wholeNumber(parts[2], 2) : std::optional(0);
    if (!hour || !minute || !second)
        return std::nullopt;
    const QTime time(*hour, *minute, *second);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QString scheduleTimeText(QTime time)
{
    return time.toString(u"HH:mm:ss"_s);
}

WeekdaySet weekdaysOfDaysText(QStringView daysText)
{
    const QList<QStringView> entries = daysText.split(u',');
    WeekdaySet days {};
    for (size_t day = 0; day < days.size(); ++day)
        days[day] = qsizetype(day) < entries.size() && entries.at(qsizetype(day)) != u"N";
    return days;
}

QString daysTextOf(const WeekdaySet &days)
{
    QStringList entries;
    for (size_t day = 0; day < days.size(); ++day)
        entries.append(days[day] ? dayTags()[day] : u"N"_s);
    return entries.join(u',');
}

QString getNextValidDate(const QString &dateText)
{
    const int month = int(numericReading(QStringView(dateText).mid(0, 2)));
    int day = int(numericReading(QStringView(dateText).mid(3, 2)));
    int year = int(numericReading(QStringView(dateText).mid(6, 4)));
    if (month < 1 || month > 12)
        return {};
    int nextMonth = month;
    ++day;
    if (day > monthLength(year, month)) {
        day = 1;
        if (++nextMonth > 12) {
            nextMonth = 1;
            ++year;
        }
    }
    return u"%1/%2/%3"_s.arg(nextMonth, 2, 10, QLatin1Char('0')).arg(day, 2, 10, QLatin1Char('0')).arg(year);
}

bool checkDateRange(const QString &startDate, const QString &endDate, const WeekdaySet &days)
{
    const std::optional<QDate> start = readScheduleDate(startDate);
    const std::optional<QDate> end = readScheduleDate(endDate);
    return start && end && rangeMeetsWeekdays(*start, *end, days);
}

bool isEntryDue(const QString &startDate, const QString &endDate, const QString &startTime, const QString &endTime,
                const QString &daysText, const QString &clockText, QDate today)
{
    const std::optional<QDate> start = readScheduleDate(startDate);
    const std::optional<QDate> end = readScheduleDate(endDate);
    if (!start || !end || today < *start || today > *end)
        return false;
    const std::optional<QTime> clock = readScheduleTime(clockText);
    const std::optional<QTime> from = readScheduleTime(startTime);
    const std::optional<QTime> to = readScheduleTime(endTime);
    if (!clock || !from || !to || *clock < *from || *clock > *to)
        return false;
    return weekdaysOfDaysText(daysText)[size_t(weekdayIndex(today))];
}

bool hasScheduleConflict(const ScheduleCandidate &candidate, const ScheduleRowTimes &row)
{
    const std::optional<QDate> first = readScheduleDate(candidate.startDate);
    const std::optional<QDate> last = readScheduleDate(candidate.endDate);
    if (!first || !last)
        return false;

    WeekdaySet shared {};
    const WeekdaySet rowDays = weekdaysOfDaysText(row.daysText);
    for (size_t day = 0; day < shared.size(); ++day)
        shared[day] = candidate.days[day] && rowDays[day];

    QDate from = *first;
    QDate to = *last;
    // The row's dates are only read on a day with a shared weekday, so a row without one never
    // conflicts, whatever its dates say.
    if (!rangeMeetsWeekdays(from, to, shared))
        return false;
    if (row.startDate != u"Any") {
        const std::optional<QDate> rowFirst = readScheduleDate(row.startDate);
        const std::optional<QDate> rowLast = readScheduleDate(row.endDate);
        if (!rowFirst || !rowLast)
            return false;
        from = std::max(from, *rowFirst);
        to = std::min(to, *rowLast);
        if (!rangeMeetsWeekdays(from, to, shared))
            return false;
    }

    // Every entry is an instant: the candidate's end is its start.
    const std::optional<QTime> time = readScheduleTime(candidate.time);
    const std::optional<QTime> rowStart = readScheduleTime(row.startTime);
    const std::optional<QTime> rowEnd = readScheduleTime(row.endTime);
    if (!time || !rowStart || !rowEnd)
        return false;
    return *time <= *rowStart ? *time >= *rowStart : *time <= *rowEnd;
}

QList<QDateTime> nextFirings(const ScheduleRowTimes &row, const QDateTime &after, int count)
{
    QList<QDateTime> firings;
    const std::optional<QDate> first = readScheduleDate(row.startDate);
    const std::optional<QDate> last = readScheduleDate(row.endDate);
    const std::optional<QTime> from = readScheduleTime(row.startTime);
    const std::optional<QTime> to = readScheduleTime(row.endTime);
    const WeekdaySet days = weekdaysOfDaysText(row.daysText);
    if (!first || !last || !from || !to || *to < *from || !anyDay(days))
        return firings;

    // The clock shows whole seconds, so the first second the runner can still see today is the one
    // after `after`.
    const QTime nextSecond = after.time().addSecs(1);
    for (QDate day = std::max(*first, after.date()); day <= *last && firings.size() < count; day = day.addDays(1)) {
        if (!days[size_t(weekdayIndex(day))])
            continue;
        QTime fires = *from;
        if (day == after.date()) {
            if (after.time() >= *to || nextSecond == QTime(0, 0))
                continue;
            fires = std::max(*from, QTime(nextSecond.hour(), nextSecond.minute(), nextSecond.second()));
        }
        firings.append(QDateTime(day, fires));
    }
    return firings;
}

} // namespace vantiro
