// The schedule's date, weekday and time rules, when a row fires (the "Next:" line and the tooltips),
// the conflict test (against a plain day-by-day walk over thousands of generated pairs), and what
// "Set Attributes" refuses, in its order, and writes.
#include "common/text_table_model.h"
#include "schedule_walk.h"
#include "scheduler/schedule_editing.h"
#include "scheduler/schedule_rules.h"
#include "scheduler/schedule_table.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QTest>

using namespace vantiro;
using namespace Qt::StringLiterals;

namespace {

WeekdaySet daysOf(const QString &daysText)
{
    return weekdaysOfDaysText(daysText);
}

const QString everyDay = u"S,M,T,W,Th,F,Sat"_s;

// The conflict check as Set Attributes makes it, from the texts.
bool conflictOf(const ScheduleCandidate &candidate, const ScheduleRowTimes &row)
{
    const std::optional<ScheduleTiming> mine = readCandidateTiming(candidate);
    const std::optional<ScheduleTiming> theirs = readScheduleTiming(row);
    return mine && theirs && hasScheduleConflict(*mine, *theirs);
}

} // namespace

class TestScheduleRules : public QObject
{
    Q_OBJECT

private slots:
    void nextValidDate_data();
    void nextValidDate();
    void datesAreReadMonthFirstInEveryLocale_data();
    void datesAreReadMonthFirstInEveryLocale();
    void dateRangeHoldsAChosenWeekday_data();
    void dateRangeHoldsAChosenWeekday();
    void rowFiresOnceADayAtItsStartTime_data();
    void rowFiresOnceADayAtItsStartTime();
    void conflicts_data();
    void conflicts();
    void conflictsEqualTheDailyWalk();
    void setAttributesChecksInOrder_data();
    void setAttributesChecksInOrder();
    void unchangedRowIsWrittenAsItWas_data();
    void unchangedRowIsWrittenAsItWas();
};

void TestScheduleRules::nextValidDate_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("next");

    QTest::newRow("new year") << "12/31/2009"
                              << "01/01/2010";
    QTest::newRow("February, common year") << "02/28/2009"
                                           << "03/01/2009";
    QTest::newRow("February, leap year") << "02/28/2012"
                                         << "02/29/2012";
    QTest::newRow("1900 rule: 2100 is common") << "02/28/2100"
                                               << "03/01/2100";
    QTest::newRow("2000 is a leap year") << "02/28/2000"
                                         << "02/29/2000";
    QTest::newRow("30-day month") << "04/30/2009"
                                  << "05/01/2009";
    QTest::newRow("within the month") << "09/09/2009"
                                      << "09/10/2009";
    QTest::newRow("month 13") << "13/01/2009"
                              << "";
    QTest::newRow("not a date") << "Any"
                                << "";
}

void TestScheduleRules::nextValidDate()
{
    QFETCH(QString, date);
    QFETCH(QString, next);
    QCOMPARE(getNextValidDate(date), next);
}

void TestScheduleRules::datesAreReadMonthFirstInEveryLocale_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date"); // invalid: not a date

    QTest::newRow("padded") << "03/04/2009" << QDate(2009, 3, 4);
    QTest::newRow("unpadded") << "1/5/2010" << QDate(2010, 1, 5);
    QTest::newRow("dashes, blanks") << " 03-25-2009 " << QDate(2009, 3, 25);
    QTest::newRow("two-digit year of a hand-edited file") << "12/31/09" << QDate(2009, 12, 31);
    QTest::newRow("three-digit year") << "03/25/209" << QDate();
    QTest::newRow("day first is no date") << "25/03/2009" << QDate();
    QTest::newRow("February 30th") << "02/30/2009" << QDate();
    QTest::newRow("mixed separators") << "03/25-2009" << QDate();
    QTest::newRow("Any") << "Any" << QDate();
}

void TestScheduleRules::datesAreReadMonthFirstInEveryLocale()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    const QLocale before;
    for (const char *name : { "en_US", "en_GB", "de_DE" }) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        QCOMPARE(readScheduleDate(text).value_or(QDate()), date);
    }
    QLocale::setDefault(before);
}

