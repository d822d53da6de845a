#include "custom/custom_panel_window.h"

#include "commands/send_progress_bar.h"
#include "common/controls.h"
#include "custom/button_editor_window.h"
#include "custom/window_size.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOptionButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

namespace {

constexpr int highestChannel = 999;
// What a caption may take of the button's tooltip and accessible name; the rest is never shown.
constexpr qsizetype captionLimit = 1000;
constexpr int listScrollBarWidth = 17;
constexpr int listMinimumWidth = 320;
constexpr int buttonColumnStretch = 2;
constexpr int choiceButtonHeight = 48;
const QStringList textColumns { u"Status"_s, u"Source"_s, u"Volume"_s };
// End users read the panel from a distance: its text is this much larger than the desktop's.
constexpr qreal largeTextScale = 1.4;

qreal largePointSize()
{
    return QApplication::font().pointSizeF() * largeTextScale;
}

// Green when chosen, light grey when not. The keyboard focus is drawn in the style's own thin way, so
// that no frame is taken for a choice.
void setChosen(QPushButton *button, bool chosen)
{
    button->setProperty("chosen", chosen);
    // A style sheet replaces the inherited font, so the large size is given here too.
    button->setStyleSheet(u"QPushButton { background-color: rgb(%1); color: black; padding: 6px; font-size: %2pt; }"_s
                              .arg(chosen ? u"0, 255, 0"_s : u"192, 192, 192"_s)
                              .arg(qRound(largePointSize())));
}

QPushButton *choiceButton(const QString &name, const QString &caption)
{
    QPushButton *pushButton = button(name, caption);
    pushButton->setMinimumHeight(choiceButtonHeight);
    setChosen(pushButton, false);
    return pushButton;
}

// The list's columns take their shares of its width whatever their texts, so that every row lines up
// with the header.
void takeColumnShare(QWidget *widget)
{
    widget->setSizePolicy(QSizePolicy::Ignored, widget->sizePolicy().verticalPolicy());
}

QLineEdit *rowTextField(const QString &name)
{
    auto *field = named(new QLineEdit, name);
    field->setReadOnly(true);
    field->setAlignment(Qt::AlignCenter);
    // The row button carries the texts for screen readers; Tab goes from row button to row button.
    field->setFocusPolicy(Qt::ClickFocus);
    takeColumnShare(field);
    return field;
}

QColor statusColour(StatusColour colour, const QPalette &palette)
{
    switch (colour) {
    case StatusColour::Green:
        return QColor(0, 160, 0);
    case StatusColour::Red:
        return QColor(255, 0, 0);
    case StatusColour::None:
        break;
    }
    return palette.color(QPalette::WindowText);
}

} // namespace

// A row's button. Its caption is cut to the button's width (whole, up to a limit, in the tooltip), so
// that a caption of any length leaves the columns as they are.
class RowButton : public QPushButton
{
public:
    RowButton()
    {
        takeColumnShare(this);
        setMinimumHeight(choiceButtonHeight);
        setChosen(this, false);
    }

    void setCaption(const QString &caption, const QString &model)
    {
        m_caption = caption.left(captionLimit);
        m_model = model;
        elide();
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QPushButton::resizeEvent(event);
        elide();
    }
    void changeEvent(QEvent *event) override
    {
        QPushButton::changeEvent(event);
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            elide();
    }

private:
    void elide()
    {
        QStyleOptionButton option;
        initStyleOption(&option);
        const int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width() - 4;
        const QString shown = fontMetrics().elidedText(m_caption, Qt::ElideRight, std::max(room, 0));
        setText(shown);
        // The model is the button's tooltip; a caption that is cut comes first in it.
        setToolTip(shown == m_caption ? m_model : m_caption + u'\n' + m_model);
    }

    QString m_caption;
    QString m_model;
};

// The list of rows with its header strip above the rows' viewport: both are exactly as wide, so the
// header's columns and the rows' columns share the same edges.
class RowList : public QScrollArea
{
public:
    explicit RowList(QWidget *header)
        : m_header(header)
    {
        m_header->setParent(this);
    }

