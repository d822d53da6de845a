// The executor's rules the quick-command window does not reach: reports to the status log, the
// every-COM and panel kinds, the mute and volume kinds per model, what is left in force after a
// send, and what happens when a request comes in while a send runs.
#include "executor_rig.h"
#include "running_copy/send_requests.h"
#include "scheduler/event_executor.h"
#include "ser2net_server.h"
#include "serial/port_text.h"
#include "unanswered_port.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

using namespace vantiro;
using namespace vantiro::test;
using namespace Qt::StringLiterals;

namespace {

// Every byte is on the line when the executor returns, so a short quiet spell ends the reading.
constexpr int quietMs = 10;
const QString endMessage = u"Finish sending out command string!"_s;
const QString endLine = u"Finish sending out command string."_s;
const QString lgMuteOn = u"6B 65 20 30 31 20 30 30 0D"_s;
// Why a COM number mapped to the rig's missing device was not reached.
const QString missingReason
    = u"no such device (%1, from Ports.ini)"_s.arg(QString::fromLocal8Bit(PtyDisplays::missingDevice()));

// The status log lines of one port's send, as the schedule sends.
QStringList sentTo(int com, const QString &outcome = u"sent"_s)
{
    return { u"Start sending serial command to COM %1"_s.arg(com),
             u"Finished sending serial command to COM %1"_s.arg(com), u"COM %1: %2"_s.arg(com).arg(outcome) };
}

QList<int> range(int first, int last)
{
    QList<int> numbers;
    for (int n = first; n <= last; ++n)
        numbers.append(n);
    return numbers;
}

} // namespace

class TestEventExecutor : public QObject
{
    Q_OBJECT

private slots:
    void portsGetTheirModelsCommands_data();
    void portsGetTheirModelsCommands();
    void everyPathReportsAndRestores_data();
    void everyPathReportsAndRestores();
    void aSendFromOutsideLeavesTheWindowAsItWas();
    void unreachedPortsLines();
    void eachPortGetsItsOwnModelsCommand_data();
    void eachPortGetsItsOwnModelsCommand();
    void panelsSendToTheirOwnPort_data();
    void panelsSendToTheirOwnPort();
    void requestDuringASendWaitsForIt();
    void handOffsBeforeTheTickAreAllSent();
    void queuedRequestKeepsWhatItWasAskedWith();
    void portsBehindServersReportInTheLog();
    void longSendShowsWhereItIsAndStops_data();
    void longSendShowsWhereItIsAndStops();
};

// Displays on COM 3 and 5, every other COM number missing. The group's ports are sent with their
// own model, the every-COM kinds with the model list's, and the model applied last stays in force.
void TestEventExecutor::portsGetTheirModelsCommands_data()
{
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QStringList>("groupModels"); // COM 3, COM 5
    QTest::addColumn<QString>("index");
    QTest::addColumn<QByteArray>("bytes3");
    QTest::addColumn<quint32>("baud3");
    QTest::addColumn<QByteArray>("bytes5");
    QTest::addColumn<quint32>("baud5");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("mutePair"); // for the Mute buttons afterwards

    const QStringList lgMute { lgMuteOn, u"6B 65 20 30 31 20 30 31 0D"_s };
    const QStringList vvuonMute { u"40 4D 55 54 3A 31 0D"_s, u"40 4D 55 54 3A 30 0D"_s };
    const QStringList vvuonAllMute { u"40 4D 55 53 3A 31 0D"_s, u"40 4D 55 53 3A 30 0D"_s };
    const QStringList lgOlevia { u"LG"_s, u"OLEVIA"_s };
    const QStringList group = sentTo(3) + sentTo(5) + QStringList { endLine };
    QStringList everyCom;
    for (int com : range(1, 40))
        everyCom += sentTo(com, com == 3 || com == 5 ? u"sent"_s : u"not sent: "_s + missingReason);
    everyCom << endLine << u"Not sent to COM 1-2, 4, 6-40: "_s + missingReason;
    const QByteArray vvuonOn("@KEY:0\r"), d525On("did:all-pn.");

    QTest::newRow("Monitors ON, LG and OLEVIA") << "LG" << lgOlevia << "0" << QByteArray("ka 01 01\r") << 9600u
                                                << QByteArray("\xBE\x05\x25\x08\xF0") << 115200u << group << lgMute;
    QTest::newRow("Monitors ON, HYUNDAI-Vvuon last")
        << "LG" << QStringList { u"LG"_s, u"HYUNDAI-Vvuon"_s } << "0" << QByteArray("ka 01 01\r") << 9600u << vvuonOn
        << 9600u << group << vvuonMute;
    QTest::newRow("Monitors OFF, LG after HYUNDAI-Vvuon")
        << "LG" << QStringList { u"HYUNDAI-Vvuon"_s, u"LG"_s } << "1" << QByteArray("@PWD:0\r") << 9600u
        << QByteArray("ka 01 00\r") << 9600u << group << lgMute;
    QTest::newRow("Monitors ALL ON, HYUNDAI-Vvuon")
        << "HYUNDAI-Vvuon" << lgOlevia << "2" << vvuonOn << 9600u << vvuonOn << 9600u << everyCom << vvuonAllMute;
    // The D525ML has no mute commands: those of the model before stay.
    QTest::newRow("Monitors ALL ON, HYUNDAI-D525ML")
        << "HYUNDAI-D525ML" << lgOlevia << "2" << d525On << 9600u << d525On << 9600u << everyCom << lgMute;
}

