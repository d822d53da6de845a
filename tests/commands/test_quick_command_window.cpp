// The nine quick-command buttons and the volume box of the main window, clicked and typed into like
// an operator does, with the displays on pseudo-terminals: which bytes reach which display at which
// speed, what the window shows and where the focus goes.
#include "app/main_window.h"
#include "app/status_log.h"
#include "inventory/inventory.h"

#include "../app/fake_tray_icon.h"
#include "manual_clock.h"
#include "pseudo_terminal.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMutex>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int quietMs = 20;
const QByteArray olevia("\xBE\x05\x25\x08\xF0");
const QString endMessage = u"Finish sending out command string!"_s;

// Displays on pseudo-terminals, with a thread that watches the speed of each line: the program sets
// it when it opens the port and the old one comes back when it closes the port, so each opening
// shows as one spell at the program's speed.
class Displays
{
public:
    explicit Displays(const QList<int> &coms)
    {
        for (int com : coms) {
            Line &line = m_lines[com];
            line.pty = std::make_unique<test::Pty>();
            line.idleSpeed = line.lastSpeed = line.pty->terminalState().value_or(test::TerminalState {}).baudRate;
        }
        m_thread = std::thread([this] { run(); });
    }
    ~Displays()
    {
        m_stop = true;
        m_thread.join();
    }

    test::Pty &pty(int com) { return *m_lines.at(com).pty; }
    // The line's speed during each opening of the port, in order.
    QList<quint32> speeds(int com) const
    {
        QMutexLocker locker(&m_mutex);
        return m_lines.at(com).speeds;
    }

private:
    struct Line
    {
        std::unique_ptr<test::Pty> pty;
        QList<quint32> speeds;
        quint32 idleSpeed = 0;
        quint32 lastSpeed = 0;
    };

    void run()
    {
        for (; !m_stop; std::this_thread::sleep_for(std::chrono::microseconds(200))) {
            for (auto &[com, line] : m_lines) {
                const std::optional<test::TerminalState> state = line.pty->terminalState();
                const quint32 speed = state ? state->baudRate : line.lastSpeed;
                if (speed != line.lastSpeed && speed != line.idleSpeed) {
                    QMutexLocker locker(&m_mutex);
                    line.speeds.append(speed);
                }
                line.lastSpeed = speed;
            }
        }
    }

    std::map<int, Line> m_lines;
    mutable QMutex m_mutex;
    std::thread m_thread;
    std::atomic_bool m_stop = false;
};

} // namespace

Q_DECLARE_METATYPE(vantiro::PromptMessage)

namespace vantiro {
char *toString(const PromptMessage &message)
{
    return QTest::toString(u"%1 (title %2, icon %3)"_s.arg(message.text, message.title).arg(int(message.icon)));
}
} // namespace vantiro

class TestQuickCommandWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buttonsReachTheGroupsDisplays_data();
    void buttonsReachTheGroupsDisplays();
    void volumeBoxShowsDigitsAndSendsOnEnter_data();
    void volumeBoxShowsDigitsAndSendsOnEnter();
    void sliderReleaseSendsTheSlidersValue_data();
    void sliderReleaseSendsTheSlidersValue();
    void secondClickDuringASendFollowsIt_data();
    void secondClickDuringASendFollowsIt();

private:
    template<typename T>
    T *child(const QString &name) const
    {
        auto *found = m_window->findChild<T *>(name);
        if (!found)
            qFatal("no control named %s", qPrintable(name));
        return found;
    }
    QPushButton *quickButton(int index) const { return child<QPushButton>(u"cmdCOMSend_%1"_s.arg(index)); }
    void choose(const QString &list, const QString &text) const;
    QByteArray received(int com) { return m_displays->pty(com).readUntilQuiet(quietMs); }
    // Runs `during` every millisecond while the executor sends, until the object is gone.
    std::unique_ptr<QTimer> whileSending(std::function<void()> during);

    test::TempAppFolder m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    test::ManualClock m_clock;
    test::FakeTrayIcon m_tray;
    std::unique_ptr<Displays> m_displays;
    std::unique_ptr<frmMain> m_window;
};

// Displays on COM 3 and 5; every other COM number names a device that does not exist. The group
// "Lobby" is built with the window's own buttons: an LG display on COM 3, an OLEVIA one on COM 5.
void TestQuickCommandWindow::init()
{
    m_displays = std::make_unique<Displays>(QList<int> { 3, 5 });
    QByteArray ini = "[COM_PORTS]\r\n";
    for (int com = 1; com <= 40; ++com) {
        const bool display = com == 3 || com == 5;
        const QString device = display ? m_displays->pty(com).devicePath() : u"/dev/vantiro-test-no-such-device"_s;
        QVERIFY(!device.isEmpty());
        ini += QByteArray::number(com) + '=' + device.toLocal8Bit() + "\r\n";
    }
    m_folder.writeFile(u"Ports.ini"_s, ini);

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
    QCOMPARE(m_window->inventory().ports().allRows(),
             QList<QStringList>({ { u"3"_s, u"LG"_s, QString() }, { u"5"_s, u"OLEVIA"_s, QString() } }));
    m_prompts.messages.clear();
}