void TestScheduleRules::dateRangeHoldsAChosenWeekday_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("days");
    QTest::addColumn<bool>("holds");

    // 03/25/2009 is a Wednesday.
    QTest::newRow("Wednesday to Thursday, Monday only") << "03/25/2009"
                                                        << "03/26/2009"
                                                        << "N,M,N,N,N,N,N" << false;
    QTest::newRow("Wednesday to Thursday, Thursday") << "03/25/2009"
                                                     << "03/26/2009"
                                                     << "N,N,N,N,Th,N,N" << true;
    QTest::newRow("one day, its weekday") << "03/25/2009"
                                          << "03/25/2009"
                                          << "N,N,N,W,N,N,N" << true;
    QTest::newRow("one day, another weekday") << "03/25/2009"
                                              << "03/25/2009"
                                              << "N,N,T,N,N,N,N" << false;
    QTest::newRow("over the new year, Friday") << "12/30/2009"
                                               << "01/02/2010"
                                               << "N,N,N,N,N,F,N" << true;
    QTest::newRow("unpadded dates compare as dates") << "12/25/2009"
                                                     << "1/5/2010"
                                                     << "N,M,N,N,N,N,N" << true;
    QTest::newRow("end before start") << "03/26/2009"
                                      << "03/25/2009" << everyDay << false;
    QTest::newRow("twenty years, no day") << "01/01/2000"
                                          << "12/31/2019"
                                          << "N,N,N,N,N,N,N" << false;
    QTest::newRow("unreadable") << "03/25/2009"
                                << "soon" << everyDay << false;
}

void TestScheduleRules::dateRangeHoldsAChosenWeekday()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, days);
    QFETCH(bool, holds);
    QCOMPARE(checkDateRange(start, end, daysOf(days)), holds);
}

void TestScheduleRules::rowFiresOnceADayAtItsStartTime_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("time"); // start time, then end time after a blank
    QTest::addColumn<QString>("days");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("firings"); // the next three, worked out by hand

    // 03/25/2009 is a Wednesday.
    const QDateTime morning(QDate(2009, 3, 25), QTime(7, 0));
    const QDateTime atEight(QDate(2009, 3, 25), QTime(8, 0, 0, 500));
    const QString year = u"12/31/2009"_s;
    QTest::newRow("today, then the next days") << "03/01/2009" << year << "08:00:00 08:00:00" << everyDay << morning
                                               << "03/25/2009 08:00:00\n03/26/2009 08:00:00\n03/27/2009 08:00:00";
    QTest::newRow("today's second has passed")
        << "03/01/2009"
        << "03/27/2009"
        << "08:00:00 08:00:00" << everyDay << atEight << "03/26/2009 08:00:00\n03/27/2009 08:00:00";
    QTest::newRow("Mondays only, over the month end")
        << "03/01/2009" << year << "08:00:00 08:00:00"
        << "N,M,N,N,N,N,N" << morning << "03/30/2009 08:00:00\n04/06/2009 08:00:00\n04/13/2009 08:00:00";
    QTest::newRow("the last day only") << "03/31/2009"
                                       << "03/31/2009"
                                       << "08:00:00 08:00:00" << everyDay << morning << "03/31/2009 08:00:00";
    QTest::newRow("ended the day before") << "01/01/2009"
                                          << "03/24/2009"
                                          << "08:00:00 08:00:00" << everyDay << morning << "No further events";
    QTest::newRow("no weekday") << "01/01/2009" << year << "08:00:00 08:00:00"
                                << "N,N,N,N,N,N,N" << morning << "No further events";
    QTest::newRow("too few days: the missing ones do not apply")
        << "01/01/2009" << year << "08:00:00 08:00:00"
        << "S,M,T,W" << morning << "03/25/2009 08:00:00\n03/29/2009 08:00:00\n03/30/2009 08:00:00";
    QTest::newRow("Any never fires") << "Any" << year << "08:00:00 08:00:00" << everyDay << morning
                                     << "No further events";
    QTest::newRow("end time after start: once a day, at the start")
        << "03/01/2009" << year << "08:00:00 08:59:59" << everyDay << atEight
        << "03/26/2009 08:00:00\n03/27/2009 08:00:00\n03/28/2009 08:00:00";
    QTest::newRow("end time before start: still at the start")
        << "03/01/2009" << year << "08:00:00 07:00:00" << everyDay << morning
        << "03/25/2009 08:00:00\n03/26/2009 08:00:00\n03/27/2009 08:00:00";
    QTest::newRow("hand-edited times") << "03/01/2009" << year << "8:5 nonsense" << everyDay << morning
                                       << "03/25/2009 08:05:00\n03/26/2009 08:05:00\n03/27/2009 08:05:00";
    QTest::newRow("no time of day") << "03/01/2009" << year << "25:00:00 25:00:00" << everyDay << morning
                                    << "No further events";
}

