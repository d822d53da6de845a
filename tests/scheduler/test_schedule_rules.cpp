// The schedule's date, weekday and time rules, the conflict test (against a day-by-day walk over
// thousands of generated pairs), the next firings, and what "Set Attributes" refuses, in its order.
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
    void entryIsDueOnlyInItsSecond_data();
    void entryIsDueOnlyInItsSecond();
    void conflicts_data();
    void conflicts();
    void conflictsEqualTheDailyWalk();
    void nextFirings_data();
    void nextFirings();
    void setAttributesChecksInOrder_data();
    void setAttributesChecksInOrder();
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
    QTest::newRow("two-digit year") << "12/31/09" << QDate(2009, 12, 31);
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

void TestScheduleRules::entryIsDueOnlyInItsSecond_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("days");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<bool>("due");

    const QString start = u"03/25/2009"_s, end = u"03/31/2009"_s;
    QTest::newRow("first day") << start << end << everyDay << QDate(2009, 3, 25) << "08:00:00" << true;
    QTest::newRow("last day") << start << end << everyDay << QDate(2009, 3, 31) << "08:00:00" << true;
    QTest::newRow("day before") << start << end << everyDay << QDate(2009, 3, 24) << "08:00:00" << false;
    QTest::newRow("day after") << start << end << everyDay << QDate(2009, 4, 1) << "08:00:00" << false;
    QTest::newRow("a second early") << start << end << everyDay << QDate(2009, 3, 26) << "07:59:59" << false;
    QTest::newRow("a second late") << start << end << everyDay << QDate(2009, 3, 26) << "08:00:01" << false;
    QTest::newRow("weekday not chosen") << start << end << "N,N,N,W,N,N,N" << QDate(2009, 3, 26) << "08:00:00" << false;
    QTest::newRow("too few days: missing ones do not apply")
        << start << end << "S,M,T,W" << QDate(2009, 3, 26) << "08:00:00" << false;
    QTest::newRow("start date Any") << "Any" << end << everyDay << QDate(2009, 3, 26) << "08:00:00" << false;
}

void TestScheduleRules::entryIsDueOnlyInItsSecond()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, days);
    QFETCH(QDate, today);
    QFETCH(QString, clock);
    QFETCH(bool, due);
    QCOMPARE(isEntryDue(start, end, u"08:00:00"_s, u"08:00:00"_s, days, clock, today), due);
}

void TestScheduleRules::conflicts_data()
{
    QTest::addColumn<QString>("time"); // the candidate's; it runs from 03/01/2009 to 03/31/2009
    QTest::addColumn<QString>("days");
    QTest::addColumn<QString>("rowStart");
    QTest::addColumn<QString>("rowEnd");
    QTest::addColumn<QString>("rowDays");
    QTest::addColumn<bool>("conflict");

    QTest::newRow("same time, overlap, shared day") << "08:00:00" << everyDay << "03/20/2009"
                                                    << "04/20/2009" << everyDay << true;
    QTest::newRow("ranges apart") << "08:00:00" << everyDay << "04/01/2009"
                                  << "04/20/2009" << everyDay << false;
    QTest::newRow("Monday against Tuesday") << "08:00:00"
                                            << "N,M,N,N,N,N,N"
                                            << "03/01/2009"
                                            << "03/31/2009"
                                            << "N,N,T,N,N,N,N" << false;
    QTest::newRow("Sunday against Saturday") << "08:00:00"
                                             << "S,N,N,N,N,N,N"
                                             << "03/01/2009"
                                             << "03/31/2009"
                                             << "N,N,N,N,N,N,Sat" << false;
    QTest::newRow("overlap of two days, weekday outside") << "08:00:00"
                                                          << "N,M,N,N,N,N,N"
                                                          << "03/30/2009"
                                                          << "03/31/2009"
                                                          << "N,M,N,N,N,N,N" << true;
    QTest::newRow("overlap of one day, weekday outside") << "08:00:00"
                                                         << "N,M,N,N,N,N,N"
                                                         << "03/31/2009"
                                                         << "04/30/2009"
                                                         << "N,M,N,N,N,N,N" << false;
    QTest::newRow("Any row") << "08:00:00"
                             << "N,N,N,W,N,N,N"
                             << "Any"
                             << ""
                             << "N,N,N,W,N,N,N" << true;
    QTest::newRow("another time") << "08:00:01" << everyDay << "03/01/2009"
                                  << "03/31/2009" << everyDay << false;
    // Only the start time counts for the candidate: one moved earlier does not reach a later row.
    QTest::newRow("earlier than the row") << "07:00:00" << everyDay << "03/01/2009"
                                          << "03/31/2009" << everyDay << false;
}

