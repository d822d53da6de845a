// The custom panel used like an end user does, with its displays on pseudo-terminals named in
// Ports.ini: what reaches which display, what each row then shows, what the panel says, and what a
// reload after the button editor keeps.
#include "custom/button_editor_window.h"
#include "custom/custom_panel_window.h"
#include "pty_displays.h"
#include "scripted_prompts.h"
#include "unanswered_port.h"
#include "window_controls.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QtMath>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int quietMs = 50;

// Lobby (LG) on COM 3 and Hall (HYUNDAI_D525ML) on COM 5; the rest are faulty.
const QByteArray buttonFile = "[BUTTON_SETTINGS]\r\nButton=7\r\n"
                              "1=Lobby`LG`3,9600,n,8,1\r\n"
                              "2=Hall`HYUNDAI_D525ML`5,19200,n,8,1\r\n"
                              "3=No port`LG`,9600,n,8,1\r\n"
                              "4=No stop`LG`3,9600,n,8\r\n"
                              "5=Gone`LG`4,9600,n,8,1\r\n"
                              "6=Bar`LG`x9,9600,n,8,1\r\n"
                              "7=\r\n";

// A reason's details (which device, how to get access) are the serial link's own words, checked in
// its tests; the Status tooltips are compared without them, the closing message with them.
QString withoutDetails(const QString &text)
{
    QStringList lines = text.split(u'\n');
    for (QString &line : lines)
        line.remove(QRegularExpression(u" \\([^()]*\\)$"_s));
    return lines.join(u'\n');
}

const QByteArray lgOn = "kd 01 00\r", lgOff = "kd 01 01\r";
const QByteArray hyundaiOn = "did:all-pn.", hyundaiSignage = "did:all-sp.";

} // namespace

class TestCustomPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sends_data();
    void sends();
    void eachRowIsRecordedInTheDailyLog_data();
    void eachRowIsRecordedInTheDailyLog();
    void reloadAfterTheEditorKeepsChoicesAndTexts();
    void listLinesUpForAnyCaption_data();
    void listLinesUpForAnyCaption();
    void keyboardReachesEveryControlAndShowsTheFocusedRow();
    void longSendShowsProgressAndStopsBetweenRows();

private:
    template<typename T> T *child(const QString &name) const { return test::control<T>(m_panel.get(), name); }
    void openPanel();
    void act(const QString &step);
    QByteArray received(int com) { return m_displays->display(com).readUntilQuiet(quietMs); }
    QStringList rowTexts() const;
    QStringList messageTexts() const;

    std::unique_ptr<test::TempAppFolder> m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    std::optional<test::PtyDisplays> m_displays;
    std::unique_ptr<frmCustomLCD> m_panel;
};

void TestCustomPanel::init()
{
    m_folder = std::make_unique<test::TempAppFolder>();
    QVERIFY(m_displays.emplace(*m_folder, QList<int> { 3, 5 }, QList<int> { 4 }).isValid());
    m_prompts = {};
}

void TestCustomPanel::cleanup()
{
    m_panel.reset();
    m_displays.reset();
}

void TestCustomPanel::openPanel()
{
    m_panel = std::make_unique<frmCustomLCD>(m_folder->path(), m_prompts, m_busy);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
}

// "btnONOFF_0" clicks a button, "channel=12" types into the channel field, "volume=5" moves the
// slider, "mnu..." picks a menu entry.
void TestCustomPanel::act(const QString &step)
{
    if (step.startsWith(u"channel="_s)) {
        auto *field = child<QLineEdit>(u"txtChannel"_s);
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, step.section(u'=', 1));
    } else if (step.startsWith(u"volume="_s)) {
        child<QSlider>(u"sldVolume"_s)->setValue(step.section(u'=', 1).toInt());
    } else if (step.startsWith(u"mnu"_s)) {
        child<QAction>(step)->trigger();
    } else {
        QTest::mouseClick(child<QPushButton>(step), Qt::LeftButton);
    }
}

