#include "app/main_window.h"
#include "app/qt_prompts.h"
#include "app/version.h"
#include "common/status_log.h"
#include "fake_tray_icon.h"
#include "manual_clock.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"
#include "window_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <tuple>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

QStringList items(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

QStringList numbers(int first, int last, int width)
{
    QStringList texts;
    for (int i = first; i <= last; ++i)
        texts << u"%1"_s.arg(i, width, 10, QLatin1Char('0'));
    return texts;
}

// A settings file with one group of two ports and no schedule, so the window comes up as the operator
// left it.
const QByteArray lobbySettings
    = "[SERIAL_COMMAND_SETTINGS]\r\nMonitor ON=6B 61 20 30 31 20 30 31 0D\r\n"
      "Monitor OFF=6B 61 20 30 31 20 30 30 0D\r\nBaud Rate=9600\r\nParity=n\r\n"
      "Data Bits=8\r\nStop Bits=1\r\n[GROUP_SETTINGS]\r\nGroups=1\r\n"
      "1=Lobby%front wall%1~left~LG`2~right~OLEVIA\r\n[SCHEDULE_SETTINGS]\r\nSchedules=0\r\n";

// What an operator or the program does in the window before it is closed.
using WindowStep = void (*)(frmMain &window, test::ScriptedPrompts &prompts);

template<typename T> T *in(frmMain &window, const QString &name)
{
    return test::control<T>(&window, name);
}

void click(frmMain &window, const QString &button)
{
    QTest::mouseClick(in<QPushButton>(window, button), Qt::LeftButton);
}

void clickRow(frmMain &window, const QString &view, int row)
{
    auto *table = in<QAbstractItemView>(window, view);
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

void addGroup(frmMain &window, test::ScriptedPrompts &prompts)
{
    prompts.plannedTexts = { u"Hall"_s };
    click(window, u"btnAddGroup"_s);
}

// A schedule row added and saved, so that what is done to it next is the only change.
void addSavedScheduleRow(frmMain &window)
{
    click(window, u"btnAddSchGroup"_s);
    QVERIFY(window.saveSettings());
    clickRow(window, u"lvScheduler"_s, 0);
}

int saveQuestions(const test::ScriptedPrompts &prompts)
{
    return int(std::count_if(prompts.messages.cbegin(), prompts.messages.cend(), [](const PromptMessage &message) {
        return message.buttons == PromptButtons::SaveDiscardCancel;
    }));
}

} // namespace

Q_DECLARE_METATYPE(WindowStep)

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithDefaultsWhenThereIsNoSettingsFile();
    void unreadableSettingsFileIsToldAndReplacedOnlyWhenAsked_data();
    void unreadableSettingsFileIsToldAndReplacedOnlyWhenAsked();
    void namedControlsAreInPlace();
    void choosingAModelLoadsItsCommandsAndLineSettings_data();
    void choosingAModelLoadsItsCommandsAndLineSettings();
    void typingIntoTheModelListChangesNothing();
    void statusLogShowsItsNewestLine();
    void volumeBoxKeepsItsEditingKeys();
    void greyedOutVolumeSliderSendsNothing();
    void tabAndShiftTabLeaveTheVolumeBox();
    void sliderStepsShowAtOnceAndSendOnceWhenTheyStop_data();
    void sliderStepsShowAtOnceAndSendOnceWhenTheyStop();
    void systrayHidesBehindTheIconUntilDoubleClickOrAnotherStart();
    void systrayMinimisesWhereThereIsNoNotificationArea();
    void trayActivationBringsTheWindowBack_data();
    void trayActivationBringsTheWindowBack();
    void closingRemovesTheIconAndEndsTheProgram_data();
    void closingRemovesTheIconAndEndsTheProgram();
    void panelButtonsAndF1OpenTheirWindows_data();
    void panelButtonsAndF1OpenTheirWindows();
    void closeAsksOnlyAfterTheOperatorsOwnEdits_data();
    void closeAsksOnlyAfterTheOperatorsOwnEdits();
    void closeQuestionSavesDiscardsOrStays_data();
    void closeQuestionSavesDiscardsOrStays();
    void closeQuestionSavesOnEnterAndStaysOnEscape_data();
    void closeQuestionSavesOnEnterAndStaysOnEscape();
    void scheduleStartedByItselfLeavesNoUnsavedMark();
    // Last: the end of the session ends the test's own event loops too.
    void endOfTheSessionClosesWithoutAsking();

private:
    template<typename T> T *child(const QString &name) const { return test::control<T>(m_window.get(), name); }
    void showWindow();
    // A window started on these files, shown once its settings are loaded.
    void startWith(const QByteArray &settings, const QByteArray &ports = {});

    std::unique_ptr<test::TempAppFolder> m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    test::ManualClock m_clock;
    std::unique_ptr<test::FakeTrayIcon> m_tray;
    std::unique_ptr<frmMain> m_window;
};

void TestMainWindow::init()
{
    m_folder = std::make_unique<test::TempAppFolder>();
    m_prompts = {};
    m_tray = std::make_unique<test::FakeTrayIcon>();
    m_window = std::make_unique<frmMain>(m_folder->path(),
                                         MainWindowServices { &m_prompts, &m_busy, &m_clock, m_tray.get() });
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    m_tray.reset();
    m_folder.reset();
}

