// The Hyundai panel driven like an operator does, with displays on pseudo-terminals behind a real
// executor: which bytes reach which display at which speed, what the operator is told and where,
// and that every key and function can be reached from the keyboard and is named.
#include "executor_rig.h"
#include "panels/hyundai_panel_window.h"
#include "window_controls.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace vantiro;
using namespace vantiro::test;

namespace {

constexpr int quietMs = 20;
const QString endLine = u"Finish sending out command string."_s;
const PromptMessage endMessage { u"Finish sending out command string!"_s };

PromptMessage told(const QString &text)
{
    return { text, PromptIcon::Information };
}

} // namespace

class TestHyundaiPanel : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void openingShowsTheModelsControls_data();
    void openingShowsTheModelsControls();
    void remoteKeysSendTheirCodes_data();
    void remoteKeysSendTheirCodes();
    void d525ControlsSendOrTell_data();
    void d525ControlsSendOrTell();
    void tabReachesEveryNamedControl_data();
    void tabReachesEveryNamedControl();

private:
    void open(qint16 model);
    template<typename T> T *child(const QString &name) const { return control<T>(m_panel.get(), name); }
    // "name=text": a list shows the text (its entry, or typed), a field receives it as keys.
    void enter(const QStringList &inputs);
    void waitForRuns(qsizetype runs);

    std::unique_ptr<ExecutorRig> m_rig;
    std::unique_ptr<frmHyundaiLCD> m_panel;
    std::unique_ptr<QSignalSpy> m_executed;
};

// Displays on COM 3 and 5; COM 1, the port the panel opens with, names no device.
void TestHyundaiPanel::open(qint16 model)
{
    m_rig = std::make_unique<ExecutorRig>(QList<int> { 3, 5 }, QList<int> { 1 });
    m_panel = std::make_unique<frmHyundaiLCD>(*m_rig->executor, m_rig->prompts);
    m_panel->panelModel = model;
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
    m_executed = std::make_unique<QSignalSpy>(m_rig->executor.get(), &EventExecutor::commandExecuted);
}

void TestHyundaiPanel::cleanup()
{
    m_executed.reset();
    m_panel.reset();
    m_rig.reset();
}

void TestHyundaiPanel::enter(const QStringList &inputs)
{
    for (const QString &input : inputs) {
        const QString name = input.section(u'=', 0, 0), text = input.section(u'=', 1);
        if (auto *list = qobject_cast<QComboBox *>(child<QWidget>(name))) {
            const int entry = list->findText(text);
            if (entry >= 0)
                list->setCurrentIndex(entry);
            else
                list->setEditText(text);
        } else {
            QTest::keyClicks(child<QLineEdit>(name), text);
        }
    }
}

void TestHyundaiPanel::waitForRuns(qsizetype runs)
{
    if (runs > 0)
        QTRY_COMPARE(m_executed->size(), runs);
    QTest::qWait(3 * EventExecutor::timerIntervalMs); // a hand-off that should not be there would run now
    QCOMPARE(m_executed->size(), runs);
}

void TestHyundaiPanel::openingShowsTheModelsControls_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("modelText");
    QTest::addColumn<bool>("remoteShown");

    QTest::newRow("Vvuon") << 0 << "HYUNDAI-VVUON" << true;
    QTest::newRow("D525ML") << 1 << "HYUNDAI-D525ML" << false;
}

void TestHyundaiPanel::openingShowsTheModelsControls()
{
    QFETCH(int, model);
    QFETCH(QString, modelText);
    QFETCH(bool, remoteShown);

    open(qint16(model));
    auto *modelList = child<QComboBox>(u"cboModel"_s);
    QCOMPARE(modelList->currentText(), modelText);
    QVERIFY(!modelList->isEnabled());
    QCOMPARE(child<QGroupBox>(u"fraVvuon"_s)->isVisible(), remoteShown);
    QCOMPARE(child<QGroupBox>(u"fraD525ML"_s)->isVisible(), !remoteShown);
    QCOMPARE(child<QLineEdit>(u"TxtCommPort"_s)->text(), u"1"_s);
    QStringList lists;
    for (int i = 0; i < 4; ++i)
        lists << child<QComboBox>(u"CbPortSet_%1"_s.arg(i))->currentText();
    QCOMPARE(lists.join(u','), u"9600,n,8,1"_s);
    auto *functions = child<QComboBox>(u"cboFunctions"_s);
    QCOMPARE(functions->count(), remoteShown ? 0 : 9);
    QCOMPARE(functions->currentText(), QString());
}

