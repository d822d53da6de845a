// The week picture's blocks against a plain walk over the seven days: rows of every weekday mask, at
// times inside the spring gap, the repeated autumn hour and one shared minute, a date without events
// and rows that never fire. Blocks of one minute stack without covering each other.
#include "schedule_walk.h"
#include "scheduler/schedule_rules.h"
#include "scheduler/week_plan.h"

#include <QTest>

#include <ctime>
#include <set>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

using Rows = QList<QStringList>;

// A row's values, from which its texts are made; the reference walks these, never the texts.
struct Plain
{
    QDate first;
    QDate last;
    QTime time;
    int mask = 0; // bit 0 Sunday to bit 6 Saturday
};

const QStringList functions { u"Monitors ON"_s, u"Monitors OFF"_s, u"LG Auto Configuration"_s };

} // namespace

class TestWeekPlan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void blocksAreTheWeeksFirings_data();
    void blocksAreTheWeeksFirings();
};

void TestWeekPlan::initTestCase()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

void TestWeekPlan::blocksAreTheWeeksFirings_data()
{
    QTest::addColumn<QDate>("day");
    QTest::newRow("spring change, 03/28/2027") << QDate(2027, 3, 31);
    QTest::newRow("autumn change, 10/31/2027") << QDate(2027, 11, 6);
    QTest::newRow("Christmas on Saturday, without events") << QDate(2027, 12, 19);
    QTest::newRow("the rows' last days") << QDate(2027, 12, 29);
}

void TestWeekPlan::blocksAreTheWeeksFirings()
{
    QFETCH(QDate, day);

    const QDate christmas(2027, 12, 25);
    const DatesWithoutEvents skipped
        = DatesWithoutEvents::fromRows({ { test::plainDateText(christmas), u"Christmas"_s } });
    const QList<QTime> times { QTime(2, 30), QTime(8, 0), QTime(8, 0, 30), QTime(23, 59, 59) };
    Rows rows;
    QList<Plain> plain;
    for (int mask = 0; mask < 128; ++mask) {
        const Plain row { QDate(2027, 3, 1), QDate(2027, 12, 31).addDays(mask % 3), times.at(mask % times.size()),
                          mask };
        plain.append(row);
        rows.append({ u"G%1"_s.arg(mask), test::plainDateText(row.first), test::plainDateText(row.last),
                      row.time.toString(u"HH:mm:ss"_s), row.time.toString(u"HH:mm:ss"_s), test::plainDaysText(mask),
                      functions.at(mask % functions.size()) });
    }
    // Rows that never fire: unreadable, "Any", and one whose only date has no events.
    rows.append({ u"Typo"_s, u"13/45/2027"_s, u"12/31/2027"_s, u"08:00:00"_s, u"08:00:00"_s, test::plainDaysText(127),
                  functions[0] });
    rows.append({ u"Any"_s, u"Any"_s, u"Any"_s, u"08:00:00"_s, u"08:00:00"_s, test::plainDaysText(127), functions[0] });
    rows.append({ u"Holiday"_s, test::plainDateText(christmas), test::plainDateText(christmas), u"08:00:00"_s,
                  u"08:00:00"_s, test::plainDaysText(127), functions[0] });

    const WeekPlan plan = planWeek(rows, skipped, day);

    // The plain walk: each day of the week from its Sunday, each row whose dates and weekday hold it.
    const int fromSunday = day.dayOfWeek() % 7;
    const QDate sunday = day.addDays(-fromSunday);
    QCOMPARE(plan.sunday, sunday);
    std::set<std::tuple<QDate, QTime, int>> expected;
    for (int offset = 0; offset < 7; ++offset) {
        const QDate date = sunday.addDays(offset);
        for (int row = 0; row < plain.size(); ++row) {
            const Plain &p = plain.at(row);
            if (date >= p.first && date <= p.last && (p.mask & (1 << (date.dayOfWeek() % 7))) && date != christmas)
                expected.insert({ date, p.time, row });
        }
    }
    std::set<std::tuple<QDate, QTime, int>> shown;
    for (const WeekBlock &block : plan.blocks) {
        shown.insert({ block.moment.date(), block.moment.time(), block.row });
        QCOMPARE(block.kind,
                 block.row % 3 == 0       ? FunctionKind::On
                     : block.row % 3 == 1 ? FunctionKind::Off
                                          : FunctionKind::Other);
    }
    QCOMPARE(shown.size(), size_t(plan.blocks.size()));
    QVERIFY(shown == expected);
    QCOMPARE(plan.neverFiring, QList<int>({ 0, 128, 129, 130 })); // mask 0 names no weekday

    // Each day's blocks in picture order: one minute's blocks count their stack, and none covers
    // another or lies above its time.
    const int height = 20;
    for (int offset = 0; offset < 7; ++offset) {
        QList<int> minutes;
        QList<WeekBlock> ofDay;
        for (const WeekBlock &block : plan.blocks) {
            if (block.moment.date() == sunday.addDays(offset)) {
                minutes.append(block.moment.time().hour() * 60 + block.moment.time().minute());
                ofDay.append(block);
            }
        }
        const QList<int> tops = stackTops(minutes, 0.75, height);
        for (qsizetype i = 0; i < ofDay.size(); ++i) {
            QCOMPARE(ofDay[i].stackSize, int(minutes.count(minutes[i])));
            QVERIFY(tops[i] >= int(minutes[i] * 0.75));
            if (i > 0)
                QVERIFY(tops[i] >= tops[i - 1] + height);
        }
    }
    // What a screen reader says: the seconds only where they are not 0.
    QStringList names;
    for (const WeekBlock &block : plan.blocks) {
        if ((block.row == 5 && block.day() == 0) || (block.row == 2 && block.day() == 1))
            names.append(blockName(block));
    }
    QCOMPARE(
        names,
        QStringList({ u"Sunday 08:00, G5, LG Auto Configuration"_s, u"Monday 08:00:30, G2, LG Auto Configuration"_s }));
}

QTEST_GUILESS_MAIN(TestWeekPlan)
#include "test_week_plan.moc"