void TestMainWindow::showWindow()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestMainWindow::startWith(const QByteArray &settings, const QByteArray &ports)
{
    m_window.reset();
    m_folder->writeFile(u"Settings.ini"_s, settings);
    if (!ports.isEmpty())
        m_folder->writeFile(u"Ports.ini"_s, ports);
    m_window = std::make_unique<frmMain>(m_folder->path(),
                                         MainWindowServices { &m_prompts, &m_busy, &m_clock, m_tray.get() });
    QTRY_VERIFY(!child<QTimer>(u"StartUpTimer"_s)->isActive());
    if (!m_window->scheduleRunner().isRunning())
        showWindow();
}

void TestMainWindow::startsWithDefaultsWhenThereIsNoSettingsFile()
{
    QVERIFY(child<QTimer>(u"StartUpTimer"_s)->isActive());
    for (const QString &timer : { u"RunClockTimer"_s, u"UpdateTimer"_s, u"TimerExcuteEventCmd"_s })
        QVERIFY2(!child<QTimer>(timer)->isActive(), qPrintable(timer));
    QTRY_VERIFY(!child<QTimer>(u"StartUpTimer"_s)->isActive());

    QCOMPARE(m_window->windowTitle(),
             u"Vantiro %1.%2.%3"_s.arg(VANTIRO_VERSION_MAJOR).arg(VANTIRO_VERSION_MINOR).arg(VANTIRO_VERSION_REVISION));
    QCOMPARE(m_window->settingsPath(), m_folder->path() + u"/Settings.ini"_s);

    QCOMPARE(child<QTableView>(u"iGroup"_s)->model()->rowCount(), 0);
    QCOMPARE(child<QTableView>(u"iPort"_s)->model()->rowCount(), 0);
    QCOMPARE(child<QTreeView>(u"lvScheduler"_s)->model()->rowCount(), 0);
    QCOMPARE(child<QTableView>(u"iPend"_s)->model()->rowCount(), 0);
    QCOMPARE(child<QListView>(u"lstMessage"_s)->model()->rowCount(), 0);

    auto *models = child<QComboBox>(u"cboLCD"_s);
    QCOMPARE(items(models), QStringList({ u"LG"_s, u"OLEVIA"_s, u"HYUNDAI-Vvuon"_s, u"HYUNDAI-D525ML"_s }));
    QCOMPARE(models->currentIndex(), 0);
    QCOMPARE(child<QComboBox>(u"CbPortSet_0"_s)->currentText(), u"9600"_s);
    QCOMPARE(child<QComboBox>(u"CbPortSet_1"_s)->currentText(), u"n"_s);
    QCOMPARE(child<QComboBox>(u"CbPortSet_2"_s)->currentText(), u"8"_s);
    QCOMPARE(child<QComboBox>(u"CbPortSet_3"_s)->currentText(), u"1"_s);
    QCOMPARE(items(child<QComboBox>(u"CbPortSet_0"_s)),
             QStringList({ u"9600"_s, u"19200"_s, u"38400"_s, u"57600"_s, u"115200"_s }));
    QCOMPARE(items(child<QComboBox>(u"CbPortSet_1"_s)), QStringList({ u"e"_s, u"o"_s, u"n"_s }));
    QCOMPARE(items(child<QComboBox>(u"CbPortSet_2"_s)), QStringList({ u"7"_s, u"8"_s }));
    QCOMPARE(items(child<QComboBox>(u"CbPortSet_3"_s)), QStringList({ u"1"_s, u"2"_s }));
    QCOMPARE(child<QLineEdit>(u"TxtCommPort"_s)->text(), u"1"_s);
    QCOMPARE(child<QLineEdit>(u"txtMonitorOnCommand"_s)->text(), u"6B 61 20 30 31 20 30 31 0D"_s);
    QCOMPARE(child<QLineEdit>(u"txtMonitorOffCommand"_s)->text(), u"6B 61 20 30 31 20 30 30 0D"_s);
    QCOMPARE(items(child<QComboBox>(u"cboCOM"_s)), numbers(1, 40, 1));

    for (const QString &start : { u"StartHour"_s, u"StartMin"_s, u"StartSec"_s })
        QCOMPARE(child<QComboBox>(start)->currentText(), u"00"_s);
    QCOMPARE(child<QComboBox>(u"EndHour"_s)->currentText(), u"23"_s);
    QCOMPARE(child<QComboBox>(u"EndMin"_s)->currentText(), u"59"_s);
    QCOMPARE(child<QComboBox>(u"EndSec"_s)->currentText(), u"59"_s);
    QCOMPARE(items(child<QComboBox>(u"StartHour"_s)), numbers(0, 23, 2));
    QCOMPARE(items(child<QComboBox>(u"EndSec"_s)), numbers(0, 59, 2));

    auto *functions = child<QComboBox>(u"cboMonitors"_s);
    QCOMPARE(functions->count(), 10);
    QCOMPARE(functions->itemText(0), u"Monitors ON"_s);
    QCOMPARE(functions->itemText(9), u"HYUNDAI All Monitors OFF"_s);
    QCOMPARE(functions->currentIndex(), -1);

    QVERIFY(!child<QGroupBox>(u"fraAtt"_s)->isEnabled());
    QVERIFY(child<QGroupBox>(u"fraVolume"_s)->isEnabled());
    QVERIFY(child<QPushButton>(u"btnRun"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"btnStop"_s)->isEnabled());
    QVERIFY(m_prompts.messages.isEmpty());
}

