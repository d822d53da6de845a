#pragma once

#include <QWidget>

class QListView;
class QTableView;

namespace vantiro {

class StatusLog;
class TextTableModel;

// The "Process" tab: the status log, which keeps its newest line in view, and the pending events.
class ProcessTab : public QWidget
{
    Q_OBJECT

public:
    ProcessTab(StatusLog &statusLog, TextTableModel &pendingEvents, QWidget *parent = nullptr);

    // Empties the pending events and fits their columns.
    void setUpPendingTable();

private:
    TextTableModel &m_pendingEvents;
    QListView *m_lstMessage = nullptr;
    QTableView *m_iPend = nullptr;
};

} // namespace vantiro
