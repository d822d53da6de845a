#include "app/main_window.h"
#include "custom/button_editor_window.h"
#include "custom/custom_panel_window.h"
#include "fake_tray_icon.h"
#include "manual_clock.h"
#include "panels/hyundai_panel_window.h"
#include "panels/lg_panel_window.h"
#include "sample_week_view.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"
#include "window_controls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

// The screen every window has to fit, in the desktop's own pixels; the scaled run shows the same
// logical screen at twice the pixels.
const QSize logicalScreen(1280, 720);

// What an operator presses, types into, chooses from or reads as a table.
bool isOperated(const QWidget *widget)
{
    // Parts of a composite control go with it, a scroll area's own scroll bars too.
    const QString parentName = widget->parentWidget() ? widget->parentWidget()->objectName() : QString();
    if (widget->objectName().startsWith(u"qt_"_s) || parentName.startsWith(u"qt_scrollarea_"_s))
        return false;
    for (const QWidget *parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
        if (parent->inherits("QComboBox") || parent->inherits("QAbstractSpinBox")
            || parent->inherits("QAbstractItemView") || parent->inherits("QCalendarWidget")
            || parent->inherits("QTabBar"))
            return false;
    }
    return widget->inherits("QAbstractButton") || widget->inherits("QComboBox") || widget->inherits("QLineEdit")
        || widget->inherits("QAbstractSlider") || widget->inherits("QAbstractItemView") || widget->inherits("QTabBar");
}

QString describe(const QWidget *widget)
{
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

QRect globalRect(const QWidget *widget)
{
    return { widget->mapToGlobal(QPoint(0, 0)), widget->size() };
}

// Moves a scroll bar as little as it takes to show [start, start + length) of what it scrolls.
void scrollTo(QScrollBar *bar, int start, int length, int shownLength)
{
    if (start < bar->value())
        bar->setValue(start);
    else if (start + length > bar->value() + shownLength)
        bar->setValue(start + length - shownLength);
}

// Scrolls every scroll area around the control (innermost first) to show all of it, as an operator
// would with the scroll bars.
void bringIntoView(QWidget *control, const QWidget *window)
{
    for (QWidget *parent = control->parentWidget(); parent && parent != window; parent = parent->parentWidget()) {
        auto *area = qobject_cast<QScrollArea *>(parent);
        if (!area || !area->widget())
            continue;
        const QRect inside(control->mapTo(area->widget(), QPoint(0, 0)), control->size());
        const QSize shown = area->viewport()->size();
        scrollTo(area->horizontalScrollBar(), inside.x(), inside.width(), shown.width());
        scrollTo(area->verticalScrollBar(), inside.y(), inside.height(), shown.height());
    }
}

// The region of the control that its parents do not cut off, on the screen.
QRect shownPart(const QWidget *control, const QWidget *window)
{
    QRect shown = globalRect(control);
    for (const QWidget *parent = control->parentWidget(); parent; parent = parent->parentWidget()) {
        shown &= globalRect(parent);
        if (parent == window)
            break;
    }
    return shown;
}

QString rectText(QRect rect)
{
    return u"%1x%2 at %3,%4"_s.arg(rect.width()).arg(rect.height()).arg(rect.x()).arg(rect.y());
}

QString listed(const QSet<QString> &names)
{
    QStringList sorted(names.cbegin(), names.cend());
    sorted.sort();
    return sorted.join(u", "_s);
}

QByteArray buttonFile(int rows)
{
    QByteArray file = "[BUTTON_SETTINGS]\r\nButton=" + QByteArray::number(rows) + "\r\n";
    for (int row = 1; row <= rows; ++row)
        file += QByteArray::number(row) + "=Meeting room " + QByteArray::number(row) + "`LG`" + QByteArray::number(row)
            + ",9600,n,8,1\r\n";
    return file;
}

} // namespace

// Every window on a small screen: it stays inside the screen's free area, every control can be brought
// into view whole, nothing is squeezed below the size it needs, and the date picker opens on the screen.
class TestWindowFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void everyControlCanBeReachedOnTheScreen_data();
    void everyControlCanBeReachedOnTheScreen();
    void datePickerOpensInsideTheScreen_data();
    void datePickerOpensInsideTheScreen();

