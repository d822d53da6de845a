// The schedule runner on simulated time: the log of one event around the executor's own lines,
// events of one second in schedule order, Stop and Run, a tick during another send, unknown
// functions and groups, the warning a minute ahead, clocks put back and forward, the hand-over to
// another runner, and a year of irregular ticks with clock changes, clock corrections and suspends
// in which every due second fires exactly once or is logged as missed.
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
#include <QRegularExpression>
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
    void aDateWithoutEventsIsSkippedOnce();
    void tickDuringAnotherSendWaitsForIt();
    void portsAreCheckedAMinuteAhead();
    void clockJumpsFireEachSecondOnce_data();
    void clockJumpsFireEachSecondOnce();
    void twoHoursFastAtRunThenCorrected();
    void handOverText_data();
    void handOverText();
    void continuingFromAHandOverNeitherRepeatsNorSkips();
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
             QStringList({ u"Schedule running: 1 row, next: Lobby Monitors ON at 03/25/2009 08:00:00"_s, stars,
                           u"Loading Lobby information."_s, u"Finished loading Lobby information."_s,
                           u"Start sending serial command in Lobby"_s, u"Start sending serial command to COM 3"_s,
                           u"Finished sending serial command to COM 3"_s, u"COM 3: sent"_s,
                           u"Finish sending out command string."_s, u"Finished sending serial command in Lobby"_s,
                           stars }));
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
    // A group that no longer exists and an unknown function are named; neither is sent.
    const qsizetype before = log.lines().size();
    rig.runner.runUpdateTick();
    rig.runner.runUpdateTick();
    QCOMPARE(dispatch.requests.size(), 2);
    QCOMPARE(texts(log).mid(before),
             QStringList({ u"Group \"Gone\" no longer exists: Monitors ON at 08:00:00 not sent."_s, stars,
                           u"Loading Hall information."_s, u"Finished loading Hall information."_s,
                           u"Unknown function \"Monitors On\" for Hall: nothing sent."_s, stars }));
}

// On a date without events the row's firing is logged once, in its second, and never sent, also when
// the clock is put back over it; the next day it fires as usual.
void TestScheduleRunner::aDateWithoutEventsIsSkippedOnce()
{
    SimulatedRunner simulated(at(3, 26, 7, 59, 59, 500));
    auto &[folder, clock, log, dispatch, commands, rig] = simulated;
    rig.addGroup(u"Lobby"_s);
    rig.addRow(u"Lobby"_s, u"08:00:00"_s);
    rig.runner.datesWithoutEvents().appendRow({ u"03/26/2009"_s, u"Closed"_s });
    rig.runner.run();
    for (const QDateTime &tick : { at(3, 26, 8, 0, 0), at(3, 26, 8, 0, 1), at(3, 26, 7, 59, 58), at(3, 26, 8, 0, 0),
                                   at(3, 26, 8, 0, 3) })
        rig.tickAt(clock, tick);
    QCOMPARE(dispatch.requests.size(), 0);
    QCOMPARE(texts(log), QStringList({ u"Schedule running: 1 row, next: Lobby Monitors ON at 03/27/2009 08:00:00"_s,
                                       u"Lobby Monitors ON on 03/26/2009 skipped: a date without events (Closed)"_s }));
    rig.tickAt(clock, at(3, 27, 7, 59, 59));
    rig.tickAt(clock, at(3, 27, 8, 0, 0));
    QCOMPARE(dispatch.requests.size(), 1);
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
    QCOMPARE(texts(log).mid(0, 2),
             QStringList({ u"Failed saving the settings."_s,
                           u"Schedule running: 2 rows, next: Lobby Monitors ON at 03/25/2009 08:00:00"_s }));
    QVERIFY(rig.runner.isRunning());

    clock.current = at(3, 25, 8, 0, 0);
    rig.runner.runClockTick();
    rig.runner.stop();
    QVERIFY(!rig.host.shownRunning);
    QCOMPARE(rig.host.clock, u"--:--:--"_s);
    QVERIFY(!rig.runner.updateTimer().isActive() && !rig.runner.clockTimer().isActive());
    QCOMPARE(rig.pending.rowCount(), 1);
    clock.current = at(3, 25, 8, 5, 0);
    rig.runner.run();
    rig.runner.runUpdateTick();
    QCOMPARE(dispatch.requests.size(), 1);

    clock.current = at(3, 25, 8, 5, 1);
    rig.runner.runClockTick(); // 08:00:01 passed while stopped: not examined
    QCOMPARE(rig.pending.rowCount(), 0);
    // A gap of more than ten minutes: logged, not sent, but the second it lands on is due.
    rig.tickAt(clock, at(3, 26, 8, 0, 1, 900));
    QCOMPARE(texts(log).filter(u"Missed"_s), QStringList { u"Missed Lobby Monitors ON due at 03/26/2009 08:00:00"_s });
    QCOMPARE(dispatch.requests.size(), 2);

    // Queued, stopped, and run again eleven minutes later: reported instead of sent late.
    clock.current = at(3, 27, 8, 0, 0);
    rig.runner.runClockTick();
    rig.runner.stop();
    clock.current = at(3, 27, 8, 11, 1);
    rig.runner.run();
    QCOMPARE(rig.pending.rowCount(), 0);
    QCOMPARE(texts(log).filter(u"Missed"_s).last(), u"Missed Lobby Monitors ON due at 03/27/2009 08:00:00"_s);
    QCOMPARE(dispatch.requests.size(), 2);
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
    QTRY_COMPARE(exec.logTexts().size(), 13);
    QVERIFY(rig.runner.updateTimer().isActive()); // the tick has ended

    QCOMPARE(exec.display(4).readUntilQuiet(10), QByteArray("kd 01 01\r"));
    QCOMPARE(exec.display(3).readUntilQuiet(10), QByteArray("ka 01 01\r"));
    QCOMPARE(
        exec.logTexts(),
        QStringList({ u"Schedule running: 1 row, next: Lobby Monitors ON at 03/25/2009 08:00:00"_s, stars,
                      u"Loading Lobby information."_s, u"Finished loading Lobby information."_s,
                      u"Start sending serial command in Lobby"_s, u"COM 4: sent"_s,
                      u"Finish sending out command string."_s, u"Start sending serial command to COM 3"_s,
                      u"Finished sending serial command to COM 3"_s, u"COM 3: sent"_s,
                      u"Finish sending out command string."_s, u"Finished sending serial command in Lobby"_s, stars }));
}