void TestHyundaiPanel::remoteKeysSendTheirCodes_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("press"); // Qt key that presses the focused key; 0: a mouse click
    QTest::addColumn<QString>("portText"); // empty: after a send to COM 5, the port is emptied
    QTest::addColumn<QString>("baud");
    QTest::addColumn<int>("com");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("log");

    const QStringList end { endLine };
    QTest::newRow("0") << "cmdKey0" << 0 << "3"
                       << "9600" << 3 << QByteArray("@KEY:10\r") << end;
    QTest::newRow(". by Space") << "cmdKeyDot" << int(Qt::Key_Space) << "3"
                                << "9600" << 3 << QByteArray("@KEY:11\r") << end;
    QTest::newRow("SET by Enter") << "cmdPipSet" << int(Qt::Key_Return) << "3"
                                  << "9600" << 3 << QByteArray("@KEY:\r") << end;
    QTest::newRow("power ON") << "cmdPowerOn" << 0 << "3"
                              << "9600" << 3 << QByteArray("@KEY:0\r") << end;
    QTest::newRow("power OFF at 19200") << "cmdPowerOff" << 0 << "5"
                                        << "19200" << 5 << QByteArray("@PWD:0\r") << end;
    QTest::newRow("left arrow") << "cmdLeft" << 0 << " 3 "
                                << "9600" << 3 << QByteArray("@KEY:25\r") << end;
    QTest::newRow("channel down") << "cmdChannelDown" << 0 << "3"
                                  << "9600" << 3 << QByteArray("@KEY:13\r") << end;
    QTest::newRow("FREEZE, no port text")
        << "cmdFreeze" << 0 << ""
        << "9600" << 5 << QByteArray("@KEY:22\r")
        << QStringList { endLine, u"No COM port given: sending to COM 5, the port last set"_s, endLine };
}

// Each key goes out once, without flow control, and its completion is written to the status log.
void TestHyundaiPanel::remoteKeysSendTheirCodes()
{
    QFETCH(QString, key);
    QFETCH(int, press);
    QFETCH(QString, portText);
    QFETCH(QString, baud);
    QFETCH(int, com);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, log);

    open(vvuonPanelModel);
    auto *port = child<QLineEdit>(u"TxtCommPort"_s);
    child<QComboBox>(u"CbPortSet_0"_s)->setEditText(baud);
    qsizetype runs = 1;
    if (portText.isEmpty()) {
        port->setText(u"5"_s);
        QTest::mouseClick(child<QPushButton>(u"cmdMute"_s), Qt::LeftButton);
        QTRY_COMPARE(m_executed->size(), 1);
        QCOMPARE(m_rig->display(5).readUntilQuiet(quietMs), QByteArray("@KEY:18\r"));
        ++runs;
    }
    port->setText(portText);

    auto *button = child<QPushButton>(key);
    if (press == 0) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        button->setFocus();
        QTest::keyClick(button, Qt::Key(press));
    }
    waitForRuns(runs);

    QCOMPARE(m_rig->display(com).readUntilQuiet(quietMs), bytes);
    QCOMPARE(m_rig->display(com == 3 ? 5 : 3).readUntilQuiet(quietMs), QByteArray());
    const TerminalState line = m_rig->lineSeen(com).value_or(TerminalState {});
    QCOMPARE(line.baudRate, baud.toUInt());
    QVERIFY(!line.rtsCts && !line.xonXoff);
    // Each send's outcome comes before its end line.
    QStringList withOutcomes;
    for (const QString &text : std::as_const(log))
        withOutcomes << (text == endLine ? QStringList { u"COM %1: sent"_s.arg(com), text } : QStringList { text });
    QCOMPARE(m_rig->logTexts(), withOutcomes);
    QCOMPARE(m_rig->prompts.messages, QList<PromptMessage>());
}