// A settings file that is there but cannot be read is told at start, with the system's reason; a save over it asks
// first, and a save that fails says why.
void TestMainWindow::unreadableSettingsFileIsToldAndReplacedOnlyWhenAsked_data()
{
    QTest::addColumn<bool>("folder"); // a folder of that name, else a file without read permission
    QTest::addColumn<PromptAnswer>("answer");
    QTest::addColumn<QString>("after"); // the message after the question, if any
    QTest::newRow("a folder: the save fails and says why")
        << true << PromptAnswer::Yes << u"Failed saving the settings.\n\n"_s;
    QTest::newRow("no read permission, kept") << false << PromptAnswer::No << QString();
    QTest::newRow("no read permission, replaced") << false << PromptAnswer::Yes << u"Settings saved."_s;
}

void TestMainWindow::unreadableSettingsFileIsToldAndReplacedOnlyWhenAsked()
{
    QFETCH(bool, folder);
    QFETCH(PromptAnswer, answer);
    QFETCH(QString, after);

    m_window.reset();
    const QString path = m_folder->filePath(u"Settings.ini"_s);
    const QByteArray unseen = "[GROUP_SETTINGS]\r\nGroups=1\r\n1=Lobby%%\r\n";
    if (folder) {
        QVERIFY(QDir(m_folder->path()).mkdir(u"Settings.ini"_s));
    } else {
        if (::geteuid() == 0)
            QSKIP("root reads files without read permission");
        m_folder->writeFile(u"Settings.ini"_s, unseen);
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    }
    frmMain window(m_folder->path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, m_tray.get() });
    QTRY_COMPARE(m_prompts.messages.size(), 1);
    const PromptMessage told = m_prompts.messages.takeFirst();
    QVERIFY2(told.text.contains(path) && told.icon == PromptIcon::Exclamation, qPrintable(told.text));
    auto *log = test::control<QListView>(&window, u"lstMessage"_s);
    QVERIFY(log->currentIndex().data().toString().contains(path));

    m_prompts.plannedAnswers = { answer };
    QTest::mouseClick(test::control<QPushButton>(&window, u"btnSave"_s), Qt::LeftButton);
    QVERIFY(!m_prompts.messages.isEmpty());
    const PromptMessage asked = m_prompts.messages.takeFirst();
    QVERIFY2(asked.buttons == PromptButtons::YesNo && asked.text.contains(path), qPrintable(asked.text));
    QCOMPARE(m_prompts.messages.size(), after.isEmpty() ? 0 : 1);
    if (!after.isEmpty()) {
        // A failure names the system's reason after the message.
        const QString shown = m_prompts.messages.first().text;
        QCOMPARE(shown.left(after.size()), after);
        QVERIFY2(!after.endsWith(u'\n') || shown.size() > after.size(), qPrintable(shown));
    }
    if (!folder) {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(m_folder->readFile(u"Settings.ini"_s) == unseen, answer == PromptAnswer::No);
    }
}

// The controls no other test reaches, by the names the program gives them (arrays numbered from 0).
void TestMainWindow::namedControlsAreInPlace()
{
    const std::tuple<QString, int, const char *> controls[] {
        { u"btnHyundaiLCD"_s, 2, "QPushButton" },
        { u"btnLGLCD"_s, 0, "QPushButton" },
        { u"btnGeneralSerialCmd"_s, 0, "QPushButton" },
        { u"CheckDay"_s, 7, "QCheckBox" },
        { u"SSTab1"_s, 0, "QTabWidget" },
    };
    for (const auto &[name, arraySize, kind] : controls) {
        for (int i = 0; i < std::max(arraySize, 1); ++i) {
            const QString element = arraySize == 0 ? name : u"%1_%2"_s.arg(name).arg(i);
            const QObject *control = m_window->findChild<QObject *>(element);
            QVERIFY2(control && control->inherits(kind), qPrintable(element));
        }
    }
}

