#include "custom/button_editor_window.h"

#include "commands/display_models.h"
#include "common/controls.h"
#include "custom/window_size.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

namespace {

const QStringList panelModelNames { u"LG"_s, u"HYUNDAI_D525ML"_s };

QLabel *labelFor(const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption);
    label->setBuddy(buddy);
    return label;
}

// Enter in a field or the table must not press a button by surprise (an extra "Add" is a new row).
QPushButton *plainButton(const QString &name, const QString &caption)
{
    QPushButton *pushButton = button(name, caption);
    pushButton->setAutoDefault(false);
    return pushButton;
}

// The most of a cell's text the table lays out or shows as a tooltip: a caption of megabytes would
// hold the window up for seconds at every repaint.
constexpr qsizetype shownCellLength = 1000;
// The table opens showing this many rows, and each column as wide as the longest model name.
constexpr int rowsShownAtOpening = 15;
const QString widestModelName = u"HYUNDAI_D525ML"_s;

class CutTextDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        return QStyledItemDelegate::displayText(value.toString().left(shownCellLength), locale);
    }

protected:
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QToolTip::showText(event->globalPos(), index.data(Qt::ToolTipRole).toString().left(shownCellLength), view);
        return true;
    }
};

} // namespace

frmCustomLCDSettings::frmCustomLCDSettings(const QString &applicationFolder, Prompts &prompts, BusyPointer &busyPointer,
                                           QWidget *parent)
    : QDialog(parent)
    , m_editor(applicationFolder, prompts, busyPointer)
{
    setObjectName(u"frmCustomLCDSettings"_s);
    setWindowTitle(u"Button Settings"_s);
    setModal(true);
    buildLayout();
    initButtonEditor();
    m_editor.loadButtonGrid();

    resize(sizeWithinScreen(this, openingSize()));
    if (const QScreen *shown = screen())
        move(shown->availableGeometry().center() - rect().center());
}

// Wide enough for the longest model name in every column and tall enough for 15 rows.
QSize frmCustomLCDSettings::openingSize() const
{
    const int frames = 2 * m_igButton->frameWidth();
    const int cellMargins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_igButton) + 1);
    const int columnWidth = m_igButton->fontMetrics().horizontalAdvance(widestModelName) + cellMargins + 8;
    const int columnCount = m_igButton->model()->columnCount();
    const QSize table(columnCount * columnWidth + frames + m_igButton->verticalScrollBar()->sizeHint().width(),
                      m_igButton->horizontalHeader()->sizeHint().height()
                          + rowsShownAtOpening * m_igButton->verticalHeader()->defaultSectionSize() + frames);
    // The table is the one part that grows with the window.
    const QMargins margins = layout()->contentsMargins();
    QSize wanted = sizeHint();
    wanted.setWidth(std::max(wanted.width(), table.width() + margins.left() + margins.right()));
    wanted.setHeight(wanted.height() + std::max(0, table.height() - m_igButton->sizeHint().height()));
    return wanted;
}