void TestHyundaiPanel::d525ControlsSendOrTell_data()
{
    QTest::addColumn<QStringList>("inputs"); // after the port text was set to "3"
    QTest::addColumn<QString>("press"); // a button is clicked; a field gets Enter
    QTest::addColumn<int>("com");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<PromptMessage>>("messages");
    QTest::addColumn<QStringList>("log");

    const QStringList none;
    const QList<PromptMessage> end { endMessage };
    const QByteArray nothing;
    auto only = [](const QString &text) {
        return QList<PromptMessage> { told(text) };
    };
    QTest::newRow("COMPONENT INPT") << QStringList { u"cboFunctions=COMPONENT INPT"_s } << "cmdSendFunction" << 3
                                    << QByteArray("did:all-sc.") << end << none;
    // The executor is handed the empty command and says so.
    QTest::newRow("typed function that is no entry")
        << QStringList { u"cboFunctions=COMPONENT INPUT"_s } << "cmdSendFunction" << 3 << nothing
        << only(u"Please enter the serial command before sending."_s) << none;
    QTest::newRow("no function") << none << "cmdSendFunction" << 3 << nothing
                                 << only(u"Please select a function before sending"_s) << none;
    QTest::newRow("function, port emptied")
        << QStringList { u"cboFunctions=POWER ON"_s, u"TxtCommPort=\b"_s } << "cmdSendFunction" << 3 << nothing
        << only(u"Please enter a COM before sending"_s) << none;
    QTest::newRow("function, no stop bits")
        << QStringList { u"cboFunctions=POWER ON"_s, u"CbPortSet_3= "_s } << "cmdSendFunction" << 3 << nothing
        << only(u"Please select the Stop Bits setting before sending."_s) << none;
    QTest::newRow("function, letter typed into the port")
        << QStringList { u"cboFunctions=POWER OFF"_s, u"TxtCommPort=\bx5"_s } << "cmdSendFunction" << 5
        << QByteArray("did:all-pf.") << end << none;
    QTest::newRow("Display Sequence 5") << QStringList { u"txtDisplaySequence=5"_s } << "cmdSendDisplaySequence" << 3
                                        << QByteArray("did:all-5.") << end << none;
    QTest::newRow("Enter in the display sequence, letter dropped")
        << QStringList { u"txtDisplaySequence=1a2"_s } << "txtDisplaySequence" << 3 << QByteArray("did:all-12.") << end
        << none;
    QTest::newRow("Enter in an empty display sequence")
        << none << "txtDisplaySequence" << 3 << nothing << only(u"Please enter a value before sending"_s) << none;
    QTest::newRow("Set Count 2/3") << QStringList { u"txtHSetCount=2"_s, u"txtVSetCount=3"_s } << "cmdSendSetCount" << 3
                                   << QByteArray("did:all-ch2v3.") << end << none;
    QTest::newRow("Set Window without H") << QStringList { u"txtVSetWindow=4"_s } << "cmdSendSetWindow" << 3 << nothing
                                          << only(u"Please enter a value in both textboxes before sending"_s) << none;
    QTest::newRow("Edge ADJ with an empty V")
        << QStringList { u"txtHEdgeADJ=1"_s } << "cmdSendEdgeADJ" << 3 << nothing
        << only(u"Please a enter value in both textboxes before sending"_s) << none;
    // Enter in an H or V field sends nothing; the sign and the blank are dropped.
    QTest::newRow("Edge ADJ 10/7, Enter in H") << QStringList { u"txtHEdgeADJ=-1 0\r"_s, u"txtVEdgeADJ=7"_s }
                                               << "cmdSendEdgeADJ" << 3 << QByteArray("did:all-eh10v7.") << end << none;
    QTest::newRow("Blue Gain Down") << none << "cmdBlueGainDown" << 3 << QByteArray("did:all-bgd.")
                                    << QList<PromptMessage>() << QStringList { endLine };
    QTest::newRow("Enable IR Mode") << none << "cmdIRMode" << 3 << QByteArray("did:all-ir.") << end << none;
}

