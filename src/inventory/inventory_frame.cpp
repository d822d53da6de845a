#include "inventory/inventory_frame.h"

#include "commands/display_models.h"
#include "common/controls.h"
#include "inventory/inventory.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <limits>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

namespace {

constexpr int comListSize = 40;

QLabel *labelFor(const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption);
    label->setBuddy(buddy);
    return label;
}

} // namespace

InventoryFrame::InventoryFrame(Inventory &inventory, QObject *parent)
    : QObject(parent)
    , m_inventory(inventory)
{ }

QGroupBox *InventoryFrame::buildGroupFrame(QWidget *volumeFrame, QWidget *allMonitorsFrame)
{
    m_fraGroup = named(new QGroupBox(u"Group Settings"_s), u"fraGroup"_s);
    auto *layout = new QGridLayout(m_fraGroup);

    m_iGroup = grid(u"iGroup"_s, &m_inventory.groups());
    m_iGroup->setAccessibleName(u"Groups"_s);
    m_iGroup->setMinimumHeight(m_iGroup->verticalHeader()->defaultSectionSize() * 5);
    layout->addWidget(m_iGroup, 0, 0, 1, 2);
    auto *groupButtons = new QHBoxLayout;
    auto *add = button(u"btnAddGroup"_s, u"Add"_s);
    auto *remove = button(u"btnRemoveGroup"_s, u"Remove"_s);
    groupButtons->addWidget(add);
    groupButtons->addWidget(remove);
    groupButtons->addStretch();
    layout->addLayout(groupButtons, 1, 0, 1, 2);
    layout->addWidget(volumeFrame, 2, 0);
    layout->addWidget(allMonitorsFrame, 2, 1);
    layout->setRowStretch(0, 1);

    connect(add, &QPushButton::clicked, &m_inventory, &Inventory::addGroup);
    connect(remove, &QPushButton::clicked, &m_inventory, &Inventory::removeGroup);
    if (m_iPort)
        connectInventory();
    return m_fraGroup;
}

QGroupBox *InventoryFrame::buildPortFrame(QWidget *groupCommandRow)
{
    auto *frame = named(new QGroupBox(u"COM Settings"_s), u"fraCOMSettings"_s);
    auto *layout = new QGridLayout(frame);

    m_iPort = grid(u"iPort"_s, &m_inventory.ports());
    m_iPort->setAccessibleName(u"Ports"_s);
    layout->addWidget(m_iPort, 0, 0);
    layout->addWidget(groupCommandRow, 1, 0);

    auto *portFrame = named(new QGroupBox(u"COM Setting"_s), u"fraPort"_s);
    auto *editor = new QGridLayout(portFrame);
    m_cboCOM = comboBox(u"cboCOM"_s, {}, true);
    m_cboLCD = comboBox(u"cboLCD"_s, {}, false);
    // The model is chosen from the list only: typed characters never reach it.
    m_cboLCD->installEventFilter(this);
    m_txtNote = named(new QLineEdit, u"txtNote"_s);
    // A note read from a file is edited and written back whole, however long; the field's own limit
    // would cut it on "Update".
    m_txtNote->setMaxLength(std::numeric_limits<int>::max());
    editor->addWidget(labelFor(u"Port:"_s, m_cboCOM), 0, 0);
    editor->addWidget(m_cboCOM, 0, 1);
    editor->addWidget(labelFor(u"LCD:"_s, m_cboLCD), 0, 2);
    editor->addWidget(m_cboLCD, 0, 3);
    editor->addWidget(labelFor(u"Your Note:"_s, m_txtNote), 1, 0);
    editor->addWidget(m_txtNote, 1, 1, 1, 3);
    auto *portButtons = new QHBoxLayout;
    auto *add = button(u"btnAddCOM"_s, u"Add"_s);
    auto *update = button(u"btnEditCOM"_s, u"Update"_s);
    auto *remove = button(u"cmdRemoveCOM"_s, u"Remove"_s);
    portButtons->addWidget(add);
    portButtons->addWidget(update);
    portButtons->addWidget(remove);
    editor->addLayout(portButtons, 2, 0, 1, 4);
    editor->setColumnStretch(1, 1);
    editor->setColumnStretch(3, 2);
    layout->addWidget(portFrame, 2, 0);
    layout->setRowStretch(0, 1);

    auto editorTexts = [this] {
        return PortEditorTexts { m_cboCOM->currentText(), m_cboLCD->currentText(), m_txtNote->text() };
    };
    connect(add, &QPushButton::clicked, this, [this, editorTexts] { m_inventory.addPort(editorTexts()); });
    connect(update, &QPushButton::clicked, this, [this, editorTexts] { m_inventory.updatePort(editorTexts()); });
    connect(remove, &QPushButton::clicked, &m_inventory, &Inventory::removePort);
    connect(m_cboLCD, &QComboBox::currentIndexChanged, this, &InventoryFrame::modelChosen);
    connect(m_cboLCD, &QComboBox::activated, this, &InventoryFrame::modelChosen);
    if (m_iGroup)
        connectInventory();
    return frame;
}

