// The LG panel used like an operator does, with its displays on pseudo-terminals named in Ports.ini:
// what reaches which display, at which speed and with which flow control, what the panel says, and
// what LGSettings.ini keeps between openings.
#include "app/main_window.h"
#include "commands/send_progress.h"
#include "common/status_log.h"
#include "fake_tray_icon.h"
#include "inventory/inventory.h"
#include "line_watcher.h"
#include "manual_clock.h"
#include "panels/lg_panel_window.h"
#include "pty_displays.h"
#include "scripted_prompts.h"
#include "serial/port_map.h"
#include "unanswered_port.h"
#include "window_controls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int quietMs = 20;
// A speed the program never uses, so the program's own line settings show while it holds a port.
constexpr quint32 idleSpeed = 1200;
const QString sent = u"Finish sending out command string!"_s;

} // namespace

class TestLgPanelWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sectionActionsSendOrRefuse_data();
    void sectionActionsSendOrRefuse();
    void lineSettingsFromTheFile_data();
    void lineSettingsFromTheFile();
    void labelsAndPortsSurviveClosing_data();
    void labelsAndPortsSurviveClosing();
    void failedSaveIsReported();
    void numberFieldsTakeDigitsAndLetTabThrough_data();
    void numberFieldsTakeDigitsAndLetTabThrough();
    void scheduledSendWaitsBehindThePanelsSend();
    void longSendShowsInThePanel();

private:
    template<typename T> T *child(const QString &name, int section = -1) const
    {
        return test::control<T>(m_panel, section < 0 ? name : u"%1_%2"_s.arg(name).arg(section));
    }
    void openPanel();
    // Chooses an entry the way a mouse does, through the list's popup, so the list's own signals run.
    void choose(QComboBox *list, const QString &entry);
    void type(const QString &field, int section, const QString &text);
    // Records each display's line while the program holds it open, until the object is gone.
    QByteArray received(int com) { return m_displays->display(com).readUntilQuiet(quietMs); }
    QStringList messageTexts() const;

    test::TempAppFolder m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    test::ManualClock m_clock;
    test::FakeTrayIcon m_tray;
    std::optional<test::PtyDisplays> m_displays;
    std::unique_ptr<frmMain> m_window;
    frmLGLCD *m_panel = nullptr;
    // Each display's line settings as seen while the program had it open: "9600 RTS/CTS XON/XOFF".
};

// Displays on COM 3 and 5; every other COM number names a device that does not exist.
void TestLgPanelWindow::init()
{
    QVERIFY(m_displays.emplace(m_folder, QList<int> { 3, 5 }, QList<int> { 1, 2, 4 }, idleSpeed).isValid());
    m_prompts = {};
    m_window
        = std::make_unique<frmMain>(m_folder.path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, &m_tray });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestLgPanelWindow::cleanup()
{
    m_busy.whenShown = nullptr;
    m_window.reset(); // takes the panel with it
    m_panel = nullptr;
    m_displays.reset();
    QFile::remove(m_folder.filePath(u"LGSettings.ini"_s));
    QFile::remove(m_folder.filePath(u"Settings.ini"_s)); // a schedule saved by Run would start by itself
    QDir(m_folder.filePath(u"LGSettings.ini"_s)).removeRecursively();
}

void TestLgPanelWindow::openPanel()
{
    m_panel = new frmLGLCD(m_folder.path(), { m_window->executor(), m_prompts, m_busy }, m_window.get());
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel));
}

void TestLgPanelWindow::choose(QComboBox *list, const QString &entry)
{
    const int row = list->findText(entry);
    QVERIFY2(row >= 0, qPrintable(entry));
    list->showPopup();
    QAbstractItemView *view = list->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const QRect item = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_VERIFY(!view->isVisible());
}

void TestLgPanelWindow::type(const QString &field, int section, const QString &text)
{
    auto *edit = child<QLineEdit>(field, section);
    edit->clear();
    QTest::keyClicks(edit, text);
}

QStringList TestLgPanelWindow::messageTexts() const
{
    QStringList texts;
    // The panel's own messages carry the information icon; all carry the program's title.
    for (const PromptMessage &message : m_prompts.messages) {
        const QString icon = message.icon == PromptIcon::Information ? u"(i) "_s : QString();
        texts << icon + message.text + (message.title == applicationTitle ? QString() : u" - "_s + message.title);
    }
    return texts;
}

enum class Action { Click, Choose, EnterInVolume, SliderToStart };