// A value, function or mode button tells its completion in a message box; an up/down button in the
// status log. A check that fails tells the operator and hands nothing over.
void TestHyundaiPanel::d525ControlsSendOrTell()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, press);
    QFETCH(int, com);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<PromptMessage>, messages);
    QFETCH(QStringList, log);

    open(d525PanelModel);
    child<QLineEdit>(u"TxtCommPort"_s)->setText(u"3"_s);
    enter(inputs);
    if (auto *field = qobject_cast<QLineEdit *>(child<QWidget>(press)))
        QTest::keyClick(field, Qt::Key_Return);
    else
        QTest::mouseClick(child<QPushButton>(press), Qt::LeftButton);
    const bool handedOver
        = !bytes.isEmpty() || messages.contains(told(u"Please enter the serial command before sending."_s));
    waitForRuns(handedOver ? 1 : 0);

    QCOMPARE(m_rig->display(com).readUntilQuiet(quietMs), bytes);
    QCOMPARE(m_rig->display(com == 3 ? 5 : 3).readUntilQuiet(quietMs), QByteArray());
    if (!bytes.isEmpty())
        QCOMPARE(m_rig->lineSeen(com).value_or(TerminalState {}).baudRate, 9600u);
    QCOMPARE(m_rig->prompts.messages, messages);
    const QStringList outcome = bytes.isEmpty() ? QStringList() : QStringList { u"COM %1: sent"_s.arg(com) };
    QCOMPARE(m_rig->logTexts(), outcome + log);
}

void TestHyundaiPanel::tabReachesEveryNamedControl_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QStringList>("controls");

    QStringList keys;
    for (const VvuonKey &key : vvuonKeys())
        keys << key.name;
    QStringList d525 { u"cboFunctions"_s, u"cmdSendFunction"_s, u"txtDisplaySequence"_s, u"cmdSendDisplaySequence"_s };
    for (const D525ValuePair &pair : d525ValuePairs())
        d525 << u"txtH"_s + pair.name << u"txtV"_s + pair.name << u"cmdSend"_s + pair.name;
    for (const D525StepRow &row : d525StepRows())
        d525 << u"cmd"_s + row.name + u"Up"_s << u"cmd"_s + row.name + u"Down"_s;
    for (const D525ModeButton &mode : d525ModeButtons())
        d525 << mode.name;
    const QStringList port { u"TxtCommPort"_s, u"CbPortSet_0"_s, u"CbPortSet_1"_s, u"CbPortSet_2"_s, u"CbPortSet_3"_s };
    QTest::newRow("Vvuon") << 0 << port + keys;
    QTest::newRow("D525ML") << 1 << port + d525;
}

// Tab walks through every control of the model once, a screen reader has a name for each, and
// Escape closes the window.
void TestHyundaiPanel::tabReachesEveryNamedControl()
{
    QFETCH(int, model);
    QFETCH(QStringList, controls);

    open(qint16(model));
    child<QLineEdit>(u"TxtCommPort"_s)->setFocus();
    QStringList reached;
    QStringList unnamed;
    for (QWidget *focused = QApplication::focusWidget(); focused && !reached.contains(focused->objectName());
         focused = QApplication::focusWidget()) {
        reached << focused->objectName();
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(focused);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << focused->objectName();
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QCOMPARE(QSet<QString>(reached.cbegin(), reached.cend()), QSet<QString>(controls.cbegin(), controls.cend()));
    QCOMPARE(unnamed, QStringList());
    for (const auto &[name, spoken] : { std::pair(u"cmdUp"_s, u"Up"_s), std::pair(u"cmdLeft"_s, u"Left"_s) }) {
        if (model == vvuonPanelModel)
            QCOMPARE(QAccessible::queryAccessibleInterface(child<QWidget>(name))->text(QAccessible::Name), spoken);
    }
    // Escape closes the window also from a field whose keys are filtered.
    QTest::keyClick(child<QLineEdit>(u"TxtCommPort"_s), Qt::Key_Escape);
    QVERIFY(!m_panel->isVisible());
}

QTEST_MAIN(TestHyundaiPanel)
#include "test_hyundai_panel.moc"