// "Status|Source|Volume" of each row shown, a red or green status marked as such, the status's
// tooltip in braces.
QStringList TestCustomPanel::rowTexts() const
{
    QStringList texts;
    for (int row = 0;; ++row) {
        auto *status = m_panel->findChild<QLineEdit *>(u"txtStatus_%1"_s.arg(row));
        if (!status)
            break;
        if (!status->isVisibleTo(m_panel.get()))
            continue;
        const QColor colour = status->palette().color(QPalette::Text);
        const QString mark = colour == QColor(255, 0, 0) ? u"(red)"_s
            : colour == QColor(0, 160, 0)                ? u"(green)"_s
                                                         : QString();
        const QString tip = status->toolTip().isEmpty() ? QString() : u'{' + withoutDetails(status->toolTip()) + u'}';
        texts << status->text() + mark + tip + u'|' + child<QLineEdit>(u"txtSource_%1"_s.arg(row))->text() + u'|'
                + child<QLineEdit>(u"txtVolume_%1"_s.arg(row))->text();
    }
    return texts;
}

QStringList TestCustomPanel::messageTexts() const
{
    QStringList texts;
    for (const PromptMessage &message : m_prompts.messages) {
        const QString icon = message.icon == PromptIcon::Exclamation ? u"(!) "_s : QString();
        texts << icon + message.text + (message.title == applicationTitle ? QString() : u" - "_s + message.title);
    }
    return texts;
}