void TestMainWindow::choosingAModelLoadsItsCommandsAndLineSettings_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("commands"); // on, off, mute on, mute off, volume, auto configuration
    QTest::addColumn<QString>("baud");
    QTest::addColumn<bool>("volumeEnabled");

    const QStringList lg { u"6B 61 20 30 31 20 30 31 0D"_s, u"6B 61 20 30 31 20 30 30 0D"_s,
                           u"6B 65 20 30 31 20 30 30 0D"_s, u"6B 65 20 30 31 20 30 31 0D"_s,
                           u"6B 66 20 30 31 20 _ 0D"_s,     u"6A 75 20 30 31 20 30 31 0D"_s };
    const QString olevia = u"BE 05 25 08 F0"_s;
    const QString d525On = u"64 69 64 3A 61 6C 6C 2D 70 6E 2E"_s;
    const QString d525Off = u"64 69 64 3A 61 6C 6C 2D 70 66 2E"_s;
    const QStringList vvuon { u"40 4B 45 59 3A 30 0D"_s, u"40 50 57 44 3A 30 0D"_s, u"40 4D 55 54 3A 31 0D"_s,
                              u"40 4D 55 54 3A 30 0D"_s, u"40 56 4F 4C 3A _ 0D"_s,  lg.at(5) };
    const QStringList oleviaSet {
        olevia, olevia, u"6B 65 20 30 20 30 0D"_s, u"6B 65 20 30 20 31 0D"_s, u"6B 66 20 30 20 _ 0D"_s, lg.at(5)
    };

    QTest::newRow("LG again") << u"LG"_s << u"LG"_s << lg << u"9600"_s << true;
    QTest::newRow("OLEVIA keeps the LG auto configuration")
        << u"LG"_s << u"OLEVIA"_s << oleviaSet << u"115200"_s << true;
    QTest::newRow("HYUNDAI-Vvuon") << u"LG"_s << u"HYUNDAI-Vvuon"_s << vvuon << u"9600"_s << true;
    QTest::newRow("D525ML after LG") << u"LG"_s << u"HYUNDAI-D525ML"_s
                                     << QStringList { d525On, d525Off, lg.at(2), lg.at(3), lg.at(4), lg.at(5) }
                                     << u"9600"_s << false;
    QTest::newRow("D525ML keeps the Vvuon mute and volume")
        << u"HYUNDAI-Vvuon"_s << u"HYUNDAI-D525ML"_s
        << QStringList { d525On, d525Off, vvuon.at(2), vvuon.at(3), vvuon.at(4), lg.at(5) } << u"9600"_s << false;
    QTest::newRow("D525ML after OLEVIA resets the baud rate")
        << u"OLEVIA"_s << u"HYUNDAI-D525ML"_s
        << QStringList { d525On, d525Off, oleviaSet.at(2), oleviaSet.at(3), oleviaSet.at(4), lg.at(5) } << u"9600"_s
        << false;
    QTest::newRow("LG after D525ML enables the volume again")
        << u"HYUNDAI-D525ML"_s << u"LG"_s << lg << u"9600"_s << true;
    QTest::newRow("OLEVIA after D525ML") << u"HYUNDAI-D525ML"_s << u"OLEVIA"_s << oleviaSet << u"115200"_s << true;
}

void TestMainWindow::choosingAModelLoadsItsCommandsAndLineSettings()
{
    QFETCH(QString, before);
    QFETCH(QString, model);
    QFETCH(QStringList, commands);
    QFETCH(QString, baud);
    QFETCH(bool, volumeEnabled);

    auto *models = child<QComboBox>(u"cboLCD"_s);
    m_window->selectModelEntry(models->findText(before));
    // The operator's own edits are overwritten by the model's row, also when it is the one shown.
    child<QComboBox>(u"CbPortSet_0"_s)->setCurrentText(u"38400"_s);
    child<QComboBox>(u"CbPortSet_1"_s)->setCurrentText(u"e"_s);
    child<QLineEdit>(u"txtMonitorOnCommand"_s)->setText(u"41 42"_s);
    child<QLineEdit>(u"txtMonitorOffCommand"_s)->setText(u"41"_s);
    m_window->selectModelEntry(models->findText(model));

    const ModelCommandSet &set = m_window->modelCommandSet();
    QCOMPARE(QStringList({ set.powerOnCommand, set.powerOffCommand, set.muteOnCommand, set.muteOffCommand,
                           set.volumeCommand, set.autoConfigCommand }),
             commands);
    QCOMPARE(child<QLineEdit>(u"txtMonitorOnCommand"_s)->text(), commands.at(0));
    QCOMPARE(child<QLineEdit>(u"txtMonitorOffCommand"_s)->text(), commands.at(1));
    QCOMPARE(child<QComboBox>(u"CbPortSet_0"_s)->currentText(), baud);
    QCOMPARE(child<QComboBox>(u"CbPortSet_1"_s)->currentText(), u"n"_s);
    QCOMPARE(QStringList({ set.modelBaudRate, set.modelParity, set.modelDataBits, set.modelStopBits }),
             QStringList({ baud, u"n"_s, u"8"_s, u"1"_s }));
    QCOMPARE(child<QGroupBox>(u"fraVolume"_s)->isEnabled(), volumeEnabled);
}

void TestMainWindow::typingIntoTheModelListChangesNothing()
{
    showWindow();
    auto *models = child<QComboBox>(u"cboLCD"_s);
    models->setFocus();
    const ModelCommandSet before = m_window->modelCommandSet();
    QTest::keyClicks(models, u"OLEVIA"_s);
    QTest::keyClicks(models, u"h"_s);
    QCOMPARE(models->currentText(), u"LG"_s);
    QCOMPARE(m_window->modelCommandSet(), before);

    // Choosing from the list still works from the keyboard.
    QTest::keyClick(models, Qt::Key_Down);
    QCOMPARE(models->currentText(), u"OLEVIA"_s);
    QCOMPARE(m_window->modelCommandSet().powerOnCommand, u"BE 05 25 08 F0"_s);
}

