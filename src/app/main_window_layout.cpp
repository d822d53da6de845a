// The main window's arrangement: the top buttons, the three editing frames, the two tabs and the
// bottom bar. The frames build their own controls.
#include "app/main_window.h"
#include "app/process_tab.h"
#include "commands/quick_command_frame.h"
#include "commands/send_progress_bar.h"
#include "commands/serial_command_frame.h"
#include "common/controls.h"
#include "inventory/inventory_frame.h"
#include "scheduler/schedule_tab.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

// Everything but the bottom bar scrolls on a screen too small for it, so Run, Stop, Save, Close and
// Systray (and what a send shows there) always stay in sight.
void frmMain::buildLayout()
{
    auto *content = new QWidget;
    auto *layout = new QGridLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildTopButtons(), 0, 0, 1, 2);

    auto *left = new QVBoxLayout;
    left->addWidget(m_serialCommandFrame);
    left->addWidget(
        m_inventoryFrame->buildGroupFrame(m_quickCommandFrame->volumeFrame(), m_quickCommandFrame->allMonitorsFrame()),
        1);
    layout->addLayout(left, 1, 0);
    layout->addWidget(m_inventoryFrame->buildPortFrame(m_quickCommandFrame->groupCommandRow()), 1, 1);

    m_tabs = named(new QTabWidget, u"SSTab1"_s);
    m_tabs->addTab(m_scheduleTab, u"Schedule"_s);
    m_tabs->addTab(m_processTab, u"Process"_s);
    layout->addWidget(m_tabs, 2, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 3);
    layout->setRowStretch(2, 2);

    auto *pane = named(new ScrollPane(content), u"scrMain"_s);
    // A tab chosen (by the operator, or Run showing the log) is scrolled into view.
    connect(m_tabs, &QTabWidget::currentChanged, pane, [pane, this] { pane->showWhole(m_tabs); });

    auto *central = new QWidget;
    auto *window = new QVBoxLayout(central);
    window->addWidget(pane, 1);
    window->addWidget(buildBottomBar());
    setCentralWidget(central);
}

QWidget *frmMain::buildTopButtons()
{
    auto *bar = new QWidget;
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button(arrayName(u"btnHyundaiLCD"_s, 0), u"Hyundai  Vvuon LCD Instant Serial Commands"_s));
    layout->addWidget(button(arrayName(u"btnHyundaiLCD"_s, 1), u"Hyundai D525ML LCD Instant Serial Commands"_s));
    layout->addWidget(button(u"btnLGLCD"_s, u"LG LCD  Instant Serial Commands"_s));
    layout->addWidget(button(u"btnGeneralSerialCmd"_s, u"Custom LCD Instant Serial Commands"_s));
    return bar;
}

QWidget *frmMain::buildBottomBar()
{
    auto *bar = new QWidget;
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    m_lblCurrentTime = named(new QLabel, u"lblCurrentTime"_s);
    m_lblCurrentTime->setMinimumWidth(m_lblCurrentTime->fontMetrics().horizontalAdvance(u"00:00:00"_s) + 8);
    layout->addWidget(m_lblCurrentTime);
    layout->addWidget(new SendProgressBar(*m_executor->progress()));
    layout->addStretch();
    layout->addWidget(button(u"btnRun"_s, u"Run"_s));
    layout->addWidget(button(u"btnStop"_s, u"Stop"_s));
    layout->addWidget(button(u"btnSave"_s, u"Save"_s));
    layout->addWidget(button(u"btnClose"_s, u"Close"_s));
    layout->addWidget(button(u"btnHide"_s, u"Systray"_s));
    return bar;
}

} // namespace vantiro