// A minute ahead, and at Run for what falls due within its first minute.
void TestScheduleRunner::portsAreCheckedAMinuteAhead()
{
    ExecutorRig exec({ 3 }, { 5 });
    RunnerRig rig(exec.clock, exec.statusLog, *exec.executor, exec.commands, exec.folder.path());
    rig.addGroup(u"Hall"_s, { 3, 5 });
    rig.addRow(u"Hall"_s, u"08:00:00"_s);
    rig.addRow(u"Hall"_s, u"08:00:50"_s);
    exec.clock.current = at(3, 25, 7, 59, 30, 500);
    rig.runner.run();
    exec.clock.current = at(3, 25, 7, 59, 50);
    rig.runner.runClockTick();
    rig.runner.runClockTick();
    const QString missing = u"COM 5 not found (%1)"_s.arg(QString::fromLocal8Bit(PtyDisplays::missingDevice()));
    QCOMPARE(exec.logTexts(),
             QStringList({ u"Schedule running: 2 rows, next: Hall Monitors ON at 03/25/2009 08:00:00"_s,
                           u"Hall at 08:00:00: "_s + missing, u"Hall at 08:00:50: "_s + missing }));
    QCOMPARE(rig.pending.rowCount(), 0);
}

void TestScheduleRunner::clockJumpsFireEachSecondOnce_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QStringList>("times"); // one row each, for a group named after it
    // "at T" and "utc T" set the clock (local time, or the time in UTC) without a tick, "jump S" moves
    // it by S seconds, "tick" is a tick (with update ticks until nothing is pending), "ticks N" N
    // ticks one second apart.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("sent"); // groups, in order
    QTest::addColumn<QStringList>("reported"); // lines about missed, late or unknown events

    QTest::newRow("autumn change, started inside the repeated hour")
        << QDate(2027, 10, 31) << QStringList { u"02:00:10"_s, u"02:59:30"_s } << "utc 00:58:45.500; run; ticks 90"
        << QStringList { u"R02:59:30"_s, u"R02:00:10"_s } << QStringList {};
    QTest::newRow("Stop and Run within one second") << QDate(2027, 3, 10) << QStringList { u"08:00:00"_s }
                                                    << "at 07:59:59.500; run; at 08:00:00.002; tick; stop; at "
                                                       "08:00:00.600; run; at 08:00:01.002; tick"
                                                    << QStringList { u"R08:00:00"_s } << QStringList {};
    QTest::newRow("a long gap lands on a due second")
        << QDate(2027, 3, 10) << QStringList { u"07:30:00"_s, u"08:00:00"_s }
        << "at 06:59:59.500; run; at 07:00:00.002; tick; jump 3600; tick" << QStringList { u"R08:00:00"_s }
        << QStringList { u"Missed R07:30:00 Monitors ON due at 03/10/2027 07:30:00"_s };
    QTest::newRow("a short suspend: caught up, and late")
        << QDate(2027, 3, 10) << QStringList { u"08:02:00"_s, u"08:03:00"_s, u"08:07:07"_s }
        << "at 07:59:00.500; run; at 07:59:01.002; tick; at 08:07:07.002; tick"
        << QStringList { u"R08:02:00"_s, u"R08:03:00"_s, u"R08:07:07"_s }
        << QStringList { u"R08:02:00 Monitors ON due at 03/10/2027 08:02:00 sent 5 min 7 s late"_s,
                         u"R08:03:00 Monitors ON due at 03/10/2027 08:03:00 sent 4 min 7 s late"_s };
    QTest::newRow("spring change: caught up, and late")
        << QDate(2027, 3, 28) << QStringList { u"02:30:00"_s } << "utc 00:59:58.500; run; ticks 3"
        << QStringList { u"R02:30:00"_s }
        << QStringList { u"R02:30:00 Monitors ON due at 03/28/2027 02:30:00 sent 30 min 0 s late"_s };
    QTest::newRow("put back an hour: nothing again")
        << QDate(2027, 3, 10) << QStringList { u"08:00:30"_s, u"08:59:59"_s, u"09:00:00"_s }
        << "at 08:00:00.500; run; ticks 3600; jump -3600; ticks 3605"
        << QStringList { u"R08:00:30"_s, u"R08:59:59"_s, u"R09:00:00"_s } << QStringList {};
    QTest::newRow("put back four hours: a correction")
        << QDate(2027, 3, 10) << QStringList { u"08:00:30"_s }
        << "at 08:00:00.500; run; ticks 60; jump -14400; ticks 14460" << QStringList { u"R08:00:30"_s, u"R08:00:30"_s }
        << QStringList { u"The clock went back from 03/10/2027 08:01:00 to 03/10/2027 04:01:01; the schedule "
                         u"continues from the new time."_s };
    QTest::newRow("corrected by four hours while stopped")
        << QDate(2027, 3, 10) << QStringList { u"08:00:30"_s }
        << "at 08:00:00.500; run; ticks 60; stop; jump -14400; run; ticks 14460"
        << QStringList { u"R08:00:30"_s, u"R08:00:30"_s }
        << QStringList { u"The clock went back from 03/10/2027 08:01:00 to 03/10/2027 04:01:00; the schedule "
                         u"continues from the new time."_s };
}