void TestEventExecutor::portsGetTheirModelsCommands()
{
    QFETCH(QString, modelList);
    QFETCH(QStringList, groupModels);
    QFETCH(QString, index);
    QFETCH(QByteArray, bytes3);
    QFETCH(quint32, baud3);
    QFETCH(QByteArray, bytes5);
    QFETCH(quint32, baud5);
    QFETCH(QStringList, log);
    QFETCH(QStringList, mutePair);

    ExecutorRig rig({ 3, 5 }, range(1, 2) + QList<int> { 4 } + range(6, 40));
    rig.window.snapshot.modelListText = modelList;
    rig.window.addPort(3, groupModels[0]);
    rig.window.addPort(5, groupModels[1]);
    QVERIFY(rig.send({ u"any"_s, index, true }).isFinished());

    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), bytes3);
    QCOMPARE(rig.display(5).readUntilQuiet(quietMs), bytes5);
    QCOMPARE(rig.lineSeen(3).value_or(TerminalState {}).baudRate, baud3);
    QCOMPARE(rig.lineSeen(5).value_or(TerminalState {}).baudRate, baud5);
    QCOMPARE(rig.logTexts(), log);
    QVERIFY(rig.prompts.messages.isEmpty());
    QCOMPARE(QStringList({ rig.commands.muteOnCommand, rig.commands.muteOffCommand }), mutePair);
}

