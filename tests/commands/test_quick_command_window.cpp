// The nine quick-command buttons, the volume box and the slider of the main window, clicked and
// typed into like an operator does, with the displays on pseudo-terminals: which bytes reach which
// display at which speed, what the window shows and where the focus goes.
#include "app/main_window.h"
#include "commands/send_progress.h"
#include "common/status_log.h"
#include "enabled_changes.h"
#include "fake_tray_icon.h"
#include "line_watcher.h"
#include "manual_clock.h"
#include "pty_displays.h"
#include "scripted_prompts.h"
#include "serial/port_map.h"
#include "unanswered_port.h"
#include "window_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int quietMs = 20;
// A speed the program never uses, so each of its settings shows while it holds the port open.
constexpr quint32 idleSpeed = 1200;
const QByteArray olevia("\xBE\x05\x25\x08\xF0");
const PromptMessage endMessage { u"Finish sending out command string!"_s };

QString missingReason()
{
    return u"no such device (%1, from Ports.ini)"_s.arg(QString::fromLocal8Bit(test::PtyDisplays::missingDevice()));
}

} // namespace

class TestQuickCommandWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buttonsReachTheGroupsDisplays_data();
    void buttonsReachTheGroupsDisplays();
    void volumeBoxAndSliderSendTheVolume_data();
    void volumeBoxAndSliderSendTheVolume();
    void secondClickDuringASendFollowsIt_data();
    void secondClickDuringASendFollowsIt();
    void closingDuringASendEndsOnceItIsDone();
    void longSendShowsProgressAndStopsFromTheKeyboard();

private:
    template<typename T> T *child(const QString &name) const { return test::control<T>(m_window.get(), name); }
    QPushButton *quickButton(int index) const { return child<QPushButton>(u"cmdCOMSend_%1"_s.arg(index)); }
    void choose(const QString &list, const QString &text) const;
    QByteArray received(int com) { return m_displays->display(com).readUntilQuiet(quietMs); }
    // Runs `then` once, as the executor's next run begins.
    void onceSending(std::function<void()> then);
    void releaseSliderAfterDrag(int dragBy);

    test::TempAppFolder m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    test::ManualClock m_clock;
    test::FakeTrayIcon m_tray;
    std::optional<test::PtyDisplays> m_displays;
    std::unique_ptr<frmMain> m_window;
};

// Displays on COM 3 and 5; every other COM number names a device that does not exist. The group
// "Lobby" is built with the window's own buttons: an LG display on COM 3, an OLEVIA one on COM 5.
void TestQuickCommandWindow::init()
{
    QList<int> missing = test::PtyDisplays::range(1, 40);
    missing.removeOne(3);
    missing.removeOne(5);
    QVERIFY(m_displays.emplace(m_folder, QList<int> { 3, 5 }, missing, idleSpeed).isValid());

    m_prompts = {};
    m_window
        = std::make_unique<frmMain>(m_folder.path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, &m_tray });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));

    m_prompts.plannedTexts = { u"Lobby"_s };
    QTest::mouseClick(child<QPushButton>(u"btnAddGroup"_s), Qt::LeftButton);
    for (const auto &[com, model] : { std::pair(u"3"_s, u"LG"_s), std::pair(u"5"_s, u"OLEVIA"_s) }) {
        choose(u"cboCOM"_s, com);
        choose(u"cboLCD"_s, model);
        QTest::mouseClick(child<QPushButton>(u"btnAddCOM"_s), Qt::LeftButton);
    }
    m_prompts.messages.clear();
}

void TestQuickCommandWindow::cleanup()
{
    m_busy.whenShown = nullptr;
    m_window.reset();
    m_displays.reset();
}

void TestQuickCommandWindow::choose(const QString &list, const QString &text) const
{
    auto *box = child<QComboBox>(list);
    const int entry = box->findText(text);
    QVERIFY2(entry >= 0, qPrintable(text));
    box->setCurrentIndex(entry);
}

void TestQuickCommandWindow::onceSending(std::function<void()> then)
{
    m_busy.whenShown = [this, then, done = false]() mutable {
        if (done || !m_window->executor().isRunning())
            return;
        done = true;
        then();
    };
}