void TestScheduleRules::rowFiresOnceADayAtItsStartTime()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, time);
    QFETCH(QString, days);
    QFETCH(QDateTime, now);
    QFETCH(QString, firings);

    const QStringList row { u"Lobby"_s, start,           end, time.section(u' ', 0, 0), time.section(u' ', 1),
                            days,       u"Monitors ON"_s };
    QCOMPARE(rowFiringsText(row, now), firings);
    // The whole schedule's next event is the soonest row's.
    TextTableModel schedule(scheduleColumns());
    schedule.appendRow(
        { u"Hall"_s, u"01/01/2009"_s, u"01/02/2009"_s, u"09:00:00"_s, u"09:00:00"_s, everyDay, u"Monitors OFF"_s });
    schedule.appendRow(row);
    const QString expected
        = firings.startsWith(u"No") ? firings : u"Next: Lobby Monitors ON at "_s + firings.section(u'\n', 0, 0);
    QCOMPARE(nextEventText(schedule, now), expected);
}

void TestScheduleRules::conflicts_data()
{
    QTest::addColumn<QString>("time"); // the candidate's; it runs from 03/01/2009 to 03/31/2009
    QTest::addColumn<QString>("days");
    QTest::addColumn<QString>("rowStart");
    QTest::addColumn<QString>("rowEnd");
    QTest::addColumn<QString>("rowTimes"); // start and end
    QTest::addColumn<QString>("rowDays");
    QTest::addColumn<bool>("conflict");

    const QString eight = u"08:00:00 08:00:00"_s;
    QTest::newRow("same time, overlap, shared day") << "08:00:00" << everyDay << "03/20/2009"
                                                    << "04/20/2009" << eight << everyDay << true;
    QTest::newRow("ranges apart") << "08:00:00" << everyDay << "04/01/2009"
                                  << "04/20/2009" << eight << everyDay << false;
    QTest::newRow("Monday against Tuesday") << "08:00:00"
                                            << "N,M,N,N,N,N,N"
                                            << "03/01/2009"
                                            << "03/31/2009" << eight << "N,N,T,N,N,N,N" << false;
    QTest::newRow("Sunday against Saturday") << "08:00:00"
                                             << "S,N,N,N,N,N,N"
                                             << "03/01/2009"
                                             << "03/31/2009" << eight << "N,N,N,N,N,N,Sat" << false;
    QTest::newRow("overlap of two days, Monday inside") << "08:00:00"
                                                        << "N,M,N,N,N,N,N"
                                                        << "03/30/2009"
                                                        << "03/31/2009" << eight << "N,M,N,N,N,N,N" << true;
    QTest::newRow("overlap of one day, Monday outside") << "08:00:00"
                                                        << "N,M,N,N,N,N,N"
                                                        << "03/31/2009"
                                                        << "04/30/2009" << eight << "N,M,N,N,N,N,N" << false;
    QTest::newRow("Any row") << "08:00:00"
                             << "N,N,N,W,N,N,N"
                             << "Any"
                             << "" << eight << "N,N,N,W,N,N,N" << true;
    QTest::newRow("another time") << "08:00:01" << everyDay << "03/01/2009"
                                  << "03/31/2009" << eight << everyDay << false;
    QTest::newRow("same time written otherwise") << "8:0:0" << everyDay << "03/01/2009"
                                                 << "03/31/2009" << eight << everyDay << true;
    // A row is an instant at its start time, whatever a hand-edited end time says.
    QTest::newRow("inside a row's hand-edited window") << "08:30:00" << everyDay << "03/01/2009"
                                                       << "03/31/2009"
                                                       << "08:00:00 08:59:59" << everyDay << false;
    QTest::newRow("at the start of that window") << "08:00:00" << everyDay << "03/01/2009"
                                                 << "03/31/2009"
                                                 << "08:00:00 08:59:59" << everyDay << true;
}