void TestMainWindow::statusLogShowsItsNewestLine()
{
    auto *log = child<QListView>(u"lstMessage"_s);
    for (int i = 1; i <= 1001; ++i)
        m_window->statusMessage(u"line %1"_s.arg(i));
    QCOMPARE(log->model()->rowCount(), 1001);
    QCOMPARE(log->currentIndex().row(), 1000);
    QVERIFY(log->currentIndex().data().toString().endsWith(u" - line 1001"_s));

    m_window->statusMessage(u"line 1002"_s);
    QCOMPARE(log->model()->rowCount(), 1);
    QCOMPARE(log->currentIndex().row(), 0);
    QVERIFY(log->currentIndex().data().toString().endsWith(u" - line 1002"_s));
}

void TestMainWindow::volumeBoxKeepsItsEditingKeys()
{
    showWindow();
    auto *volume = child<QLineEdit>(u"txtVolume"_s);
    volume->setFocus();
    QTest::keyClicks(volume, u"25"_s);
    QTest::keyClick(volume, Qt::Key_Home);
    // Some desktops give Delete the DEL character as its text; it is an editing key all the same.
    QTest::sendKeyEvent(QTest::Press, volume, Qt::Key_Delete, QString(QChar(0x7f)), Qt::NoModifier);
    QCOMPARE(volume->text(), u"5"_s);

    // Select all with the keyboard shortcut (its text is a control character), then type over it.
    QTest::sendKeyEvent(QTest::Press, volume, Qt::Key_A, QString(QChar(0x01)), Qt::ControlModifier);
    QTest::keyClicks(volume, u"7"_s);
    QCOMPARE(volume->text(), u"7"_s);
    QCOMPARE(child<QSlider>(u"sldVolume"_s)->value(), 7);
}

void TestMainWindow::greyedOutVolumeSliderSendsNothing()
{
    showWindow();
    m_window->selectModelEntry(3); // HYUNDAI-D525ML has no volume: the frame is greyed out
    auto *slider = child<QSlider>(u"sldVolume"_s);
    QVERIFY(!slider->isEnabled());
    QTest::mouseClick(slider, Qt::LeftButton, {}, slider->rect().center());
    QTest::qWait(50);
    QVERIFY(m_prompts.messages.isEmpty());
    QVERIFY(!child<QTimer>(u"TimerExcuteEventCmd"_s)->isActive());
    QCOMPARE(child<QLineEdit>(u"txtVolume"_s)->text(), QString());
}

// The executor puts the focus into the volume box after every quick command: the keyboard must get out.
void TestMainWindow::tabAndShiftTabLeaveTheVolumeBox()
{
    showWindow();
    auto *volume = child<QLineEdit>(u"txtVolume"_s);
    for (const auto &[key, modifier] :
         { std::pair(Qt::Key_Tab, Qt::NoModifier), std::pair(Qt::Key_Backtab, Qt::ShiftModifier) }) {
        volume->setFocus();
        QCOMPARE(m_window->focusWidget(), volume);
        QTest::keyClick(volume, key, modifier);
        QVERIFY2(m_window->focusWidget() != volume, qPrintable(QKeySequence(key).toString()));
    }
    QCOMPARE(volume->text(), QString());
}

// Wheel turns and keys move the slider a step at a time: the box shows every step at once, and the
// volume goes out once, when they stop, as after a mouse release.
void TestMainWindow::sliderStepsShowAtOnceAndSendOnceWhenTheyStop_data()
{
    QTest::addColumn<int>("key"); // 0: the wheel
    QTest::addColumn<int>("expected");
    QTest::newRow("wheel") << 0 << 29; // three steps a notch
    QTest::newRow("arrow key") << int(Qt::Key_Right) << 23;
    QTest::newRow("page up") << int(Qt::Key_PageUp) << 35;
}

void TestMainWindow::sliderStepsShowAtOnceAndSendOnceWhenTheyStop()
{
    QFETCH(int, key);
    QFETCH(int, expected);

    showWindow();
    auto *slider = child<QSlider>(u"sldVolume"_s);
    auto *volume = child<QLineEdit>(u"txtVolume"_s);
    volume->setText(u"20"_s);
    for (int step = 0; step < 3; ++step) {
        if (key == 0) {
            const QPointF at = slider->rect().center();
            QWheelEvent wheel(at, slider->mapToGlobal(at), {}, { 0, 120 }, Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(slider, &wheel);
        } else {
            QTest::keyClick(slider, Qt::Key(key));
        }
        QCOMPARE(volume->text(), QString::number(slider->value()));
    }
    QCOMPARE(slider->value(), expected);
    QVERIFY(m_prompts.messages.isEmpty());
    // Each send ends in one report of the executor.
    QTRY_COMPARE(m_prompts.messages.size(), 1);
    QTest::qWait(400);
    QCOMPARE(m_prompts.messages.size(), 1);
    QCOMPARE(volume->text(), QString::number(expected));
}

void TestMainWindow::systrayHidesBehindTheIconUntilDoubleClickOrAnotherStart()
{
    showWindow();
    QTest::mouseClick(child<QPushButton>(u"btnHide"_s), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_tray->isIconShown());

    m_tray->doubleClick();
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_window->isMinimized());
    QVERIFY(!m_tray->isIconShown());

    // And again: the icon comes back with every hide; another start of the program also brings it back.
    QTest::mouseClick(child<QPushButton>(u"btnHide"_s), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_tray->timesShown, 2);
    m_window->restoreFromAnotherStart();
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_tray->isIconShown());
}