void TestScheduleRunner::clockJumpsFireEachSecondOnce()
{
    QFETCH(QDate, day);
    QFETCH(QStringList, times);
    QFETCH(QString, script);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, reported);

    SimulatedRunner simulated;
    auto &[folder, clock, log, dispatch, commands, rig] = simulated;
    for (const QString &time : times) {
        rig.addGroup(u"R"_s + time);
        rig.addRow(u"R"_s + time, time, u"Monitors ON"_s, everyDay, day.toString(u"MM/dd/yyyy"_s),
                   day.toString(u"MM/dd/yyyy"_s));
    }
    QStringList lines;
    connect(&log, &StatusLog::lineAppended, this,
            [&lines, &simulated](int line) {
                lines.append(simulated.log.lines().at(line).section(u" - "_s, 1));
            });

    for (const QString &step : script.split(u"; "_s)) {
        const QString argument = step.section(u' ', 1);
        const QTime time = QTime::fromString(argument, u"HH:mm:ss.zzz"_s);
        if (step == u"run") {
            rig.runner.run();
        } else if (step == u"stop") {
            rig.runner.stop();
        } else if (step.startsWith(u"at ")) {
            clock.current = QDateTime(day, time);
        } else if (step.startsWith(u"utc ")) {
            clock.current = QDateTime(day, time, Qt::UTC).toLocalTime();
        } else if (step.startsWith(u"jump ")) {
            clock.current = clock.current.addSecs(argument.toInt());
        } else if (step == u"tick") {
            rig.tickAt(clock, clock.current);
        } else if (step.startsWith(u"ticks ")) {
            for (int tick = 0; tick < argument.toInt(); ++tick)
                rig.tickAt(clock, clock.current.addSecs(1));
        } else {
            QFAIL(qPrintable(u"unknown step "_s + step));
        }
    }

    QStringList groups;
    const QString starting = u"Start sending serial command in "_s;
    for (const QString &line : lines) {
        if (line.startsWith(starting))
            groups.append(line.mid(starting.size()));
    }
    QCOMPARE(groups, sent);
    QCOMPARE(dispatch.requests.size(), sent.size());
    static const QRegularExpression report(u"^(Missed|The clock|Group \")| late$"_s);
    QCOMPARE(lines.filter(report), reported);
}