void TestScheduleRules::conflicts()
{
    QFETCH(QString, time);
    QFETCH(QString, days);
    QFETCH(QString, rowStart);
    QFETCH(QString, rowEnd);
    QFETCH(QString, rowTimes);
    QFETCH(QString, rowDays);
    QFETCH(bool, conflict);

    const ScheduleCandidate candidate { u"03/01/2009"_s, u"03/31/2009"_s, time, daysOf(days) };
    TextTableModel schedule(scheduleColumns());
    schedule.appendRow({ u"Hall"_s, rowStart, rowEnd, rowTimes.section(u' ', 0, 0), rowTimes.section(u' ', 1), rowDays,
                         u"Monitors ON"_s });
    QCOMPARE(conflictOf(candidate, scheduleRowTimes(schedule.rowCells(0))), conflict);
}

// Ranges of up to 30 years, "Any" rows, unreadable dates and times, times written in several ways:
// the fast test answers as the plain walk does, every time.
void TestScheduleRules::conflictsEqualTheDailyWalk()
{
    QRandomGenerator random(20091225);
    const QDate base(1995, 1, 1);
    const QStringList tags { u"S"_s, u"M"_s, u"T"_s, u"W"_s, u"Th"_s, u"F"_s, u"Sat"_s };
    // A date as a text, and the date the text means (nothing when it means none).
    auto date = [&](QDate day, std::optional<QDate> &value) -> QString {
        value = std::nullopt;
        switch (random.bounded(40)) {
        case 0:
            return u"13/45/2009"_s;
        case 1:
            return {};
        default:
            value = day;
            return random.bounded(2) ? day.toString(u"MM/dd/yyyy"_s) : day.toString(u"M-d-yyyy"_s);
        }
    };
    auto spanEnd = [&](QDate from) {
        const int kind = random.bounded(4);
        const int days = kind == 0 ? random.bounded(30 * 366) : kind == 1 ? random.bounded(400) : random.bounded(10);
        return from.addDays(days - (random.bounded(20) == 0 ? 20 : 0));
    };
    auto weekdays = [&](std::array<bool, 7> &set) {
        QStringList entries;
        for (int day = 0; day < 7; ++day) {
            set[day] = random.bounded(2) == 1;
            entries.append(set[day] ? tags.at(day) : u"N"_s);
        }
        return entries.join(u',');
    };
    const QStringList timeTexts { u"08:00:00"_s, u"8:0:0"_s, u"08:00:01"_s, u"25:00:00"_s };
    const QList<std::optional<QTime>> times { QTime(8, 0), QTime(8, 0), QTime(8, 0, 1), std::nullopt };

    int conflicts = 0;
    for (int pair = 0; pair < 4000; ++pair) {
        test::PlainTiming mine, theirs;
        const QDate candidateStart = base.addDays(random.bounded(20 * 365));
        const QDate rowStart = candidateStart.addDays(random.bounded(-400, 400));
        const int myTime = random.bounded(3);
        const int theirTime = random.bounded(random.bounded(10) == 0 ? 4 : 2);
        mine.time = times.at(myTime);
        theirs.time = times.at(theirTime);
        theirs.anyDate = random.bounded(10) == 0;

        ScheduleCandidate candidate;
        candidate.startDate = date(candidateStart, mine.first);
        candidate.endDate = date(spanEnd(candidateStart), mine.last);
        candidate.time = timeTexts.at(myTime);
        weekdays(mine.days);
        std::copy(mine.days.begin(), mine.days.end(), candidate.days.begin());
        ScheduleRowTimes row;
        row.startDate = theirs.anyDate ? u"Any"_s : date(rowStart, theirs.first);
        row.endDate = date(spanEnd(rowStart), theirs.last);
        row.startTime = timeTexts.at(theirTime);
        row.daysText = weekdays(theirs.days);

        const bool expected = test::conflictByDailyWalk(mine, theirs);
        conflicts += expected;
        if (conflictOf(candidate, row) != expected)
            QFAIL(qPrintable(u"differs from the walk: %1-%2 %3 %4 against %5-%6 %7 %8"_s.arg(
                candidate.startDate, candidate.endDate, candidate.time, daysTextOf(candidate.days), row.startDate,
                row.endDate, row.startTime, row.daysText)));
    }
    // Both answers occur often enough for the comparison to mean something.
    QVERIFY2(conflicts > 500 && conflicts < 3500, qPrintable(QString::number(conflicts)));
}