void TestCustomPanel::sends_data()
{
    QTest::addColumn<QByteArray>("customCommands"); // "CustomSerialCommands.ini", when given
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QByteArray>("com3");
    QTest::addColumn<QByteArray>("com5");
    QTest::addColumn<QStringList>("texts"); // rows 0 to 5
    QTest::addColumn<QStringList>("messages");

    const QString none = u"||"_s;
    const QStringList untouched { none, none, none, none, none, none };
    const QString cantFindPort = u"(!) Can't find the COM port. Please make sure the setting is correct."_s;
    const QString cantFindStop = u"(!) Can't find the Stop Bits setting. Please make sure the setting is correct"_s;
    const QString finishedOne = u"Finished sending out all commands."_s;
    const QString notSentOne = u"(!) Finished sending out all commands.\nNot sent to:\n"_s;
    const QString gone = u"Gone: COM 4: no such device ("_s + QString::fromUtf8(test::PtyDisplays::missingDevice())
        + u", from Ports.ini)"_s;

    // Every row, Hyundai included, with the volume at the quiet end; the rows that cannot be reached
    // are named at the end, each with its reason.
    QTest::newRow("restore all") << QByteArray() << QStringList { u"btnAll_1"_s, u"btnConfirmSend"_s }
                                 << lgOn + "kb 01 07\r" + "kf 01 0\r" << hyundaiOn + hyundaiSignage
                                 << QStringList { u"On(green)|DS|0"_s,
                                                  u"On(green)|DS|N/A"_s,
                                                  u"Not sent(red){no COM port set}|DS|0"_s,
                                                  u"Not sent(red){no Stop Bits setting}|DS|0"_s,
                                                  u"Not sent(red){COM 4: no such device}|DS|0"_s,
                                                  u"Not sent(red){COM x9 is not a COM number}|DS|0"_s }
                                 << QStringList { cantFindPort,
                                                  cantFindPort,
                                                  cantFindPort,
                                                  cantFindStop,
                                                  cantFindStop,
                                                  cantFindStop,
                                                  u"(!) Finished sending all serial commands.\nNot sent to:\n"
                                                  "No port: no COM port set\nNo stop: no Stop Bits setting\n"_s
                                                      + gone + u"\nBar: COM x9 is not a COM number"_s };
    QTest::newRow("blackout all") << QByteArray() << QStringList { u"volume=40"_s, u"btnAll_0"_s, u"btnConfirmSend"_s }
                                  << lgOff + "kb 01 07\r" + "kf 01 0\r" << QByteArray("did:all-pf.") + hyundaiSignage
                                  << QStringList { u"Off(red)|DS|0"_s,
                                                   u"Off(red)|DS|N/A"_s,
                                                   u"Not sent(red){no COM port set}|DS|0"_s,
                                                   u"Not sent(red){no Stop Bits setting}|DS|0"_s,
                                                   u"Not sent(red){COM 4: no such device}|DS|0"_s,
                                                   u"Not sent(red){COM x9 is not a COM number}|DS|0"_s }
                                  << QStringList();
    QTest::newRow("tuner 12 on LG") << QByteArray()
                                    << QStringList { u"btnButton_0"_s, u"btnVideoInput_1"_s, u"channel=12"_s,
                                                     u"btnConfirmSend"_s }
                                    << QByteArray("kb 01 01\rma 01 0C 00 0C 00 00 00\rkf 01 0\r") << QByteArray()
                                    << QStringList { u"|Tuner 12|0"_s, none, none, none, none, none }
                                    << QStringList { finishedOne };
    // What reached the display shows, and what did not is marked.
    QTest::newRow("tuner without a channel")
        << QByteArray()
        << QStringList { u"btnButton_0"_s, u"btnONOFF_1"_s, u"btnVideoInput_1"_s, u"channel="_s, u"btnConfirmSend"_s }
        << QByteArray("kd 01 01\rkb 01 01\rkf 01 0\r") << QByteArray()
        << QStringList { u"Off, channel not sent(red){channel not sent: no command}|Tuner |0"_s,
                         none,
                         none,
                         none,
                         none,
                         none }
        << QStringList { u"The serial command doesn't exist."_s,
                         notSentOne + u"Lobby: channel not sent: no command"_s };
    // The tuner choice stays when a Hyundai row is chosen, which gets no input command.
    QTest::newRow("tuner left for Hyundai")
        << QByteArray() << QStringList { u"btnButton_0"_s, u"btnVideoInput_1"_s, u"channel=12"_s,
                                         u"btnButton_1"_s, u"btnONOFF_0"_s,      u"btnConfirmSend"_s }
        << QByteArray() << hyundaiOn << QStringList { none, u"On(green)|Tuner 12|N/A"_s, none, none, none, none }
        << QStringList { finishedOne };
    QTest::newRow("channel above 255") << QByteArray()
                                       << QStringList { u"btnButton_0"_s, u"btnVideoInput_1"_s, u"channel=256"_s,
                                                        u"btnConfirmSend"_s }
                                       << QByteArray() << QByteArray() << untouched
                                       << QStringList { u"The channel must be from 0 to 255."_s };
    QTest::newRow("volume 5") << QByteArray() << QStringList { u"btnButton_0"_s, u"volume=5"_s, u"btnConfirmSend"_s }
                              << QByteArray("kf 01 5\r") << QByteArray()
                              << QStringList { u"||5"_s, none, none, none, none, none } << QStringList { finishedOne };
    QTest::newRow("no port") << QByteArray()
                             << QStringList { u"btnButton_2"_s, u"btnONOFF_0"_s, u"btnVideoInput_0"_s,
                                              u"btnConfirmSend"_s }
                             << QByteArray() << QByteArray()
                             << QStringList { none, none, u"Not sent(red){no COM port set}|DS|0"_s, none, none, none }
                             << QStringList { cantFindPort, cantFindPort, cantFindPort,
                                              notSentOne + u"No port: no COM port set"_s };
    QTest::newRow("port does not exist")
        << QByteArray() << QStringList { u"btnButton_4"_s, u"btnONOFF_1"_s, u"btnConfirmSend"_s } << QByteArray()
        << QByteArray() << QStringList { none, none, none, none, u"Not sent(red){COM 4: no such device}||0"_s, none }
        << QStringList { notSentOne + gone };
    // Commands of no bytes reach no display: not "On" or "DS" in green, but not sent.
    QTest::newRow("commands of no bytes")
        << QByteArray("[LG_SERIAL_COMMANDS]\r\nOn=XYZ\r\n[HYUNDAI_D525ML_SERIAL_COMMANDS]\r\nDigital Signage=__\r\n")
        << QStringList { u"mnuLoadCustomSerialCommands"_s, u"btnAll_1"_s, u"btnConfirmSend"_s }
        << QByteArray("kb 01 07\rkf 01 0\r") << QByteArray("did:all-pn.")
        << QStringList { u"power not sent(red){power not sent: COM 3: nothing to send}|DS|0"_s,
                         u"On, input not sent(red){input not sent: COM 5: nothing to send}|DS|N/A"_s,
                         u"Not sent(red){no COM port set}|DS|0"_s,
                         u"Not sent(red){no Stop Bits setting}|DS|0"_s,
                         u"Not sent(red){COM 4: nothing to send; COM 4: no such device}|DS|0"_s,
                         u"Not sent(red){COM x9 is not a COM number}|DS|0"_s }
        << QStringList();
    QTest::newRow("no row chosen") << QByteArray() << QStringList { u"btnONOFF_0"_s, u"btnConfirmSend"_s }
                                   << QByteArray() << QByteArray() << untouched
                                   << QStringList { u"Please select a button in the list."_s };
    QTest::newRow("custom commands, then reset")
        << QByteArray("[lg_serial_commands]\r\nOn=41 42\r\nVolume=56 _\r\n")
        << QStringList { u"mnuLoadCustomSerialCommands"_s, u"btnButton_0"_s,   u"btnONOFF_0"_s, u"btnConfirmSend"_s,
                         u"mnuResetSerialCommands"_s,      u"btnConfirmSend"_s }
        << QByteArray("ABV0") + lgOn + "kf 01 0\r" << QByteArray()
        << QStringList { u"On(green)||0"_s, none, none, none, none, none }
        << QStringList { u"Successfully loaded custom serial commands."_s, finishedOne,
                         u"Set all serial commands to default."_s, finishedOne };
    QTest::newRow("custom commands missing")
        << QByteArray() << QStringList { u"mnuLoadCustomSerialCommands"_s } << QByteArray() << QByteArray() << untouched
        << QStringList { u"Can't find the 'CustomSerialCommands.ini' file."_s };
}