void TestMainWindow::systrayMinimisesWhereThereIsNoNotificationArea()
{
    test::FakeTrayIcon absent(false);
    frmMain window(m_folder->path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, &absent });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.findChild<QPushButton *>(u"btnHide"_s), Qt::LeftButton);
    QTRY_VERIFY(window.isMinimized());
    QVERIFY(!absent.isIconShown());

    window.restoreFromAnotherStart();
    QTRY_VERIFY(!window.isMinimized());
    QVERIFY(window.isVisible());
}

// Where the notification area reports double-clicks, only a double-click brings the window back; where it
// reports every click as a single activation, that activation does. The context click never does. Which of
// the two it is is asked once, when the icon is first shown.
void TestMainWindow::trayActivationBringsTheWindowBack_data()
{
    QTest::addColumn<TrayClicks>("clicks");
    QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
    QTest::addColumn<bool>("restores");
    QTest::newRow("double-click") << TrayClicks::DoubleClick << QSystemTrayIcon::DoubleClick << true;
    QTest::newRow("single click where double-clicks come")
        << TrayClicks::DoubleClick << QSystemTrayIcon::Trigger << false;
    QTest::newRow("single activation, the only kind")
        << TrayClicks::SingleActivation << QSystemTrayIcon::Trigger << true;
    QTest::newRow("context click") << TrayClicks::SingleActivation << QSystemTrayIcon::Context << false;
    QTest::newRow("middle click") << TrayClicks::SingleActivation << QSystemTrayIcon::MiddleClick << false;
}

void TestMainWindow::trayActivationBringsTheWindowBack()
{
    QFETCH(TrayClicks, clicks);
    QFETCH(QSystemTrayIcon::ActivationReason, reason);
    QFETCH(bool, restores);

    // Nothing is asked of the desktop until the icon is first shown: that waits on the session bus.
    int asked = 0;
    SystemTrayIcon tray(programIcon(), applicationTitle, [&] {
        ++asked;
        return clicks;
    });
    QVERIFY(!tray.findChild<QSystemTrayIcon *>());
    QCOMPARE(asked, 0);
    tray.showIcon();
    tray.removeIcon();
    tray.showIcon();
    QCOMPARE(asked, 1);
    QSignalSpy restore(&tray, &TrayIcon::doubleClicked);
    emit test::control<QSystemTrayIcon>(&tray, QString())->activated(reason);
    QCOMPARE(restore.size(), restores ? 1 : 0);
}

void TestMainWindow::closingRemovesTheIconAndEndsTheProgram_data()
{
    QTest::addColumn<bool>("hiddenFirst");
    QTest::addColumn<bool>("byButton");
    QTest::newRow("Close button, never hidden") << false << true;
    QTest::newRow("close box, never hidden") << false << false;
    QTest::newRow("closed while in the tray") << true << false;
}

void TestMainWindow::closingRemovesTheIconAndEndsTheProgram()
{
    QFETCH(bool, hiddenFirst);
    QFETCH(bool, byButton);

    showWindow();
    QSignalSpy ending(m_window.get(), &frmMain::programEnding);
    if (hiddenFirst)
        m_window->hideToTray();
    if (byButton)
        QTest::mouseClick(child<QPushButton>(u"btnClose"_s), Qt::LeftButton);
    else
        QVERIFY(m_window->close());
    QCOMPARE(ending.size(), 1);
    QVERIFY(!m_tray->isIconShown());
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_prompts.messages.isEmpty());
    QVERIFY(!QFileInfo::exists(m_window->settingsPath()));
}

// Each opens its window modally over the main window; Escape closes it again.
void TestMainWindow::panelButtonsAndF1OpenTheirWindows_data()
{
    QTest::addColumn<QString>("button"); // empty: F1
    QTest::addColumn<QString>("window");

    QTest::newRow("LG") << "btnLGLCD"
                        << "frmLGLCD";
    QTest::newRow("Hyundai Vvuon") << "btnHyundaiLCD_0"
                                   << "frmHyundaiLCD";
    QTest::newRow("Hyundai D525ML") << "btnHyundaiLCD_1"
                                    << "frmHyundaiLCD";
    QTest::newRow("Custom") << "btnGeneralSerialCmd"
                            << "frmCustomLCD";
    QTest::newRow("About, F1") << ""
                               << "frmAbout";
}

void TestMainWindow::panelButtonsAndF1OpenTheirWindows()
{
    QFETCH(QString, button);
    QFETCH(QString, window);

    showWindow();
    QString opened;
    QTimer::singleShot(0, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        opened = modal ? modal->objectName() : QString();
        if (modal)
            QTest::keyClick(modal, Qt::Key_Escape);
    });
    if (button.isEmpty())
        QTest::keyClick(m_window.get(), Qt::Key_F1);
    else
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    QCOMPARE(opened, window);
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