// One LG display on COM 3. Whatever the hand-off, the run reports once, the editing frames and the
// busy pointer are given back, and the volume box gets the focus unless the status log was asked for.
void TestEventExecutor::everyPathReportsAndRestores_data()
{
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("report");
    QTest::addColumn<QString>("lineSettings"); // what the four lists show
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<quint32>("baud"); // 0: the port was never opened
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("focus");

    const QStringList none, logEnd { endLine }, boxEnd { endMessage }, sent = sentTo(3) + logEnd;
    const QByteArray nothing;
    const QString lists = u"9600,n,8,1"_s;
    auto missing = [](const QString &setting) {
        return QStringList { u"Please select the "_s + setting + u" setting before sending."_s };
    };
    const QStringList sentLine { u"COM 3: sent"_s };
    QTest::newRow("group, message box") << "LG"
                                        << "0"
                                        << "any" << false << lists << QByteArray("ka 01 01\r") << 9600u << sentLine
                                        << boxEnd << true;
    QTest::newRow("LG mute, status log, the lists' speed")
        << "LG"
        << "4" << QString(u' ' + lgMuteOn + u' ') << true << "19200,n,8,1" << QByteArray("ke 01 00\r") << 19200u << sent
        << none << true;
    // A virtual display keeps 8 data bits and no parity: the send goes on, and the log says so.
    QTest::newRow("parity on a virtual display")
        << "LG"
        << "4" << lgMuteOn << true << "9600,e,7,1" << QByteArray("ke 01 00\r") << 9600u
        << sentTo(3, u"sent (the virtual display keeps 8 data bits, no parity)"_s) + logEnd
        << none << true;
    // An LG display in a group sent while the list shows another model gets LG's own command.
    QTest::newRow("HYUNDAI-Vvuon list, LG display mute off")
        << "HYUNDAI-Vvuon"
        << "5"
        << "40 4D 55 54 3A 30 0D" << false << lists << QByteArray("ke 01 01\r") << 9600u << sentLine << boxEnd
        << true;
    // The group's LG display is not of the list's model: it gets LG's own mute, at LG's speed.
    QTest::newRow("HYUNDAI-D525ML list, LG display mute on")
        << "HYUNDAI-D525ML"
        << "4" << u"41"_s << false << "19200,n,8,1" << QByteArray("ke 01 00\r") << 9600u << sentLine << boxEnd
        << true;
    QTest::newRow("unknown kind") << "LG"
                                  << "42"
                                  << "41" << false << lists << nothing << 0u << none << boxEnd << true;
    QTest::newRow("index with a blank") << "LG"
                                        << " 0"
                                        << "any" << true << lists << nothing << 0u << logEnd << none << false;
    QTest::newRow("empty command, status log")
        << "LG"
        << "1"
        << "" << true << lists << nothing << 0u << QStringList { u"Empty serial command."_s } << none << false;
    QTest::newRow("empty command, message box")
        << "LG"
        << "1"
        << "" << false << lists << nothing << 0u << none
        << QStringList { u"Please enter the serial command before sending."_s } << true;
    // Line settings the port cannot take are not replaced by the previous port's: that port is named.
    QTest::newRow("typed baud the port cannot take")
        << "LG"
        << "4" << lgMuteOn << true << "96OO,n,8,1" << nothing << 0u
        << sentTo(3, u"not sent: settings rejected"_s) + logEnd + QStringList { u"Not sent to COM 3: settings rejected"_s }
        << none << true;
    // A missing line setting is told in a message box, also when the status log was asked for, and
    // stops the run: no end report.
    QTest::newRow("missing baud rate") << "LG"
                                       << "4"
                                       << "41" << true << ",n,8,1" << nothing << 0u << none << missing(u"Baud Rate"_s)
                                       << true;
    QTest::newRow("missing parity") << "LG"
                                    << "5"
                                    << "41" << false << "9600,,8,1" << nothing << 0u << none << missing(u"Parity"_s)
                                    << true;
    QTest::newRow("missing data bits") << "LG"
                                       << "6"
                                       << "41" << true << "9600,n,,1" << nothing << 0u << none
                                       << missing(u"Data Bits"_s) << true;
    QTest::newRow("missing stop bits") << "LG"
                                       << "4"
                                       << "41" << false << "9600,n,8," << nothing << 0u << none
                                       << missing(u"Stop Bits"_s) << true;
}

void TestEventExecutor::everyPathReportsAndRestores()
{
    QFETCH(QString, modelList);
    QFETCH(QString, index);
    QFETCH(QString, command);
    QFETCH(bool, report);
    QFETCH(QString, lineSettings);
    QFETCH(QByteArray, bytes);
    QFETCH(quint32, baud);
    QFETCH(QStringList, log);
    QFETCH(QStringList, messages);
    QFETCH(bool, focus);

    ExecutorRig rig({ 3 });
    rig.window.addPort(3, u"LG"_s);
    rig.window.snapshot.modelListText = modelList;
    const QStringList lists = lineSettings.split(u',');
    rig.window.snapshot.lineSettings = { lists[0], lists[1], lists[2], lists[3] };
    QVERIFY(rig.send({ command, index, report }).isFinished());

    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), bytes);
    QCOMPARE(rig.lineSeen(3).value_or(TerminalState {}).baudRate, baud);
    QCOMPARE(rig.logTexts(), log);
    QCOMPARE(rig.messageTexts(), messages);
    for (const PromptMessage &message : std::as_const(rig.prompts.messages)) {
        QCOMPARE(message.title, applicationTitle);
        QCOMPARE(message.icon, message.text == endMessage ? PromptIcon::None : PromptIcon::Information);
    }
    QCOMPARE(rig.window.timesLocked, 1);
    QCOMPARE(rig.window.lockDepth, 0);
    QCOMPARE(rig.busyPointer.timesShown, 1);
    QCOMPARE(rig.busyPointer.depth, 0);
    QCOMPARE(rig.window.volumeBoxFocused, focus ? 1 : 0);
}

