#include "scheduler/event_executor.h"

#include "commands/quick_commands.h"

#include "executor_rig.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using namespace vantiro;
using namespace vantiro::test;
using namespace Qt::StringLiterals;

namespace {

// Every byte is on the line when the executor returns, so a short quiet spell ends the reading.
constexpr int quietMs = 10;
const QByteArray oleviaPower("\xBE\x05\x25\x08\xF0");
const QString endMessage = u"Finish sending out command string!"_s;
const QString endLine = u"Finish sending out command string."_s;

QString startLine(int com)
{
    return u"Start sending serial command to COM "_s + QString::number(com);
}

QString finishedLine(int com)
{
    return u"Finished sending serial command to COM "_s + QString::number(com);
}

QList<int> range(int first, int last)
{
    QList<int> numbers;
    for (int n = first; n <= last; ++n)
        numbers.append(n);
    return numbers;
}

QList<int> without(QList<int> numbers, const QList<int> &removed)
{
    numbers.removeIf([&](int n) { return removed.contains(n); });
    return numbers;
}

QString LineSettingsTexts::*const lineSettingsFields[] = { &LineSettingsTexts::baudRate, &LineSettingsTexts::parity,
                                                           &LineSettingsTexts::dataBits, &LineSettingsTexts::stopBits };

} // namespace

class TestEventExecutor : public QObject
{
    Q_OBJECT

private slots:
    void groupPortsGetTheirOwnModel_data();
    void groupPortsGetTheirOwnModel();
    void everyComPortGetsTheListsModel_data();
    void everyComPortGetsTheListsModel();
    void unreachedPortsAreNamed_data();
    void unreachedPortsAreNamed();
    void unreachedPortsText_data();
    void unreachedPortsText();
    void muteAndVolumeFollowTheModelList_data();
    void muteAndVolumeFollowTheModelList();
    void volumeReachesTheDisplays_data();
    void volumeReachesTheDisplays();
    void missingLineSettingStopsSending_data();
    void missingLineSettingStopsSending();
    void emptyCommandIsReported_data();
    void emptyCommandIsReported();
    void modelApplicationStaysInForce_data();
    void modelApplicationStaysInForce();
    void panelsSendToTheirOwnPort_data();
    void panelsSendToTheirOwnPort();
    void secondRequestWaitsForTheFirst_data();
    void secondRequestWaitsForTheFirst();
    void handOffsBeforeTheTickAreAllSent();
    void pointerFramesAndFocusOnEveryPath_data();
    void pointerFramesAndFocusOnEveryPath();
};

void TestEventExecutor::groupPortsGetTheirOwnModel_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QByteArray>("lgBytes");
    QTest::addColumn<QByteArray>("oleviaBytes");

    QTest::newRow("Monitors ON") << "0" << QByteArray("ka 01 01\r") << oleviaPower;
    QTest::newRow("Monitors OFF") << "1" << QByteArray("ka 01 00\r") << oleviaPower;
    // OLEVIA has no auto configuration of its own: the LG one applied for COM 3 stays in force.
    QTest::newRow("Auto Config") << "7" << QByteArray("ju 01 01\r") << QByteArray("ju 01 01\r");
}

void TestEventExecutor::groupPortsGetTheirOwnModel()
{
    QFETCH(QString, index);
    QFETCH(QByteArray, lgBytes);
    QFETCH(QByteArray, oleviaBytes);

    ExecutorRig rig({ 3, 5 });
    rig.window.addPort(3, u"LG"_s);
    rig.window.addPort(5, u"OLEVIA"_s);
    rig.handOff = { u"any"_s, index, true };
    QVERIFY(rig.executor->executeCommand());

    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), lgBytes);
    QCOMPARE(rig.display(5).readUntilQuiet(quietMs), oleviaBytes);
    QCOMPARE(rig.lineSeen(3)->state.baudRate, 9600u);
    QCOMPARE(rig.lineSeen(5)->state.baudRate, 115200u);
    QCOMPARE(rig.logTexts(), QStringList({ startLine(3), finishedLine(3), startLine(5), finishedLine(5), endLine }));
    QVERIFY(rig.prompts.messages.isEmpty());
}