void TestScheduleRules::setAttributesChecksInOrder_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("days");
    QTest::addColumn<QStringList>("time"); // the hour, minute and second lists' texts
    QTest::addColumn<QString>("outcome"); // the message, or the dates and time written

    const QStringList seven { u"07"_s, u"00"_s, u"00"_s }, eight { u"08"_s, u"00"_s, u"00"_s };
    const QString datesFirst = u"Please enter the dates as MM/DD/YYYY."_s;
    const QString noTime = u"Please set a time from 00:00:00 to 23:59:59."_s;
    const QString noWeekday = u"You should select at least one week day!"_s;
    const QString noValidDay = u"None of the days of the week specified fall within the date range.  Please "
                               u"correct and try again!"_s;
    QTest::newRow("written, dates normalised") << "3/1/2009"
                                               << "3-31-2009" << everyDay << seven << "03/01/2009 03/31/2009 07:00:00";
    QTest::newRow("equal dates pass") << "03/25/2009"
                                      << "03/25/2009" << everyDay << seven << "03/25/2009 03/25/2009 07:00:00";
    QTest::newRow("unpadded time, written padded")
        << "03/25/2009"
        << "03/25/2009" << everyDay << QStringList { u"7"_s, u"5"_s, u"0"_s } << "03/25/2009 03/25/2009 07:05:00";
    QTest::newRow("start after end") << "03-25-2009"
                                     << "03/20/2009"
                                     << "N,N,N,N,N,N,N" << eight
                                     << "The Start Date is later than End Date,\r\nPlease set the Date again!";
    QTest::newRow("day first") << "31/12/2027"
                               << "12/31/2027" << everyDay << eight << datesFirst;
    QTest::newRow("February 29th of a common year") << "02/28/2027"
                                                    << "02/29/2027" << everyDay << eight << datesFirst;
    QTest::newRow("three-digit year") << "03/25/2009"
                                      << "03/25/209" << everyDay << eight << datesFirst;
    QTest::newRow("two-digit year") << "03/25/09"
                                    << "03/25/2009" << everyDay << eight << datesFirst;
    QTest::newRow("no weekday, before the time")
        << "03/25/2009"
        << "03/25/2009"
        << "N,N,N,N,N,N,N" << QStringList { u"25"_s, u"61"_s, u"99"_s } << noWeekday;
    QTest::newRow("second 75") << "03/25/2009"
                               << "03/25/2009" << everyDay << QStringList { u"21"_s, u"00"_s, u"75"_s } << noTime;
    QTest::newRow("25:61:99") << "03/25/2009"
                              << "03/25/2009" << everyDay << QStringList { u"25"_s, u"61"_s, u"99"_s } << noTime;
    QTest::newRow("blank second") << "03/25/2009"
                                  << "03/25/2009" << everyDay << QStringList { u"08"_s, u"00"_s, u""_s } << noTime;
    QTest::newRow("time before the date range")
        << "03/25/2009"
        << "03/25/2009"
        << "N,M,N,N,N,N,N" << QStringList { u"08"_s, u"00"_s, u"xx"_s } << noTime;
    QTest::newRow("no chosen weekday in the range") << "03/25/2009"
                                                    << "03/25/2009"
                                                    << "N,M,N,N,N,N,N" << eight << noValidDay;
    QTest::newRow("conflict with another row")
        << "03/01/2009"
        << "03/31/2009" << everyDay << QStringList { u"8"_s, u"0"_s, u"0"_s }
        << "Could not add this group. There is a time or date conflict with another group in the schedule.";
}