    void placeHeader()
    {
        m_header->ensurePolished();
        const int height = m_header->sizeHint().height();
        setViewportMargins(0, height, 0, 0);
        const QRect rows = viewport()->geometry();
        m_header->setGeometry(rows.x(), rows.y() - height, rows.width(), height);
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QScrollArea::resizeEvent(event);
        placeHeader();
    }

private:
    QWidget *m_header;
};

frmCustomLCD::frmCustomLCD(const QString &applicationFolder, Prompts &prompts, BusyPointer &busyPointer,
                           QWidget *parent)
    : QDialog(parent)
    , m_prompts(prompts)
    , m_busyPointer(busyPointer)
    , m_panel(new CustomPanel(applicationFolder, prompts, busyPointer, this))
{
    setObjectName(u"frmCustomLCD"_s);
    setWindowTitle(applicationTitle);
    setModal(true);
    QFont large = font();
    large.setPointSizeF(largePointSize());
    setFont(large);

    auto *layout = new QVBoxLayout(this);
    buildMenu(layout);
    auto *columns = new QHBoxLayout;
    columns->addWidget(buildList(), 3);
    columns->addWidget(buildChoices(), 1);
    layout->addLayout(columns);
    layout->addWidget(new SendProgressBar(m_panel->progress()));

    connect(m_panel, &CustomPanel::rowsLoaded, this, &frmCustomLCD::showRows);
    connect(m_panel, &CustomPanel::rowTextsChanged, this, &frmCustomLCD::showRowTexts);
    connect(m_panel, &CustomPanel::choicesChanged, this, &frmCustomLCD::showChoices);
    connect(m_panel, &CustomPanel::sendingChanged, this, [this](bool sending) {
        if (!sending && m_closeRequested)
            QTimer::singleShot(0, this, [this] { done(m_closeResult); });
    });
    // The list follows the keyboard, so the focused row is always in view.
    m_focusFollower = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && now->property("panelRow").isValid()) {
            m_keepListAtEnd = false;
            m_list->ensureWidgetVisible(now, 0, 0);
        }
    });

    initLayout();
    m_panel->loadButtonSettings();
    // The list opens at its end, so the keyboard starts on the last row, the one in view.
    if (!m_panel->rows().isEmpty())
        m_rows.value(m_panel->rows().lastKey()).button->setFocus();

    resize(sizeWithinScreen(this, sizeHint().expandedTo(QSize(900, 560))));
    centreOnScreen();
}

frmCustomLCD::~frmCustomLCD()
{
    // The rows' focus moves while the children go, after the members the follower uses are gone.
    disconnect(m_focusFollower);
}

void frmCustomLCD::buildMenu(QVBoxLayout *layout)
{
    auto *menuBar = new QMenuBar(this);
    QMenu *file = menuBar->addMenu(u"&File"_s);
    file->setObjectName(u"mnuFile"_s);
    QAction *settings = file->addAction(u"&Settings"_s, this, &frmCustomLCD::mnuSettings_Click);
    settings->setObjectName(u"mnuSettings"_s);
    file->addSeparator();
    QAction *reset = file->addAction(u"&Reset Serial Commands"_s, m_panel, &CustomPanel::resetSerialCommands);
    reset->setObjectName(u"mnuResetSerialCommands"_s);
    QAction *load = file->addAction(u"&Load Custom Serial Commands"_s, m_panel, &CustomPanel::loadCustomSerialCommands);
    load->setObjectName(u"mnuLoadCustomSerialCommands"_s);
    layout->setMenuBar(menuBar);
}