void TestScheduleRules::conflicts()
{
    QFETCH(QString, time);
    QFETCH(QString, days);
    QFETCH(QString, rowStart);
    QFETCH(QString, rowEnd);
    QFETCH(QString, rowDays);
    QFETCH(bool, conflict);

    const QString rowTime = time == u"07:00:00" ? u"07:30:00"_s : u"08:00:00"_s;
    const ScheduleCandidate candidate { u"03/01/2009"_s, u"03/31/2009"_s, time, daysOf(days) };
    const ScheduleRowTimes row { rowStart, rowEnd, rowTime, rowTime, rowDays };
    QCOMPARE(hasScheduleConflict(candidate, row), conflict);
    QCOMPARE(test::conflictByDailyWalk(candidate, row), conflict);
}

// Ranges of up to 30 years, "Any" rows, unreadable dates and times, rows whose end time lies after
// their start: the fast test answers as the walk does, every time.
void TestScheduleRules::conflictsEqualTheDailyWalk()
{
    QRandomGenerator random(20091225);
    const QDate base(1995, 1, 1);
    auto dateText = [&](QDate from) -> QString {
        switch (random.bounded(40)) {
        case 0:
            return u"13/45/2009"_s;
        case 1:
            return {};
        default:
            break;
        }
        return scheduleDateText(from);
    };
    auto spanEnd = [&](QDate from) {
        const int kind = random.bounded(4);
        const int days = kind == 0 ? random.bounded(30 * 366) : kind == 1 ? random.bounded(400) : random.bounded(10);
        return from.addDays(days - (random.bounded(20) == 0 ? 20 : 0));
    };
    auto weekdays = [&] {
        WeekdaySet set {};
        const int bits = random.bounded(128);
        for (size_t day = 0; day < set.size(); ++day)
            set[day] = bits & (1 << day);
        return set;
    };
    const QStringList times { u"08:00:00"_s, u"8:0:0"_s, u"08:00:01"_s, u"25:00:00"_s };

    int conflicts = 0;
    for (int pair = 0; pair < 4000; ++pair) {
        const QDate candidateStart = base.addDays(random.bounded(20 * 365));
        const QDate rowStart = candidateStart.addDays(random.bounded(-400, 400));
        const ScheduleCandidate candidate { dateText(candidateStart), dateText(spanEnd(candidateStart)),
                                            times.at(random.bounded(3)), weekdays() };
        const QString rowTime = times.at(random.bounded(random.bounded(10) == 0 ? 4 : 2));
        const ScheduleRowTimes row { random.bounded(10) == 0 ? u"Any"_s : dateText(rowStart),
                                     dateText(spanEnd(rowStart)), rowTime,
                                     random.bounded(8) == 0 ? u"09:00:00"_s : rowTime, daysTextOf(weekdays()) };
        const bool expected = test::conflictByDailyWalk(candidate, row);
        conflicts += expected;
        if (hasScheduleConflict(candidate, row) != expected)
            QFAIL(qPrintable(u"differs from the walk: %1-%2 %3 %4 against %5-%6 %7-%8 %9"_s.arg(
                candidate.startDate, candidate.endDate, candidate.time, daysTextOf(candidate.days), row.startDate,
                row.endDate, row.startTime, row.endTime, row.daysText)));
    }
    // Both answers occur often enough for the comparison to mean something.
    QVERIFY2(conflicts > 500 && conflicts < 3500, qPrintable(QString::number(conflicts)));
}

void TestScheduleRules::nextFirings_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("days");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("firings");

    // 03/25/2009 is a Wednesday; the row fires at 08:00:00.
    const QDateTime wednesdayMorning(QDate(2009, 3, 25), QTime(7, 0));
    QTest::newRow("today, then the next days") << "03/01/2009"
                                               << "12/31/2009" << everyDay << wednesdayMorning
                                               << "03/25/2009 08:00:00\n03/26/2009 08:00:00\n03/27/2009 08:00:00";
    QTest::newRow("today's second has passed") << "03/01/2009"
                                               << "03/27/2009" << everyDay << QDateTime(QDate(2009, 3, 25), QTime(8, 0))
                                               << "03/26/2009 08:00:00\n03/27/2009 08:00:00";
    QTest::newRow("Mondays only, over the month end")
        << "03/01/2009"
        << "12/31/2009"
        << "N,M,N,N,N,N,N" << wednesdayMorning << "03/30/2009 08:00:00\n04/06/2009 08:00:00\n04/13/2009 08:00:00";
    QTest::newRow("starts later") << "04/01/2009"
                                  << "04/01/2009" << everyDay << wednesdayMorning << "04/01/2009 08:00:00";
    QTest::newRow("ended") << "01/01/2009"
                           << "03/24/2009" << everyDay << wednesdayMorning << "No further events";
    QTest::newRow("no weekday") << "01/01/2009"
                                << "12/31/2009"
                                << "N,N,N,N,N,N,N" << wednesdayMorning << "No further events";
    QTest::newRow("Any never fires") << "Any"
                                     << "12/31/2009" << everyDay << wednesdayMorning << "No further events";
}

