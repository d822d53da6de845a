#pragma once

#include <QWidget>

class QComboBox;
class QGroupBox;
class QTreeView;

namespace vantiro {

class TextTableModel;

// The "Schedule" tab: the schedule list with its buttons, and the attribute editor "Set Event
// Attributes " with its date picker, which floats over `calendarHost`.
class ScheduleTab : public QWidget
{
    Q_OBJECT

public:
    ScheduleTab(TextTableModel &schedule, QWidget *calendarHost, QWidget *parent = nullptr);

    // Start-up contents: a new row defaults to 00:00:00 (its end to 23:59:59), the function list has
    // no selection, and the editor is disabled until a row is loaded.
    void initialise();

private:
    QGroupBox *buildAttributeFrame(QWidget *calendarHost);

    QTreeView *m_lvScheduler = nullptr;
    QGroupBox *m_fraAtt = nullptr;
    QComboBox *m_startHour = nullptr;
    QComboBox *m_startMin = nullptr;
    QComboBox *m_startSec = nullptr;
    QComboBox *m_endHour = nullptr;
    QComboBox *m_endMin = nullptr;
    QComboBox *m_endSec = nullptr;
    QComboBox *m_cboMonitors = nullptr;
};

} // namespace vantiro