// Close asks whether to save only after the operator's own edits of what Settings.ini keeps, and the caption
// carries a "*" while there are such edits. What the program shows by itself is no edit.
void TestMainWindow::closeAsksOnlyAfterTheOperatorsOwnEdits_data()
{
    QTest::addColumn<WindowStep>("step");
    QTest::addColumn<bool>("asked");

    QTest::newRow("nothing done") << WindowStep([](frmMain &, test::ScriptedPrompts &) {}) << false;
    QTest::newRow("a group chosen: its ports shown")
        << WindowStep([](frmMain &w, test::ScriptedPrompts &) { clickRow(w, u"iGroup"_s, 0); }) << false;
    QTest::newRow("a model chosen: the command boxes rewritten") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        QTest::keyClick(in<QComboBox>(w, u"cboLCD"_s), Qt::Key_Down);
    }) << false;
    QTest::newRow("CommPort typed: Save does not keep it") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        QTest::keyClicks(in<QLineEdit>(w, u"TxtCommPort"_s), u"5"_s);
    }) << false;
    QTest::newRow("a group added") << WindowStep(addGroup) << true;
    QTest::newRow("a group added and removed again") << WindowStep([](frmMain &w, test::ScriptedPrompts &prompts) {
        addGroup(w, prompts);
        click(w, u"btnRemoveGroup"_s);
    }) << false;
    QTest::newRow("the group removed") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        click(w, u"btnRemoveGroup"_s);
    }) << true;
    QTest::newRow("a port added") << WindowStep([](frmMain &w, test::ScriptedPrompts &) { click(w, u"btnAddCOM"_s); })
                                  << true;
    QTest::newRow("a port updated with its own texts") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        clickRow(w, u"iPort"_s, 0);
        click(w, u"btnEditCOM"_s);
    }) << false;
    QTest::newRow("a port's note updated") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        clickRow(w, u"iPort"_s, 0);
        in<QLineEdit>(w, u"txtNote"_s)->setText(u"moved"_s);
        click(w, u"btnEditCOM"_s);
    }) << true;
    QTest::newRow("a port removed") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        clickRow(w, u"iPort"_s, 1);
        click(w, u"cmdRemoveCOM"_s);
    }) << true;
    QTest::newRow("Monitor ON typed") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        QTest::keyClicks(in<QLineEdit>(w, u"txtMonitorOnCommand"_s), u" 41"_s);
    }) << true;
    QTest::newRow("a baud rate chosen from its list") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        QTest::keyClick(in<QComboBox>(w, u"CbPortSet_0"_s), Qt::Key_Down);
    }) << true;
    QTest::newRow("stop bits typed") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        QTest::keyClicks(in<QComboBox>(w, u"CbPortSet_3"_s), u"2"_s);
    }) << true;
    QTest::newRow("a group added, then saved") << WindowStep([](frmMain &w, test::ScriptedPrompts &prompts) {
        addGroup(w, prompts);
        click(w, u"btnSave"_s);
    }) << false;
    QTest::newRow("a schedule row added")
        << WindowStep([](frmMain &w, test::ScriptedPrompts &) { click(w, u"btnAddSchGroup"_s); }) << true;
    QTest::newRow("a schedule row set to another hour") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        addSavedScheduleRow(w);
        in<QComboBox>(w, u"StartHour"_s)->setCurrentText(u"09"_s);
        click(w, u"btnSetSchGroupAtt"_s);
    }) << true;
    QTest::newRow("a schedule row removed") << WindowStep([](frmMain &w, test::ScriptedPrompts &) {
        addSavedScheduleRow(w);
        click(w, u"btnRemoveSchGroup"_s);
    }) << true;
}

void TestMainWindow::closeAsksOnlyAfterTheOperatorsOwnEdits()
{
    QFETCH(WindowStep, step);
    QFETCH(bool, asked);

    startWith(lobbySettings);
    step(*m_window, m_prompts);
    QCOMPARE(m_window->windowTitle().startsWith(u'*'), asked);
    QCOMPARE(m_window->windowTitle().mid(asked ? 1 : 0), programCaption());

    m_prompts.plannedAnswers = { PromptAnswer::Discard };
    QSignalSpy ending(m_window.get(), &frmMain::programEnding);
    QVERIFY(m_window->close());
    QCOMPARE(saveQuestions(m_prompts), asked ? 1 : 0);
    QCOMPARE(ending.size(), 1);
}

// Each answer to the question, and a save that fails: the window stays with its edits and says why.
void TestMainWindow::closeQuestionSavesDiscardsOrStays_data()
{
    QTest::addColumn<PromptAnswer>("answer");
    QTest::addColumn<bool>("saveFails"); // Settings.ini has become a folder
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("saved");
    QTest::newRow("Save") << PromptAnswer::Save << false << true << true;
    QTest::newRow("Discard") << PromptAnswer::Discard << false << true << false;
    QTest::newRow("Cancel") << PromptAnswer::Cancel << false << false << false;
    QTest::newRow("Save, which fails") << PromptAnswer::Save << true << false << false;
}