// What the operator fills in and does in one section; the rest is left as the panel opens.
struct SectionStep
{
    int section = 0;
    QString port = QStringLiteral("3");
    int emptySetting = -1; // a CbPortSet list left without a choice
    QString tvInput {};
    QString channel {}; // "major-minor"
    QString volume {}; // typed
    Action action = Action::Click;
    QString control {};
    QString entry {}; // of a list
};
Q_DECLARE_METATYPE(SectionStep)

void TestLgPanelWindow::sectionActionsSendOrRefuse_data()
{
    QTest::addColumn<SectionStep>("step");
    QTest::addColumn<int>("com");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("messages");

    const QStringList done { sent };
    const auto click = [](const char *button) {
        return SectionStep { .control = QString::fromLatin1(button) };
    };
    const auto pick = [](const char *list, const char *entry, int section = 0, const char *port = "3") {
        return SectionStep { .section = section,
                             .port = QString::fromLatin1(port),
                             .action = Action::Choose,
                             .control = QString::fromLatin1(list),
                             .entry = QString::fromLatin1(entry) };
    };
    const auto volume = [](const char *typed, Action action = Action::Click) {
        return SectionStep { .volume = QString::fromLatin1(typed), .action = action, .control = u"btnSetVolume"_s };
    };
    const auto tune = [](const char *tvInput, const char *channel, const char *port = "3") {
        return SectionStep { .port = QString::fromLatin1(port),
                             .tvInput = QString::fromLatin1(tvInput),
                             .channel = QString::fromLatin1(channel),
                             .control = u"btnSendChannel"_s };
    };

    QTest::newRow("Power ON") << click("btnPowerOn") << 3 << QByteArray("ka 01 01\r") << done;
    QTest::newRow("Power OFF, section 5, port with blanks")
        << SectionStep { .section = 4, .port = u" 5 "_s, .control = u"btnPowerOff"_s } << 5 << QByteArray("ka 01 00\r")
        << done;
    QTest::newRow("Screen Mute ON") << click("btnScreenMuteOn") << 3 << QByteArray("kd 01 01\r") << done;
    QTest::newRow("Screen Mute OFF") << click("btnScreenMuteOff") << 3 << QByteArray("kd 01 00\r") << done;
    // The volume mute pair is the other way round from the screen mute pair.
    QTest::newRow("Volume Mute ON") << click("btnVolumeMuteOn") << 3 << QByteArray("ke 01 00\r") << done;
    QTest::newRow("Volume Mute OFF") << click("btnVolumeMuteOff") << 3 << QByteArray("ke 01 01\r") << done;
    QTest::newRow("Auto Config") << click("btnAutoConfig") << 3 << QByteArray("ju 01 01\r") << done;
    QTest::newRow("RGB-PC, sent on choosing")
        << pick("cboInputSelect", "RGB-PC", 2, "5") << 5 << QByteArray("kb 01 07\r") << done;
    QTest::newRow("14:9") << pick("cboAspectRatio", "14:9", 1, "5") << 5 << QByteArray("kc 01 06\r") << done;
    QTest::newRow("volume 25") << volume("25") << 3 << QByteArray("kf 01 19\r") << done;
    QTest::newRow("volume 5: one digit") << volume("5") << 3 << QByteArray("kf 01 5\r") << done;
    QTest::newRow("volume 100, Enter") << volume("100", Action::EnterInVolume) << 3 << QByteArray("kf 01 64\r") << done;
    QTest::newRow("volume 250 becomes 100") << volume("250") << 3 << QByteArray("kf 01 64\r") << done;
    QTest::newRow("slider to 0 by key") << volume("37", Action::SliderToStart) << 3 << QByteArray("kf 01 0\r") << done;
    QTest::newRow("channel 12, NTSC Air")
        << tune("NTSC Air", "12") << 3 << QByteArray("ma 01 0C 00 0C 00 00 00\r") << done;
    QTest::newRow("channel 5, NTSC CATV")
        << tune("NTSC CATV", "5") << 3 << QByteArray("ma 01 05 00 05 00 00 01\r") << done;
    QTest::newRow("channel 7-1, ATSC Air")
        << tune("ATSC Air", "7-1") << 3 << QByteArray("ma 01 03 00 07 00 01 02\r") << done;
    QTest::newRow("channel 255, NTSC Air leaves the minor channel out")
        << tune("NTSC Air", "255-4") << 3 << QByteArray("ma 01 FF 00 FF 00 00 00\r") << done;

    // Refused, nothing sent: the section's own check first, then the port, then the line settings.
    const auto refused = [](const char *text) {
        return QStringList { u"(i) "_s + QString::fromLatin1(text) };
    };
    const QStringList noPort = refused("Please enter a COM Port before sending.");
    QTest::newRow("port of blanks") << SectionStep { .port = u"  "_s, .control = u"btnPowerOn"_s } << 3 << QByteArray()
                                    << noPort;
    QTest::newRow("port 0 names no port") << pick("cboAspectRatio", "Zoom 1", 0, "0") << 3 << QByteArray() << noPort;
    QTest::newRow("no port, no baud rate")
        << SectionStep { .port = {}, .emptySetting = 0, .control = u"btnPowerOn"_s } << 3 << QByteArray() << noPort;
    QTest::newRow("no baud rate") << SectionStep { .emptySetting = 0, .control = u"btnAutoConfig"_s } << 3
                                  << QByteArray() << refused("Please select the Baud Rate setting before sending.");
    QTest::newRow("no stop bits") << SectionStep { .emptySetting = 3, .control = u"btnPowerOn"_s } << 3 << QByteArray()
                                  << refused("Please select the Stop Bits setting before sending.");
    QTest::newRow("no TV input, no port")
        << tune("", "12", "") << 3 << QByteArray() << refused("Please select a TV Input before sending.");
    QTest::newRow("no channel, no port") << tune("NTSC Air", "", "") << 3 << QByteArray()
                                         << refused("Please enter a channel before sending.");
    QTest::newRow("ATSC Air without minor channel")
        << tune("ATSC Air", "7") << 3 << QByteArray() << refused("Please enter a channel before sending.");
    QTest::newRow("channel 300") << tune("NTSC Air", "300") << 3 << QByteArray()
                                 << refused("The channel must be from 0 to 255.");
    QTest::newRow("channel 256, ATSC Air")
        << tune("ATSC Air", "256-1") << 3 << QByteArray() << refused("The channel must be from 0 to 255.");
    QTest::newRow("no volume, no port") << SectionStep { .port = {}, .control = u"btnSetVolume"_s } << 3 << QByteArray()
                                        << refused("Please enter or select a volume value.");
}

