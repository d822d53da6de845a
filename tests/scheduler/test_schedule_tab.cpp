// The "Schedule" tab of the real main window, driven as an operator does: rows added for groups,
// loaded by a click, dated with the calendar from the keyboard, refused with the right message,
// removed, and found again in a new window after "Save"; hand-edited rows loaded, shown whole and
// set again without harm.
#include "app/main_window.h"
#include "scheduler/schedule_tab.h"
#include "fake_tray_icon.h"
#include "manual_clock.h"
#include "pty_displays.h"
#include "scheduler/schedule_rules.h"
#include "scheduler/schedule_table.h"
#include "scheduler/week_view_window.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"
#include "window_controls.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

using Rows = QList<QStringList>;

using test::rowsOf;

} // namespace

class TestScheduleTab : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void addingNeedsAGroup();
    void rowsAreEditedCheckedAndKept();
    void removeTakesEverySelectedRow();
    void handEditedRowsAreShownAndSetUnharmed();
    void startedWithARowDueSoonSendsItOnTime();
    void weekViewChoosesRowsKeepsDatesAndSaves();

private:
    template<typename T> T *child(const QString &name) const { return test::control<T>(m_window.get(), name); }
    void openWindow(int groups = 2);
    void click(const QString &button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    void clickRow(const QString &view, int row);
    // Opens the picker with a date button and moves its date by whole weeks from the keyboard.
    void pickWithKeyboard(const QString &dateButton, int weeks);
    void checkDays(const QString &days); // "0100000"
    QString lastTitle() const { return m_prompts.messages.isEmpty() ? QString() : m_prompts.messages.last().title; }

    test::TempAppFolder m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    test::ManualClock m_clock; // 03/25/2009 08:00:00, a Wednesday
    test::FakeTrayIcon m_tray;
    std::unique_ptr<frmMain> m_window;
};

void TestScheduleTab::init()
{
    m_prompts = {};
    m_tray.removeIcon();
    m_folder.writeFile(u"Settings.ini"_s, "[GROUP_SETTINGS]\r\nGroups=2\r\n1=Lobby%%1~~LG\r\n2=Hall%%2~~OLEVIA\r\n");
    openWindow();
}

void TestScheduleTab::openWindow(int groups)
{
    m_window
        = std::make_unique<frmMain>(m_folder.path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, &m_tray });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(!m_window->findChild<QTimer *>(u"StartUpTimer"_s)->isActive());
    QCOMPARE(child<QTableView>(u"iGroup"_s)->model()->rowCount(), groups);
}

