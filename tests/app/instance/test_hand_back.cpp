#include "running_copy/hand_back.h"
#include "scheduler/schedule_rules.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vantiro;
using namespace Qt::StringLiterals;

class TestHandBack : public QObject
{
    Q_OBJECT

private slots:
    void handOverFileIsTakenOnceAndOnlyWhenFresh_data();
    void handOverFileIsTakenOnceAndOnlyWhenFresh();
};

// A window leaves the file as it closes; the next background copy takes it once, unless it is from a hand-back
// long past or damaged, which the log is told of.
void TestHandBack::handOverFileIsTakenOnceAndOnlyWhenFresh_data()
{
    QTest::addColumn<int>("ageSecs");
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("note");
    QTest::newRow("fresh") << 5 << false << true << QString();
    QTest::newRow("nine minutes old") << 9 * 60 << false << true << QString();
    QTest::newRow("eleven minutes old") << 11 * 60 << false << false << u"is stale and was ignored"_s;
    QTest::newRow("damaged") << 5 << true << false << u"is damaged and was ignored"_s;
}

void TestHandBack::handOverFileIsTakenOnceAndOnlyWhenFresh()
{
    QFETCH(int, ageSecs);
    QFETCH(bool, damaged);
    QFETCH(bool, taken);
    QFETCH(QString, note);
    QTemporaryDir state;
    QTemporaryDir runtime;
    const QDateTime now = wallClockMoment(QDate(2027, 3, 10), QTime(8, 0, 30));
    RunnerHandOver handOver;
    handOver.examined.add(now.addSecs(-20), now.addSecs(-1));
    handOver.examined.setLast(now.addSecs(-1));
    handOver.queued.append({ u"Lobby"_s, u"Monitors ON"_s, now.addSecs(-2), now.addSecs(-2) });
    QString error;
    QVERIFY2(hand_back::writeFile(state.path(), handOver, &error), qPrintable(error));
    const QString path = QDir(state.path()).filePath(hand_back::fileName);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    if (damaged)
        QVERIFY(file.resize(file.size() - 3)); // cut off in its last line
    QVERIFY(file.setFileTime(now.addSecs(-ageSecs), QFileDevice::FileModificationTime));
    file.close();

    QString said;
    const std::optional<RunnerHandOver> found = hand_back::takeFile({ state.path(), runtime.path() }, now, &said);
    QCOMPARE(found.has_value(), taken);
    if (taken)
        QCOMPARE(*found, handOver);
    QVERIFY2(note.isEmpty() ? said.isEmpty() : said.contains(note), qPrintable(said));
    QVERIFY(!QFile::exists(path));
    QVERIFY(!hand_back::takeFile({ state.path(), runtime.path() }, now, &said));
}

QTEST_GUILESS_MAIN(TestHandBack)
#include "test_hand_back.moc"