// A send asked for from outside the window (vantiro-send) leaves the window's focus and the command set its quick
// commands send as they were; the window's own sends give the volume box the focus and keep the model sent last.
void TestEventExecutor::aSendFromOutsideLeavesTheWindowAsItWas()
{
    ExecutorRig rig({ 3 });
    rig.window.addPort(3, u"OLEVIA"_s);
    rig.window.snapshot.modelListText = u"LG"_s;
    rig.window.snapshot.lineSettings = { u"9600"_s, u"n"_s, u"8"_s, u"1"_s };
    const ModelCommandSet before = rig.commands;
    SendRequests outside(*rig.executor, rig.statusLog);
    for (const QString &index : { u"4"_s, u"0"_s }) {
        bool answered = false;
        outside.send({ { lgMuteOn, index, true }, rig.window.sendSnapshot() },
                     [&](const std::optional<QJsonArray> &ports) { answered = ports.has_value(); });
        QVERIFY(QTest::qWaitFor([&] { return answered; }, 10000));
        QVERIFY(!rig.display(3).readUntilQuiet(quietMs).isEmpty());
    }
    QCOMPARE(rig.window.volumeBoxFocused, 0);
    QCOMPARE(rig.commands, before);

    QVERIFY(rig.send({ lgMuteOn, u"4"_s, true }).isFinished());
    QVERIFY(rig.send({ lgMuteOn, u"0"_s, true }).isFinished());
    QVERIFY(!rig.display(3).readUntilQuiet(quietMs).isEmpty());
    QCOMPARE(rig.window.volumeBoxFocused, 1);
    QVERIFY(rig.commands != before);
}

// One reason per line, in COM order: neighbours told alike share a range (missing default devices
// named as one range), ports of one reason share a line, port texts that name no COM port come last.
void TestEventExecutor::unreachedPortsLines()
{
    using Status = SendOutcome::Status;
    const auto port = [](int com, Status status, const QString &device, bool fromPortsFile = false) {
        return UnreachedPort { com, QString::number(com), SendOutcome { status, device, 0, {}, fromPortsFile } };
    };
    const auto ttyS = [](int n) {
        return u"/dev/ttyS%1"_s.arg(n);
    };
    QList<UnreachedPort> missing;
    for (int com : { 12, 1, 3, 4, 5, 9, 11 })
        missing.append(port(com, Status::NoSuchDevice, ttyS(com - 1)));
    const QString map = u"; map COM numbers to devices in Ports.ini)"_s;
    QCOMPARE(vantiro::unreachedPortsLines(missing),
             (QStringList { u"Not sent to COM 1: no such device (/dev/ttyS0"_s + map,
                            u"Not sent to COM 3-5: no such device (/dev/ttyS2 to /dev/ttyS4"_s + map,
                            u"Not sent to COM 9: no such device (/dev/ttyS8"_s + map,
                            u"Not sent to COM 11-12: no such device (/dev/ttyS10 to /dev/ttyS11"_s + map }));

    const UnreachedPort noComNumber { 0, u"abc"_s, SendOutcome { Status::NotAComNumber, {}, 0, {}, false } };
    const QString usb = u"/dev/ttyUSB0"_s;
    QCOMPARE(vantiro::unreachedPortsLines({ port(5, Status::Busy, ttyS(4)), noComNumber,
                                            port(3, Status::NoSuchDevice, usb, true),
                                            port(4, Status::NoSuchDevice, usb, true), port(2, Status::Busy, ttyS(1)),
                                            port(1, Status::Busy, ttyS(0)) }),
             (QStringList { u"Not sent to COM 1-2, 5: busy"_s,
                            u"Not sent to COM 3-4: no such device (/dev/ttyUSB0, from Ports.ini)"_s,
                            u"Not sent to COM abc: not a COM number"_s }));
}