void TestEventExecutor::everyComPortGetsTheListsModel_data()
{
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QString>("index");
    QTest::addColumn<bool>("report");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<quint32>("baud");

    QTest::newRow("OLEVIA Monitors ALL OFF") << "OLEVIA" << "3" << true << oleviaPower << 115200u;
    QTest::newRow("OLEVIA, message box") << "OLEVIA" << "3" << false << oleviaPower << 115200u;
    QTest::newRow("HYUNDAI-D525ML Monitors ALL ON") << "HYUNDAI-D525ML" << "2" << true << QByteArray("did:all-pn.")
                                                    << 9600u;
    QTest::newRow("LG Auto Config ALL") << "LG" << "8" << false << QByteArray("ju 01 01\r") << 9600u;
}

void TestEventExecutor::everyComPortGetsTheListsModel()
{
    QFETCH(QString, modelList);
    QFETCH(QString, index);
    QFETCH(bool, report);
    QFETCH(QByteArray, bytes);
    QFETCH(quint32, baud);

    const QList<int> displays { 1, 2, 7 };
    ExecutorRig rig(displays, without(range(1, 40), displays));
    rig.window.modelList = modelList;
    rig.window.addPort(2, u"LG"_s); // the loaded group plays no part
    rig.handOff = { u"any"_s, index, report };
    QVERIFY(rig.executor->executeCommand());

    for (int com : displays) {
        QCOMPARE(rig.display(com).readUntilQuiet(quietMs), bytes);
        QCOMPARE(rig.lineSeen(com)->state.baudRate, baud);
    }
    const QString unreached = u"Not sent to COM 3-6, 8-40: no such device"_s;
    if (report) {
        const QStringList log = rig.logTexts();
        QCOMPARE(log.size(), 40 * 2 + 2);
        QCOMPARE(log.first(), startLine(1));
        QCOMPARE(log.mid(log.size() - 3), QStringList({ finishedLine(40), endLine, unreached }));
        QVERIFY(rig.prompts.messages.isEmpty());
    } else {
        QCOMPARE(rig.messageTexts(), QStringList { endMessage });
        QCOMPARE(rig.logTexts(), QStringList { unreached });
    }
}

void TestEventExecutor::unreachedPortsAreNamed_data()
{
    QTest::addColumn<bool>("report");
    QTest::addColumn<QStringList>("log");

    const QString unreached = u"Not sent to COM 4, 6: no such device; COM 5: busy"_s;
    QTest::newRow("status log") << true
                                << QStringList { startLine(3), finishedLine(3), startLine(4), finishedLine(4),
                                                 startLine(5), finishedLine(5), startLine(6), finishedLine(6),
                                                 endLine,      unreached };
    QTest::newRow("message box") << false << QStringList { unreached };
}

void TestEventExecutor::unreachedPortsAreNamed()
{
    QFETCH(bool, report);
    QFETCH(QStringList, log);

    ExecutorRig rig({ 3, 5 }, { 4, 6 });
    for (int com : { 3, 4, 5, 6 })
        rig.window.addPort(com, u"LG"_s);
    QSerialPort otherProgram(rig.display(5).devicePath());
    QVERIFY(otherProgram.open(QIODevice::ReadWrite));

    rig.handOff = { u"any"_s, u"0"_s, report };
    QVERIFY(rig.executor->executeCommand());

    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), QByteArray("ka 01 01\r"));
    QCOMPARE(rig.logTexts(), log);
    QCOMPARE(rig.messageTexts(), report ? QStringList {} : QStringList { endMessage });
}