void TestScheduleTab::clickRow(const QString &view, int row)
{
    auto *list = child<QAbstractItemView>(view);
    const QModelIndex index = list->model()->index(row, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

void TestScheduleTab::pickWithKeyboard(const QString &dateButton, int weeks)
{
    click(dateButton);
    QVERIFY(child<QWidget>(u"picCalendar"_s)->isVisible());
    QWidget *calendarKeys = QApplication::focusWidget();
    QVERIFY(calendarKeys && child<QCalendarWidget>(u"Calendar1"_s)->isAncestorOf(calendarKeys));
    for (int week = 0; week < weeks; ++week)
        QTest::keyClick(calendarKeys, Qt::Key_Down);
    QTest::keyClick(calendarKeys, Qt::Key_Return);
    QVERIFY(!child<QWidget>(u"picCalendar"_s)->isVisible());
}

void TestScheduleTab::checkDays(const QString &days)
{
    for (int day = 0; day < 7; ++day)
        child<QCheckBox>(u"CheckDay_%1"_s.arg(day))->setChecked(days.at(day) == u'1');
}

void TestScheduleTab::addingNeedsAGroup()
{
    m_folder.writeFile(u"Settings.ini"_s, "[GROUP_SETTINGS]\r\nGroups=0\r\n");
    openWindow(0);
    click(u"btnAddSchGroup"_s);
    QCOMPARE(m_prompts.messages, QList<PromptMessage>({ { u"Please select a group to add."_s } }));
    QCOMPARE(child<QTreeView>(u"lvScheduler"_s)->model()->rowCount(), 0);
}

void TestScheduleTab::rowsAreEditedCheckedAndKept()
{
    const QString everyDay = u"S,M,T,W,Th,F,Sat"_s;
    clickRow(u"iGroup"_s, 1);
    click(u"btnAddSchGroup"_s);
    clickRow(u"iGroup"_s, 0);
    click(u"btnAddSchGroup"_s);
    const auto *schedule = child<QTreeView>(u"lvScheduler"_s)->model();
    QCOMPARE(rowsOf(schedule),
             Rows({ { u"Hall"_s, u"03/25/2009"_s, u"03/25/2009"_s, u"08:00:00"_s, u"08:00:00"_s, everyDay,
                      u"Monitors ON"_s },
                    { u"Lobby"_s, u"03/25/2009"_s, u"03/25/2009"_s, u"08:00:00"_s, u"08:00:00"_s, everyDay,
                      u"Monitors ON"_s } }));
    QVERIFY(!child<QGroupBox>(u"fraAtt"_s)->isEnabled());

    // Hall: the end four weeks on, then a start past that end, which moves the end along.
    clickRow(u"lvScheduler"_s, 0);
    QVERIFY(child<QGroupBox>(u"fraAtt"_s)->isEnabled());
    QCOMPARE(child<QGroupBox>(u"fraAtt"_s)->title(), u" Set Attributes: Hall "_s);
    pickWithKeyboard(u"btnCalEnd"_s, 4);
    QCOMPARE(child<QLineEdit>(u"EndDate"_s)->text(), u"04/22/2009"_s);
    QCOMPARE(child<QLineEdit>(u"StartDate"_s)->text(), u"03/25/2009"_s);
    checkDays(u"0000000"_s);
    click(u"btnSetSchGroupAtt"_s);
    QCOMPARE(lastTitle(), u"Invalid WeekDays Setting!"_s);
    checkDays(u"0100000"_s); // Mondays
    child<QComboBox>(u"StartHour"_s)->setCurrentIndex(7);
    child<QComboBox>(u"cboMonitors"_s)->setCurrentIndex(3);
    click(u"btnSetSchGroupAtt"_s);
    QCOMPARE(m_prompts.messages.size(), 1);
    QCOMPARE(rowsOf(schedule).at(0),
             QStringList({ u"Hall"_s, u"03/25/2009"_s, u"04/22/2009"_s, u"07:00:00"_s, u"07:00:00"_s,
                           u"N,M,N,N,N,N,N"_s, u"LG All Monitors OFF"_s }));
    QCOMPARE(child<QLabel>(u"lblNextEvent"_s)->text(), u"Next: Hall LG All Monitors OFF at 03/30/2009 07:00:00"_s);
    QCOMPARE(schedule->index(0, 0).data(Qt::ToolTipRole).toString(),
             u"03/30/2009 07:00:00\n04/06/2009 07:00:00\n04/13/2009 07:00:00"_s);

    // Lobby at the same time on the same Mondays collides with Hall.
    clickRow(u"lvScheduler"_s, 1);
    QCOMPARE(child<QLineEdit>(u"StartDate"_s)->text(), u"03/25/2009"_s);
    pickWithKeyboard(u"btnCalStart"_s, 1);
    QCOMPARE(child<QLineEdit>(u"EndDate"_s)->text(), u"04/01/2009"_s);
    pickWithKeyboard(u"btnCalEnd"_s, 2);
    QCOMPARE(child<QLineEdit>(u"EndDate"_s)->text(), u"04/15/2009"_s);
    checkDays(u"0100000"_s);
    child<QComboBox>(u"StartHour"_s)->setCurrentIndex(7);
    click(u"btnSetSchGroupAtt"_s);
    QCOMPARE(lastTitle(), u"Group Schedule Conflict!"_s);
    QCOMPARE(rowsOf(schedule).at(1).at(3), u"08:00:00"_s);
    child<QComboBox>(u"StartHour"_s)->setCurrentIndex(9);
    click(u"btnSetSchGroupAtt"_s);
    QCOMPARE(m_prompts.messages.size(), 2);

    const Rows written = rowsOf(schedule);
    click(u"btnSave"_s);
    // A start that finds schedule rows runs them from the tray.
    m_window
        = std::make_unique<frmMain>(m_folder.path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, &m_tray });
    QTRY_VERIFY(m_window->scheduleRunner().isRunning());
    QCOMPARE(rowsOf(child<QTreeView>(u"lvScheduler"_s)->model()), written);
}

void TestScheduleTab::removeTakesEverySelectedRow()
{
    for (int i = 0; i < 3; ++i)
        click(u"btnAddSchGroup"_s);
    auto *list = child<QTreeView>(u"lvScheduler"_s);
    click(u"btnRemoveSchGroup"_s); // nothing selected
    QCOMPARE(list->model()->rowCount(), 3);
    list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    click(u"btnRemoveSchGroup"_s);
    QCOMPARE(list->model()->rowCount(), 1);
    QVERIFY(m_prompts.messages.isEmpty());
}

// A file written by hand: a time without seconds, an unpadded hour and a day mask with a blank in
// front. The start runs them; after Stop the list shows them whole, and Set Attributes on each row
// without a change writes them back as they were, in the program's own forms.
void TestScheduleTab::handEditedRowsAreShownAndSetUnharmed()
{
    const QFontMetrics metrics(QApplication::font());
    QString widest;
    for (const QString &name : scheduleFunctionNames()) {
        if (metrics.horizontalAdvance(name) > metrics.horizontalAdvance(widest))
            widest = name;
    }
    m_folder.writeFile(u"Settings.ini"_s,
                       "[GROUP_SETTINGS]\r\nGroups=2\r\n1=Lobby%%1~~LG\r\n2=Hall%%2~~OLEVIA\r\n"
                       "[SCHEDULE_SETTINGS]\r\nSchedules=2\r\n"
                       "1=Lobby`03/01/2009`03/31/2009`08:00`08:00` 1111111`Monitors ON\r\n"
                       "2=Hall`03/01/2009`03/31/2009`8:05:00`8:05:00`0111110`"
                           + widest.toLatin1() + "\r\n");
    m_window
        = std::make_unique<frmMain>(m_folder.path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, &m_tray });
    QTRY_VERIFY(m_window->scheduleRunner().isRunning());
    const QString running = u"Schedule running: 2 rows, next: Hall %1 at 03/25/2009 08:05:00"_s.arg(widest);
    const QAbstractItemModel *log = child<QListView>(u"lstMessage"_s)->model();
    QCOMPARE(log->match(log->index(0, 0), Qt::DisplayRole, running, -1, Qt::MatchEndsWith).size(), 1);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_COMPARE(child<QLabel>(u"lblCurrentTime"_s)->text(), u"08:00:00"_s);
    click(u"btnStop"_s);
    QCOMPARE(child<QLabel>(u"lblCurrentTime"_s)->text(), u"--:--:--"_s);

    auto *list = child<QTreeView>(u"lvScheduler"_s);
    const QStringList days { u"S,M,T,W,Th,F,Sat"_s, u"N,M,T,W,Th,F,N"_s };
    for (int row = 0; row < 2; ++row)
        QCOMPARE(list->model()->index(row, 5).data().toString(), days.at(row));
    // At the window's first size, the days and the function are not cut.
    for (int column : { 5, 6 }) {
        const int left = list->header()->sectionViewportPosition(column);
        const int width = list->header()->sectionSize(column);
        const int needed = static_cast<QAbstractItemView *>(list)->sizeHintForColumn(column);
        QVERIFY2(width >= needed && left >= 0 && left + width <= list->viewport()->width(),
                 qPrintable(u"column %1: %2 + %3 of %4, needs %5"_s.arg(column)
                                .arg(left)
                                .arg(width)
                                .arg(list->viewport()->width())
                                .arg(needed)));
    }
    QCOMPARE(child<QLineEdit>(u"StartDate"_s)->placeholderText(), u"MM/DD/YYYY"_s);
    QCOMPARE(child<QCalendarWidget>(u"Calendar1"_s)->firstDayOfWeek(), Qt::Sunday);

    for (int row = 0; row < 2; ++row) {
        clickRow(u"lvScheduler"_s, row);
        click(u"btnSetSchGroupAtt"_s);
    }
    QVERIFY(m_prompts.messages.isEmpty());
    const Rows expected {
        { u"Lobby"_s, u"03/01/2009"_s, u"03/31/2009"_s, u"08:00:00"_s, u"08:00:00"_s, days.at(0), u"Monitors ON"_s },
        { u"Hall"_s, u"03/01/2009"_s, u"03/31/2009"_s, u"08:05:00"_s, u"08:05:00"_s, days.at(1), widest }
    };
    QCOMPARE(rowsOf(list->model()), expected);
    click(u"btnSave"_s);
    QVERIFY(m_folder.readFile(u"Settings.ini"_s).contains("1=Lobby`03/01/2009`03/31/2009`08:00:00`08:00:00`1111111`"));
}