void TestQuickCommandWindow::cleanup()
{
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

std::unique_ptr<QTimer> TestQuickCommandWindow::whileSending(std::function<void()> during)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(1);
    connect(timer.get(), &QTimer::timeout, this, [this, during] {
        if (m_window->executor().isRunning())
            during();
    });
    timer->start();
    return timer;
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

    const QByteArray on("ka 01 01\r"), off("ka 01 00\r"), oleviaMute("ke 0 0\r"), unmute("ke 01 01\r"),
        volume25("kf 01 19\r"), autoConfig("ju 01 01\r");
    const QStringList none, unreached { u"Not sent to COM 1-2, 4, 6-40: no such device"_s };
    QTest::newRow("Monitors ON") << 0 << "LG" << on << 9600u << olevia << 115200u << none;
    QTest::newRow("Monitors OFF") << 1 << "LG" << off << 9600u << olevia << 115200u << none;
    QTest::newRow("Monitors ALL ON") << 2 << "LG" << on << 9600u << on << 9600u << unreached;
    QTest::newRow("Monitors ALL OFF, OLEVIA") << 3 << "OLEVIA" << olevia << 115200u << olevia << 115200u << unreached;
    QTest::newRow("Mute ON, OLEVIA") << 4 << "OLEVIA" << oleviaMute << 115200u << oleviaMute << 115200u << none;
    QTest::newRow("Mute OFF") << 5 << "LG" << unmute << 9600u << unmute << 9600u << none;
    QTest::newRow("Set Volume 25") << 6 << "LG" << volume25 << 9600u << volume25 << 9600u << none;
    QTest::newRow("Auto Config") << 7 << "LG" << autoConfig << 9600u << autoConfig << 115200u << none;
    QTest::newRow("Auto Config ALL") << 8 << "LG" << autoConfig << 9600u << autoConfig << 9600u << unreached;
}

void TestQuickCommandWindow::buttonsReachTheGroupsDisplays()
{
    QFETCH(int, button);
    QFETCH(QString, modelList);
    QFETCH(QByteArray, lgBytes);
    QFETCH(quint32, lgSpeed);
    QFETCH(QByteArray, oleviaBytes);
    QFETCH(quint32, oleviaSpeed);
    QFETCH(QStringList, log);

    choose(u"cboLCD"_s, modelList);
    auto *volume = child<QLineEdit>(u"txtVolume"_s);
    QTest::keyClicks(volume, u"25"_s);
    child<QLineEdit>(u"txtNote"_s)->setFocus();
    QVERIFY(!volume->hasFocus());

    QList<bool> framesEnabledWhileSending;
    const auto probe = whileSending([&] {
        framesEnabledWhileSending << (child<QGroupBox>(u"fraGroup"_s)->isEnabled()
                                      || child<QGroupBox>(u"fraSerialCommand"_s)->isEnabled());
    });
    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    QTest::mouseClick(quickButton(button), Qt::LeftButton);
    QTRY_COMPARE(executed.size(), 1);

    QCOMPARE(received(3), lgBytes);
    QCOMPARE(received(5), oleviaBytes);
    QCOMPARE(m_displays->speeds(3), QList<quint32> { lgSpeed });
    QCOMPARE(m_displays->speeds(5), QList<quint32> { oleviaSpeed });
    QCOMPARE(m_prompts.messages, QList<PromptMessage> { { endMessage } }); // OK button, title "Vantiro"
    QStringList logTexts;
    for (const QString &line : m_window->statusLog().lines())
        logTexts << line.section(u" - "_s, 1);
    QCOMPARE(logTexts, log);

    QVERIFY(!framesEnabledWhileSending.isEmpty());
    QVERIFY(!framesEnabledWhileSending.contains(true));
    QVERIFY(child<QGroupBox>(u"fraGroup"_s)->isEnabled());
    QVERIFY(child<QGroupBox>(u"fraSerialCommand"_s)->isEnabled());
    QVERIFY(volume->hasFocus());
    QCOMPARE(volume->selectedText(), u"25"_s);
}

void TestQuickCommandWindow::volumeBoxShowsDigitsAndSendsOnEnter_data()
{
    QTest::addColumn<QString>("keys"); // "\b" is backspace, "\r" Enter
    QTest::addColumn<bool>("clickSetVolume");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("slider");
    QTest::addColumn<QByteArray>("bytes"); // on both displays
    QTest::addColumn<QList<PromptMessage>>("messages");

    const QList<PromptMessage> end { { endMessage } }, none;
    const QList<PromptMessage> noVolume { { u"Please enter or select a volume value."_s, PromptIcon::Information,
                                            PromptButtons::Ok, u"Information"_s } };
    QTest::newRow("25, Enter") << "25\r" << false << "25" << 25 << QByteArray("kf 01 19\r") << end;
    QTest::newRow("letters dropped") << "2a5x" << false << "25" << 25 << QByteArray() << none;
    QTest::newRow("250 shows 100") << "250" << false << "100" << 100 << QByteArray() << none;
    QTest::newRow("letters and 250, Enter") << "x2y50\r" << false << "100" << 100 << QByteArray("kf 01 64\r") << end;
    QTest::newRow("Set Volume on an empty box") << "" << true << "" << 0 << QByteArray() << noVolume;
    QTest::newRow("typed, emptied, Enter") << "7\b\r" << false << "" << 0 << QByteArray() << noVolume;
}

