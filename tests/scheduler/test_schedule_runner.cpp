// The schedule runner on simulated time: the log of one event around the executor's own lines,
// events of one second in schedule order, Stop and Run, a tick during another send, unknown
// functions, the warning a minute ahead, and a year of irregular ticks with clock changes, clock
// corrections and suspends in which every due second fires exactly once or is logged as missed.
#include "commands/display_models.h"
#include "common/status_log.h"
#include "common/text_table_model.h"
#include "executor_rig.h"
#include "inventory/inventory.h"
#include "inventory/records.h"
#include "scheduler/schedule_runner.h"
#include "scheduler/schedule_table.h"

#include <QPromise>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <map>
#include <memory>
#include <numeric>

using namespace vantiro;
using namespace vantiro::test;
using namespace Qt::StringLiterals;

namespace {

const QString stars = QString(57, u'*');
const QString everyDay = u"S,M,T,W,Th,F,Sat"_s;

// The main window as the runner sees it.
class StandInHost : public ScheduleRunnerHost
{
public:
    StandInHost(ModelCommandSet &commands, const Inventory &inventory)
        : m_commands(commands)
        , m_inventory(inventory)
    {
        selectModelEntry(0);
    }
    bool saveSettings() override
    {
        ++saves;
        return saveWorks;
    }
    void showRunning(bool running) override { shownRunning = running; }
    void showClock(const QString &text) override { clock = text; }
    void selectModelEntry(int index) override
    {
        modelEntry = index;
        chooseDisplayModel(m_commands, displayModelNames().at(index));
        on = m_commands.powerOnCommand;
        off = m_commands.powerOffCommand;
    }
    QString monitorOnText() const override { return on; }
    QString monitorOffText() const override { return off; }
    SendSnapshot sendSnapshot() const override
    {
        SendSnapshot snapshot;
        const TextTableModel &ports = m_inventory.ports();
        for (int row = 0; row < ports.rowCount(); ++row)
            snapshot.groupPorts.append({ ports.cell(row, portNumberColumn), ports.cell(row, portModelColumn) });
        snapshot.modelListText = displayModelNames().at(modelEntry);
        for (int com = 1; com <= 40; ++com)
            snapshot.comPortItems.append(QString::number(com));
        snapshot.lineSettings = { u"9600"_s, u"n"_s, u"8"_s, u"1"_s };
        return snapshot;
    }

    int saves = 0;
    bool saveWorks = true;
    bool shownRunning = false;
    QString clock;
    int modelEntry = 0;
    QString on;
    QString off;

private:
    ModelCommandSet &m_commands;
    const Inventory &m_inventory;
};

// Finishes every request at once and keeps it.
class RecordingDispatch : public CommandDispatch
{
public:
    QFuture<CommandReport> dispatch(const CommandRequest &request, Timing) override
    {
        requests.append(request);
        QPromise<CommandReport> done;
        done.start();
        done.addResult(CommandReport {});
        done.finish();
        return done.future();
    }
    QList<CommandRequest> requests;
};

// A runner over its own schedule, groups and pending events.
struct RunnerRig
{
    RunnerRig(const ManualClock &clock, StatusLog &log, CommandDispatch &dispatch, ModelCommandSet &commands,
              const QString &folder)
        : host(commands, inventory)
        , runner({ clock, schedule, pending, inventory, commands, log, dispatch, host }, PortMap(folder))
    { }
    void addGroup(const QString &name, const QList<int> &coms = { 3 })
    {
        QList<PortEntry> ports;
        for (int com : coms)
            ports.append({ QString::number(com), u"LG"_s, {} });
        QList<QStringList> groups = inventory.groupRows();
        groups.append({ name, {}, packPorts(ports) });
        inventory.loadGroups(groups);
    }
    void addRow(const QString &group, const QString &time, const QString &function = u"Monitors ON"_s,
                const QString &days = everyDay, const QString &start = u"01/01/2009"_s,
                const QString &end = u"12/31/2009"_s)
    {
        schedule.appendRow({ group, start, end, time, time, days, function });
    }
    // Clock ticks until the time, then update ticks until nothing is pending.
    void tickAt(ManualClock &clock, const QDateTime &at)
    {
        clock.current = at;
        runner.runClockTick();
        while (pending.rowCount() > 0)
            runner.runUpdateTick();
    }

