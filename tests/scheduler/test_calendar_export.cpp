// The calendar export read back by Debian's own iCalendar parser and recurrence expander: over a year
// with both clock changes, the occurrences of every event are, as wall-clock times, the moments the
// runner sends its row (found here by walking the days), its start is one of them, and rows that
// never fire are left out. Summaries with separators and long non-ASCII names come back whole.
#include "common/safe_save.h"
#include "schedule_walk.h"
#include "scheduler/calendar_export.h"
#include "temp_app_folder.h"

#include <QProcess>
#include <QTest>
#include <QTimeZone>

#include <ctime>
#include <map>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

const QString python = u"/usr/bin/python3"_s;

struct Plain
{
    QString group;
    QDate first;
    QDate last;
    QTime time;
    int mask = 0; // bit 0 Sunday to bit 6 Saturday
};

QString stamp(QDate date, QTime time)
{
    return date.toString(u"yyyy-MM-dd"_s) + u' ' + time.toString(u"HH:mm:ss"_s);
}

} // namespace

class TestCalendarExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void expansionIsWhatTheRunnerSends();
};

void TestCalendarExport::initTestCase()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QProcess check;
    check.start(python, { u"-c"_s, u"import icalendar, dateutil"_s });
    if (!check.waitForFinished(60000) || check.exitStatus() != QProcess::NormalExit || check.exitCode() != 0)
        QSKIP("/usr/bin/python3 cannot import icalendar and dateutil (Debian packages python3-icalendar and "
              "python3-dateutil)");
}

void TestCalendarExport::expansionIsWhatTheRunnerSends()
{
    const QTimeZone zone("Europe/Berlin");
    const QList<QDate> holidays { QDate(2027, 5, 1), QDate(2027, 10, 3), QDate(2027, 12, 8) };
    // In the spring gap (03/28/2027, 02:00 to 03:00), in the autumn hour gone over twice, and plain.
    const QList<QTime> times { QTime(2, 30), QTime(2, 30, 15), QTime(8, 0), QTime(23, 59, 59), QTime(0, 0) };
    QList<Plain> plain;
    for (int mask = 1; mask < 128; ++mask)
        plain.append({ u"G%1"_s.arg(mask), QDate(2027, 1, 15).addDays(mask % 5),
                       QDate(2027, 12, 20).addDays(-(mask % 4)), times.at(mask % times.size()), mask });
    plain.append({ u"Hall, east; door \\ \"B\""_s, QDate(2027, 1, 1), QDate(2027, 6, 30), QTime(9, 15), 0b0111110 });
    plain.append({ u"Café du Nord, écrans de la façade principale et du comptoir"_s, QDate(2027, 2, 1),
                   QDate(2027, 3, 31), QTime(2, 45), 1 });
    QList<QStringList> rows;
    for (const Plain &p : plain)
        rows.append({ p.group, test::plainDateText(p.first), test::plainDateText(p.last),
                      p.time.toString(u"HH:mm:ss"_s), p.time.toString(u"HH:mm:ss"_s), test::plainDaysText(p.mask),
                      u"Monitors ON"_s });
    rows.insert(3,
                { u"Typo"_s, u"02/30/2027"_s, u"12/31/2027"_s, u"08:00:00"_s, u"08:00:00"_s, test::plainDaysText(127),
                  u"Monitors OFF"_s });
    rows.append({ u"None"_s, u"01/01/2027"_s, u"12/31/2027"_s, u"08:00:00"_s, u"08:00:00"_s, test::plainDaysText(0),
                  u"Monitors OFF"_s });
    QList<QStringList> holidayRows;
    for (QDate day : holidays)
        holidayRows.append({ test::plainDateText(day), u"closed"_s });

    const CalendarExport calendar = exportCalendar(rows, DatesWithoutEvents::fromRows(holidayRows), zone,
                                                   QDateTime(QDate(2026, 12, 9), QTime(12, 0), zone));
    QCOMPARE(calendar.neverFiring, QList<int>({ 3, int(rows.size()) - 1 }));
    QCOMPARE(calendar.events, int(plain.size()));
    test::TempAppFolder folder;
    const QString path = folder.path() + u"/schedule.ics"_s;
    QVERIFY(saveFile(path, calendar.text));

    QProcess expand;
    expand.start(python, { QStringLiteral(VANTIRO_EXPAND_CALENDAR), path });
    QVERIFY(expand.waitForFinished(120000));
    QVERIFY2(expand.exitStatus() == QProcess::NormalExit && expand.exitCode() == 0,
             expand.readAllStandardError().constData());
    std::map<QString, QString> starts;
    std::map<QString, QStringList> occurrences;
    for (const QString &line : QString::fromUtf8(expand.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u'\t');
        QCOMPARE(fields.size(), 3);
        if (fields[0] == u"E")
            starts[fields[1]] = fields[2];
        else
            occurrences[fields[1]].append(fields[2]);
    }

    // The runner fires on each day of the range that is one of the row's weekdays and has events, at
    // the row's time or, where the clock skips that time, as the clock reaches the end of the gap.
    QCOMPARE(starts.size(), size_t(plain.size()));
    for (const Plain &p : plain) {
        QStringList expected;
        for (QDate day = p.first; day <= p.last; day = day.addDays(1)) {
            if (!(p.mask & (1 << (day.dayOfWeek() % 7))) || holidays.contains(day))
                continue;
            QTime sent = p.time;
            while (!QDateTime(day, sent, zone).isValid())
                sent = sent.addSecs(1);
            expected.append(stamp(day, sent));
        }
        const QString summary = p.group + u": Monitors ON"_s;
        QCOMPARE(occurrences[summary], expected);
        QCOMPARE(starts[summary], expected.first());
    }
}

QTEST_GUILESS_MAIN(TestCalendarExport)
#include "test_calendar_export.moc"