void TestLgPanelWindow::sectionActionsSendOrRefuse()
{
    QFETCH(SectionStep, step);
    QFETCH(int, com);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, messages);

    openPanel();
    const int section = step.section;
    child<QLineEdit>(u"TxtCommPort"_s, section)->setText(step.port);
    if (step.emptySetting >= 0)
        child<QComboBox>(u"CbPortSet"_s, step.emptySetting)->setCurrentIndex(-1);
    if (!step.tvInput.isEmpty())
        choose(child<QComboBox>(u"cboTV"_s, section), step.tvInput);
    child<QLineEdit>(u"txtChannel"_s, section)->setText(step.channel.section(u'-', 0, 0));
    child<QLineEdit>(u"txtMinorChannel"_s, section)->setText(step.channel.section(u'-', 1, 1));
    type(u"txtVolume"_s, section, step.volume);

    const test::LineWatcher lines(*m_displays, idleSpeed);
    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    switch (step.action) {
    case Action::Click:
        QTest::mouseClick(child<QPushButton>(step.control, section), Qt::LeftButton);
        break;
    case Action::Choose:
        choose(child<QComboBox>(step.control, section), step.entry);
        break;
    case Action::EnterInVolume:
        QTest::keyClick(child<QLineEdit>(u"txtVolume"_s, section), Qt::Key_Return);
        break;
    case Action::SliderToStart:
        child<QSlider>(u"sldVolume"_s, section)->setFocus();
        QTest::keyClick(child<QSlider>(u"sldVolume"_s, section), Qt::Key_Home);
        QCOMPARE(child<QLineEdit>(u"txtVolume"_s, section)->text(), u"0"_s);
        break;
    }
    if (!bytes.isEmpty())
        QTRY_COMPARE(executed.size(), 1);
    else
        QTest::qWait(50); // a refused action must not reach the executor's next tick either

    QCOMPARE(received(com), bytes);
    QCOMPARE(received(com == 3 ? 5 : 3), QByteArray());
    QCOMPARE(messageTexts(), messages);
    QCOMPARE(executed.size(), bytes.isEmpty() ? 0 : 1);
    if (!bytes.isEmpty())
        QVERIFY2(lines.seen(com).contains(u"9600 RTS/CTS XON/XOFF"_s),
                 qPrintable(lines.seen(com).values().join(u", ")));
}