void TestEventExecutor::unreachedPortsText_data()
{
    QTest::addColumn<QList<int>>("noDevice");
    QTest::addColumn<QList<int>>("denied");
    QTest::addColumn<QList<int>>("busy");
    QTest::addColumn<QString>("text");

    QTest::newRow("all reached") << QList<int> {} << QList<int> {} << QList<int> {} << QString();
    QTest::newRow("one port") << QList<int> { 4 } << QList<int> {} << QList<int> {}
                              << "Not sent to COM 4: no such device";
    QTest::newRow("a run of ports") << range(5, 40) << QList<int> {} << QList<int> {}
                                    << "Not sent to COM 5-40: no such device";
    QTest::newRow("gaps") << QList<int> { 9, 1, 4, 3, 5, 11, 12 } << QList<int> {} << QList<int> {}
                          << "Not sent to COM 1, 3-5, 9, 11-12: no such device";
    QTest::newRow("two reasons") << range(5, 40) << QList<int> { 2 } << QList<int> {}
                                 << "Not sent to COM 5-40: no such device; "
                                    "COM 2: permission denied (is the user in the dialout group?)";
    QTest::newRow("three reasons") << QList<int> { 7 } << QList<int> { 1, 2 } << QList<int> { 3 }
                                   << "Not sent to COM 7: no such device; "
                                      "COM 1-2: permission denied (is the user in the dialout group?); COM 3: busy";
}

void TestEventExecutor::unreachedPortsText()
{
    QFETCH(QList<int>, noDevice);
    QFETCH(QList<int>, denied);
    QFETCH(QList<int>, busy);
    QFETCH(QString, text);

    QMap<int, SendOutcome::Status> failures;
    for (int com : noDevice)
        failures.insert(com, SendOutcome::Status::NoSuchDevice);
    for (int com : denied)
        failures.insert(com, SendOutcome::Status::PermissionDenied);
    for (int com : busy)
        failures.insert(com, SendOutcome::Status::Busy);
    QCOMPARE(vantiro::unreachedPortsText(failures), text);
}

void TestEventExecutor::muteAndVolumeFollowTheModelList_data()
{
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("baudList");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("LG Mute ON, the lists' speed") << "LG" << "4" << " 6B 65 20 30 31 20 30 30 0D " << "19200"
                                                  << QByteArray("ke 01 00\r");
    QTest::newRow("OLEVIA Mute ON") << "OLEVIA" << "4" << "6B 65 20 30 20 30 0D" << "115200" << QByteArray("ke 0 0\r");
    QTest::newRow("OLEVIA Set Volume") << "OLEVIA" << "6" << "6B 66 20 30 20 31 39 0D" << "115200"
                                       << QByteArray("kf 0 19\r");
    QTest::newRow("HYUNDAI-Vvuon Mute OFF") << "HYUNDAI-Vvuon" << "5" << "40 4D 55 54 3A 30 0D" << "9600"
                                            << QByteArray("@MUT:0\r");
    QTest::newRow("HYUNDAI-D525ML reaches none") << "HYUNDAI-D525ML" << "4" << "6B 65 20 30 31 20 30 30 0D"
                                                 << "9600" << QByteArray();
}

void TestEventExecutor::muteAndVolumeFollowTheModelList()
{
    QFETCH(QString, modelList);
    QFETCH(QString, index);
    QFETCH(QString, command);
    QFETCH(QString, baudList);
    QFETCH(QByteArray, bytes);

    ExecutorRig rig({ 3, 5 });
    rig.window.addPort(3, u"LG"_s);
    rig.window.addPort(5, u"OLEVIA"_s);
    rig.window.modelList = modelList;
    rig.window.lineSettings.baudRate = baudList;
    rig.handOff = { command, index, false };
    QVERIFY(rig.executor->executeCommand());

    for (int com : { 3, 5 }) {
        QCOMPARE(rig.display(com).readUntilQuiet(quietMs), bytes);
        if (!bytes.isEmpty())
            QCOMPARE(rig.lineSeen(com)->state.baudRate, baudList.toUInt());
    }
    QCOMPARE(rig.messageTexts(), QStringList { endMessage });
}

void TestEventExecutor::volumeReachesTheDisplays_data()
{
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QString>("lastRowModel");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("LG group") << "LG" << "LG" << QByteArray("kf 01 19\r");
    QTest::newRow("HYUNDAI-Vvuon last row, its own template") << "HYUNDAI-Vvuon" << "HYUNDAI-Vvuon"
                                                              << QByteArray("@VOL:25\r");
    QTest::newRow("HYUNDAI-Vvuon last row, LG template") << "LG" << "HYUNDAI-Vvuon" << QByteArray("kf 01 25\r");
}