QWidget *frmCustomLCD::buildList()
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);

    // The header strip stays put while the rows scroll under it.
    auto *header = named(new QWidget, u"fraHeader"_s);
    header->setAttribute(Qt::WA_StyledBackground);
    header->setStyleSheet(
        u"QWidget#fraHeader { background-color: rgb(0, 0, 192); }"
        "QLabel { color: white; font-weight: bold; font-size: %1pt; }"_s.arg(qRound(largePointSize())));
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->setSpacing(0);
    auto *buttonTitle = new QLabel;
    takeColumnShare(buttonTitle);
    headerLayout->addWidget(buttonTitle, buttonColumnStretch);
    for (const QString &title : textColumns) {
        auto *label = named(new QLabel(title), u"lblColumn"_s + title);
        label->setAlignment(Qt::AlignCenter);
        takeColumnShare(label);
        headerLayout->addWidget(label, 1);
    }

    auto *list = new RowList(header);
    m_list = named(list, u"lvButtons"_s);
    m_list->setWidgetResizable(true);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setMinimumWidth(listMinimumWidth);
    QScrollBar *scrollBar = m_list->verticalScrollBar();
    scrollBar->setObjectName(u"VScroll"_s);
    scrollBar->setFixedWidth(listScrollBarWidth);
    scrollBar->setSingleStep(10);
    scrollBar->setEnabled(false); // until the rows are more than the list shows
    connect(scrollBar, &QScrollBar::rangeChanged, this, [this, scrollBar](int minimum, int maximum) {
        scrollBar->setEnabled(maximum > minimum);
        if (m_keepListAtEnd)
            scrollBar->setValue(maximum);
    });
    connect(scrollBar, &QScrollBar::actionTriggered, this, [this] { m_keepListAtEnd = false; });
    auto *rows = new QWidget;
    m_rowsLayout = new QVBoxLayout(rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    m_rowsLayout->addStretch();
    m_list->setWidget(rows);
    list->placeHeader();
    layout->addWidget(m_list, 1);

    auto *allRows = new QHBoxLayout;
    for (const auto &[index, caption] : { std::pair { 0, u"Blackout All"_s }, std::pair { 1, u"Restore All"_s } }) {
        QPushButton *all = choiceButton(arrayName(u"btnAll"_s, index), caption);
        all->setMinimumHeight(64);
        connect(all, &QPushButton::clicked, this, [this, index = index] { btnAll_Click(index); });
        allRows->addWidget(all);
        m_btnAll << all;
    }
    layout->addLayout(allRows);
    return box;
}

QWidget *frmCustomLCD::buildChoices()
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);

    const auto pair = [&](const QString &name, const QStringList &captions, QList<QPushButton *> &buttons,
                          void (CustomPanel::*choose)(int)) {
        auto *row = new QHBoxLayout;
        for (int index = 0; index < captions.size(); ++index) {
            QPushButton *choice = choiceButton(arrayName(name, index), captions.at(index));
            connect(choice, &QPushButton::clicked, m_panel, [this, choose, index] { (m_panel->*choose)(index); });
            row->addWidget(choice);
            buttons << choice;
        }
        layout->addLayout(row);
        return row;
    };
    pair(u"btnONOFF"_s, { u"On"_s, u"Off"_s }, m_btnONOFF, &CustomPanel::choosePower);
    pair(u"btnVideoInput"_s, { u"Digital Dignage"_s, u"Tuner"_s }, m_btnVideoInput, &CustomPanel::chooseInput);

    auto *channel = new QHBoxLayout;
    channel->addStretch();
    m_txtChannel = named(new QLineEdit, u"txtChannel"_s);
    m_txtChannel->setMaxLength(3);
    m_txtChannel->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), m_txtChannel));
    m_txtChannel->setAccessibleName(u"Channel"_s);
    m_txtChannel->setToolTip(u"Channel (Up and Down step it)"_s);
    m_txtChannel->setMaximumWidth(m_txtChannel->fontMetrics().horizontalAdvance(u"00000"_s));
    m_txtChannel->installEventFilter(this);
    connect(m_txtChannel, &QLineEdit::textChanged, this, &frmCustomLCD::txtChannel_Change);
    channel->addWidget(m_txtChannel);
    // The channel is 999 - position, so the up arrow raises it.
    m_vsChannel = named(new QScrollBar(Qt::Vertical), u"vsChannel"_s);
    m_vsChannel->setRange(0, highestChannel);
    m_vsChannel->setFixedHeight(m_txtChannel->sizeHint().height());
    m_vsChannel->setFocusPolicy(Qt::NoFocus); // the field steps the channel from the keyboard
    m_vsChannel->setAccessibleName(u"Channel up and down"_s);
    connect(m_vsChannel, &QScrollBar::valueChanged, this, &frmCustomLCD::vsChannel_Change);
    channel->addWidget(m_vsChannel);
    layout->addLayout(channel);

    m_sldVolume = named(new QSlider(Qt::Horizontal), u"sldVolume"_s);
    m_sldVolume->setRange(0, 100);
    m_sldVolume->setPageStep(5);
    m_sldVolume->setAccessibleName(u"Volume"_s);
    m_lblVolume = named(new QLabel(u"&Volume"_s), u"lblVolume"_s);
    m_lblVolume->setBuddy(m_sldVolume);
    layout->addWidget(m_lblVolume);
    auto *slider = new QHBoxLayout;
    for (const QString &end : { u"0"_s, u"100"_s }) {
        auto *label = named(new QLabel(end), u"lblVolume"_s + end);
        m_volumeEndLabels << label;
    }
    slider->addWidget(m_volumeEndLabels.at(0));
    slider->addWidget(m_sldVolume, 1);
    slider->addWidget(m_volumeEndLabels.at(1));
    layout->addLayout(slider);

    layout->addStretch();
    m_btnConfirmSend = button(u"btnConfirmSend"_s, u"Confirm and Send"_s);
    m_btnConfirmSend->setMinimumHeight(64);
    m_btnConfirmSend->setDefault(true); // Enter in the channel field sends
    connect(m_btnConfirmSend, &QPushButton::clicked, this, &frmCustomLCD::btnConfirmSend_Click);
    layout->addWidget(m_btnConfirmSend);
    return box;
}