    ScriptedPrompts prompts;
    RecordingBusyPointer busy;
    Inventory inventory { prompts, busy };
    TextTableModel schedule { scheduleColumns() };
    TextTableModel pending { pendingColumns() };
    StandInHost host;
    ScheduleRunner runner;
};

QDateTime at(int month, int day, int hour, int minute, int second, int msec = 2)
{
    return QDateTime(QDate(2009, month, day), QTime(hour, minute, second, msec));
}

// A runner on simulated time whose sends are only recorded.
struct SimulatedRunner
{
    explicit SimulatedRunner(const QDateTime &start = at(3, 25, 7, 59, 59, 500))
        : clock(start)
    { }

    TempAppFolder folder;
    ManualClock clock;
    StatusLog log { clock };
    RecordingDispatch dispatch;
    ModelCommandSet commands = ModelCommandSet::initial();
    RunnerRig rig { clock, log, dispatch, commands, folder.path() };
};

QStringList texts(const StatusLog &log)
{
    QStringList lines;
    for (const QString &line : log.lines())
        lines.append(line.section(u" - "_s, 1));
    return lines;
}

} // namespace

class TestScheduleRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void oneEventIsLoggedAroundItsSend();
    void rowsOfOneSecondRunInScheduleOrder();
    void functionsChooseModelAndIndex_data();
    void functionsChooseModelAndIndex();
    void stopKeepsTheQueueForTheNextRun();
    void tickDuringAnotherSendWaitsForIt();
    void portsAreCheckedAMinuteAhead();
    void aYearOfIrregularTicksFiresEachSecondOnce();
};

void TestScheduleRunner::initTestCase()
{
    // The year below crosses both clock changes of this zone.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QVERIFY(QDateTime(QDate(2009, 3, 29), QTime(1, 59, 59)).secsTo(QDateTime(QDate(2009, 3, 29), QTime(3, 0))) == 1);
}

// A row due at 08:00:00 for a group with an LG display on COM 3, through the real executor.
void TestScheduleRunner::oneEventIsLoggedAroundItsSend()
{
    ExecutorRig exec({ 3 });
    RunnerRig rig(exec.clock, exec.statusLog, *exec.executor, exec.commands, exec.folder.path());
    rig.addGroup(u"Lobby"_s);
    rig.addRow(u"Lobby"_s, u"08:00:00"_s);
    exec.clock.current = at(3, 25, 7, 59, 59, 500);
    rig.runner.run();
    QCOMPARE(rig.host.saves, 1);
    QVERIFY(rig.host.shownRunning);

    exec.clock.current = at(3, 25, 7, 59, 59, 900);
    rig.runner.runClockTick(); // nothing due yet
    QCOMPARE(rig.pending.rowCount(), 0);
    exec.clock.current = at(3, 25, 8, 0, 0);
    rig.runner.runClockTick();
    QCOMPARE(rig.host.clock, u"08:00:00"_s);
    QCOMPARE(rig.pending.rowCells(0),
             QStringList({ u"Lobby"_s, u"01/01/2009"_s, u"12/31/2009"_s, u"08:00:00"_s, u"08:00:00"_s, everyDay,
                           u"Monitors ON"_s }));
    rig.runner.runClockTick(); // the same second again queues nothing
    QCOMPARE(rig.pending.rowCount(), 1);
    rig.runner.runUpdateTick();

    QCOMPARE(exec.display(3).readUntilQuiet(10), QByteArray("ka 01 01\r"));
    QCOMPARE(exec.logTexts(),
             QStringList({ stars, u"Loading Lobby information."_s, u"Finished loading Lobby information."_s,
                           u"Start sending serial command in Lobby"_s, u"Start sending serial command to COM 3"_s,
                           u"Finished sending serial command to COM 3"_s, u"Finish sending out command string."_s,
                           u"Finished sending serial command in Lobby"_s, stars }));
    QCOMPARE(rig.pending.rowCount(), 0);
    QVERIFY(rig.runner.updateTimer().isActive());
}