// Displays on COM 3 (LG), 5 (OLEVIA), 7 (HYUNDAI-Vvuon) and 8 (HYUNDAI-D525ML), COM 9 missing.
// Mute and volume reach a group of mixed models port by port: each display its own model's command,
// encoded for it, at its model's speed. A port text that names no COM port is sent nowhere.
void TestEventExecutor::eachPortGetsItsOwnModelsCommand_data()
{
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QStringList>("ports"); // "COM model"
    QTest::addColumn<QList<QByteArray>>("bytes"); // COM 3, 5, 7, 8
    QTest::addColumn<QList<quint32>>("speeds"); // 0: not opened
    QTest::addColumn<QStringList>("notSent");

    const QStringList mixed { u"3 LG"_s, u"5 OLEVIA"_s, u"7 HYUNDAI-Vvuon"_s };
    const QList<quint32> mixedSpeeds { 9600, 115200, 9600, 0 };
    QTest::newRow("Mute ON, list on HYUNDAI-Vvuon")
        << "HYUNDAI-Vvuon"
        << "4" << mixed << QList<QByteArray> { "ke 01 00\r", "ke 0 0\r", "@MUT:1\r", {} } << mixedSpeeds
        << QStringList();
    QTest::newRow("Mute OFF, list on LG")
        << "LG"
        << "5" << mixed << QList<QByteArray> { "ke 01 01\r", "ke 0 1\r", "@MUT:0\r", {} } << mixedSpeeds
        << QStringList();
    QTest::newRow("Set Volume, decimal for the Vvuon only")
        << "LG"
        << "6" << mixed << QList<QByteArray> { "kf 01 19\r", "kf 0 19\r", "@VOL:25\r", {} } << mixedSpeeds
        << QStringList();
    QTest::newRow("Set Volume, D525ML and a missing display named")
        << "HYUNDAI-Vvuon"
        << "6" << QStringList { u"8 HYUNDAI-D525ML"_s, u"9 LG"_s, u"7 HYUNDAI-Vvuon"_s }
        << QList<QByteArray> { {}, {}, "@VOL:25\r", {} } << QList<quint32> { 0, 0, 9600, 0 }
        << QStringList { u"Not sent to COM 8: no volume command for HYUNDAI-D525ML"_s,
                         u"Not sent to COM 9: "_s + missingReason };
    QTest::newRow("Monitors ON, ports that are no COM number")
        << "LG"
        << "0" << QStringList { u"abc LG"_s, u"0 OLEVIA"_s, u"256 LG"_s, u"8 HYUNDAI-D525ML"_s }
        << QList<QByteArray> { {}, {}, {}, "did:all-pn." } << QList<quint32> { 0, 0, 0, 9600 }
        << QStringList { u"Not sent to COM 0, 256, abc: not a COM number"_s };
    QTest::newRow("Mute ON, a port that is no COM number")
        << "LG"
        << "4" << QStringList { u"-3 LG"_s, u"3 LG"_s } << QList<QByteArray> { "ke 01 00\r", {}, {}, {} }
        << QList<quint32> { 9600, 0, 0, 0 } << QStringList { u"Not sent to COM -3: not a COM number"_s };
}

void TestEventExecutor::eachPortGetsItsOwnModelsCommand()
{
    QFETCH(QString, modelList);
    QFETCH(QString, index);
    QFETCH(QStringList, ports);
    QFETCH(QList<QByteArray>, bytes);
    QFETCH(QList<quint32>, speeds);
    QFETCH(QStringList, notSent);

    ExecutorRig rig({ 3, 5, 7, 8, 10 }, { 9 });
    // The send before went to COM 10: a port that names none must not go there again.
    rig.window.addPort(10, u"LG"_s);
    QVERIFY(rig.send({ u"any"_s, u"0"_s, false }).isFinished());
    QCOMPARE(rig.display(10).readUntilQuiet(quietMs), QByteArray("ka 01 01\r"));
    rig.window.snapshot.groupPorts.clear();
    for (const QString &port : ports)
        rig.window.snapshot.groupPorts.append({ port.section(u' ', 0, 0), port.section(u' ', 1) });
    rig.window.snapshot.modelListText = modelList;
    rig.window.snapshot.volumeText = u"0025"_s;
    rig.prompts.messages.clear();
    QList<qsizetype> messagesAtLogLines;
    QObject::connect(&rig.statusLog, &StatusLog::lineAppended, &rig.statusLog,
                     [&] { messagesAtLogLines.append(rig.prompts.messages.size()); });
    QVERIFY(rig.send({ lgMuteOn, index, false }).isFinished());

    QCOMPARE(rig.display(10).readUntilQuiet(quietMs), QByteArray());
    const QList<int> coms { 3, 5, 7, 8 };
    for (qsizetype i = 0; i < coms.size(); ++i) {
        QCOMPARE(rig.display(coms[i]).readUntilQuiet(quietMs), bytes[i]);
        QCOMPARE(rig.lineSeen(coms[i]).value_or(TerminalState {}).baudRate, speeds[i]);
    }
    // Ports not reached are logged before the end message, which names them under its first line
    // with the warning icon.
    const QStringList log = rig.logTexts();
    QCOMPARE(log.mid(log.size() - notSent.size()), notSent);
    QCOMPARE(messagesAtLogLines.count(0), messagesAtLogLines.size());
    const PromptMessage end { QStringList(QStringList { endMessage } + notSent).join(u'\n'),
                              notSent.isEmpty() ? PromptIcon::None : PromptIcon::Exclamation };
    QCOMPARE(rig.prompts.messages, QList<PromptMessage> { end });
}