void TestQuickCommandWindow::releaseSliderAfterDrag(int dragBy)
{
    auto *slider = child<QSlider>(u"sldVolume"_s);
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = option.sliderValue = slider->value();
    const QPoint handle
        = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
    const QPoint to = handle + QPoint(dragBy, 0);

    QTest::mousePress(slider, Qt::LeftButton, {}, handle);
    QMouseEvent move(QEvent::MouseMove, to, slider->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(slider, &move);
    QCoreApplication::processEvents();
    QVERIFY(!m_window->executor().isRunning() && !m_window->executor().timer().isActive()); // the release sends
    QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
}

void TestQuickCommandWindow::buttonsReachTheGroupsDisplays_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QByteArray>("lgBytes"); // COM 3
    QTest::addColumn<quint32>("lgSpeed");
    QTest::addColumn<QByteArray>("oleviaBytes"); // COM 5
    QTest::addColumn<quint32>("oleviaSpeed");
    QTest::addColumn<QStringList>("log");

    // Mute and volume give each display of the mixed group its own model's command at its speed; an
    // OLEVIA's have the one-digit set ID.
    const QByteArray on("ka 01 01\r"), off("ka 01 00\r"), autoConfig("ju 01 01\r");
    const QStringList none, unreached { u"Not sent to COM 1-2, 4, 6-40: "_s + missingReason() };
    QTest::newRow("Monitors ON") << 0 << "LG" << on << 9600u << olevia << 115200u << none;
    QTest::newRow("Monitors OFF") << 1 << "LG" << off << 9600u << olevia << 115200u << none;
    QTest::newRow("Monitors ALL ON") << 2 << "LG" << on << 9600u << on << 9600u << unreached;
    QTest::newRow("Monitors ALL OFF") << 3 << "OLEVIA" << olevia << 115200u << olevia << 115200u << unreached;
    QTest::newRow("Mute ON") << 4 << "OLEVIA" << QByteArray("ke 01 00\r") << 9600u << QByteArray("ke 0 0\r") << 115200u
                             << none;
    QTest::newRow("Mute OFF") << 5 << "LG" << QByteArray("ke 01 01\r") << 9600u << QByteArray("ke 0 1\r") << 115200u
                              << none;
    QTest::newRow("Set Volume") << 6 << "LG" << QByteArray("kf 01 19\r") << 9600u << QByteArray("kf 0 19\r") << 115200u
                                << none;
    QTest::newRow("Auto Config") << 7 << "LG" << autoConfig << 9600u << autoConfig << 115200u << none;
    QTest::newRow("Auto Config ALL") << 8 << "LG" << autoConfig << 9600u << autoConfig << 9600u << unreached;
}

// Each button, its caption the row's name, sends once to the right displays at their speed while the
// editing frames are locked, then gives the frames back and the volume box the focus, its text selected.
void TestQuickCommandWindow::buttonsReachTheGroupsDisplays()
{
    QFETCH(int, button);
    QFETCH(QString, modelList);
    QFETCH(QByteArray, lgBytes);
    QFETCH(quint32, lgSpeed);
    QFETCH(QByteArray, oleviaBytes);
    QFETCH(quint32, oleviaSpeed);
    QFETCH(QStringList, log);

    QCOMPARE(quickButton(button)->text(), QString::fromLatin1(QTest::currentDataTag()));
    choose(u"cboLCD"_s, modelList);
    auto *volume = child<QLineEdit>(u"txtVolume"_s);
    QTest::keyClicks(volume, u"25"_s);
    child<QLineEdit>(u"txtNote"_s)->setFocus();
    QVERIFY(!volume->hasFocus());

    // Each editing frame's changes, and whether the executor was sending at each.
    std::map<QString, QList<std::pair<bool, bool>>> frameChanges;
    std::vector<std::unique_ptr<test::EnabledChanges>> frameWatches;
    for (const QString &frame : { u"fraGroup"_s, u"fraSerialCommand"_s })
        frameWatches.push_back(
            std::make_unique<test::EnabledChanges>(child<QGroupBox>(frame), [&, frame](bool enabled) {
                frameChanges[frame] << std::pair(enabled, m_window->executor().isRunning());
            }));
    const test::LineWatcher lines(*m_displays, idleSpeed); // each line's speed while the program had it open
    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    QTest::mouseClick(quickButton(button), Qt::LeftButton);
    QTRY_COMPARE(executed.size(), 1);

    QCOMPARE(received(3), lgBytes);
    QCOMPARE(received(5), oleviaBytes);
    QCOMPARE(lines.seen(3), QSet<QString> { QString::number(lgSpeed) });
    QCOMPARE(lines.seen(5), QSet<QString> { QString::number(oleviaSpeed) });
    QStringList logTexts;
    for (const QString &line : m_window->statusLog().lines())
        logTexts << line.section(u" - "_s, 1);
    // Each port as it was reached (the group's two, or every COM number), then those not reached.
    QStringList perPort;
    for (int com : log.isEmpty() ? QList<int> { 3, 5 } : test::PtyDisplays::range(1, 40))
        perPort << (com == 3 || com == 5 ? u"COM %1: sent"_s.arg(com) : u"COM %1: not sent: %2"_s.arg(com).arg(missingReason()));
    QCOMPARE(logTexts, perPort + log);
    // Ports not reached are named in the end message too, with the warning icon.
    const PromptMessage end = log.isEmpty()
        ? endMessage
        : PromptMessage { endMessage.text + u'\n' + log.constFirst(), PromptIcon::Exclamation };
    QCOMPARE(m_prompts.messages, QList<PromptMessage> { end });

    // Locked as the send began, given back as it ended.
    const QList<std::pair<bool, bool>> lockedWhileSending { { false, true }, { true, true } };
    QCOMPARE(frameChanges[u"fraGroup"_s], lockedWhileSending);
    QCOMPARE(frameChanges[u"fraSerialCommand"_s], lockedWhileSending);
    QVERIFY(volume->hasFocus());
    QCOMPARE(volume->selectedText(), u"25"_s);
}