// Real time: a start with a row due two seconds later comes up running in the tray, and the row's
// bytes reach the display in its second.
void TestScheduleTab::startedWithARowDueSoonSendsItOnTime()
{
    test::PtyDisplays displays(m_folder, { 3 });
    QVERIFY(displays.isValid());
    const QDateTime due = QDateTime::currentDateTime().addSecs(2);
    const QString day = scheduleDateText(due.date());
    m_folder.writeFile(
        u"Settings.ini"_s,
        "[GROUP_SETTINGS]\r\nGroups=1\r\n1=Lobby%%3~~LG\r\n[SCHEDULE_SETTINGS]\r\nSchedules=1\r\n1=Lobby`"
            + day.toLatin1() + '`' + day.toLatin1() + '`' + scheduleTimeText(due.time()).toLatin1() + '`'
            + scheduleTimeText(due.time()).toLatin1() + "`1111111`Monitors ON\r\n");
    m_window = std::make_unique<frmMain>(m_folder.path(), MainWindowServices { &m_prompts, &m_busy, nullptr, &m_tray });
    m_window->show();
    QTRY_VERIFY(m_tray.isIconShown());
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_window->scheduleRunner().isRunning());

    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT((received += displays.display(3).read(9, 1)).size() >= 9, 5000);
    const QDateTime arrived = QDateTime::currentDateTime();
    QCOMPARE(received, QByteArray("ka 01 01\r"));
    const QDateTime dueSecond(due.date(), QTime(due.time().hour(), due.time().minute(), due.time().second()));
    QVERIFY2(arrived >= dueSecond && arrived < dueSecond.addSecs(1), qPrintable(arrived.toString(Qt::ISODateWithMs)));
}