// Once both views exist: selection notifications go to the inventory, and its choices come back.
void InventoryFrame::connectInventory()
{
    connect(m_iGroup->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { m_inventory.currentGroupChanged(current.row() + 1); });
    connect(m_iPort->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { m_inventory.currentPortChanged(current.row() + 1); });
    connect(m_iPort, &QTableView::clicked, this,
            [this](const QModelIndex &index) { m_inventory.portRowClicked(index.row() + 1); });

    connect(&m_inventory, &Inventory::groupRowMadeCurrent, this, [this](int groupRow) {
        if (groupRow < 1) {
            m_iGroup->selectionModel()->clear();
            return;
        }
        m_iGroup->setCurrentIndex(m_inventory.groups().index(groupRow - 1, 0));
        m_iGroup->setFocus();
    });
    connect(&m_inventory, &Inventory::portSelectionCleared, this, [this] { m_iPort->selectionModel()->clear(); });
    connect(&m_inventory, &Inventory::portEditorFilled, this,
            [this](const QString &port, int modelEntry, const QString &note) {
                selectModelEntry(modelEntry);
                m_cboCOM->setEditText(port);
                m_txtNote->setText(note);
            });
}

void InventoryFrame::initialise()
{
    {
        const QSignalBlocker quiet(m_cboLCD);
        m_cboLCD->clear();
        m_cboLCD->addItems(displayModelNames());
    }
    selectModelEntry(0);

    m_cboCOM->clear();
    for (int port = 1; port <= comListSize; ++port)
        m_cboCOM->addItem(QString::number(port));

    m_inventory.groups().clear();
    m_inventory.ports().clear();
    fitTableColumns();
}

void InventoryFrame::selectModelEntry(int index)
{
    if (m_cboLCD->currentIndex() == index) {
        emit modelChosen();
        return;
    }
    m_cboLCD->setCurrentIndex(index); // announced through the list's change notification
}

QString InventoryFrame::modelListText() const
{
    return m_cboLCD->currentText();
}

QStringList InventoryFrame::comPortItems() const
{
    QStringList items;
    for (int i = 0; i < m_cboCOM->count(); ++i)
        items << m_cboCOM->itemText(i);
    return items;
}

void InventoryFrame::fitTableColumns()
{
    const int groupWidth = m_iGroup->viewport()->width();
    for (int column = 0; column < 2; ++column)
        m_iGroup->setColumnWidth(column, std::max(groupWidth / 3 - 10, 60));
    const int portWidth = m_iPort->viewport()->width();
    for (int column = 0; column < 3; ++column)
        m_iPort->setColumnWidth(column, std::max(portWidth / 3 - 10, 60));
}

bool InventoryFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_cboLCD && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vantiro