void TestCustomPanel::sends()
{
    QFETCH(QByteArray, customCommands);
    QFETCH(QStringList, steps);
    m_folder->writeFile(buttonFileName, buttonFile);
    if (!customCommands.isEmpty())
        m_folder->writeFile(customCommandsFileName, customCommands);
    openPanel();

    for (const QString &step : std::as_const(steps))
        act(step);

    QTEST(received(3), "com3");
    QTEST(received(5), "com5");
    QTEST(rowTexts(), "texts");
    QFETCH(QStringList, messages);
    if (!messages.isEmpty())
        QCOMPARE(messageTexts(), messages);
    QCOMPARE(m_busy.depth, 0);
}

void TestCustomPanel::eachRowIsRecordedInTheDailyLog_data()
{
    QTest::addColumn<bool>("logBlocked"); // a file where the log folder would be
    QTest::newRow("written") << false;
    QTest::newRow("log cannot be written: the operator is told") << true;
}

void TestCustomPanel::eachRowIsRecordedInTheDailyLog()
{
    QFETCH(bool, logBlocked);
    m_folder->writeFile(buttonFileName, buttonFile);
    if (logBlocked)
        m_folder->writeFile(u"logs"_s, "");
    openPanel();
    for (const QString &step : { u"btnAll_1"_s, u"btnConfirmSend"_s, u"btnButton_0"_s, u"btnONOFF_1"_s,
                                 u"btnVideoInput_1"_s, u"channel="_s, u"btnConfirmSend"_s })
        act(step);

    // Told once, at the end of the first send that could not be recorded.
    const QStringList told = messageTexts().filter(u"The daily log"_s);
    QCOMPARE(told.size(), logBlocked ? 1 : 0);
    if (logBlocked)
        return;
    QStringList logged;
    const QDir logs(m_folder->path() + u"/logs"_s);
    for (const QString &name : logs.entryList(QDir::Files)) {
        QFile file(logs.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
            logged << withoutDetails(line.section(u" - "_s, 1)); // without the time stamp
    }
    const QString everyPart = u"On, DS, volume 0 - "_s;
    QCOMPARE(logged,
             QStringList(
                 { u"Custom panel, Lobby (LG, 3,9600,n,8,1): "_s + everyPart + u"sent"_s,
                   u"Custom panel, Hall (HYUNDAI_D525ML, 5,19200,n,8,1): On, DS - sent"_s,
                   u"Custom panel, No port (LG, ,9600,n,8,1): "_s + everyPart + u"not sent: no COM port set"_s,
                   u"Custom panel, No stop (LG, 3,9600,n,8,): "_s + everyPart + u"not sent: no Stop Bits setting"_s,
                   u"Custom panel, Gone (LG, 4,9600,n,8,1): "_s + everyPart + u"not sent: COM 4: no such device"_s,
                   u"Custom panel, Bar (LG, x9,9600,n,8,1): "_s + everyPart + u"not sent: COM x9 is not a COM number"_s,
                   u"Custom panel, Lobby (LG, 3,9600,n,8,1): Off, Tuner, no channel, volume 0 - Off, Tuner, "
                   "volume 0 sent; channel not sent: no command"_s }));
}

void TestCustomPanel::reloadAfterTheEditorKeepsChoicesAndTexts()
{
    m_folder->writeFile(buttonFileName, buttonFile);
    openPanel();
    for (const QString &step : { u"btnButton_0"_s, u"btnONOFF_0"_s, u"btnVideoInput_1"_s, u"channel=7"_s,
                                 u"volume=10"_s, u"btnConfirmSend"_s })
        act(step);
    QCOMPARE(received(3), QByteArray("kd 01 00\rkb 01 01\rma 01 07 00 07 00 00 00\rkf 01 A\r"));

    // Lobby renamed, Hall gone, a new last row, and the file's own "ON" command.
    m_folder->writeFile(buttonFileName,
                        "[LG_SERIAL_COMMANDS]\r\nON=41 42\r\n[BUTTON_SETTINGS]\r\nButton=3\r\n"
                        "1=Lobby East`LG`3,9600,n,8,1\r\n2=\r\n3=Stage`LG`5,9600,n,8,1\r\n");
    QTimer::singleShot(0, this, [] {
        if (auto *editor = qobject_cast<frmCustomLCDSettings *>(QApplication::activeModalWidget()))
            editor->reject();
    });
    act(u"mnuSettings"_s);

    QCOMPARE(child<QPushButton>(u"btnButton_0"_s)->text(), u"Lobby East"_s);
    QCOMPARE(child<QPushButton>(u"btnButton_2"_s)->text(), u"Stage"_s);
    QCOMPARE(child<QPushButton>(u"btnButton_2"_s)->toolTip(), u"LG"_s); // the model, shown on hovering
    QVERIFY(!child<QPushButton>(u"btnButton_1"_s)->isVisible());
    QCOMPARE(rowTexts(), QStringList({ u"On(green)|Tuner 7|10"_s, u"||"_s }));
    QCOMPARE(child<QLineEdit>(u"txtChannel"_s)->text(), u"7"_s);
    act(u"btnConfirmSend"_s);
    QCOMPARE(received(3), QByteArray("ABkb 01 01\rma 01 07 00 07 00 00 00\rkf 01 A\r"));
    QCOMPARE(received(5), QByteArray());
    QCOMPARE(messageTexts(),
             QStringList({ u"Finished sending out all commands."_s, u"Finished sending out all commands."_s }));
}

// Each row: the length of every caption, the number of rows, and whether the list can scroll.
void TestCustomPanel::listLinesUpForAnyCaption_data()
{
    QTest::addColumn<int>("captionLength");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("short captions that fit: no scrolling") << 5 << 2 << false;
    QTest::newRow("60 characters, 40 rows") << 60 << 40 << true;
    QTest::newRow("300 characters") << 300 << 3 << false;
    QTest::newRow("10 MB") << 10'000'000 << 1 << false;
}

void TestCustomPanel::listLinesUpForAnyCaption()
{
    QFETCH(int, captionLength);
    QFETCH(int, rowCount);
    QFETCH(bool, scrolls);
    QByteArray file = "[BUTTON_SETTINGS]\r\nButton=" + QByteArray::number(rowCount) + "\r\n";
    const QByteArray words = QByteArray("Lobby right ").repeated(captionLength / 12 + 1).left(captionLength);
    for (int entry = 1; entry <= rowCount; ++entry)
        file += QByteArray::number(entry) + '=' + words + "`LG`4,9600,n,8,1\r\n"; // a device that is missing
    m_folder->writeFile(buttonFileName, file);
    openPanel();

    const QString caption = QString::fromLatin1(words).trimmed();
    const QString shownWhole = caption.left(1000);
    const auto left = [this](const QWidget *widget) {
        return widget->mapTo(m_panel.get(), QPoint()).x();
    };
    for (int row = 0; row < rowCount; ++row) {
        const auto *button = child<QPushButton>(u"btnButton_%1"_s.arg(row));
        QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) <= button->width());
        QCOMPARE(button->accessibleName(), shownWhole);
        if (button->text() != caption)
            QVERIFY(button->toolTip().startsWith(shownWhole + u'\n'));
        for (const QString &column : { u"Status"_s, u"Source"_s, u"Volume"_s }) {
            const auto *title = child<QWidget>(u"lblColumn"_s + column);
            const auto *field = child<QWidget>(u"txt%1_%2"_s.arg(column).arg(row));
            QCOMPARE(left(field), left(title));
            QCOMPARE(field->width(), title->width());
        }
    }
    QCOMPARE(child<QWidget>(u"VScroll"_s)->isEnabled(), scrolls);
    QVERIFY(m_panel->screen()->availableGeometry().contains(m_panel->frameGeometry()));

    // The closing message stays on the screen too: at most 12 rows, each on a short line.
    act(u"btnAll_1"_s);
    act(u"btnConfirmSend"_s);
    const QStringList lines = m_prompts.messages.constLast().text.split(u'\n');
    QCOMPARE(lines.size(), 2 + std::min(rowCount, 12) + (rowCount > 12 ? 1 : 0));
    if (rowCount > 12)
        QVERIFY(lines.constLast().startsWith(u"... and %1 more"_s.arg(rowCount - 12)));
    for (const QString &line : lines)
        QVERIFY2(line.size() <= 200, qPrintable(line.left(300)));
}