void TestEventExecutor::volumeReachesTheDisplays()
{
    QFETCH(QString, modelList);
    QFETCH(QString, lastRowModel);
    QFETCH(QByteArray, bytes);

    ExecutorRig rig({ 3, 5 });
    rig.window.addPort(3, u"LG"_s);
    rig.window.addPort(5, lastRowModel);
    rig.window.modelList = modelList;
    chooseDisplayModel(rig.commands, modelList);

    QuickCommands quickCommands(rig.commands, rig.window.ports, rig.handOff, rig.prompts);
    QVERIFY(quickCommands.dispatch(int(QuickCommand::SetVolume), u"25"_s));
    QVERIFY(rig.executor->executeCommand());

    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), bytes);
    QCOMPARE(rig.display(5).readUntilQuiet(quietMs), bytes);
    QCOMPARE(rig.messageTexts(), QStringList { endMessage });
}

void TestEventExecutor::missingLineSettingStopsSending_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("portsBefore"); // ports sent before the list shows no text

    QTest::newRow("no baud rate") << 0 << "Baud Rate" << 0;
    QTest::newRow("baud rate gone after one port") << 0 << "Baud Rate" << 1;
    QTest::newRow("parity gone after one port") << 1 << "Parity" << 1;
    QTest::newRow("data bits gone after one port") << 2 << "Data Bits" << 1;
    QTest::newRow("stop bits gone after one port") << 3 << "Stop Bits" << 1;
}

void TestEventExecutor::missingLineSettingStopsSending()
{
    QFETCH(int, field);
    QFETCH(QString, name);
    QFETCH(int, portsBefore);

    ExecutorRig rig({ 3, 5 });
    rig.window.addPort(3, u"LG"_s);
    rig.window.addPort(5, u"LG"_s);
    int reads = 0;
    rig.window.onLineSettingsRead = [&] {
        if (reads++ == portsBefore)
            rig.window.lineSettings.*lineSettingsFields[field] = QString();
    };
    rig.handOff = { u"6B 65 20 30 31 20 30 30 0D"_s, u"4"_s, true };
    QVERIFY(rig.executor->executeCommand());

    QCOMPARE(rig.messageTexts(), QStringList { u"Please select the "_s + name + u" setting before sending."_s });
    QCOMPARE(rig.prompts.messages.first().icon, PromptIcon::Information);
    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), portsBefore ? QByteArray("ke 01 00\r") : QByteArray());
    QCOMPARE(rig.display(5).readUntilQuiet(quietMs), QByteArray());
    QCOMPARE(rig.logTexts(), portsBefore ? QStringList({ startLine(3), finishedLine(3) }) : QStringList());
}

void TestEventExecutor::emptyCommandIsReported_data()
{
    QTest::addColumn<bool>("report");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("status log") << true << QStringList { u"Empty serial command."_s } << QStringList {};
    QTest::newRow("message box") << false << QStringList {}
                                 << QStringList { u"Please enter the serial command before sending."_s };
}

void TestEventExecutor::emptyCommandIsReported()
{
    QFETCH(bool, report);
    QFETCH(QStringList, log);
    QFETCH(QStringList, messages);

    ExecutorRig rig({ 3 });
    rig.window.addPort(3, u"LG"_s);
    rig.handOff = { QString(), u"0"_s, report };
    QVERIFY(rig.executor->executeCommand());

    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), QByteArray());
    QCOMPARE(rig.logTexts(), log);
    QCOMPARE(rig.messageTexts(), messages);
    for (const PromptMessage &message : std::as_const(rig.prompts.messages)) {
        QCOMPARE(message.icon, PromptIcon::Information);
        QCOMPARE(message.title, applicationTitle);
    }
}