// The clock is two hours fast when the schedule starts and is put right 40 seconds later: every row
// of those two hours reaches its display once, and a row sent before the correction is not sent again.
void TestScheduleRunner::twoHoursFastAtRunThenCorrected()
{
    ExecutorRig exec({ 3, 4, 5, 6 });
    RunnerRig rig(exec.clock, exec.statusLog, *exec.executor, exec.commands, exec.folder.path());
    const QList<std::pair<int, QString>> rows {
        { 3, u"08:00:41"_s }, { 4, u"09:30:00"_s }, { 5, u"10:00:20"_s }, { 6, u"10:00:50"_s }
    };
    for (const auto &[com, time] : rows) {
        rig.addGroup(u"COM%1"_s.arg(com), { com });
        rig.addRow(u"COM%1"_s.arg(com), time, u"Monitors ON"_s, everyDay, u"03/10/2027"_s, u"03/10/2027"_s);
    }
    auto &clock = exec.clock;
    clock.current = QDateTime(QDate(2027, 3, 10), QTime(10, 0, 5, 500));
    rig.runner.run();
    for (int tick = 0; tick < 35; ++tick)
        rig.tickAt(clock, clock.current.addSecs(1));
    QCOMPARE(exec.display(5).readUntilQuiet(10), QByteArray("ka 01 01\r"));
    clock.current = clock.current.addSecs(-2 * 3600); // 08:00:40.500
    while (clock.current.time() < QTime(10, 1))
        rig.tickAt(clock, clock.current.addSecs(1));

    for (int com : { 3, 4, 6 })
        QCOMPARE(exec.display(com).readUntilQuiet(10), QByteArray("ka 01 01\r"));
    QCOMPARE(exec.display(5).readUntilQuiet(10), QByteArray());
    QCOMPARE(exec.logTexts().filter(u"Start sending serial command in"_s),
             QStringList({ u"Start sending serial command in COM5"_s, u"Start sending serial command in COM3"_s,
                           u"Start sending serial command in COM4"_s, u"Start sending serial command in COM6"_s }));
}