void TestCustomPanel::keyboardReachesEveryControlAndShowsTheFocusedRow()
{
    QByteArray many = "[BUTTON_SETTINGS]\r\nButton=30\r\n";
    for (int entry = 1; entry <= 30; ++entry)
        many += QByteArray::number(entry) + "=Screen " + QByteArray::number(entry) + "`LG`3,9600,n,8,1\r\n";
    m_folder->writeFile(buttonFileName, many);
    openPanel();
    m_panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
    auto *list = child<QScrollArea>(u"lvButtons"_s);
    const auto inView = [list](const QString &name) {
        const QWidget *button = test::control<QWidget>(list, name);
        const QRect shown(button->mapTo(list->viewport(), QPoint()), button->size());
        return list->viewport()->rect().contains(shown);
    };
    QTRY_VERIFY(inView(u"btnButton_29"_s)); // opens scrolled to its end
    QVERIFY(!inView(u"btnButton_0"_s));
    // The keyboard starts on the last row. Its focus is drawn as the style draws it, a thin line along
    // the edge and a light tint, not a thick coloured frame that reads as the chosen display: across
    // the button's middle, at most one pixel at either end changes markedly.
    auto *last = child<QPushButton>(u"btnButton_29"_s);
    QVERIFY(last->hasFocus());
    const QImage focused = last->grab().toImage();
    child<QPushButton>(u"btnConfirmSend"_s)->setFocus();
    const QImage unfocused = last->grab().toImage();
    int marked = 0;
    for (int x = 0; x < focused.width(); ++x) {
        const QColor a = focused.pixelColor(x, focused.height() / 2);
        const QColor b = unfocused.pixelColor(x, focused.height() / 2);
        marked
            += std::max({ std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue()) })
            > 48;
    }
    QVERIFY2(marked <= 2 * qCeil(focused.devicePixelRatio()), qPrintable(QString::number(marked)));

    // Backwards from the last row to the first: each focused row is scrolled into view.
    child<QPushButton>(u"btnButton_29"_s)->setFocus();
    for (int row = 28; row >= 0; --row) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"btnButton_%1"_s.arg(row));
        QVERIFY(inView(QApplication::focusWidget()->objectName()));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(child<QPushButton>(u"btnButton_0"_s)->property("chosen").toBool());

    // Forwards from the last row through every choice; Space and Enter work them.
    child<QPushButton>(u"btnButton_29"_s)->setFocus();
    QStringList reached;
    for (int step = 0; step < 9; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(reached,
             QStringList({ u"btnAll_0"_s, u"btnAll_1"_s, u"btnONOFF_0"_s, u"btnONOFF_1"_s, u"btnVideoInput_0"_s,
                           u"btnVideoInput_1"_s, u"txtChannel"_s, u"sldVolume"_s, u"btnConfirmSend"_s }));
    QTest::keyClick(child<QPushButton>(u"btnONOFF_1"_s), Qt::Key_Space);
    QTest::keyClick(child<QPushButton>(u"btnVideoInput_1"_s), Qt::Key_Return);
    QTest::keyClick(child<QLineEdit>(u"txtChannel"_s), Qt::Key_Up);
    QTest::keyClick(child<QSlider>(u"sldVolume"_s), Qt::Key_Right);
    QTest::keyClick(child<QPushButton>(u"btnConfirmSend"_s), Qt::Key_Return);
    QCOMPARE(received(3), QByteArray("kd 01 01\rkb 01 01\rma 01 01 00 01 00 00 00\rkf 01 1\r"));
}