void frmCustomLCDSettings::buildLayout()
{
    auto *layout = new QVBoxLayout(this);

    auto *fraButton = named(new QGroupBox, u"fraButton"_s);
    auto *buttonFields = new QHBoxLayout(fraButton);
    m_txtButton = named(new QLineEdit, u"txtButton"_s);
    m_cboLCD = comboBox(u"cboLCD"_s, {}, true);
    buttonFields->addWidget(labelFor(u"Button:"_s, m_txtButton));
    buttonFields->addWidget(m_txtButton, 2);
    buttonFields->addWidget(labelFor(u"LCD:"_s, m_cboLCD));
    buttonFields->addWidget(m_cboLCD, 1);
    layout->addWidget(fraButton);

    auto *fraPortSettings = named(new QGroupBox(u"Serial Command Port Settings"_s), u"fraPortSettings"_s);
    auto *portFields = new QHBoxLayout(fraPortSettings);
    m_TxtCommPort = named(new QLineEdit, u"TxtCommPort"_s);
    // Typing stops at three characters (COM 1 to 255); a longer port read from the file is shown whole,
    // not cut, and refused when the button is added or updated.
    m_TxtCommPort->setValidator(new QRegularExpressionValidator(QRegularExpression(u".{0,3}"_s), m_TxtCommPort));
    m_TxtCommPort->setAlignment(Qt::AlignCenter);
    m_TxtCommPort->setMaximumWidth(m_TxtCommPort->fontMetrics().horizontalAdvance(u"0000"_s) + 12);
    portFields->addWidget(labelFor(u"Port:"_s, m_TxtCommPort));
    portFields->addWidget(m_TxtCommPort);
    const QStringList captions { u"Baud:"_s, u"Parity:"_s, u"Data Bits:"_s, u"Stop Bits:"_s };
    for (int index = 0; index < captions.size(); ++index) {
        auto *list = comboBox(arrayName(u"CbPortSet"_s, index), {}, true);
        m_CbPortSet.append(list);
        portFields->addWidget(labelFor(captions.at(index), list));
        portFields->addWidget(list, 1);
    }
    layout->addWidget(fraPortSettings);

    auto *editButtons = new QHBoxLayout;
    auto *add = plainButton(u"btnAdd"_s, u"Add"_s);
    auto *update = plainButton(u"btnUpdate"_s, u"Update"_s);
    auto *remove = plainButton(u"btnRemove"_s, u"Remove"_s);
    editButtons->addStretch();
    editButtons->addWidget(add);
    editButtons->addWidget(update);
    editButtons->addWidget(remove);
    layout->addLayout(editButtons);

    m_igButton = grid(u"igButton"_s, &m_editor.buttons());
    m_igButton->setItemDelegate(new CutTextDelegate(m_igButton));
    m_igButton->setAccessibleName(u"Buttons"_s);
    m_igButton->setTabKeyNavigation(false); // Tab moves on to the next control
    m_igButton->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(m_igButton, 1);

    auto *closingButtons = new QHBoxLayout;
    auto *save = plainButton(u"btnSave"_s, u"Save"_s);
    auto *close = plainButton(u"btnClose"_s, u"Close"_s);
    closingButtons->addStretch();
    closingButtons->addWidget(save);
    closingButtons->addWidget(close);
    layout->addLayout(closingButtons);

    connect(add, &QPushButton::clicked, this, [this] { m_editor.addButton(editedButton()); });
    connect(update, &QPushButton::clicked, this,
            [this] { m_editor.updateButton(editedButton(), m_igButton->selectionModel()->hasSelection()); });
    connect(remove, &QPushButton::clicked, this, [this] {
        // The row that took the removed one's place is not chosen until the operator chooses it.
        if (m_editor.removeButton(selectedRow()))
            m_igButton->selectionModel()->clear();
    });
    connect(save, &QPushButton::clicked, &m_editor, &ButtonEditor::saveButtonSettings);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_igButton->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (!m_focusArriving)
                    m_editor.currentCellChanged(current.row() + 1, current.column() + 1);
            });
    m_igButton->installEventFilter(this);
    connect(&m_editor, &ButtonEditor::editAreaFilled, this, &frmCustomLCDSettings::fillEditArea);
}

bool frmCustomLCDSettings::eventFilter(QObject *watched, QEvent *event)
{
    // A table reached with Tab makes its first cell current by itself; that is not the operator's
    // choice, and must not overwrite what was typed into the edit area. Setting it quietly first
    // leaves the table nothing to change.
    if (watched == m_igButton && event->type() == QEvent::FocusIn
        && static_cast<QFocusEvent *>(event)->reason() != Qt::MouseFocusReason && !m_igButton->currentIndex().isValid()
        && m_igButton->model()->rowCount() > 0) {
        m_focusArriving = true;
        m_igButton->selectionModel()->setCurrentIndex(m_igButton->model()->index(0, 0), QItemSelectionModel::NoUpdate);
        m_focusArriving = false;
    }
    return QDialog::eventFilter(watched, event);
}

void frmCustomLCDSettings::initButtonEditor()
{
    m_cboLCD->addItems(panelModelNames);
    m_cboLCD->setCurrentIndex(0);
    m_TxtCommPort->setText(u"1"_s);
    const QList<QStringList> items { baudRateItems(), parityItems(), dataBitsItems(), stopBitsItems() };
    const QStringList defaults { u"9600"_s, u"n"_s, u"8"_s, u"1"_s };
    for (int index = 0; index < m_CbPortSet.size(); ++index) {
        m_CbPortSet.at(index)->addItems(items.at(index));
        m_CbPortSet.at(index)->setCurrentText(defaults.at(index));
    }
}

PanelButton frmCustomLCDSettings::editedButton() const
{
    return { m_txtButton->text(),
             m_cboLCD->currentText(),
             m_TxtCommPort->text(),
             m_CbPortSet.at(0)->currentText(),
             m_CbPortSet.at(1)->currentText(),
             m_CbPortSet.at(2)->currentText(),
             m_CbPortSet.at(3)->currentText() };
}

void frmCustomLCDSettings::fillEditArea(const PanelButton &button)
{
    m_txtButton->setText(button.button);
    m_cboLCD->setCurrentText(button.lcd);
    m_TxtCommPort->setText(button.port);
    const QStringList lineSettings { button.baudrate, button.parity, button.databits, button.stopbits };
    for (int index = 0; index < m_CbPortSet.size(); ++index)
        m_CbPortSet.at(index)->setCurrentText(lineSettings.at(index));
}

int frmCustomLCDSettings::selectedRow() const
{
    const QModelIndexList rows = m_igButton->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : rows.constFirst().row() + 1;
}

void frmCustomLCDSettings::done(int result)
{
    if (m_editor.mayClose())
        QDialog::done(result);
}

} // namespace vantiro