void TestEventExecutor::modelApplicationStaysInForce_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QStringList>("groupModels"); // the port of the last one is COM 1
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("muteOn");
    QTest::addColumn<QString>("muteOff");

    QTest::newRow("every port, HYUNDAI-Vvuon") << "2" << "HYUNDAI-Vvuon" << QStringList {} << QByteArray("@KEY:0\r")
                                               << "40 4D 55 53 3A 31 0D" << "40 4D 55 53 3A 30 0D";
    QTest::newRow("group port, HYUNDAI-Vvuon") << "0" << "LG" << QStringList { u"HYUNDAI-Vvuon"_s }
                                               << QByteArray("@KEY:0\r") << "40 4D 55 54 3A 31 0D"
                                               << "40 4D 55 54 3A 30 0D";
    QTest::newRow("every port, D525ML keeps LG mute") << "2" << "HYUNDAI-D525ML" << QStringList {}
                                                      << QByteArray("did:all-pn.") << "6B 65 20 30 31 20 30 30 0D"
                                                      << "6B 65 20 30 31 20 30 31 0D";
    QTest::newRow("group, LG after HYUNDAI-Vvuon") << "1" << "LG"
                                                   << QStringList { u"HYUNDAI-Vvuon"_s, u"LG"_s }
                                                   << QByteArray("ka 01 00\r") << "6B 65 20 30 31 20 30 30 0D"
                                                   << "6B 65 20 30 31 20 30 31 0D";
}

void TestEventExecutor::modelApplicationStaysInForce()
{
    QFETCH(QString, index);
    QFETCH(QString, modelList);
    QFETCH(QStringList, groupModels);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, muteOn);
    QFETCH(QString, muteOff);

    ExecutorRig rig({ 1 }, range(2, 40));
    rig.window.modelList = modelList;
    for (qsizetype i = 0; i < groupModels.size(); ++i)
        rig.window.addPort(int(groupModels.size() - i), groupModels[i]);
    rig.handOff = { u"any"_s, index, true };
    QVERIFY(rig.executor->executeCommand());

    QCOMPARE(rig.display(1).readUntilQuiet(quietMs), bytes);
    QCOMPARE(rig.commands.muteOnCommand, muteOn);
    QCOMPARE(rig.commands.muteOffCommand, muteOff);
}

void TestEventExecutor::panelsSendToTheirOwnPort_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<int>("com");
    QTest::addColumn<bool>("flowControl");

    QTest::newRow("LG panel") << "100" << 4 << true;
    QTest::newRow("Hyundai panel") << "99" << 6 << false;
}

void TestEventExecutor::panelsSendToTheirOwnPort()
{
    QFETCH(QString, index);
    QFETCH(int, com);
    QFETCH(bool, flowControl);

    ExecutorRig rig({ 4, 6 });
    rig.window.lg = std::make_unique<StandInPanel>(u"4"_s, u"38400,n,8,1"_s);
    rig.window.hyundai = std::make_unique<StandInPanel>(u" 6"_s, u"38400,n,8,1"_s);
    rig.handOff = { u" 6B 64 20 30 31 20 30 31 0D "_s, index, true };
    QVERIFY(rig.executor->executeCommand());

    QCOMPARE(rig.display(com).readUntilQuiet(quietMs), QByteArray("kd 01 01\r"));
    QCOMPARE(rig.display(com == 4 ? 6 : 4).readUntilQuiet(quietMs), QByteArray());
    const std::optional<LineSeen> line = rig.lineSeen(com);
    QVERIFY(line);
    QCOMPARE(line->state.baudRate, 38400u);
    QCOMPARE(line->state.rtsCts, flowControl);
    QCOMPARE(line->state.xonXoff, flowControl);
    QCOMPARE(rig.logTexts(), QStringList { endLine });
}

void TestEventExecutor::secondRequestWaitsForTheFirst_data()
{
    QTest::addColumn<bool>("throughTheTimer");

    QTest::newRow("called directly") << false;
    QTest::newRow("through the timer") << true;
}