void TestLgPanelWindow::lineSettingsFromTheFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("lists"); // what the four hidden lists hold
    QTest::addColumn<quint32>("speed");

    const QStringList defaults { u"9600"_s, u"n"_s, u"8"_s, u"1"_s };
    QTest::newRow("no file") << QByteArray() << defaults << 9600u;
    QTest::newRow("19200") << QByteArray("[SERIAL_COMMAND_SETTINGS]\r\nBaud Rate=19200\r\n")
                           << QStringList { u"19200"_s, u"n"_s, u"8"_s, u"1"_s } << 19200u;
    QTest::newRow("other letter case, blanks")
        << QByteArray("[serial_command_settings]\nbaud rate = 38400 \nParity=E\nData Bits=7\nStop Bits=2\n")
        << QStringList { u"38400"_s, u"e"_s, u"7"_s, u"2"_s } << 38400u;
    QTest::newRow("values no list offers")
        << QByteArray("[SERIAL_COMMAND_SETTINGS]\r\nBaud Rate=1234\r\nParity=x\r\nData Bits=\r\n") << defaults << 9600u;
}

void TestLgPanelWindow::lineSettingsFromTheFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, lists);
    QFETCH(quint32, speed);

    // Section 2's port comes from the file too, where there is one.
    if (!file.isEmpty())
        m_folder.writeFile(u"LGSettings.ini"_s, file + "[SECTION_2]\r\nCOM=5\r\n");
    openPanel();
    child<QLineEdit>(u"TxtCommPort"_s, 0)->setText(u"3"_s);
    QStringList shown;
    for (int i = 0; i < 4; ++i)
        shown << child<QComboBox>(u"CbPortSet"_s, i)->currentText();
    QCOMPARE(shown, lists);
    QVERIFY(!child<QWidget>(u"fraPortSettings"_s)->isVisible());

    const test::LineWatcher lines(*m_displays, idleSpeed);
    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    QTest::mouseClick(child<QPushButton>(u"btnPowerOn"_s, file.isEmpty() ? 0 : 2), Qt::LeftButton);
    QTRY_COMPARE(executed.size(), 1);
    const int com = file.isEmpty() ? 3 : 5;
    QCOMPARE(received(com), QByteArray("ka 01 01\r"));
    QVERIFY2(lines.seen(com).contains(QString::number(speed) + u" RTS/CTS XON/XOFF"_s),
             qPrintable(lines.seen(com).values().join(u", ")));
}

enum Closing { CloseButton, CloseBox, Escape };

void TestLgPanelWindow::labelsAndPortsSurviveClosing_data()
{
    QTest::addColumn<int>("closing");
    QTest::newRow("Close") << int(CloseButton);
    QTest::newRow("close box") << int(CloseBox);
    QTest::newRow("Escape") << int(Escape);
}

void TestLgPanelWindow::labelsAndPortsSurviveClosing()
{
    QFETCH(int, closing);

    openPanel();
    QCOMPARE(child<QLineEdit>(u"TxtCommPort"_s, 4)->text(), u"1"_s);
    type(u"txtSection"_s, 0, u"Lobby left "_s);
    type(u"TxtCommPort"_s, 0, u"3"_s);
    type(u"txtSection"_s, 4, u"Hall \"B\"; east"_s);
    type(u"TxtCommPort"_s, 4, u"12"_s);
    switch (Closing(closing)) {
    case CloseButton:
        QTest::mouseClick(child<QPushButton>(u"btnClose"_s), Qt::LeftButton);
        break;
    case CloseBox:
        m_panel->close();
        break;
    case Escape:
        QTest::keyClick(child<QLineEdit>(u"TxtCommPort"_s, 4), Qt::Key_Escape); // through the digits-only filter
        break;
    }
    QVERIFY(!m_panel->isVisible());
    QCOMPARE(m_busy.depth, 0);
    QCOMPARE(m_prompts.messages, QList<PromptMessage> {});
    QCOMPARE(m_folder.readFile(u"LGSettings.ini"_s),
             QByteArray("[SERIAL_COMMAND_SETTINGS]\r\nBaud Rate=9600\r\nParity=n\r\nData Bits=8\r\nStop Bits=1\r\n"
                        "[SECTION_0]\r\nSection=Lobby left\r\nCOM=3\r\n"
                        "[SECTION_1]\r\nSection=\r\nCOM=1\r\n[SECTION_2]\r\nSection=\r\nCOM=1\r\n"
                        "[SECTION_3]\r\nSection=\r\nCOM=1\r\n"
                        "[SECTION_4]\r\nSection=Hall \"B\"; east\r\nCOM=12\r\n"));

    delete m_panel;
    openPanel();
    QCOMPARE(child<QLineEdit>(u"txtSection"_s, 0)->text(), u"Lobby left"_s);
    QCOMPARE(child<QLineEdit>(u"TxtCommPort"_s, 0)->text(), u"3"_s);
    QCOMPARE(child<QLineEdit>(u"txtSection"_s, 4)->text(), u"Hall \"B\"; east"_s);
    QCOMPARE(child<QLineEdit>(u"TxtCommPort"_s, 4)->text(), u"12"_s);
    QCOMPARE(child<QLineEdit>(u"txtSection"_s, 2)->text(), QString());
}

