#include "app/version.h"
#include "common/daily_log.h"
#include "common/status_log.h"
#include "common/text_table_model.h"
#include "file_size_limit.h"
#include "manual_clock.h"
#include "temp_app_folder.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;
using vantiro::StatusLog;
using vantiro::test::ManualClock;

class TestStatusLog : public QObject
{
    Q_OBJECT

private slots:
    void lineCarriesTheLocalesDateAndTimeWithSeconds_data();
    void lineCarriesTheLocalesDateAndTimeWithSeconds();
    void logIsEmptiedOnlyWhenItHoldsMoreThanAThousandLines();
    void captionShowsMajorMinorAndRevision_data();
    void captionShowsMajorMinorAndRevision();
    void textTableAddressesCellsByKey();
    void dailyLogOnAFullDiskWritesWholeLinesAndSaysWhyOnce();
};

namespace {

const char logChildFlag[] = "--log-child";

// The child's side of the full-disk test: logs each text with the daily log in the folder, then prints
// the status log's lines.
int runLogChild(const QString &folder, const QStringList &texts)
{
    ManualClock clock;
    StatusLog log(clock, QLocale(u"en_US"_s));
    vantiro::DailyLog daily(folder, log);
    for (const QString &text : texts)
        log.statusMessage(text);
    std::printf("%s\n", qPrintable(log.lines().join(u'\n')));
    return 0;
}

} // namespace

void TestStatusLog::lineCarriesTheLocalesDateAndTimeWithSeconds_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("line");

    const QDateTime morning(QDate(2009, 3, 25), QTime(8, 0, 0));
    const QDateTime evening(QDate(2026, 12, 8), QTime(21, 5, 9));
    QTest::newRow("US morning") << u"en_US"_s << morning
                                << u"3/25/2009 8:00:00 AM - Finish sending out command string."_s;
    QTest::newRow("US evening") << u"en_US"_s << evening
                                << u"12/8/2026 9:05:09 PM - Finish sending out command string."_s;
    QTest::newRow("German") << u"de_DE"_s << evening << u"08.12.2026 21:05:09 - Finish sending out command string."_s;
    QTest::newRow("British") << u"en_GB"_s << morning << u"25/03/2009 08:00:00 - Finish sending out command string."_s;
}

void TestStatusLog::lineCarriesTheLocalesDateAndTimeWithSeconds()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, when);
    QFETCH(QString, line);

    ManualClock clock(when);
    StatusLog log(clock, QLocale(locale));
    log.statusMessage(u"Finish sending out command string."_s);
    QCOMPARE(log.lines(), QStringList { line });
}

void TestStatusLog::logIsEmptiedOnlyWhenItHoldsMoreThanAThousandLines()
{
    ManualClock clock;
    StatusLog log(clock, QLocale(u"en_US"_s));
    QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy appended(&log, &StatusLog::lineAppended);

    for (int i = 1; i <= 1000; ++i)
        log.statusMessage(u"line %1"_s.arg(i));
    QCOMPARE(log.rowCount(), 1000);

    log.statusMessage(u"line 1001"_s);
    QCOMPARE(log.rowCount(), 1001);
    QVERIFY(log.lines().first().endsWith(u" - line 1"_s));
    QVERIFY(log.lines().last().endsWith(u" - line 1001"_s));

    clock.advanceSeconds(1);
    log.statusMessage(u"line 1002"_s);
    QCOMPARE(log.lines(), QStringList { u"3/25/2009 8:00:01 AM - line 1002"_s });
    QCOMPARE(appended.last().at(0).toInt(), 0);
    QCOMPARE(appended.size(), 1002);
}

void TestStatusLog::captionShowsMajorMinorAndRevision_data()
{
    QTest::addColumn<QList<int>>("version");
    QTest::addColumn<QString>("caption");
    QTest::newRow("1.1.0.4") << QList<int> { 1, 1, 0, 4 } << u"Vantiro 1.1.4"_s;
    QTest::newRow("build number not shown") << QList<int> { 2, 0, 7, 0 } << u"Vantiro 2.0.0"_s;
    QTest::newRow("two-digit parts") << QList<int> { 10, 12, 3, 45 } << u"Vantiro 10.12.45"_s;
}

void TestStatusLog::captionShowsMajorMinorAndRevision()
{
    QFETCH(QList<int>, version);
    QFETCH(QString, caption);
    QCOMPARE(vantiro::captionForVersion(version.at(0), version.at(1), version.at(2), version.at(3)), caption);
}

void TestStatusLog::textTableAddressesCellsByKey()
{
    vantiro::TextTableModel table({ { u"COM"_s, u"COM Port"_s }, { u"LCD"_s, u"LCD"_s }, { u"Note"_s, u"Note"_s } });
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QCOMPARE(table.appendRow({ u"3"_s, u"LG"_s }), 0);
    QCOMPARE(table.appendRow({ u"5"_s, u"OLEVIA"_s, u"right"_s, u"surplus"_s }), 1);
    QCOMPARE(table.headerData(0, Qt::Horizontal).toString(), u"COM Port"_s);
    QCOMPARE(table.cell(0, u"Note"), QString());
    QCOMPARE(table.cell(1, u"Note"), u"right"_s);
    QCOMPARE(table.rowCells(1).size(), 3);
    QCOMPARE(table.cell(1, u"Group"), QString());
    QCOMPARE(table.cell(7, u"COM"), QString());

    table.setCell(0, u"Note"_s, u"left"_s);
    table.setCell(9, u"Note"_s, u"nowhere"_s);
    QCOMPARE(table.data(table.index(0, 2)).toString(), u"left"_s);

    QVERIFY(!table.removeRowAt(2));
    QVERIFY(table.removeRowAt(0));
    QCOMPARE(table.rowCount(), 1);
    QCOMPARE(table.cell(0, u"COM"), u"5"_s);
}

// Files cannot grow past 100 bytes: a line of 27 bytes fits while there is room, one of 124 never does.
void TestStatusLog::dailyLogOnAFullDiskWritesWholeLinesAndSaysWhyOnce()
{
    vantiro::test::TempAppFolder folder;
    const vantiro::test::LimitedRun run
        = vantiro::test::runWithFileSizeLimit(100,
                                              { QString::fromLatin1(logChildFlag), folder.path(), u"one"_s, u"two"_s,
                                                QString(100, u'x'), QString(100, u'y'), u"six"_s });
    QVERIFY(run.finished && run.exitCode == 0);

    const QStringList shown = run.output.trimmed().split(u'\n');
    QCOMPARE(shown.size(), 6); // the five lines and one report
    const QString report = shown.at(3);
    QVERIFY2(report.contains(u"cannot be written ("_s + vantiro::test::fileTooLargeReason() + u')'),
             qPrintable(report));
    const QStringList written { shown.at(0), shown.at(1), shown.at(5) };
    QVERIFY(written.last().endsWith(u" - six"_s));
    QCOMPARE(QString::fromUtf8(folder.readFile(u"logs/2009-03-25.log"_s)), written.join(u'\n') + u'\n');
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], logChildFlag) == 0)
        return runLogChild(QString::fromLocal8Bit(argv[2]), app.arguments().mid(3));
    TestStatusLog test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_status_log.moc"