void TestScheduleRules::nextFirings()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, days);
    QFETCH(QDateTime, now);
    QFETCH(QString, firings);

    const QStringList row { u"Lobby"_s, start, end, u"08:00:00"_s, u"08:00:00"_s, days, u"Monitors ON"_s };
    QCOMPARE(rowFiringsText(row, now), firings);
    // Every firing is a moment the runner finds the row due.
    for (const QString &line : firings.split(u'\n')) {
        if (line == u"No further events")
            continue;
        const QDate date = *readScheduleDate(line.section(u' ', 0, 0));
        QVERIFY(isEntryDue(start, end, u"08:00:00"_s, u"08:00:00"_s, days, line.section(u' ', 1, 1), date));
    }
    // The whole schedule's next event is the soonest row's.
    TextTableModel schedule(scheduleColumns());
    schedule.appendRow(row);
    schedule.appendRow(
        { u"Hall"_s, u"01/01/2009"_s, u"01/02/2009"_s, u"09:00:00"_s, u"09:00:00"_s, everyDay, u"Monitors OFF"_s });
    const QString expected
        = firings.startsWith(u"No") ? firings : u"Next: Lobby Monitors ON at "_s + firings.section(u'\n', 0, 0);
    QCOMPARE(nextEventText(schedule, now), expected);
}

void TestScheduleRules::setAttributesChecksInOrder_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("days");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("title"); // empty: written; "-": nothing happens

    QTest::newRow("written, dates normalised") << "3/1/2009"
                                               << "3-31-2009" << everyDay << "07:00:00"
                                               << "";
    QTest::newRow("equal dates pass") << "03/25/2009"
                                      << "03/25/2009" << everyDay << "07:00:00"
                                      << "";
    QTest::newRow("start after end") << "03-25-2009"
                                     << "03/20/2009"
                                     << "N,N,N,N,N,N,N"
                                     << "08:00:00"
                                     << "Please check the Date Setting!";
    QTest::newRow("no weekday before range or conflict") << "03/25/2009"
                                                         << "03/25/2009"
                                                         << "N,N,N,N,N,N,N"
                                                         << "08:00:00"
                                                         << "Invalid WeekDays Setting!";
    QTest::newRow("no chosen weekday in the range") << "03/25/2009"
                                                    << "03/25/2009"
                                                    << "N,M,N,N,N,N,N"
                                                    << "08:00:00"
                                                    << "No valid day!";
    QTest::newRow("conflict with another row") << "03/01/2009"
                                               << "03/31/2009" << everyDay << "08:00:00"
                                               << "Group Schedule Conflict!";
    QTest::newRow("unreadable date: quietly nothing") << "soon"
                                                      << "03/31/2009" << everyDay << "08:00:00"
                                                      << "-";
}

void TestScheduleRules::setAttributesChecksInOrder()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, days);
    QFETCH(QString, time);
    QFETCH(QString, title);

    TextTableModel schedule(scheduleColumns());
    schedule.appendRow(
        { u"Lobby"_s, u"01/01/2009"_s, u"01/01/2009"_s, u"10:00:00"_s, u"10:00:00"_s, everyDay, u"Monitors ON"_s });
    schedule.appendRow(
        { u"Hall"_s, u"03/01/2009"_s, u"03/31/2009"_s, u"08:00:00"_s, u"08:00:00"_s, everyDay, u"Monitors OFF"_s });
    schedule.appendRow({ u"Spare"_s, {}, {}, u"08:00:00"_s, u"08:00:00"_s, everyDay, {} }); // placeholder
    const AttributeEditorTexts editor {
        start, end, time.left(2), time.mid(3, 2), time.right(2), daysOf(days), u" LG All Monitors ON "_s
    };
    const AttributeOutcome outcome = setAttributes(schedule, 0, editor);

    QCOMPARE(outcome.refusal ? outcome.refusal->title : outcome.row ? QString() : u"-"_s, title);
    if (outcome.refusal)
        QCOMPARE(outcome.refusal->icon, PromptIcon::Exclamation);
    if (outcome.row) {
        const QString date = start.startsWith(u'3') ? u"03/01/2009"_s : start;
        QCOMPARE(*outcome.row,
                 QStringList({ u"Lobby"_s, date, scheduleDateText(*readScheduleDate(end)), time, time, days,
                               u"LG All Monitors ON"_s }));
    }
}

QTEST_GUILESS_MAIN(TestScheduleRules)
#include "test_schedule_rules.moc"