enum Then { NothingMore, ClickSetVolume, ReleaseSliderInPlace, DragSliderToTheLeftEnd };

void TestQuickCommandWindow::volumeBoxAndSliderSendTheVolume_data()
{
    QTest::addColumn<QString>("keys"); // "\b" is backspace, "\r" Enter
    QTest::addColumn<int>("then");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("slider");
    QTest::addColumn<QByteArray>("bytes"); // on the LG display; the OLEVIA one's has the set ID "0"
    QTest::addColumn<QList<PromptMessage>>("messages");

    const QList<PromptMessage> end { endMessage };
    const QList<PromptMessage> noVolume { { u"Please enter or select a volume value."_s, PromptIcon::Information,
                                            PromptButtons::Ok, u"Information"_s } };
    QTest::newRow("letters, sign, point, blank and 250, Enter")
        << "x2-y 5.0\r" << int(NothingMore) << "100" << 100 << QByteArray("kf 01 64\r") << end;
    QTest::newRow("Set Volume on an empty box") << "" << int(ClickSetVolume) << "" << 0 << QByteArray() << noVolume;
    QTest::newRow("typed, emptied, Enter") << "7\b\r" << int(NothingMore) << "" << 0 << QByteArray() << noVolume;
    QTest::newRow("slider released where it was")
        << "37" << int(ReleaseSliderInPlace) << "37" << 37 << QByteArray("kf 01 25\r") << end;
    QTest::newRow("slider dragged to the left end")
        << "37" << int(DragSliderToTheLeftEnd) << "0" << 0 << QByteArray("kf 01 0\r") << end;
}

void TestQuickCommandWindow::volumeBoxAndSliderSendTheVolume()
{
    QFETCH(QString, keys);
    QFETCH(int, then);
    QFETCH(QString, shown);
    QFETCH(int, slider);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<PromptMessage>, messages);

    choose(u"cboLCD"_s, u"LG"_s);
    auto *volume = child<QLineEdit>(u"txtVolume"_s);
    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    QTest::keyClicks(volume, keys);
    if (then == ClickSetVolume)
        QTest::mouseClick(quickButton(6), Qt::LeftButton);
    else if (then != NothingMore)
        releaseSliderAfterDrag(then == DragSliderToTheLeftEnd ? -5000 : 0);
    if (!bytes.isEmpty())
        QTRY_COMPARE(executed.size(), 1);

    QCOMPARE(volume->text(), shown);
    QCOMPARE(child<QSlider>(u"sldVolume"_s)->value(), slider);
    QCOMPARE(received(3), bytes);
    QCOMPARE(received(5), QByteArray(bytes).replace("kf 01 ", "kf 0 "));
    QCOMPARE(m_prompts.messages, messages);
    QCOMPARE(executed.size(), bytes.isEmpty() ? 0 : 1);
}

void TestQuickCommandWindow::secondClickDuringASendFollowsIt_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<QByteArray>("lgBytes");
    QTest::addColumn<QByteArray>("oleviaBytes");

    QTest::newRow("Monitors ON twice") << 0 << 0 << QByteArray("ka 01 01\rka 01 01\r") << olevia + olevia;
    QTest::newRow("Auto Config, then Monitors OFF")
        << 7 << 1 << QByteArray("ju 01 01\rka 01 00\r") << QByteArray("ju 01 01\r") + olevia;
}