void frmCustomLCD::initLayout()
{
    m_vsChannel->setValue(highestChannel);
    vsChannel_Change(highestChannel); // shows "0" even when the position was already there
    setLgControlsVisible(false, false);
    orderTabs();
}

frmCustomLCD::RowWidgets &frmCustomLCD::rowWidgets(int row)
{
    auto found = m_rows.find(row);
    if (found != m_rows.end())
        return *found;

    RowWidgets widgets;
    widgets.row = new QWidget;
    auto *layout = new QHBoxLayout(widgets.row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    widgets.button = named(new RowButton, arrayName(u"btnButton"_s, row));
    widgets.button->setProperty("panelRow", row);
    connect(widgets.button, &QPushButton::clicked, this, [this, row] { btnButton_Click(row); });
    layout->addWidget(widgets.button, buttonColumnStretch);
    widgets.status = rowTextField(arrayName(u"txtStatus"_s, row));
    widgets.source = rowTextField(arrayName(u"txtSource"_s, row));
    widgets.volume = rowTextField(arrayName(u"txtVolume"_s, row));
    for (QLineEdit *field : { widgets.status, widgets.source, widgets.volume }) {
        field->setMinimumHeight(widgets.button->minimumHeight());
        layout->addWidget(field, 1);
    }
    return *m_rows.insert(row, widgets);
}

void frmCustomLCD::showRows()
{
    const QMap<int, PanelRow> &rows = m_panel->rows();
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it) {
        m_rowsLayout->removeWidget(it->row);
        it->row->hide();
    }
    int position = 0;
    for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
        RowWidgets &widgets = rowWidgets(it.key());
        widgets.button->setCaption(it->button.button, it->button.lcd);
        const QString name
            = it->button.button.isEmpty() ? u"button %1"_s.arg(it.key() + 1) : it->button.button.left(captionLimit);
        widgets.button->setAccessibleName(name);
        widgets.status->setAccessibleName(name + u' ' + textColumns.at(0));
        widgets.source->setAccessibleName(name + u' ' + textColumns.at(1));
        widgets.volume->setAccessibleName(name + u' ' + textColumns.at(2));
        m_rowsLayout->insertWidget(position++, widgets.row);
        widgets.row->show();
        showRowTexts(it.key());
    }
    orderTabs();
    showChoices();
    scrollToEnd();
}