void TestScheduleRunner::rowsOfOneSecondRunInScheduleOrder()
{
    SimulatedRunner simulated;
    auto &[folder, clock, log, dispatch, commands, rig] = simulated;
    for (const QString &group : { u"Hall"_s, u"Lobby"_s, u"Gone"_s })
        rig.addRow(group, u"08:00:00"_s);
    rig.addRow(u"Hall"_s, u"08:00:00"_s, u"Monitors On"_s); // a typo in a hand-edited file
    rig.addGroup(u"Lobby"_s, { 1 });
    rig.addGroup(u"Hall"_s, { 2 });
    rig.runner.run();
    clock.current = at(3, 25, 8, 0, 0);
    rig.runner.runClockTick();
    QCOMPARE(rig.pending.rowCount(), 4);

    rig.runner.runUpdateTick();
    rig.runner.runUpdateTick();
    QCOMPARE(dispatch.requests.size(), 2);
    QCOMPARE(dispatch.requests[0].snapshot.groupPorts, QList<GroupPort>({ { u"2"_s, u"LG"_s } }));
    QCOMPARE(dispatch.requests[1].snapshot.groupPorts, QList<GroupPort>({ { u"1"_s, u"LG"_s } }));
    // A group that no longer exists is dropped without a word; an unknown function is named.
    const qsizetype before = log.lines().size();
    rig.runner.runUpdateTick();
    QCOMPARE(log.lines().size(), before);
    rig.runner.runUpdateTick();
    QCOMPARE(dispatch.requests.size(), 2);
    QCOMPARE(texts(log).mid(before),
             QStringList({ stars, u"Loading Hall information."_s, u"Finished loading Hall information."_s,
                           u"Unknown function \"Monitors On\" for Hall: nothing sent."_s, stars }));
}

void TestScheduleRunner::functionsChooseModelAndIndex_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("model"); // the model list entry afterwards
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("command");

    const QString lgOn = u"6B 61 20 30 31 20 30 31 0D"_s, lgOff = u"6B 61 20 30 31 20 30 30 0D"_s;
    const QString olevia = u"BE 05 25 08 F0"_s, autoConfig = u"6A 75 20 30 31 20 30 31 0D"_s;
    QTest::newRow("Monitors ON keeps the model") << "Monitors ON" << 3 << "0"
                                                 << "64 69 64 3A 61 6C 6C 2D 70 6E 2E";
    QTest::newRow("All Monitors OFF") << " All Monitors OFF " << 0 << "3" << lgOff;
    QTest::newRow("LG All Monitors ON") << "LG All Monitors ON" << 0 << "2" << lgOn;
    QTest::newRow("LG Auto Configuration") << "LG Auto Configuration" << 0 << "7" << autoConfig;
    QTest::newRow("LG Auto Configuration All") << "LG Auto Configuration All" << 0 << "8" << autoConfig;
    QTest::newRow("OLEVIA All Monitors OFF") << "OLEVIA All Monitors OFF" << 1 << "3" << olevia;
    QTest::newRow("HYUNDAI All Monitors ON") << "HYUNDAI All Monitors ON" << 2 << "2"
                                             << "40 4B 45 59 3A 30 0D";
}

void TestScheduleRunner::functionsChooseModelAndIndex()
{
    QFETCH(QString, function);
    QFETCH(int, model);
    QFETCH(QString, index);
    QFETCH(QString, command);

    SimulatedRunner simulated;
    auto &[folder, clock, log, dispatch, commands, rig] = simulated;
    rig.host.selectModelEntry(3); // the operator left HYUNDAI-D525ML in the list
    rig.addGroup(u"Lobby"_s);
    rig.addRow(u"Lobby"_s, u"08:00:00"_s, function);
    rig.runner.run();
    rig.tickAt(clock, at(3, 25, 8, 0, 0));

    QCOMPARE(dispatch.requests.size(), 1);
    QCOMPARE(dispatch.requests[0].handOff, (CommandHandOff { command, index, true }));
    QCOMPARE(rig.host.modelEntry, model);
}

