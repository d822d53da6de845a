#pragma once

#include "scheduler/schedule_editing.h"
#include "scheduler/week_view_window.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeView;

namespace vantiro {

class Clock;
class Inventory;
class Prompts;
class TextTableModel;

// The "Schedule" tab: the schedule list with its buttons and the next event under it, and the
// attribute editor "Set Event Attributes " with its date picker, which floats over `calendarHost`;
// "Week View..." opens the week picture with the dates without events, "Export Calendar..." writes
// the schedule as an iCalendar file.
class ScheduleTab : public QWidget
{
    Q_OBJECT

public:
    ScheduleTab(TextTableModel &schedule, TextTableModel &datesWithoutEvents, const Inventory &inventory,
                Prompts &prompts, const Clock &clock, QWidget *calendarHost, QWidget *parent = nullptr);

    // Start-up contents: a new row defaults to 00:00:00 (its end to 23:59:59), the function list has
    // no selection, and the editor is disabled until a row is loaded.
    void initialise();

    // "Add Group to Schedule", "Remove Schedule Group", a row click and "Set Attributes".
    void addGroupToSchedule();
    void removeSelectedRows();
    void loadRow(int row);
    void setAttributes();
    // While the schedule runs, its rows cannot be added, removed or edited.
    void setEditingEnabled(bool enabled);
    // Selects the row (from 0) in the list and loads it, as a click on it does.
    void selectRow(int row);

    void openWeekView();
    void exportCalendarFile();
    // Where "Export Calendar..." and "Save Picture..." ask for a file name.
    void setSavePathChooser(SavePathChooser chooser);
    WeekViewWindow *weekView() const { return m_weekView; }

private:
    void fitListColumns();
    QGroupBox *buildAttributeFrame(QWidget *calendarHost);
    AttributeEditorTexts editorTexts() const;
    void showEditorTexts(const LoadedScheduleRow &loaded);
    // The date buttons: 0 the start date, 1 the end date.
    void showCalendar(int tag);
    void calendarPicked(QDate date);
    void refreshNextEvent();
    void armMinuteTimer();

    TextTableModel &m_schedule;
    TextTableModel &m_dates;
    const Inventory &m_inventory;
    Prompts &m_prompts;
    const Clock &m_clock;
    QTreeView *m_lvScheduler = nullptr;
    QLabel *m_lblNextEvent = nullptr;
    QTimer *m_minuteTimer = nullptr;
    QLineEdit *m_startDate = nullptr;
    QLineEdit *m_endDate = nullptr;
    QPushButton *m_btnCalStart = nullptr;
    QPushButton *m_btnCalEnd = nullptr;
    QWidget *m_picCalendar = nullptr;
    QCalendarWidget *m_calendar = nullptr;
    int m_calendarTag = 0;
    QList<QCheckBox *> m_checkDay;
    QGroupBox *m_fraAtt = nullptr;
    QComboBox *m_startHour = nullptr;
    QComboBox *m_startMin = nullptr;
    QComboBox *m_startSec = nullptr;
    QComboBox *m_endHour = nullptr;
    QComboBox *m_endMin = nullptr;
    QComboBox *m_endSec = nullptr;
    QComboBox *m_cboMonitors = nullptr;
    SavePathChooser m_choosePath;
    QPointer<WeekViewWindow> m_weekView;
    bool m_editingEnabled = true;
};

} // namespace vantiro