void TestScheduleRunner::handOverText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid"); // and then written back as it was read

    const QString header = u"vantiro-runner-hand-over 1\n"_s;
    const QString last = u"last 2027-03-10T10:00:40\n"_s;
    const QString spans = u"examined 2027-03-10T08:00:00 2027-03-10T08:10:00\n"
                          u"examined 2027-03-10T10:00:05 2027-03-10T10:00:40\n"_s;
    const QString queued = u"queued 2027-03-10T10:00:20 1804662040123 Lobby%20%25%60 Monitors%20ON\n"
                           u"queued 2027-03-10T10:00:21 1804662041002  Empfang%20S%C3%BCd\n"_s;
    const QString full = header + last + spans + queued;
    QTest::newRow("everything") << full << true;
    QTest::newRow("nothing examined yet") << header << true;
    QTest::newRow("nothing queued") << header + last + spans << true;
    QTest::newRow("another version") << QString(full).replace(u" 1\n"_s, u" 2\n"_s) << false;
    QTest::newRow("no line end at the end") << full.chopped(1) << false;
    QTest::newRow("an unknown line") << full + u"paused 1\n"_s << false;
    QTest::newRow("a span ending before it starts")
        << header + last + u"examined 2027-03-10T08:10:00 2027-03-10T08:00:00\n"_s << false;
    QTest::newRow("spans out of order") << header + last + spans.section(u'\n', 1, 1) + u'\n'
            + spans.section(u'\n', 0, 0)
            + u'\n' << false;
    QTest::newRow("spans touching") << header + last + spans + u"examined 2027-03-10T10:00:41 2027-03-10T10:00:50\n"_s
                                    << false;
    QTest::newRow("spans without a last second") << header + spans << false;
    QTest::newRow("two last seconds") << header + last + last << false;
    QTest::newRow("no such date") << header + u"last 2027-02-30T10:00:40\n"_s << false;
    QTest::newRow("a blank too many") << header + u"last  2027-03-10T10:00:40\n"_s << false;
    QTest::newRow("a broken escape") << QString(full).replace(u"%60"_s, u"%6"_s) << false;
    QTest::newRow("a letter that needs escaping") << QString(full).replace(u"Lobby"_s, u"Löbby"_s) << false;
    QTest::newRow("queued-at no number") << QString(full).replace(u"1804662040123"_s, u"18046620x0123"_s) << false;
    QTest::newRow("a name too long") << QString(full).replace(u"Lobby"_s, QString(200, u'L')) << false;
    QString manySpans = header + u"last 2027-03-10T10:00:40\n"_s;
    for (int span = 0; span <= ExaminedSeconds::maxSpans; ++span)
        manySpans += u"examined %1 %1\n"_s.arg(
            QDateTime(QDate(2027, 3, 10), QTime(8, 0)).addSecs(2 * span).toString(u"yyyy-MM-ddTHH:mm:ss"_s));
    QTest::newRow("a span too many") << manySpans << false;
    QTest::newRow("an event too many") << header
            + queued.section(u'\n', 0, 0).append(u'\n').repeated(RunnerHandOver::maxQueued + 1)
                                       << false;
}

void TestScheduleRunner::handOverText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);

    const std::optional<RunnerHandOver> handOver = RunnerHandOver::fromText(text);
    QCOMPARE(handOver.has_value(), valid);
    if (valid)
        QCOMPARE(handOver->toText(), text);
}

// A runner hands over in the middle of a run with two events queued; another one takes over two
// seconds later, and its clock is then put back over what the first one examined. Every row is sent
// once: none again, none skipped in the two seconds between.
void TestScheduleRunner::continuingFromAHandOverNeitherRepeatsNorSkips()
{
    const QStringList times { u"08:00:00"_s, u"08:00:03"_s, u"08:00:05"_s, u"08:00:06"_s, u"08:00:10"_s };
    std::array<SimulatedRunner, 2> runners { SimulatedRunner(QDateTime(QDate(2027, 3, 10), QTime(7, 59, 50, 500))),
                                             SimulatedRunner(QDateTime(QDate(2027, 3, 10), QTime(8, 0, 7, 500))) };
    for (SimulatedRunner &runner : runners) {
        for (const QString &time : times) {
            runner.rig.addGroup(u"R"_s + time);
            runner.rig.addRow(u"R"_s + time, time);
            runner.rig.schedule.setCell(runner.rig.schedule.rowCount() - 1, u"End Date", u"12/31/2027"_s);
        }
    }
    auto &[first, second] = runners;
    first.rig.runner.run();
    while (first.clock.current.time() < QTime(8, 0, 2))
        first.rig.tickAt(first.clock, first.clock.current.addSecs(1));
    for (int tick = 0; tick < 3; ++tick) { // queued, not sent
        first.clock.advanceSeconds(1);
        first.rig.runner.runClockTick();
    }
    QCOMPARE(first.rig.pending.rowCount(), 2);
    const RunnerHandOver handOver = first.rig.runner.takeHandOver();
    QVERIFY(!first.rig.runner.isRunning());
    QCOMPARE(first.rig.pending.rowCount(), 0);
    QCOMPARE(handOver.queued.size(), 2);
    const std::optional<RunnerHandOver> carried = RunnerHandOver::fromText(handOver.toText());
    QVERIFY(carried);
    QCOMPARE(*carried, handOver);

    QVERIFY(second.rig.runner.continueFrom(*carried));
    QCOMPARE(second.rig.pending.rowCount(), 2);
    second.rig.runner.run();
    QVERIFY(!second.rig.runner.continueFrom(*carried));
    second.rig.tickAt(second.clock, second.clock.current.addSecs(1));
    second.clock.current = QDateTime(QDate(2027, 3, 10), QTime(7, 59, 58, 2)); // put back
    while (second.clock.current.time() < QTime(8, 0, 12))
        second.rig.tickAt(second.clock, second.clock.current.addSecs(1));

    QStringList sent;
    for (const SimulatedRunner &runner : runners)
        sent += texts(runner.log)
                    .filter(u"Start sending serial command in"_s)
                    .replaceInStrings(u"Start sending serial command in "_s, QString());
    QCOMPARE(sent, QStringList({ u"R08:00:00"_s, u"R08:00:03"_s, u"R08:00:05"_s, u"R08:00:06"_s, u"R08:00:10"_s }));
    QCOMPARE(texts(second.log).filter(u" late"_s),
             QStringList { u"R08:00:06 Monitors ON due at 03/10/2027 08:00:06 sent 2 s late"_s });
}