// Stop keeps what is queued and the next Run sends it; what waited more than ten minutes is reported.
void TestScheduleRunner::stopKeepsTheQueueForTheNextRun()
{
    SimulatedRunner simulated;
    auto &[folder, clock, log, dispatch, commands, rig] = simulated;
    rig.addGroup(u"Lobby"_s);
    rig.addRow(u"Lobby"_s, u"08:00:00"_s);
    rig.addRow(u"Lobby"_s, u"08:00:01"_s);
    rig.host.saveWorks = false;
    rig.runner.run();
    QCOMPARE(texts(log), QStringList { u"Failed saving the settings."_s });
    QVERIFY(rig.runner.isRunning());

    clock.current = at(3, 25, 8, 0, 0);
    rig.runner.runClockTick();
    rig.runner.stop();
    QVERIFY(!rig.host.shownRunning);
    QVERIFY(!rig.runner.updateTimer().isActive() && !rig.runner.clockTimer().isActive());
    QCOMPARE(rig.pending.rowCount(), 1);
    clock.current = at(3, 25, 8, 5, 0);
    rig.runner.run();
    rig.runner.runUpdateTick();
    QCOMPARE(dispatch.requests.size(), 1);

    clock.current = at(3, 25, 8, 5, 1);
    rig.runner.runClockTick(); // 08:00:01 passed while stopped: not examined
    QCOMPARE(rig.pending.rowCount(), 0);
    rig.tickAt(clock, at(3, 26, 8, 0, 0, 900));
    QCOMPARE(rig.pending.rowCount(), 0); // a gap of more than ten minutes: logged, not sent
    QCOMPARE(texts(log).last(), u"Missed Lobby Monitors ON due at 03/26/2009 08:00:00"_s);

    // Queued, stopped, and run again eleven minutes later: reported instead of sent late.
    clock.current = at(3, 26, 8, 0, 1);
    rig.runner.runClockTick();
    rig.runner.stop();
    clock.current = at(3, 26, 8, 11, 2);
    rig.runner.run();
    QCOMPARE(rig.pending.rowCount(), 0);
    QCOMPARE(texts(log).last(), u"Missed Lobby Monitors ON due at 03/26/2009 08:00:01"_s);
    QCOMPARE(dispatch.requests.size(), 1);
}

// An LG panel send held back by the display's XOFF is on the wire when the update tick comes: the
// scheduled send waits for it, and "Finished sending ..." follows the scheduled send's own lines.
void TestScheduleRunner::tickDuringAnotherSendWaitsForIt()
{
    ExecutorRig exec({ 3, 4 });
    RunnerRig rig(exec.clock, exec.statusLog, *exec.executor, exec.commands, exec.folder.path());
    rig.addGroup(u"Lobby"_s);
    rig.addRow(u"Lobby"_s, u"08:00:00"_s);
    exec.clock.current = at(3, 25, 7, 59, 59, 500);
    rig.runner.run();
    exec.clock.current = at(3, 25, 8, 0, 0);
    rig.runner.runClockTick();

    std::atomic_bool held = false;
    exec.onOpen = [&](int com) {
        if (com == 4) {
            exec.display(4).writeToProgram("\x13"); // XOFF
            held = true;
        }
    };
    QTimer::singleShot(0, exec.executor.get(), [&] {
        QTRY_VERIFY(held);
        QTimer::singleShot(200, exec.executor.get(), [&] { exec.display(4).writeToProgram("\x11"); });
        rig.runner.runUpdateTick();
    });
    exec.window.snapshot.panelCommPort = u"4"_s;
    exec.window.snapshot.panelLineSettings = u"9600,n,8,1"_s;
    waitForCompletion(exec.send({ u"6B 64 20 30 31 20 30 31 0D"_s, u"100"_s, true }));
    QTRY_COMPARE(exec.logTexts().size(), 10);
    QVERIFY(rig.runner.updateTimer().isActive()); // the tick has ended

    QCOMPARE(exec.display(4).readUntilQuiet(10), QByteArray("kd 01 01\r"));
    QCOMPARE(exec.display(3).readUntilQuiet(10), QByteArray("ka 01 01\r"));
    QCOMPARE(
        exec.logTexts(),
        QStringList({ stars, u"Loading Lobby information."_s, u"Finished loading Lobby information."_s,
                      u"Start sending serial command in Lobby"_s, u"Finish sending out command string."_s,
                      u"Start sending serial command to COM 3"_s, u"Finished sending serial command to COM 3"_s,
                      u"Finish sending out command string."_s, u"Finished sending serial command in Lobby"_s, stars }));
}