// A save that cannot be written says so, and the file that was there is not touched.
void TestLgPanelWindow::failedSaveIsReported()
{
    QVERIFY(QDir(m_folder.path()).mkdir(u"LGSettings.ini"_s));
    openPanel();
    type(u"txtSection"_s, 0, u"Lobby"_s);
    m_panel->close();

    QCOMPARE(m_prompts.messages.size(), 1);
    const PromptMessage &message = m_prompts.messages.first();
    QVERIFY2(message.text.startsWith(u"Failed saving LGSettings.ini"_s), qPrintable(message.text));
    QVERIFY(message.text.endsWith(u"The labels and COM ports of the five displays were not kept."_s));
    QCOMPARE(message.icon, PromptIcon::Exclamation);
    QVERIFY(QFileInfo(m_folder.filePath(u"LGSettings.ini"_s)).isDir());
    QCOMPARE(m_busy.depth, 0);
}

void TestLgPanelWindow::numberFieldsTakeDigitsAndLetTabThrough_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys"); // "\r" is Enter, "\b" backspace
    QTest::addColumn<QString>("shown");

    QTest::newRow("port: two digits, no letters, Enter ignored") << u"TxtCommPort"_s << u"x1-2 3\r"_s << u"12"_s;
    QTest::newRow("channel: four digits") << u"txtChannel"_s << u"1a2.345\r"_s << u"1234"_s;
    QTest::newRow("minor channel: one digit") << u"txtMinorChannel"_s << u"45"_s << u"4"_s;
    QTest::newRow("volume: digits, backspace") << u"txtVolume"_s << u"2x5\b7"_s << u"27"_s;
    // Enter in the label must not press a button of the panel.
    QTest::newRow("label: any text, Enter") << u"txtSection"_s << u"Lobby 2-A\r"_s << u"Lobby 2-A"_s;
}

void TestLgPanelWindow::numberFieldsTakeDigitsAndLetTabThrough()
{
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, shown);

    openPanel();
    // The minor channel and its dash show for ATSC Air only, and not before a TV input is chosen.
    const auto minorShown = [this](int section) {
        return child<QLineEdit>(u"txtMinorChannel"_s, section)->isVisible()
            && child<QLabel>(u"lblDash"_s, section)->isVisible();
    };
    choose(child<QComboBox>(u"cboTV"_s, 0), u"ATSC Air"_s);
    choose(child<QComboBox>(u"cboTV"_s, 0), u"NTSC CATV"_s);
    choose(child<QComboBox>(u"cboTV"_s, 1), u"ATSC Air"_s);
    QCOMPARE(QList<bool>({ minorShown(0), minorShown(1), minorShown(2) }), QList<bool>({ false, true, false }));
    QTest::keyClicks(child<QComboBox>(u"cboTV"_s, 2), u"A"_s); // typing picks nothing
    QCOMPARE(child<QComboBox>(u"cboTV"_s, 2)->currentIndex(), -1);

    auto *edit = child<QLineEdit>(field, 1);
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, keys);
    QCOMPARE(edit->text(), shown);

    QTest::keyClick(edit, Qt::Key_Tab);
    QVERIFY(!edit->hasFocus());
    QVERIFY(m_panel->isAncestorOf(QApplication::focusWidget()));
    QTest::qWait(50);
    QCOMPARE(m_prompts.messages, QList<PromptMessage> {});
    QCOMPARE(received(3) + received(5), QByteArray());
}