// A year in Europe/Berlin, ticking as a busy machine does: jitter, late ticks, long quiet steps,
// both clock changes, the clock put back by one hour and by five, a suspend of three minutes and one
// of two hours. Each row fires once a day it applies; a row in the skipped spring hour fires when
// the clock reaches 03:00:00; the five-hour correction fires its span again; the two-hour suspend
// logs its rows as missed, except those of the second it lands on.
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
    // 09:30:00 is the second the two-hour suspend lands on.
    QList<QTime> times { QTime(2, 30), QTime(2, 15), QTime(8, 1), QTime(11, 30),
                         QTime(15, 0), QTime(8, 30), QTime(9, 30) };
    struct Row
    {
        QDate first;
        QDate last;
        QTime time;
        std::array<bool, 7> days {}; // Sunday first
    };
    const QStringList tags { u"S"_s, u"M"_s, u"T"_s, u"W"_s, u"Th"_s, u"F"_s, u"Sat"_s };
    QList<Row> rows;
    for (int row = 0; row < 200; ++row) {
        Row plain { QDate(2009, 1, 1), QDate(2009, 12, 31), {}, { true, true, true, true, true, true, true } };
        if (row < times.size()) {
            plain.time = times.at(row);
        } else {
            plain.time = QTime(random.bounded(24), random.bounded(60), random.bounded(60));
            for (bool &day : plain.days)
                day = random.bounded(3) != 0;
            plain.first = QDate(2009, 1, 1).addDays(random.bounded(200));
            plain.last = plain.first.addDays(random.bounded(365));
        }
        QStringList days;
        for (int day = 0; day < 7; ++day)
            days.append(plain.days[day] ? tags.at(day) : u"N"_s);
        rig.addRow(u"G%1"_s.arg(row), plain.time.toString(u"HH:mm:ss"_s), u"Monitors ON"_s, days.join(u','),
                   plain.first.toString(u"MM/dd/yyyy"_s), plain.last.toString(u"MM/dd/yyyy"_s));
        rows.append(plain);
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
        const QTime time = local.time();
        return QDateTime(local.date(), QTime(time.hour(), time.minute(), time.second()), Qt::UTC);
    };
    const QDateTime againFrom = wall(jumps[2].at.addSecs(-5 * 3600)), againTo = wall(jumps[2].at);
    const QDateTime missedFrom = wall(jumps[3].at), missedTo = wall(jumps[3].at.addSecs(2 * 3600));
    std::map<std::pair<int, QDateTime>, int> expected;
    QStringList expectedMissed;
    for (int row = 0; row < rows.size(); ++row) {
        const Row &plain = rows.at(row);
        for (QDate day = plain.first; day <= plain.last && day.year() == 2009; day = day.addDays(1)) {
            if (!plain.days[day.dayOfWeek() % 7])
                continue;
            const QDateTime moment(day, plain.time, Qt::UTC);
            if (moment > missedFrom && moment < missedTo) {
                expectedMissed.append(u"Missed G%1 Monitors ON due at %2 %3"_s.arg(row).arg(
                    day.toString(u"MM/dd/yyyy"_s), plain.time.toString(u"HH:mm:ss"_s)));
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