void TestEventExecutor::panelsSendToTheirOwnPort_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("portText");
    QTest::addColumn<int>("com");
    QTest::addColumn<bool>("flowControl");
    QTest::addColumn<QStringList>("log");

    const QString sent4 = u"COM 4: sent"_s, sent6 = u"COM 6: sent"_s;
    QTest::newRow("LG panel") << "100"
                              << "4" << 4 << true << QStringList { sent4, endLine };
    QTest::newRow("Hyundai panel") << "99"
                                   << " 6" << 6 << false << QStringList { sent6, endLine };
    // Without a port text the command goes where the send before went, and the log says where.
    QTest::newRow("Hyundai panel, no port text")
        << "99"
        << "" << 6 << false
        << QStringList { sent6, u"No COM port given: sending to COM 6, the port last set"_s, sent6, endLine };
    // A port text that is no COM number goes nowhere, not to the port last set.
    QTest::newRow("Hyundai panel, port 0")
        << "99"
        << "0" << 6 << false
        << QStringList { sent6, u"COM 0: not sent: not a COM number"_s, endLine,
                         u"Not sent to COM 0: not a COM number"_s };
}

void TestEventExecutor::panelsSendToTheirOwnPort()
{
    QFETCH(QString, index);
    QFETCH(QString, portText);
    QFETCH(int, com);
    QFETCH(bool, flowControl);
    QFETCH(QStringList, log);

    ExecutorRig rig({ 4, 6 });
    rig.window.snapshot.panelLineSettings = u"38400,n,8,1"_s;
    const bool namesAPort = comPortNumber(portText).has_value();
    if (!namesAPort) {
        rig.window.snapshot.panelCommPort = QString::number(com);
        QVERIFY(rig.send({ u"41"_s, index, false }).isFinished());
        QCOMPARE(rig.display(com).readUntilQuiet(quietMs), QByteArray("A"));
    }
    rig.window.snapshot.panelCommPort = portText;
    QVERIFY(rig.send({ u" 6B 64 20 30 31 20 30 31 0D "_s, index, true }).isFinished());

    const bool sent = namesAPort || portText.isEmpty();
    QCOMPARE(rig.display(com).readUntilQuiet(quietMs), sent ? QByteArray("kd 01 01\r") : QByteArray());
    QCOMPARE(rig.display(com == 4 ? 6 : 4).readUntilQuiet(quietMs), QByteArray());
    const std::optional<TerminalState> line = rig.lineSeen(com);
    QVERIFY(line);
    QCOMPARE(line->baudRate, 38400u);
    QCOMPARE(line->rtsCts, flowControl);
    QCOMPARE(line->xonXoff, flowControl);
    QCOMPARE(rig.logTexts(), log);
}

// The LG panel hands a command over while the first port of the group is being sent: it waits,
// and is sent after the run in progress, which never nests.
void TestEventExecutor::requestDuringASendWaitsForIt()
{
    ExecutorRig rig({ 3, 5 });
    rig.window.addPort(3, u"LG"_s);
    rig.window.addPort(5, u"OLEVIA"_s);
    QSignalSpy idle(rig.executor.get(), &EventExecutor::idle);

    QFuture<CommandReport> panelSend;
    QTimer::singleShot(0, rig.executor.get(), [&] {
        rig.window.snapshot.panelCommPort = u"5"_s;
        rig.window.snapshot.panelLineSettings = u"9600,n,8,1"_s;
        panelSend = rig.send({ u"6B 64 20 30 31 20 30 31 0D"_s, u"100"_s, true });
        QVERIFY(!panelSend.isFinished());
    });
    QVERIFY(rig.send({ u"any"_s, u"0"_s, true }).isFinished());

    QVERIFY(panelSend.isFinished());
    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), QByteArray("ka 01 01\r"));
    QCOMPARE(rig.display(5).readUntilQuiet(quietMs), QByteArray("\xBE\x05\x25\x08\xF0kd 01 01\r"));
    QCOMPARE(rig.logTexts(), sentTo(3) + sentTo(5) + QStringList({ endLine, u"COM 5: sent"_s, endLine }));
    QCOMPARE(idle.size(), 1);
    QCOMPARE(rig.window.timesLocked, 2);
    QCOMPARE(rig.window.lockDepth, 0);
    QCOMPARE(rig.busyPointer.depth, 0);
}