// "Restore All" with the first row behind a server that never answers. A second into the send the
// panel shows where it is; Stop ends the send once that row has had its commands, and the rows not
// tried are named by their ports.
void TestCustomPanel::longSendShowsProgressAndStopsBetweenRows()
{
    const test::UnansweredPort server("127.0.0.2");
    QVERIFY(server.port());
    m_displays->addDevice(2, "rfc2217://127.0.0.2:" + QByteArray::number(server.port()));
    m_folder->writeFile(buttonFileName,
                        "[BUTTON_SETTINGS]\r\nButton=4\r\n1=Far`LG`2,9600,n,8,1\r\n2=Lobby`LG`3,9600,n,8,1\r\n"
                        "3=Gone`LG`4,9600,n,8,1\r\n4=Hall`HYUNDAI_D525ML`5,19200,n,8,1\r\n");
    openPanel();

    QString shown;
    QObject::connect(&m_panel->panel().progress(), &SendProgress::changed, m_panel.get(), [&] {
        auto *stop = child<QPushButton>(u"cmdStopSending"_s);
        if (!stop->isVisible() || !shown.isEmpty())
            return;
        shown = child<QLabel>(u"lblSendProgress"_s)->text();
        QTest::mouseClick(stop, Qt::LeftButton);
    });
    act(u"btnAll_1"_s);
    act(u"btnConfirmSend"_s);

    QCOMPARE(shown, u"Sending to COM 2 (1 of 4)..."_s);
    QCOMPARE(received(3), QByteArray());
    QCOMPARE(received(5), QByteArray());
    QCOMPARE(messageTexts().value(0).split(u'\n').constLast(), u"Not sent to COM 3-5: stopped by the user"_s);
}

QTEST_MAIN(TestCustomPanel)
#include "test_custom_panel.moc"
