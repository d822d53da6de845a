#include "scheduler/schedule_rules.h"

#include "serial/command_text.h"

#include <QStringList>

#include <algorithm>

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

// Splits without allocating (a schedule of thousands of rows is read on every edit): the first parts
// go into `parts`; returns how many parts the text has, counting at most one more than fit.
template<size_t N> qsizetype splitText(QStringView text, QChar separator, std::array<QStringView, N> &parts)
{
    qsizetype count = 0;
    for (QStringView part : text.tokenize(separator)) {
        if (size_t(count) == N)
            return count + 1;
        parts[size_t(count++)] = part;
    }
    return count;
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

namespace {

enum class YearDigits { TwoOrFour, Four };

std::optional<QDate> readDate(QStringView text, YearDigits yearDigits)
{
    text = text.trimmed();
    std::array<QStringView, 3> parts;
    if (splitText(text, text.contains(u'/') ? u'/' : u'-', parts) != 3)
        return std::nullopt;
    const std::optional<int> month = wholeNumber(parts[0], 2);
    const std::optional<int> day = wholeNumber(parts[1], 2);
    std::optional<int> year = wholeNumber(parts[2], 4);
    const qsizetype digits = parts[2].trimmed().size();
    if (!month || !day || !year || digits == 3 || (yearDigits == YearDigits::Four && digits != 4))
        return std::nullopt;
    if (digits <= 2)
        *year += *year < 30 ? 2000 : 1900;
    const QDate date(*year, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace

std::optional<QDate> readScheduleDate(QStringView text)
{
    return readDate(text, YearDigits::TwoOrFour);
}

std::optional<QDate> readEnteredDate(QStringView text)
{
    return readDate(text, YearDigits::Four);
}

QString scheduleDateText(QDate date)
{
    return u"%1/%2/%3"_s.arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

std::optional<QTime> readScheduleTime(QStringView text)
{
    std::array<QStringView, 3> parts;
    const qsizetype count = splitText(text.trimmed(), u':', parts);
    if (count != 2 && count != 3)
        return std::nullopt;
    const std::optional<int> hour = wholeNumber(parts[0], 2);
    const std::optional<int> minute = wholeNumber(parts[1], 2);
    const std::optional<int> second = count == 3 ? wholeNumber(parts[2], 2) : std::optional(0);
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
    std::array<QStringView, 7> entries;
    const qsizetype count = splitText(daysText, u',', entries);
    WeekdaySet days {};
    for (size_t day = 0; day < days.size(); ++day)
        days[day] = qsizetype(day) < count && entries[day] != u"N";
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

QDateTime wallClockSecond(const QDateTime &clockNow)
{
    const QTime time = clockNow.time();
    return wallClockMoment(clockNow.date(), QTime(time.hour(), time.minute(), time.second()));
}

QDateTime wallClockMoment(QDate date, QTime time)
{
    return QDateTime(date, time, Qt::UTC);
}

QString wallClockText(const QDateTime &moment)
{
    return scheduleDateText(moment.date()) + u' ' + scheduleTimeText(moment.time());
}

bool ScheduleTiming::appliesOn(QDate day) const
{
    if (!anyDate() && (day < first || day > last))
        return false;
    return days[size_t(weekdayIndex(day))];
}

std::optional<ScheduleTiming> readScheduleTiming(const ScheduleRowTimes &row)
{
    const std::optional<QTime> time = readScheduleTime(row.startTime);
    if (!time)
        return std::nullopt;
    ScheduleTiming timing { {}, {}, *time, weekdaysOfDaysText(row.daysText) };
    if (row.startDate == u"Any")
        return timing;
    const std::optional<QDate> first = readScheduleDate(row.startDate);
    const std::optional<QDate> last = readScheduleDate(row.endDate);
    if (!first || !last)
        return std::nullopt;
    timing.first = *first;
    timing.last = *last;
    return timing;
}

DatesWithoutEvents DatesWithoutEvents::fromRows(const QList<QStringList> &rows)
{
    DatesWithoutEvents dates;
    for (const QStringList &row : rows) {
        const std::optional<QDate> day = readScheduleDate(row.value(0));
        if (day && !dates.m_notes.contains(*day))
            dates.m_notes.insert(*day, row.value(1).trimmed());
    }
    return dates;
}

QList<QDateTime> firings(const ScheduleTiming &timing, const QDateTime &after, const QDateTime &upTo, qsizetype limit)
{
    return firings(timing, DatesWithoutEvents(), after, upTo, limit);
}

QList<QDateTime> firings(const ScheduleTiming &timing, const DatesWithoutEvents &skipped, const QDateTime &after,
                         const QDateTime &upTo, qsizetype limit)
{
    QList<QDateTime> moments;
    // A row with no weekday never fires: without this the walk below would step through every day of
    // its range, up to the year 9999 of a hand-edited row, on the window's thread.
    const bool noWeekday = std::ranges::none_of(timing.days, [](bool day) { return day; });
    if (timing.anyDate() || upTo <= after || noWeekday)
        return moments;
    // Days and times are compared apart, so that a day that does not fire costs no moment.
    const QDate afterDay = after.date();
    const QDate upToDay = upTo.date();
    QDate day = std::max(afterDay, timing.first);
    if (day == afterDay && timing.time <= after.time())
        day = day.addDays(1);
    const QDate lastDay = std::min(upToDay, timing.last);
    const bool endsEarly = timing.time > upTo.time();
    for (; day <= lastDay && moments.size() < limit; day = day.addDays(1)) {
        if (day == upToDay && endsEarly)
            break;
        if (timing.days[size_t(weekdayIndex(day))] && !skipped.contains(day))
            moments.append(wallClockMoment(day, timing.time));
    }
    return moments;
}

QList<QDateTime> nextFirings(const ScheduleTiming &timing, const DatesWithoutEvents &skipped,
                             const QDateTime &clockNow, qsizetype count)
{
    if (timing.anyDate())
        return {};
    return firings(timing, skipped, wallClockSecond(clockNow), wallClockMoment(timing.last, timing.time), count);
}

bool everFires(const ScheduleTiming &timing, const DatesWithoutEvents &skipped)
{
    if (timing.anyDate() || timing.first > timing.last)
        return false;
    // Every week of a range holds each weekday once: a range longer than the dates skipped plus a
    // week has a firing, so the walk is short.
    return !firings(timing, skipped, wallClockMoment(timing.first, QTime(0, 0)).addSecs(-1),
                    wallClockMoment(timing.last, QTime(23, 59, 59)), 1)
                .isEmpty();
}

std::optional<ScheduleTiming> readCandidateTiming(const ScheduleCandidate &candidate)
{
    const std::optional<QDate> first = readScheduleDate(candidate.startDate);
    const std::optional<QDate> last = readScheduleDate(candidate.endDate);
    const std::optional<QTime> time = readScheduleTime(candidate.time);
    if (!first || !last || !time)
        return std::nullopt;
    return ScheduleTiming { *first, *last, *time, candidate.days };
}

bool hasScheduleConflict(const ScheduleTiming &candidate, const ScheduleTiming &row)
{
    // Every entry is an instant, so only the same time of day can meet.
    if (candidate.anyDate() || candidate.time != row.time)
        return false;
    WeekdaySet shared {};
    for (size_t day = 0; day < shared.size(); ++day)
        shared[day] = candidate.days[day] && row.days[day];
    const QDate from = row.anyDate() ? candidate.first : std::max(candidate.first, row.first);
    const QDate to = row.anyDate() ? candidate.last : std::min(candidate.last, row.last);
    return rangeMeetsWeekdays(from, to, shared);
}

} // namespace vantiro