void TestQuickCommandWindow::volumeBoxShowsDigitsAndSendsOnEnter()
{
    QFETCH(QString, keys);
    QFETCH(bool, clickSetVolume);
    QFETCH(QString, shown);
    QFETCH(int, slider);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<PromptMessage>, messages);

    choose(u"cboLCD"_s, u"LG"_s);
    auto *volume = child<QLineEdit>(u"txtVolume"_s);
    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    QTest::keyClicks(volume, keys);
    if (clickSetVolume)
        QTest::mouseClick(quickButton(6), Qt::LeftButton);
    if (!bytes.isEmpty())
        QTRY_COMPARE(executed.size(), 1);

    QCOMPARE(volume->text(), shown);
    QCOMPARE(child<QSlider>(u"sldVolume"_s)->value(), slider);
    QCOMPARE(received(3), bytes);
    QCOMPARE(received(5), bytes);
    QCOMPARE(m_prompts.messages, messages);
    QCOMPARE(executed.size(), bytes.isEmpty() ? 0 : 1);
    QVERIFY(!child<QTimer>(u"TimerExcuteEventCmd"_s)->isActive());
}

void TestQuickCommandWindow::sliderReleaseSendsTheSlidersValue_data()
{
    QTest::addColumn<int>("dragBy"); // pixels; far enough to reach an end
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("released where it was") << 0 << "37" << QByteArray("kf 01 25\r");
    QTest::newRow("dragged to the right end") << 5000 << "100" << QByteArray("kf 01 64\r");
    QTest::newRow("dragged to the left end") << -5000 << "0" << QByteArray("kf 01 0\r");
}

void TestQuickCommandWindow::sliderReleaseSendsTheSlidersValue()
{
    QFETCH(int, dragBy);
    QFETCH(QString, shown);
    QFETCH(QByteArray, bytes);

    choose(u"cboLCD"_s, u"LG"_s);
    auto *slider = child<QSlider>(u"sldVolume"_s);
    QTest::keyClicks(child<QLineEdit>(u"txtVolume"_s), u"37"_s);
    QCOMPARE(slider->value(), 37);

    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = option.sliderValue = slider->value();
    const QPoint handle
        = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
    const QPoint to = handle + QPoint(dragBy, 0);

    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    QTest::mousePress(slider, Qt::LeftButton, {}, handle);
    QMouseEvent move(QEvent::MouseMove, to, slider->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(slider, &move);
    QVERIFY(executed.isEmpty()); // the release sends, not the move
    QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
    QTRY_COMPARE(executed.size(), 1);

    QCOMPARE(QString::number(slider->value()), shown);
    QCOMPARE(child<QLineEdit>(u"txtVolume"_s)->text(), shown);
    QCOMPARE(received(3), bytes);
    QCOMPARE(received(5), bytes);
    QCOMPARE(m_prompts.messages, QList<PromptMessage> { { endMessage } });
}

void TestQuickCommandWindow::secondClickDuringASendFollowsIt_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<QByteArray>("lgBytes");
    QTest::addColumn<QByteArray>("oleviaBytes");

    QTest::newRow("Monitors ON twice") << 0 << 0 << QByteArray("ka 01 01\rka 01 01\r") << olevia + olevia;
    QTest::newRow("Monitors ON, then OFF") << 0 << 1 << QByteArray("ka 01 01\rka 01 00\r") << olevia + olevia;
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
    const auto secondClick = whileSending([&] {
        if (!std::exchange(clickedWhileSending, true))
            QTest::mouseClick(quickButton(second), Qt::LeftButton);
    });
    QSignalSpy executed(&m_window->executor(), &EventExecutor::commandExecuted);
    QSignalSpy idle(&m_window->executor(), &EventExecutor::idle);
    QTest::mouseClick(quickButton(first), Qt::LeftButton);
    QTRY_COMPARE(idle.size(), 1);

    QVERIFY(clickedWhileSending);
    QCOMPARE(executed.size(), 2);
    QCOMPARE(received(3), lgBytes);
    QCOMPARE(received(5), oleviaBytes);
    QCOMPARE(m_displays->speeds(3), QList<quint32>({ 9600u, 9600u }));
    QCOMPARE(m_displays->speeds(5), QList<quint32>({ 115200u, 115200u }));
    QCOMPARE(m_prompts.messages, QList<PromptMessage>({ { endMessage }, { endMessage } }));
    QVERIFY(!child<QTimer>(u"TimerExcuteEventCmd"_s)->isActive());
}

QTEST_MAIN(TestQuickCommandWindow)
#include "test_quick_command_window.moc"