// The buttons of the group's own ports stay clickable while a send runs (only the editing frames are
// locked): a second click is sent after the first, each command whole.
void TestQuickCommandWindow::secondClickDuringASendFollowsIt()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(QByteArray, lgBytes);
    QFETCH(QByteArray, oleviaBytes);

    choose(u"cboLCD"_s, u"LG"_s);
    bool clickedWhileSending = false;
    onceSending([&] {
        clickedWhileSending = true;
        QTest::mouseClick(quickButton(second), Qt::LeftButton);
    });
    QSignalSpy idle(&m_window->executor(), &EventExecutor::idle);
    QTest::mouseClick(quickButton(first), Qt::LeftButton);
    QTRY_COMPARE(idle.size(), 1);

    QVERIFY(clickedWhileSending);
    QCOMPARE(received(3), lgBytes);
    QCOMPARE(received(5), oleviaBytes);
    QCOMPARE(m_prompts.messages, QList<PromptMessage>({ endMessage, endMessage }));
}

void TestQuickCommandWindow::closingDuringASendEndsOnceItIsDone()
{
    choose(u"cboLCD"_s, u"LG"_s);
    QSignalSpy ending(m_window.get(), &frmMain::programEnding);
    std::optional<qsizetype> endingAtClose;
    onceSending([&] {
        m_window->close();
        endingAtClose = ending.size();
    });
    QSignalSpy idle(&m_window->executor(), &EventExecutor::idle);
    QTest::mouseClick(quickButton(0), Qt::LeftButton);
    QTRY_COMPARE(idle.size(), 1);

    QCOMPARE(endingAtClose, std::optional<qsizetype>(0));
    QCOMPARE(ending.size(), 1);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(received(3), QByteArray("ka 01 01\r"));
    QCOMPARE(received(5), QByteArray("\xBE\x05\x25\x08\xF0"));
}

// "Monitors ALL ON" to forty COM numbers behind one server that never answers, besides the displays
// on COM 3 and 5. A second into the send the window's bottom line names the port and offers "Stop
// sending"; pressed from the keyboard, it ends the send once COM 1 has had its time.
void TestQuickCommandWindow::longSendShowsProgressAndStopsFromTheKeyboard()
{
    const test::UnansweredPort server("127.0.0.2");
    QVERIFY(server.port());
    QString ini = u"[COM_PORTS]\r\n"_s;
    for (int com = 1; com <= 40; ++com) {
        const QString device = com == 3 || com == 5 ? m_displays->display(com).devicePath()
                                                    : u"rfc2217://127.0.0.2:%1"_s.arg(server.port());
        ini += u"%1=%2\r\n"_s.arg(com).arg(device);
    }
    m_folder.writeFile(PortMap::fileName(), ini.toUtf8());
    choose(u"cboLCD"_s, u"LG"_s);

    auto *text = child<QLabel>(u"lblSendProgress"_s);
    auto *stop = child<QPushButton>(u"cmdStopSending"_s);
    QVERIFY(!stop->isVisible());
    QString shown;
    bool stopInWindow = false;
    QObject::connect(m_window->executor().progress(), &SendProgress::changed, stop, [&] {
        if (!stop->isVisible() || !shown.isEmpty())
            return;
        shown = text->text();
        stopInWindow = m_window->rect().contains(QRect(stop->mapTo(m_window.get(), QPoint()), stop->size()));
        QVERIFY(stop->focusPolicy() & Qt::TabFocus);
        stop->setFocus();
        QTest::keyClick(stop, Qt::Key_Space);
    });
    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    QTest::mouseClick(quickButton(2), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(executed.size(), 1, 30000);

    QCOMPARE(shown, u"Sending to COM 1 (1 of 40)..."_s);
    QVERIFY(stopInWindow);
    QCOMPARE(stop->accessibleName(), u"Stop sending"_s);
    QVERIFY(!stop->isVisible());
    QCOMPARE(received(3), QByteArray());
    QCOMPARE(received(5), QByteArray());
    const QString lines = u"Not sent to COM 1: unreachable (127.0.0.2:%1: no connection within 3 s)\n"
                          "Not sent to COM 2-40: stopped by the user"_s.arg(server.port());
    const PromptMessage end { endMessage.text + u'\n' + lines, PromptIcon::Exclamation };
    QCOMPARE(m_prompts.messages, QList<PromptMessage> { end });
}

QTEST_MAIN(TestQuickCommandWindow)
#include "test_quick_command_window.moc"