// The panel opened from the main window is modal, but the window's timers keep running: a schedule
// row that falls due while the panel's own send is on the wire goes out right after it, whole.
void TestLgPanelWindow::scheduledSendWaitsBehindThePanelsSend()
{
    m_window->inventory().loadGroups({ { u"Lobby"_s, {}, u"3~~LG"_s } });
    QTest::mouseClick(test::control<QPushButton>(m_window.get(), u"btnAddSchGroup"_s), Qt::LeftButton); // due now
    m_clock.advanceSeconds(-1);
    QTest::mouseClick(test::control<QPushButton>(m_window.get(), u"btnRun"_s), Qt::LeftButton);
    ScheduleRunner &runner = m_window->scheduleRunner();
    QVERIFY(runner.isRunning());

    // As the panel's send begins (the executor shows the busy pointer), the row's second begins.
    bool scheduledDuringPanelSend = false;
    m_busy.whenShown = [&] {
        if (!m_window->executor().isRunning() || std::exchange(scheduledDuringPanelSend, true))
            return;
        m_clock.advanceSeconds(1);
        runner.runClockTick();
    };

    bool wasModal = false;
    const auto finished = [this] {
        return m_window->statusLog().lines().filter(u"Finished sending serial command in Lobby"_s).size() == 1;
    };
    // Runs inside the panel's own event loop; closing the panel at the end lets the click return.
    QTimer::singleShot(0, this, [&] {
        m_panel = m_window->findChild<frmLGLCD *>();
        if (!m_panel)
            return;
        wasModal = m_panel->isModal() && QApplication::activeModalWidget() == m_panel;
        child<QLineEdit>(u"TxtCommPort"_s, 0)->setText(u"3"_s);
        choose(child<QComboBox>(u"cboInputSelect"_s, 0), u"RGB-PC"_s);
        const bool sendsEnded = QTest::qWaitFor(finished, 5000);
        Q_UNUSED(sendsEnded); // checked on the wire below
        QTest::keyClick(m_panel, Qt::Key_Escape);
    });
    QTest::mouseClick(test::control<QPushButton>(m_window.get(), u"btnLGLCD"_s), Qt::LeftButton);

    QVERIFY(wasModal);
    QVERIFY(scheduledDuringPanelSend);
    QCOMPARE(received(3), QByteArray("kb 01 07\rka 01 01\r"));
    QCOMPARE(messageTexts(), QStringList { sent });
    QVERIFY(finished());
    QVERIFY(!m_window->findChild<frmLGLCD *>()); // gone once closed
    QVERIFY(QFileInfo::exists(m_folder.filePath(u"LGSettings.ini"_s)));
}

// A panel holds the main window's input, so it shows a long send's progress and Stop in its own
// window: here its own send to a server that never answers.
void TestLgPanelWindow::longSendShowsInThePanel()
{
    const test::UnansweredPort server("127.0.0.2");
    QVERIFY(server.port());
    m_folder.writeFile(PortMap::fileName(), u"[COM_PORTS]\r\n7=rfc2217://127.0.0.2:%1\r\n"_s.arg(server.port()).toUtf8());
    openPanel();
    child<QLineEdit>(u"TxtCommPort"_s, 0)->setText(u"7"_s);

    QString shown;
    bool stopInPanel = false;
    QObject::connect(m_window->executor().progress(), &SendProgress::changed, m_panel, [&] {
        auto *stop = child<QPushButton>(u"cmdStopSending"_s);
        if (!stop->isVisible() || !shown.isEmpty())
            return;
        shown = child<QLabel>(u"lblSendProgress"_s)->text();
        stopInPanel = m_panel->rect().contains(QRect(stop->mapTo(m_panel, QPoint()), stop->size()));
    });
    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    QTest::mouseClick(child<QPushButton>(u"btnPowerOn"_s, 0), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(executed.size(), 1, 30000);

    QCOMPARE(shown, u"Sending to COM 7 (1 of 1)..."_s);
    QVERIFY(stopInPanel);
    QVERIFY(!child<QPushButton>(u"cmdStopSending"_s)->isVisible());
    QCOMPARE(messageTexts(),
             QStringList { sent + u"\nNot sent to COM 7: unreachable (127.0.0.2:%1: no connection within 3 s)"_s.arg(
                               server.port()) });
}

QTEST_MAIN(TestLgPanelWindow)
#include "test_lg_panel_window.moc"