void TestScheduleRules::setAttributesChecksInOrder()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, days);
    QFETCH(QStringList, time);
    QFETCH(QString, outcome);
    const QString &expected = outcome;

    TextTableModel schedule(scheduleColumns());
    schedule.appendRow(
        { u"Lobby"_s, u"01/01/2009"_s, u"01/01/2009"_s, u"10:00:00"_s, u"10:00:00"_s, everyDay, u"Monitors ON"_s });
    schedule.appendRow(
        { u"Hall"_s, u"03/01/2009"_s, u"03/31/2009"_s, u"08:00:00"_s, u"08:00:00"_s, everyDay, u"Monitors OFF"_s });
    schedule.appendRow({ u"Spare"_s, {}, {}, u"08:00:00"_s, u"08:00:00"_s, everyDay, {} }); // placeholder
    const AttributeEditorTexts editor {
        start, end, time.at(0), time.at(1), time.at(2), daysOf(days), u" LG All Monitors ON "_s
    };
    const AttributeOutcome result = setAttributes(schedule, 0, editor);

    if (result.row) {
        const QStringList written = result.row->mid(1, 3);
        QCOMPARE(written.join(u' '), expected);
        QCOMPARE(
            *result.row,
            QStringList({ u"Lobby"_s, written[0], written[1], written[2], written[2], days, u"LG All Monitors ON"_s }));
        return;
    }
    QVERIFY(result.refusal);
    QCOMPARE(result.refusal->text, expected);
    QCOMPARE(result.refusal->icon, PromptIcon::Exclamation);
    const QMap<QString, QString> titles {
        { u"Please"_s, u"Please check the Date Setting!"_s }, { u"The"_s, u"Please check the Date Setting!"_s },
        { u"You"_s, u"Invalid WeekDays Setting!"_s },         { u"None"_s, u"No valid day!"_s },
        { u"Could"_s, u"Group Schedule Conflict!"_s },
    };
    const QString title = expected.startsWith(u"Please set a time") ? u"Invalid Time Setting!"_s
                                                                    : titles.value(expected.section(u' ', 0, 0));
    QCOMPARE(result.refusal->title, title);
}

// A row loaded into the editor and set again without a change stays as it was, its times written
// "HH:MM:SS" and its end time made its start time.
void TestScheduleRules::unchangedRowIsWrittenAsItWas_data()
{
    QTest::addColumn<QStringList>("row"); // start date, end date, start time, end time, days
    QTest::addColumn<QString>("time"); // written as start and end time

    QTest::newRow("no seconds") << QStringList { u"03/01/2009"_s, u"03/31/2009"_s, u"08:00"_s, u"08:00"_s, everyDay }
                                << "08:00:00";
    QTest::newRow("unpadded hour") << QStringList { u"03/01/2009"_s, u"03/31/2009"_s, u"8:05:00"_s, u"8:05:00"_s,
                                                    u"N,M,T,W,Th,F,N"_s }
                                   << "08:05:00";
    QTest::newRow("end after start") << QStringList { u"03/01/2009"_s, u"03/31/2009"_s, u"08:00:00"_s, u"08:59:59"_s,
                                                      u"S,N,N,N,N,N,Sat"_s }
                                     << "08:00:00";
}

void TestScheduleRules::unchangedRowIsWrittenAsItWas()
{
    QFETCH(QStringList, row);
    QFETCH(QString, time);

    TextTableModel schedule(scheduleColumns());
    schedule.appendRow(QStringList { u"Lobby"_s } + row + QStringList { u"Monitors ON"_s });
    const std::optional<LoadedScheduleRow> loaded = loadScheduleRow(schedule.rowCells(0));
    QVERIFY(loaded);
    const AttributeOutcome outcome = setAttributes(schedule, 0, loaded->editor);
    QVERIFY(!outcome.refusal);
    QCOMPARE(outcome.row, QStringList({ u"Lobby"_s, row[0], row[1], time, time, row[4], u"Monitors ON"_s }));
}

QTEST_GUILESS_MAIN(TestScheduleRules)
#include "test_schedule_rules.moc"