private:
    void showMain();
    std::unique_ptr<QWidget> openWindow(const QString &which);
    void keepPicture(const QString &name);

    test::TempAppFolder m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    test::ManualClock m_clock;
    test::FakeTrayIcon m_tray;
    std::unique_ptr<frmMain> m_main;
};

void TestWindowFit::initTestCase()
{
    // The virtual screen is the one asked for, else every check below would pass on a large one.
    const QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QCOMPARE(screen->geometry().size(), logicalScreen);
    m_folder.writeFile(u"GeneralControlSettings.ini"_s, buttonFile(40));
}

void TestWindowFit::cleanup()
{
    m_main.reset();
}

void TestWindowFit::showMain()
{
    m_main = std::make_unique<frmMain>(m_folder.path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, &m_tray });
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

// Each opened over the main window, as its buttons open them.
std::unique_ptr<QWidget> TestWindowFit::openWindow(const QString &which)
{
    if (which == u"frmLGLCD"_s)
        return std::make_unique<frmLGLCD>(m_folder.path(), LgPanelServices { m_main->executor(), m_prompts, m_busy },
                                          m_main.get());
    if (which.startsWith(u"frmHyundaiLCD"_s)) {
        auto panel = std::make_unique<frmHyundaiLCD>(m_main->executor(), m_prompts, m_main.get());
        panel->panelModel = qint16(which.back().digitValue());
        return panel;
    }
    if (which == u"frmWeekView"_s)
        return test::sampleWeekView(m_prompts, m_clock, m_main.get());
    if (which == u"frmCustomLCD"_s)
        return std::make_unique<frmCustomLCD>(m_folder.path(), m_prompts, m_busy, m_main.get());
    return std::make_unique<frmCustomLCDSettings>(m_folder.path(), m_prompts, m_busy, m_main.get());
}

// A picture of the whole screen for a look by eye, when VANTIRO_WINDOW_PICTURES names a folder.
void TestWindowFit::keepPicture(const QString &name)
{
    const QString folder = qEnvironmentVariable("VANTIRO_WINDOW_PICTURES");
    if (folder.isEmpty())
        return;
    QTest::qWait(50);
    QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(folder).filePath(name + u".png"_s));
}

void TestWindowFit::everyControlCanBeReachedOnTheScreen_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("tab"); // the main window's tab shown
    QTest::newRow("main window, Schedule tab") << u"frmMain"_s << 0;
    QTest::newRow("main window, Process tab") << u"frmMain"_s << 1;
    QTest::newRow("LG panel") << u"frmLGLCD"_s << 0;
    QTest::newRow("Hyundai panel, Vvuon remote") << u"frmHyundaiLCD_0"_s << 0;
    QTest::newRow("Hyundai panel, D525ML functions") << u"frmHyundaiLCD_1"_s << 0;
    QTest::newRow("custom panel, 40 rows") << u"frmCustomLCD"_s << 0;
    QTest::newRow("button editor, 40 rows") << u"frmCustomLCDSettings"_s << 0;
    QTest::newRow("week view") << u"frmWeekView"_s << 0;
}

