#include "app/process_tab.h"

#include "common/controls.h"
#include "common/status_log.h"
#include "common/text_table_model.h"

#include <QHBoxLayout>
#include <QListView>
#include <QTableView>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

ProcessTab::ProcessTab(StatusLog &statusLog, TextTableModel &pendingEvents, QWidget *parent)
    : QWidget(parent)
    , m_pendingEvents(pendingEvents)
{
    auto *layout = new QHBoxLayout(this);
    m_lstMessage = named(new QListView, u"lstMessage"_s);
    m_lstMessage->setModel(&statusLog);
    m_lstMessage->setAccessibleName(u"Status log"_s);
    m_lstMessage->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstMessage->setUniformItemSizes(true);
    m_iPend = grid(u"iPend"_s, &pendingEvents);
    m_iPend->setAccessibleName(u"Pending events"_s);
    layout->addWidget(m_lstMessage, 3);
    layout->addWidget(m_iPend, 2);

    connect(&statusLog, &StatusLog::lineAppended, this, [this, &statusLog](int row) {
        const QModelIndex last = statusLog.index(row);
        m_lstMessage->setCurrentIndex(last);
        m_lstMessage->scrollTo(last);
    });
}

void ProcessTab::setUpPendingTable()
{
    m_pendingEvents.clear();
    m_iPend->resizeColumnsToContents();
}

} // namespace vantiro