// A group send is asked for while an LG panel send is held back by the display's XOFF, and the
// operator then loads another group and picks another model. The waiting request still goes to the
// ports and model it was asked with, and its completion comes only once its own bytes are out.
void TestEventExecutor::queuedRequestKeepsWhatItWasAskedWith()
{
    ExecutorRig rig({ 3, 4, 5 });
    rig.window.addPort(3, u"LG"_s);
    rig.window.snapshot.panelCommPort = u"4"_s;
    rig.window.snapshot.panelLineSettings = u"9600,n,8,1"_s;
    std::atomic_bool panelPortOpen = false;
    rig.onOpen = [&](int com) {
        if (com == 4) {
            rig.display(4).writeToProgram("\x13"); // XOFF: the display holds the panel's bytes back
            panelPortOpen = true;
        }
    };

    QFuture<CommandReport> groupSend;
    QByteArray onCom3AtCompletion;
    QTimer::singleShot(0, rig.executor.get(), [&] {
        QTRY_VERIFY(panelPortOpen);
        groupSend = rig.send({ u"any"_s, u"0"_s, true }, CommandDispatch::Timing::NextTick);
        groupSend.then(rig.executor.get(),
                       [&](const CommandReport &) { onCom3AtCompletion = rig.display(3).readUntilQuiet(quietMs); });
        rig.window.snapshot.groupPorts = { { u"5"_s, u"OLEVIA"_s } };
        rig.window.snapshot.modelListText = u"HYUNDAI-D525ML"_s;
        QVERIFY(!groupSend.isFinished());
        rig.display(4).writeToProgram("\x11"); // XON
    });
    const CommandReport panelReport = waitForCompletion(rig.send({ lgMuteOn, u"100"_s, true }));

    QVERIFY(panelReport.unreached.isEmpty());
    QCOMPARE(rig.display(4).readUntilQuiet(quietMs), QByteArray("ke 01 00\r"));
    QVERIFY(waitForCompletion(groupSend).unreached.isEmpty());
    QTRY_COMPARE(onCom3AtCompletion, QByteArray("ka 01 01\r"));
    QCOMPARE(rig.display(5).readUntilQuiet(quietMs), QByteArray());
    QCOMPARE(rig.logTexts(), QStringList({ u"COM 4: sent"_s, endLine }) + sentTo(3) + QStringList({ endLine }));
}

void TestEventExecutor::handOffsBeforeTheTickAreAllSent()
{
    ExecutorRig rig({ 3 });
    rig.window.addPort(3, u"LG"_s);
    QSignalSpy idle(rig.executor.get(), &EventExecutor::idle);

    // Two clicks within the timer's 10 ms: the second hand-off must not replace the first.
    rig.send({ u"any"_s, u"0"_s, true }, CommandDispatch::Timing::NextTick);
    rig.send({ u"any"_s, u"1"_s, true }, CommandDispatch::Timing::NextTick);
    QVERIFY(idle.wait(5000));

    QCOMPARE(rig.display(3).readUntilQuiet(quietMs), QByteArray("ka 01 01\rka 01 00\r"));
    QCOMPARE(rig.logTexts(), sentTo(3) + QStringList { endLine } + sentTo(3) + QStringList { endLine });
    QCOMPARE(idle.size(), 1);
}

// "Monitors ALL ON" to COM numbers behind serial device servers: the displays behind them get the
// command, and the log names the raw TCP port that kept the server's settings and the server that
// could not be reached, with its address.
void TestEventExecutor::portsBehindServersReportInTheLog()
{
    if (!Ser2netServer::isInstalled())
        QSKIP("ser2net is not installed (scripts/test installs it)");
    ExecutorRig rig({ 11, 12 });
    Ser2netServer server;
    QVERIFY2(server.start({ { rig.display(11).devicePath(), Ser2netServer::Protocol::RawTcp },
                            { rig.display(12).devicePath(), Ser2netServer::Protocol::Rfc2217 } }),
             qPrintable(server.errorText()));
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 closedPort = closed.serverPort();
    closed.close();
    rig.displays.addDevice(1, server.url(0).toUtf8());
    rig.displays.addDevice(2, server.url(1).toUtf8());
    rig.displays.addDevice(3, "rfc2217://127.0.0.1:" + QByteArray::number(closedPort));
    rig.window.snapshot.comPortItems = { u"1"_s, u"2"_s, u"3"_s };

    QVERIFY(rig.send({ u"any"_s, u"2"_s, true }).isFinished());
    QCOMPARE(rig.display(11).readUntilQuiet(100), QByteArray("ka 01 01\r"));
    QCOMPARE(rig.display(12).readUntilQuiet(100), QByteArray("ka 01 01\r"));
    const QStringList log = rig.logTexts();
    QCOMPARE(log.mid(0, 8),
             sentTo(1, u"sent (line settings kept by the server)"_s) + sentTo(2) + sentTo(3).mid(0, 2));
    const QString unreachable = u"unreachable (127.0.0.1:%1"_s.arg(closedPort);
    QVERIFY2(log.value(8).startsWith(u"COM 3: not sent: "_s + unreachable), qPrintable(log.value(8)));
    QCOMPARE(log.value(9), endLine);
    QVERIFY2(log.value(10).startsWith(u"Not sent to COM 3: "_s + unreachable), qPrintable(log.value(10)));
}