void frmCustomLCD::showRowTexts(int row)
{
    const auto found = m_panel->rows().constFind(row);
    if (found == m_panel->rows().cend())
        return;
    RowWidgets &widgets = rowWidgets(row);
    const RowTexts &texts = found->texts;
    widgets.status->setText(texts.status);
    QPalette palette = widgets.status->palette();
    palette.setColor(QPalette::Text, statusColour(texts.statusColour, palette));
    widgets.status->setPalette(palette);
    widgets.status->setToolTip(texts.statusTip);
    widgets.source->setText(texts.source);
    widgets.volume->setText(texts.volume);
    widgets.button->setAccessibleDescription(
        u"%1. Status: %2. Source: %3. Volume: %4."_s.arg(found->button.lcd, texts.status, texts.source, texts.volume));
}

void frmCustomLCD::showChoices()
{
    const int selected = m_panel->allRowsMode() ? -1 : m_panel->selectedRow();
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
        setChosen(it->button, it.key() == selected);
    for (int index = 0; index < 2; ++index) {
        setChosen(m_btnAll.at(index), m_panel->allRowsChoice() == index);
        setChosen(m_btnONOFF.at(index), m_panel->powerChoice() == index);
        setChosen(m_btnVideoInput.at(index), m_panel->inputChoice() == index);
    }
}

void frmCustomLCD::setLgControlsVisible(bool tuner, bool volume)
{
    m_btnVideoInput.at(1)->setVisible(tuner);
    m_txtChannel->setVisible(tuner);
    m_vsChannel->setVisible(tuner);
    m_lblVolume->setVisible(volume);
    m_sldVolume->setVisible(volume);
    for (QLabel *label : std::as_const(m_volumeEndLabels))
        label->setVisible(volume);
}

void frmCustomLCD::orderTabs()
{
    QList<QWidget *> chain;
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
        chain << it->button;
    chain << m_btnAll.at(0) << m_btnAll.at(1) << m_btnONOFF.at(0) << m_btnONOFF.at(1) << m_btnVideoInput.at(0)
          << m_btnVideoInput.at(1) << m_txtChannel << m_sldVolume << m_btnConfirmSend
          << findChild<QPushButton *>(u"cmdStopSending"_s);
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void frmCustomLCD::scrollToEnd()
{
    // The range is known only once the rows are laid out, so the end is kept until the user scrolls.
    m_keepListAtEnd = true;
    m_list->verticalScrollBar()->setValue(m_list->verticalScrollBar()->maximum());
}

void frmCustomLCD::centreOnScreen()
{
    if (const QScreen *shown = screen())
        move(shown->availableGeometry().center() - rect().center());
}

void frmCustomLCD::btnButton_Click(int row)
{
    m_panel->chooseRow(row);
    const bool lg = isLgPanelModel(m_panel->rows().value(row).button.lcd);
    setLgControlsVisible(lg, lg);
}

void frmCustomLCD::btnAll_Click(int index)
{
    if (!m_panel->chooseAll(index))
        return;
    // The quiet end: an all-rows send never turns every display up to full volume.
    m_sldVolume->setValue(m_sldVolume->minimum());
    setLgControlsVisible(false, true);
}

void frmCustomLCD::btnConfirmSend_Click()
{
    m_panel->confirmSend(m_txtChannel->text(), m_sldVolume->value());
}

void frmCustomLCD::txtChannel_Change(const QString &text)
{
    if (text.trimmed().isEmpty())
        return;
    m_vsChannel->setValue(highestChannel - std::min(text.toInt(), highestChannel));
}

void frmCustomLCD::vsChannel_Change(int position)
{
    m_txtChannel->setText(QString::number(highestChannel - position));
    if (m_txtChannel->isVisible())
        m_txtChannel->setFocus();
}

void frmCustomLCD::mnuSettings_Click()
{
    frmCustomLCDSettings editor(m_panel->applicationFolder(), m_prompts, m_busyPointer, this);
    editor.exec();
    m_panel->loadButtonSettings();
}

bool frmCustomLCD::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtChannel && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            m_vsChannel->triggerAction(key == Qt::Key_Up ? QAbstractSlider::SliderSingleStepSub
                                                         : QAbstractSlider::SliderSingleStepAdd);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmCustomLCD::done(int result)
{
    if (m_panel->isSending()) {
        m_closeRequested = true;
        m_closeResult = result;
        return;
    }
    m_closeRequested = false;
    QDialog::done(result);
}

} // namespace vantiro