void TestMainWindow::closeQuestionSavesDiscardsOrStays()
{
    QFETCH(PromptAnswer, answer);
    QFETCH(bool, saveFails);
    QFETCH(bool, closes);
    QFETCH(bool, saved);

    startWith(lobbySettings);
    addGroup(*m_window, m_prompts);
    if (saveFails) {
        QVERIFY(QFile::remove(m_window->settingsPath()));
        QVERIFY(QDir(m_folder->path()).mkdir(u"Settings.ini"_s));
    }
    m_prompts.messages.clear();
    m_prompts.plannedAnswers = { answer };
    QSignalSpy ending(m_window.get(), &frmMain::programEnding);

    QTest::mouseClick(child<QPushButton>(u"btnClose"_s), Qt::LeftButton);
    QVERIFY(!m_prompts.messages.isEmpty());
    QCOMPARE(m_prompts.messages.takeFirst(),
             PromptMessage({ u"Save the changes to groups, ports and the schedule before closing?"_s,
                             PromptIcon::Question, PromptButtons::SaveDiscardCancel, applicationTitle }));
    QCOMPARE(ending.size(), closes ? 1 : 0);
    QCOMPARE(m_window->isVisible(), !closes);
    QCOMPARE(m_window->windowTitle().startsWith(u'*'), !saved); // the mark stays until the edits are saved
    if (saveFails) {
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY(m_prompts.messages.first().text.startsWith(u"Failed saving the settings.\n\n"_s));
        QCOMPARE(m_prompts.messages.first().icon, PromptIcon::Exclamation);
        return;
    }
    QVERIFY(m_prompts.messages.isEmpty());
    QCOMPARE(m_folder->readFile(u"Settings.ini"_s).contains("Hall%"), saved);
}

// The desktop's own box: Enter presses Save, Escape Cancel.
void TestMainWindow::closeQuestionSavesOnEnterAndStaysOnEscape_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<PromptAnswer>("answer");
    QTest::newRow("Enter") << int(Qt::Key_Return) << PromptAnswer::Save;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << PromptAnswer::Cancel;
}

void TestMainWindow::closeQuestionSavesOnEnterAndStaysOnEscape()
{
    QFETCH(int, key);
    QFETCH(PromptAnswer, answer);

    showWindow();
    QtPrompts desktop(m_window.get());
    QStringList buttons;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton *button : box->buttons())
            buttons << button->text().remove(u'&');
        QTest::keyClick(box, Qt::Key(key));
    });
    QCOMPARE(desktop.askToSave(u"Save?"_s), answer);
    buttons.sort();
    QCOMPARE(buttons, QStringList({ u"Cancel"_s, u"Discard"_s, u"Save"_s }));
}

// A start with schedule rows saves the settings and runs hidden in the tray; neither that nor a scheduled event
// that chooses a model (and so rewrites the command boxes) is an edit to be saved.
void TestMainWindow::scheduleStartedByItselfLeavesNoUnsavedMark()
{
    QByteArray settings = lobbySettings;
    settings.replace("Schedules=0",
                     "Schedules=1\r\n1=Lobby`03/25/2009`03/25/2009`08:00:05`08:00:05`1111111`"
                     "OLEVIA All Monitors ON\r\n; kept until the start saves");
    QByteArray ports = "[COM_PORTS]\r\n"; // every COM a device that is not there, so the sends end at once
    for (int com = 1; com <= 40; ++com)
        ports += QByteArray::number(com) + '=' + m_folder->filePath(u"absent"_s).toLocal8Bit() + "\r\n";
    startWith(settings, ports);
    QVERIFY(m_window->scheduleRunner().isRunning());
    QVERIFY(m_tray->isIconShown());
    QVERIFY(!m_folder->readFile(u"Settings.ini"_s).contains("; kept")); // written back at the start
    QCOMPARE(m_window->windowTitle(), programCaption());

    m_clock.current = QDateTime(QDate(2009, 3, 25), QTime(8, 0, 5));
    m_window->scheduleRunner().runClockTick();
    m_window->scheduleRunner().runUpdateTick();
    QTRY_VERIFY(!m_window->executor().isRunning());
    QCOMPARE(child<QComboBox>(u"cboLCD"_s)->currentText(), u"OLEVIA"_s);
    QCOMPARE(child<QLineEdit>(u"txtMonitorOnCommand"_s)->text(), u"BE 05 25 08 F0"_s);
    QCOMPARE(m_window->windowTitle(), programCaption());

    QSignalSpy ending(m_window.get(), &frmMain::programEnding);
    QVERIFY(m_window->close());
    QCOMPARE(saveQuestions(m_prompts), 0);
    QTRY_COMPARE(ending.size(), 1);
}

// At log-out or shutdown the desktop tells the application to quit, which closes its windows: a question
// would hold the session up, so nothing is asked, and the edits are not saved.
void TestMainWindow::endOfTheSessionClosesWithoutAsking()
{
    startWith(lobbySettings);
    addGroup(*m_window, m_prompts);
    QVERIFY(m_window->windowTitle().startsWith(u'*'));
    QSignalSpy ending(m_window.get(), &frmMain::programEnding);

    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
    QCOMPARE(ending.size(), 1);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(saveQuestions(m_prompts), 0);
    QCOMPARE(m_folder->readFile(u"Settings.ini"_s), lobbySettings);

    // The quit also ends every event loop started after it, until the application's own has run once.
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