void TestWindowFit::everyControlCanBeReachedOnTheScreen()
{
    QFETCH(QString, window);
    QFETCH(int, tab);

    showMain();
    auto *tabs = test::control<QTabWidget>(m_main.get(), u"SSTab1"_s);
    tabs->setCurrentIndex(1 - tab);
    tabs->setCurrentIndex(tab);
    if (window == u"frmMain"_s) {
        // The tab chosen is scrolled into view: whole, or from its top as far as there is room.
        const QRect tabsShown = shownPart(tabs, m_main.get());
        int room = tabs->height();
        for (QWidget *parent = tabs->parentWidget(); parent; parent = parent->parentWidget()) {
            if (auto *area = qobject_cast<QScrollArea *>(parent))
                room = std::min(room, area->viewport()->height());
        }
        QCOMPARE(tabsShown.top(), globalRect(tabs).top());
        QCOMPARE(tabsShown.height(), room);
    }

    std::unique_ptr<QWidget> owned;
    QWidget *shown = m_main.get();
    if (window != u"frmMain"_s) {
        owned = openWindow(window);
        shown = owned.get();
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
    }
    keepPicture(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'));

    const QRect screen = shown->screen()->availableGeometry();
    QVERIFY2(screen.contains(shown->frameGeometry()), qPrintable(rectText(shown->frameGeometry())));

    QSet<QString> outside;
    QSet<QString> squeezed;
    int checked = 0;
    for (QWidget *control : shown->findChildren<QWidget *>()) {
        if (!control->isVisibleTo(shown) || !isOperated(control))
            continue;
        ++checked;
        bringIntoView(control, shown);
        const QRect whole = globalRect(control);
        if (shownPart(control, shown) != whole || !screen.contains(whole))
            outside << describe(control) + u" shown "_s + rectText(shownPart(control, shown));
        // A control made narrow on purpose (the date buttons) is not squeezed.
        const QSize needed = control->minimumSizeHint().boundedTo(control->maximumSize());
        if (control->width() < needed.width() || control->height() < needed.height())
            squeezed << describe(control);
    }
    QVERIFY(checked > 10);
    QVERIFY2(outside.isEmpty(), qPrintable(u"cannot be brought onto the screen whole: "_s + listed(outside)));
    QVERIFY2(squeezed.isEmpty(), qPrintable(u"smaller than they need: "_s + listed(squeezed)));
}

// The picker of either date box opens whole on the screen and inside the window, beside its box and not over
// it.
void TestWindowFit::datePickerOpensInsideTheScreen_data()
{
    QTest::addColumn<QString>("dateButton");
    QTest::newRow("start date") << u"btnCalStart"_s;
    QTest::newRow("end date") << u"btnCalEnd"_s;
}

void TestWindowFit::datePickerOpensInsideTheScreen()
{
    QFETCH(QString, dateButton);

    showMain();
    // A schedule row to edit, so that the editor and its date buttons are enabled.
    m_prompts.plannedTexts = { u"Lobby"_s };
    test::control<QPushButton>(m_main.get(), u"btnAddGroup"_s)->click();
    test::control<QPushButton>(m_main.get(), u"btnAddSchGroup"_s)->click();
    auto *schedule = test::control<QTreeView>(m_main.get(), u"lvScheduler"_s);
    bringIntoView(schedule, m_main.get());
    schedule->setCurrentIndex(schedule->model()->index(0, 0));
    auto *picker = test::control<QWidget>(m_main.get(), u"picCalendar"_s);
    auto *button = test::control<QPushButton>(m_main.get(), dateButton);
    QVERIFY(button->isEnabled());

    bringIntoView(button, m_main.get());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(picker->isVisible());
    keepPicture(u"date_picker_"_s + dateButton);
    const QRect screen = m_main->screen()->availableGeometry();
    const QRect placed = globalRect(picker);
    QVERIFY2(screen.contains(placed), qPrintable(rectText(placed)));
    QCOMPARE(shownPart(picker, m_main.get()), placed);
    // The date box it fills stays in sight.
    const QLineEdit *box
        = test::control<QLineEdit>(m_main.get(), dateButton == u"btnCalStart"_s ? u"StartDate"_s : u"EndDate"_s);
    QVERIFY(!placed.intersects(globalRect(box)));
}

// The offscreen platform gets a screen of the size the test is about; VANTIRO_TEST_SCREEN gives it in
// pixels (2560x1440 for the run at QT_SCALE_FACTOR=2). Another platform (xcb on Xvfb) brings its own.
int main(int argc, char **argv)
{
    const QString pixels = qEnvironmentVariable("VANTIRO_TEST_SCREEN", u"1280x720"_s);
    const QStringList sides = pixels.split(u'x');
    QTemporaryFile config(QDir::tempPath() + u"/vantiro-screen-XXXXXX.json"_s);
    if (sides.size() != 2 || !config.open())
        qFatal("cannot describe the screen %s", qPrintable(pixels));
    config.write(u"{ \"screens\": [ { \"name\": \"small\", \"x\": 0, \"y\": 0, \"width\": %1, \"height\": %2, "
                 "\"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1 } ] }"_s.arg(sides.at(0), sides.at(1))
                     .toUtf8());
    config.close();
    if (qEnvironmentVariable("QT_QPA_PLATFORM", u"offscreen"_s) == u"offscreen"_s)
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());

    QApplication application(argc, argv);
    TestWindowFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_fit.moc"