// A week with Lobby every day and Hall on Mondays, both at 08:00, and a row that never fires: the
// blocks choose their rows by mouse and keyboard, a date without events goes from the week, the next
// event and the file, and the picture and the calendar are written or their failure told.
void TestScheduleTab::weekViewChoosesRowsKeepsDatesAndSaves()
{
    m_folder.writeFile(u"Settings.ini"_s,
                       "[GROUP_SETTINGS]\r\nGroups=2\r\n1=Lobby%%1~~LG\r\n2=Hall%%2~~OLEVIA\r\n"
                       "[SCHEDULE_SETTINGS]\r\nSchedules=3\r\n"
                       "1=Lobby`03/01/2009`12/31/2009`08:00:00`08:00:00`1111111`Monitors ON\r\n"
                       "2=Hall`03/01/2009`12/31/2009`08:00:00`08:00:00`0100000`Monitors OFF\r\n"
                       "3=Typo`13/45/2009`12/31/2009`08:00:00`08:00:00`1111111`Monitors ON\r\n");
    m_clock.current = QDateTime(QDate(2009, 3, 25), QTime(7, 0)); // a Wednesday
    m_window = std::make_unique<frmMain>(m_folder.path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, &m_tray });
    m_window->show();
    QTRY_VERIFY(m_tray.isIconShown()); // a schedule was loaded and runs
    m_window->restoreFromTray();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    click(u"btnStop"_s);
    click(u"cmdWeekView"_s);
    auto *week = child<WeekViewWindow>(u"frmWeekView"_s);
    QVERIFY(QTest::qWaitForWindowExposed(week));
    QCOMPARE(week->shownSunday(), QDate(2009, 3, 22));
    auto blocks = [week] {
        QStringList names;
        for (const QAbstractButton *block : week->picture()->blocks())
            names.append(block->accessibleName());
        return names;
    };
    const QStringList days { u"Sunday"_s, u"Monday"_s, u"Tuesday"_s, u"Wednesday"_s, u"Thursday"_s, u"Friday"_s,
                             u"Saturday"_s };
    QStringList expected;
    for (const QString &day : days) {
        expected.append(day + u" 08:00, Lobby, Monitors ON"_s);
        if (day == u"Monday")
            expected.append(u"Monday 08:00, Hall, Monitors OFF"_s);
    }
    QCOMPARE(blocks(), expected);
    QCOMPARE(child<QLabel>(u"lblNeverFires"_s)->text(),
             u"never fires: row 3, Typo, Monitors ON, 13/45/2009 to 12/31/2009 at 08:00:00"_s);

    // Monday's two blocks stack; the mouse, Enter and the arrow keys choose and move.
    const QList<QAbstractButton *> &buttons = week->picture()->blocks();
    QVERIFY(!buttons[1]->geometry().intersects(buttons[2]->geometry()));
    auto *list = child<QTreeView>(u"lvScheduler"_s);
    QTest::mouseClick(buttons[2], Qt::LeftButton);
    QCOMPARE(list->currentIndex().row(), 1);
    buttons[0]->setFocus();
    QTest::keyClick(buttons[0], Qt::Key_Right); // Monday's first block
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down); // Hall under it
    QCOMPARE(QApplication::focusWidget(), buttons[2]);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right); // Tuesday's
    QCOMPARE(QApplication::focusWidget(), buttons[3]);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(list->currentIndex().row(), 0);

    // Today becomes a date without events: gone from the week and the next event, an unsaved change
    // until Save writes it.
    QCOMPARE(child<QLabel>(u"lblNextEvent"_s)->text(), u"Next: Lobby Monitors ON at 03/25/2009 08:00:00"_s);
    child<QDateEdit>(u"dtpNewDate"_s)->setDate(QDate(2009, 3, 25));
    QTest::keyClicks(child<QLineEdit>(u"txtNewNote"_s), u"Closed"_s);
    QTest::keyClick(child<QLineEdit>(u"txtNewNote"_s), Qt::Key_Return);
    expected.removeAll(u"Wednesday 08:00, Lobby, Monitors ON"_s);
    QCOMPARE(blocks(), expected);
    QCOMPARE(child<QLabel>(u"lblNextEvent"_s)->text(), u"Next: Lobby Monitors ON at 03/26/2009 08:00:00"_s);
    QVERIFY(m_window->windowTitle().startsWith(u'*'));
    click(u"btnSave"_s);
    QVERIFY(!m_window->windowTitle().startsWith(u'*'));
    QVERIFY(m_folder.readFile(u"Settings.ini"_s).endsWith("[SCHEDULE_EXCEPTIONS]\r\nDates=1\r\n1=03/25/2009`Closed\r\n"));
    auto *dates = child<QTreeView>(u"lvDatesWithoutEvents"_s);
    dates->setCurrentIndex(dates->model()->index(0, 0));
    click(u"cmdRemoveDate"_s);
    QCOMPARE(dates->model()->rowCount(), 0);
    QVERIFY(m_window->windowTitle().startsWith(u'*'));

    // The picture as PNG and PDF, a folder that is not there, and the calendar.
    QString answer;
    m_window->findChild<ScheduleTab *>()->setSavePathChooser(
        [&answer](QWidget *, const QString &, const QString &, const QString &) { return answer; });
    m_prompts = {};
    for (const auto &[name, start] : { std::pair { u"week.png"_s, QByteArray("\x89PNG") },
                                       std::pair { u"week.pdf"_s, QByteArray("%PDF") } }) {
        answer = m_folder.path() + u'/' + name;
        click(u"cmdSavePicture"_s);
        QVERIFY2(m_folder.readFile(name).startsWith(start), qPrintable(name));
    }
    QVERIFY(m_prompts.messages.isEmpty());
    answer = m_folder.path() + u"/missing/week.png"_s;
    click(u"cmdSavePicture"_s);
    QCOMPARE(lastTitle(), u"Error"_s);
    QVERIFY2(m_prompts.messages.last().text.contains(u"No such file or directory"_s),
             qPrintable(m_prompts.messages.last().text));
    answer = m_folder.path() + u"/schedule.ics"_s;
    click(u"cmdExportCalendar"_s);
    QVERIFY(m_folder.readFile(u"schedule.ics"_s).startsWith("BEGIN:VCALENDAR\r\n"));
    QVERIFY2(m_prompts.messages.last().text.endsWith(
                 u"as 2 events.\n\nLeft out:\nnever fires: row 3, Typo, Monitors ON, 13/45/2009 to 12/31/2009 at 08:00:00"_s),
             qPrintable(m_prompts.messages.last().text));
}

QTEST_MAIN(TestScheduleTab)
#include "test_schedule_tab.moc"