// "Monitors ALL ON" with COM 1-11 missing, COM 12 slow and a display on COM 13. A second into the
// run it shows where it is; the operator stops it there. COM 12 is sent to the end, COM 13 gets
// nothing, and the ports not tried are named. Every port before COM 12 was in the log by then.
void TestEventExecutor::longSendShowsWhereItIsAndStops_data()
{
    QTest::addColumn<bool>("report");
    QTest::addColumn<bool>("serverOnCom12"); // else a display whose bytes are held on the wire

    QTest::newRow("display, status log as the schedule sends") << true << false;
    QTest::newRow("display, message box as a button sends") << false << false;
    QTest::newRow("server that never answers") << false << true;
}

void TestEventExecutor::longSendShowsWhereItIsAndStops()
{
    QFETCH(bool, report);
    QFETCH(bool, serverOnCom12);

    ExecutorRig rig(serverOnCom12 ? QList<int> { 13 } : QList<int> { 12, 13 }, range(1, 11) + range(14, 40));
    const UnansweredPort server("127.0.0.2");
    if (serverOnCom12) {
        QVERIFY(server.port());
        rig.displays.addDevice(12, "rfc2217://127.0.0.2:" + QByteArray::number(server.port()));
    }
    std::atomic_bool released = false;
    rig.onDrain = [&](int com) { // on the link's thread
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (com == 12 && !released && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };

    SendProgress &progress = *rig.executor->progress();
    QElapsedTimer sinceSend;
    qint64 shownAfterMs = -1;
    QString shownText;
    QStringList logWhenShown;
    QObject::connect(&progress, &SendProgress::changed, rig.executor.get(), [&] {
        if (!progress.isShown() || shownAfterMs >= 0)
            return;
        shownAfterMs = sinceSend.elapsed();
        shownText = progress.text();
        logWhenShown = rig.logTexts();
        progress.requestStop();
        released = true;
    });
    sinceSend.start();
    QVERIFY(rig.send({ u"any"_s, u"2"_s, report }).isFinished());

    QVERIFY2(shownAfterMs >= 1000, qPrintable(QString::number(shownAfterMs)));
    QCOMPARE(shownText, u"Sending to COM 12 (12 of 40)..."_s);
    QVERIFY(!progress.isShown());
    QStringList before;
    for (int com : range(1, 11)) {
        const QString outcome = u"not sent: "_s + missingReason;
        before += report ? sentTo(com, outcome) : QStringList { u"COM %1: %2"_s.arg(com).arg(outcome) };
    }
    QCOMPARE(logWhenShown.mid(0, before.size()), before);

    if (!serverOnCom12)
        QCOMPARE(rig.display(12).readUntilQuiet(quietMs), QByteArray("ka 01 01\r"));
    QCOMPARE(rig.display(13).readUntilQuiet(quietMs), QByteArray());
    QStringList notSent { u"Not sent to COM 1-11: "_s + missingReason };
    if (serverOnCom12)
        notSent += u"Not sent to COM 12: unreachable (127.0.0.2:%1: no connection within 3 s)"_s.arg(server.port());
    notSent += u"Not sent to COM 13-40: stopped by the user"_s;
    const QStringList log = rig.logTexts();
    QCOMPARE(log.mid(log.size() - notSent.size()), notSent);
    if (report)
        QCOMPARE(log.value(log.size() - notSent.size() - 1), endLine);
    else
        QCOMPARE(rig.messageTexts().value(0).split(u'\n').mid(1), QStringList { notSent });
}

QTEST_GUILESS_MAIN(TestEventExecutor)
#include "test_event_executor.moc"