void TestScheduleRunner::portsAreCheckedAMinuteAhead()
{
    ExecutorRig exec({ 3 }, { 5 });
    RunnerRig rig(exec.clock, exec.statusLog, *exec.executor, exec.commands, exec.folder.path());
    rig.addGroup(u"Hall"_s, { 3, 5 });
    rig.addRow(u"Hall"_s, u"08:00:00"_s);
    exec.clock.current = at(3, 25, 7, 58, 59, 500);
    rig.runner.run();
    exec.clock.current = at(3, 25, 7, 59, 0);
    rig.runner.runClockTick();
    rig.runner.runClockTick();
    QCOMPARE(exec.logTexts(),
             QStringList({ u"Hall at 08:00:00: COM 5 not found (%1)"_s.arg(
                 QString::fromLocal8Bit(PtyDisplays::missingDevice())) }));
    QCOMPARE(rig.pending.rowCount(), 0);
}

// A year in Europe/Berlin, ticking as a busy machine does: jitter, late ticks, long quiet steps,
// both clock changes, the clock put back by one hour and by five, a suspend of three minutes and one
// of two hours. Each row fires once a day it applies; a row in the skipped spring hour fires when
// the clock reaches 03:00:00; the five-hour correction fires its span again; the two-hour suspend
// logs its rows as missed.
void TestScheduleRunner::aYearOfIrregularTicksFiresEachSecondOnce()
{
    SimulatedRunner simulated(QDateTime(QDate(2009, 1, 1), QTime(0, 0, 0, 300)));
    auto &[folder, clock, log, dispatch, commands, rig] = simulated;

    struct Jump
    {
        QDateTime at; // the tick exactly at this wall-clock second comes first
        qint64 bySecs;
    };
    const QList<Jump> jumps { { at(5, 10, 12, 0, 0, 100), -3600 },
                              { at(6, 1, 8, 0, 0, 100), 180 },
                              { at(7, 15, 18, 0, 0, 100), -5 * 3600 },
                              { at(9, 1, 7, 30, 0, 100), 2 * 3600 } };

    QRandomGenerator random(29032009);
    QList<QTime> times { QTime(2, 30), QTime(2, 15), QTime(8, 1), QTime(11, 30), QTime(15, 0), QTime(8, 30) };
    QList<QStringList> rows;
    for (int row = 0; row < 200; ++row) {
        const QTime time
            = row < times.size() ? times.at(row) : QTime(random.bounded(24), random.bounded(60), random.bounded(60));
        WeekdaySet days {};
        for (bool &day : days)
            day = random.bounded(3) != 0;
        const QDate first = QDate(2009, 1, 1).addDays(random.bounded(200));
        const QDate last = first.addDays(random.bounded(365));
        const QString group = u"G%1"_s.arg(row);
        rig.addRow(group, scheduleTimeText(time), u"Monitors ON"_s, row < times.size() ? everyDay : daysTextOf(days),
                   row < times.size() ? u"01/01/2009"_s : scheduleDateText(first),
                   row < times.size() ? u"12/31/2009"_s : scheduleDateText(last));
        rows.append(rig.schedule.rowCells(row));
    }
    for (int group = 0; group < 200; ++group)
        rig.addGroup(u"G%1"_s.arg(group));

    std::map<std::pair<int, QDateTime>, int> fired;
    connect(&rig.runner, &ScheduleRunner::eventQueued, this, [&](int row, const QDateTime &dueAt) {
        ++fired[{ row, dueAt }];
    });
    QStringList missed; // the log keeps its last thousand lines only
    connect(&log, &StatusLog::lineAppended, this, [&missed, &log = log](int line) {
        const QString text = log.lines().at(line).section(u" - "_s, 1);
        if (text.startsWith(u"Missed"))
            missed.append(text);
    });

    rig.runner.run();
    const QDateTime end(QDate(2009, 12, 31), QTime(23, 59, 59, 500));
    qsizetype nextJump = 0;
    int ticks = 0;
    while (clock.current < end) {
        qint64 stepMs;
        const int kind = random.bounded(10);
        if (kind < 3)
            stepMs = 1000 + random.bounded(-400, 401); // jitter
        else if (kind < 4)
            stepMs = 1000 + random.bounded(4001); // late
        else
            stepMs = random.bounded(1000, 590 * 1000); // quiet, but well within ten minutes
        QDateTime next = clock.current.addMSecs(stepMs);
        if (nextJump < jumps.size() && next >= jumps[nextJump].at) {
            rig.tickAt(clock, jumps[nextJump].at);
            next = jumps[nextJump].at.addSecs(jumps[nextJump].bySecs);
            ++nextJump;
        }
        rig.tickAt(clock, std::min(next, end));
        ++ticks;
    }
    QCOMPARE(nextJump, jumps.size());
    QCOMPARE(dispatch.requests.size(), qsizetype(std::accumulate(fired.begin(), fired.end(), 0, [](int sum, auto &f) {
                 return sum + f.second;
             })));

    // What should have happened, day by day.
    const auto wall = [](const QDateTime &local) {
        return QDateTime(local.date(), local.time(), Qt::UTC);
    };
    const QDateTime againFrom = wall(jumps[2].at.addSecs(-5 * 3600)), againTo = wall(jumps[2].at);
    const QDateTime missedFrom = wall(jumps[3].at), missedTo = wall(jumps[3].at.addSecs(2 * 3600));
    std::map<std::pair<int, QDateTime>, int> expected;
    QStringList expectedMissed;
    for (int row = 0; row < rows.size(); ++row) {
        const QDate first = *readScheduleDate(rows[row][1]), last = *readScheduleDate(rows[row][2]);
        const QTime time = *readScheduleTime(rows[row][3]);
        const WeekdaySet days = weekdaysOfDaysText(rows[row][5]);
        for (QDate day = std::max(first, QDate(2009, 1, 1)); day <= last && day.year() == 2009; day = day.addDays(1)) {
            if (!days[size_t(weekdayIndex(day))])
                continue;
            const QDateTime moment(day, time, Qt::UTC);
            if (moment > missedFrom && moment <= missedTo) {
                expectedMissed.append(u"Missed G%1 Monitors ON due at %2 %3"_s.arg(row).arg(scheduleDateText(day),
                                                                                            scheduleTimeText(time)));
                continue;
            }
            expected[{ row, moment }] = moment >= againFrom && moment <= againTo ? 2 : 1;
        }
    }
    int differences = 0;
    for (const auto &[key, count] : expected) {
        const auto found = fired.find(key);
        const int got = found == fired.end() ? 0 : found->second;
        if (got != count && ++differences <= 5)
            qWarning("row %d due %s: fired %d times, expected %d", key.first,
                     qPrintable(key.second.toString(u"MM/dd/yyyy HH:mm:ss"_s)), got, count);
    }
    for (const auto &[key, count] : fired) {
        if (!expected.count(key) && ++differences <= 10)
            qWarning("row %d due %s fired %d times, not expected", key.first,
                     qPrintable(key.second.toString(u"MM/dd/yyyy HH:mm:ss"_s)), count);
    }
    QCOMPARE(differences, 0);
    QVERIFY(!expectedMissed.isEmpty());
    std::sort(missed.begin(), missed.end());
    std::sort(expectedMissed.begin(), expectedMissed.end());
    QCOMPARE(missed, expectedMissed);
    QVERIFY(ticks > 50000);
}

QTEST_GUILESS_MAIN(TestScheduleRunner)
#include "test_schedule_runner.moc"