void TestEventExecutor::secondRequestWaitsForTheFirst()
{
    QFETCH(bool, throughTheTimer);

    ExecutorRig rig({ 3, 5 });
    rig.window.addPort(3, u"LG"_s);
    rig.window.addPort(5, u"OLEVIA"_s);
    rig.window.lg = std::make_unique<StandInPanel>(u"5"_s, u"9600,n,8,1"_s);
    QSignalSpy executed(rig.executor.get(), &EventExecutor::commandExecuted);
    QSignalSpy idle(rig.executor.get(), &EventExecutor::idle);

    // The LG panel hands a command over while the first port of the group is being sent.
    std::optional<bool> ranAtOnce;
    QTimer::singleShot(0, rig.executor.get(), [&] {
        rig.handOff = { u"6B 64 20 30 31 20 30 31 0D"_s, u"100"_s, true };
        if (throughTheTimer)
            rig.executor->scheduleExecution();
        else
            ranAtOnce = rig.executor->executeCommand();
    });
    rig.handOff = { u"any"_s, u"0"_s, true };
    QVERIFY(rig.executor->executeCommand());

    if (!throughTheTimer)
        QCOMPARE(ranAtOnce, std::optional(false));
    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), QByteArray("ka 01 01\r"));
    QCOMPARE(rig.display(5).readUntilQuiet(quietMs), oleviaPower + "kd 01 01\r");
    QCOMPARE(rig.logTexts(),
             QStringList({ startLine(3), finishedLine(3), startLine(5), finishedLine(5), endLine, endLine }));
    QCOMPARE(executed.size(), 2);
    QCOMPARE(idle.size(), 1);
    const auto *timer = rig.executor->findChild<QTimer *>(u"TimerExcuteEventCmd"_s);
    QVERIFY(timer && !timer->isActive());
    QCOMPARE(rig.window.timesLocked, 2);
    QCOMPARE(rig.window.lockDepth, 0);
    QCOMPARE(rig.busyPointer.depth, 0);
}

void TestEventExecutor::handOffsBeforeTheTickAreAllSent()
{
    ExecutorRig rig({ 3 });
    rig.window.addPort(3, u"LG"_s);
    QSignalSpy idle(rig.executor.get(), &EventExecutor::idle);

    // Two clicks within the timer's 10 ms: the second hand-off must not replace the first.
    rig.handOff = { u"any"_s, u"0"_s, true };
    rig.executor->scheduleExecution();
    rig.handOff = { u"any"_s, u"1"_s, true };
    rig.executor->scheduleExecution();
    QVERIFY(idle.wait(5000));

    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), QByteArray("ka 01 01\rka 01 00\r"));
    QCOMPARE(rig.logTexts(), QStringList({ startLine(3), finishedLine(3), endLine, startLine(3), finishedLine(3),
                                           endLine }));
    QCOMPARE(idle.size(), 1);
}

void TestEventExecutor::pointerFramesAndFocusOnEveryPath_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("report");
    QTest::addColumn<QString>("baudList");
    QTest::addColumn<bool>("sends");
    QTest::addColumn<bool>("volumeBoxFocused");

    QTest::newRow("group, status log") << "0" << "any" << true << "9600" << true << false;
    QTest::newRow("group, message box") << "0" << "any" << false << "9600" << true << true;
    QTest::newRow("mute, status log") << "4" << "6B 65 20 30 31 20 30 30 0D" << true << "9600" << true << true;
    QTest::newRow("panel not open, status log") << "99" << "41" << true << "9600" << false << false;
    QTest::newRow("unknown kind") << "42" << "41" << false << "9600" << false << true;
    QTest::newRow("index with a blank") << " 0" << "any" << true << "9600" << false << false;
    QTest::newRow("empty command, status log") << "1" << "" << true << "9600" << false << false;
    QTest::newRow("missing baud rate") << "5" << "41" << false << "" << false << true;
}

void TestEventExecutor::pointerFramesAndFocusOnEveryPath()
{
    QFETCH(QString, index);
    QFETCH(QString, command);
    QFETCH(bool, report);
    QFETCH(QString, baudList);
    QFETCH(bool, sends);
    QFETCH(bool, volumeBoxFocused);

    ExecutorRig rig({ 3 });
    rig.window.addPort(3, u"LG"_s);
    rig.window.lineSettings.baudRate = baudList;
    rig.handOff = { command, index, report };
    QVERIFY(rig.executor->executeCommand());

    QCOMPARE(!rig.display(3).readUntilQuiet(quietMs).isEmpty(), sends);
    if (sends)
        QCOMPARE(rig.lineSeen(3)->editingFramesLock, 1);
    QCOMPARE(rig.window.timesLocked, 1);
    QCOMPARE(rig.window.lockDepth, 0);
    QCOMPARE(rig.busyPointer.timesShown, 1);
    QCOMPARE(rig.busyPointer.depth, 0);
    QCOMPARE(rig.window.volumeBoxFocused, volumeBoxFocused ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestEventExecutor)
#include "test_event_executor.moc"
