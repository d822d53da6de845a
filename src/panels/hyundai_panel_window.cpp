#include "panels/hyundai_panel_window.h"

#include "commands/display_models.h"
#include "commands/send_progress.h"
#include "commands/send_progress_bar.h"
#include "common/controls.h"
#include "panels/hyundai_remote.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <utility>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

namespace {

QLabel *labelFor(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// "Sub-Brightness:" names the row "Sub-Brightness".
QString rowName(const QString &label)
{
    return label.endsWith(u':') ? label.chopped(1) : label;
}

bool isEnter(const QKeyEvent &key)
{
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

} // namespace

frmHyundaiLCD::frmHyundaiLCD(CommandDispatch &dispatch, Prompts &prompts, QWidget *parent)
    : QDialog(parent)
    , m_commands(dispatch, prompts)
{
    setObjectName(u"frmHyundaiLCD"_s);
    setWindowTitle(u"Hyundai LCD Instant Serial Commands"_s);

    // The model and the port settings, then the model's controls: below them for the D525ML, beside
    // the tall remote control for the Vvuon (openPanel). Where the screen is still too small, it scrolls.
    auto *content = new QWidget;
    m_panelLayout = new QBoxLayout(QBoxLayout::TopToBottom, content);
    m_panelLayout->setContentsMargins(0, 0, 0, 0);
    auto *settings = new QWidget;
    auto *settingsColumn = new QVBoxLayout(settings);
    settingsColumn->setContentsMargins(0, 0, 0, 0);
    auto *modelRow = new QHBoxLayout;
    settingsColumn->addLayout(modelRow);
    m_cboModel = comboBox(u"cboModel"_s, hyundaiPanelModelNames(), false);
    m_cboModel->setEnabled(false);
    modelRow->addWidget(labelFor(u"Model:"_s, m_cboModel));
    modelRow->addWidget(m_cboModel, 1);
    settingsColumn->addWidget(buildPortSettings());
    m_panelLayout->addWidget(settings, 0, Qt::AlignTop);

    m_fraVvuon = named(new QGroupBox(u"Vvuon"_s), u"fraVvuon"_s);
    m_panelLayout->addWidget(m_fraVvuon);
    auto *vvuon = new QHBoxLayout(m_fraVvuon);
    m_remote = new VvuonRemote;
    vvuon->addWidget(m_remote, 0, Qt::AlignHCenter);
    connect(m_remote, &VvuonRemote::keyPressed, this, &frmHyundaiLCD::pressKey);

    m_panelLayout->addWidget(buildD525Frame());
    auto *layout = new QVBoxLayout(this);
    m_scrollPane = named(new ScrollPane(content), u"scrPanel"_s);
    layout->addWidget(m_scrollPane);
    // A send of the main window's (the schedule's, or one waited behind) shows here while the panel
    // holds the window's input.
    if (SendProgress *progress = dispatch.progress())
        layout->addWidget(new SendProgressBar(*progress));

    // No button is the dialog's default: Enter in a field must never send a key of the remote.
    // Enter on a focused button presses that button (eventFilter).
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->installEventFilter(this);
    }
}

QWidget *frmHyundaiLCD::buildPortSettings()
{
    auto *frame = named(new QGroupBox(u"Serial Command Port Settings"_s), u"fraSerialCommandPort"_s);
    auto *form = new QGridLayout(frame);
    m_TxtCommPort = numberField(u"TxtCommPort"_s, 2);
    form->addWidget(labelFor(u"CommPort:"_s, m_TxtCommPort), 0, 0);
    form->addWidget(m_TxtCommPort, 0, 1);

    const QStringList labels { u"Baud:"_s, u"Parity:"_s, u"Data Bits:"_s, u"Stop Bits:"_s };
    const QList<QStringList> items { baudRateItems(), parityItems(), dataBitsItems(), stopBitsItems() };
    for (int i = 0; i < 4; ++i) {
        // Editable, as the main window's lists: a value the list does not offer can be typed.
        auto *list = comboBox(arrayName(u"CbPortSet"_s, i), items.at(i), true);
        m_CbPortSet.append(list);
        const int row = 1 + i / 2;
        const int column = (i % 2) * 2;
        form->addWidget(labelFor(labels.at(i), list), row, column);
        form->addWidget(list, row, column + 1);
    }
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);
    return frame;
}

QGroupBox *frmHyundaiLCD::buildD525Frame()
{
    m_fraD525ML = named(new QGroupBox(u"D525ML"_s), u"fraD525ML"_s);
    auto *columns = new QHBoxLayout(m_fraD525ML);
    columns->addWidget(buildValueFields(), 0, Qt::AlignTop);
    columns->addWidget(buildStepFrames(), 0, Qt::AlignTop);
    return m_fraD525ML;
}

QWidget *frmHyundaiLCD::buildValueFields()
{
    auto *column = new QWidget;
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *functions = new QGridLayout;
    layout->addLayout(functions);
    m_cboFunctions = comboBox(u"cboFunctions"_s, {}, true);
    // Filled when the window opens; wide enough for the longest entry from the start.
    m_cboFunctions->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_cboFunctions->setMinimumContentsLength(16);
    functions->addWidget(labelFor(u"Functions:"_s, m_cboFunctions), 0, 0);
    functions->addWidget(m_cboFunctions, 0, 1);
    QPushButton *sendFunction = sendButton(u"cmdSendFunction"_s, u"Send Function"_s);
    functions->addWidget(sendFunction, 0, 2);
    connect(sendFunction, &QPushButton::clicked, this,
            [this] { m_commands.sendFunction(m_cboFunctions->currentText(), port()); });

    m_txtDisplaySequence = numberField(u"txtDisplaySequence"_s, 3);
    functions->addWidget(labelFor(u"Display Sequence:"_s, m_txtDisplaySequence), 1, 0);
    functions->addWidget(m_txtDisplaySequence, 1, 1);
    m_cmdSendDisplaySequence = sendButton(u"cmdSendDisplaySequence"_s, u"Send Display Sequence"_s);
    functions->addWidget(m_cmdSendDisplaySequence, 1, 2);
    connect(m_cmdSendDisplaySequence, &QPushButton::clicked, this, &frmHyundaiLCD::sendDisplaySequence);

    for (const D525ValuePair &pair : d525ValuePairs()) {
        auto *group = named(new QGroupBox(pair.caption), u"fra"_s + pair.name);
        layout->addWidget(group);
        auto *grid = new QGridLayout(group);
        QLineEdit *horizontal = numberField(u"txtH"_s + pair.name, 0);
        grid->addWidget(labelFor(u"H "_s + pair.caption + u':', horizontal), 0, 0);
        grid->addWidget(horizontal, 0, 1);
        QLineEdit *vertical = numberField(u"txtV"_s + pair.name, 0);
        grid->addWidget(labelFor(u"V "_s + pair.caption + u':', vertical), 1, 0);
        grid->addWidget(vertical, 1, 1);
        QPushButton *send = sendButton(u"cmdSend"_s + pair.name, u"Send "_s + pair.caption);
        grid->addWidget(send, 0, 2, 2, 1, Qt::AlignVCenter);
        connect(send, &QPushButton::clicked, this, [this, &pair, horizontal, vertical] {
            m_commands.sendPair(pair, horizontal->text(), vertical->text(), port());
        });
    }
    layout->addStretch();
    return column;
}

QWidget *frmHyundaiLCD::buildStepFrames()
{
    auto *column = new QWidget;
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    for (const QString &frameName : d525StepFrames()) {
        auto *frame = named(new QGroupBox(frameName), u"fra"_s + frameName);
        layout->addWidget(frame);
        auto *grid = new QGridLayout(frame);
        int row = 0;
        for (const D525StepRow &step : d525StepRows()) {
            if (step.frame != frameName)
                continue;
            grid->addWidget(new QLabel(step.label), row, 0);
            const std::pair<const char16_t *, const QString &> directions[]
                = { { u"Up", step.upCommand }, { u"Down", step.downCommand } };
            int column = 1;
            for (const auto &[direction, command] : directions) {
                const QString caption = QString::fromUtf16(direction);
                auto *stepButton = button(u"cmd"_s + step.name + caption, caption);
                // "Up" alone does not say which of the nine rows it moves.
                stepButton->setAccessibleName(rowName(step.label) + u' ' + caption);
                grid->addWidget(stepButton, row, column++);
                connect(stepButton, &QPushButton::clicked, this,
                        [this, command = command] { m_commands.pressStep(command, port()); });
            }
            ++row;
        }
    }
    for (const D525ModeButton &mode : d525ModeButtons()) {
        auto *modeButton = button(mode.name, mode.caption);
        layout->addWidget(modeButton);
        connect(modeButton, &QPushButton::clicked, this, [this, &mode] { m_commands.pressMode(mode.command, port()); });
    }
    layout->addStretch();
    return column;
}

QLineEdit *frmHyundaiLCD::numberField(const QString &name, int maxLength)
{
    auto *field = named(new QLineEdit, name);
    if (maxLength > 0)
        field->setMaxLength(maxLength);
    // The key filter stops typed letters; this stops pasted and dropped ones.
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), field));
    field->installEventFilter(this);
    m_numberFields.append(field);
    return field;
}

QPushButton *frmHyundaiLCD::sendButton(const QString &name, const QString &accessibleName)
{
    auto *send = button(name, u"Send"_s);
    send->setAccessibleName(accessibleName);
    return send;
}

QFuture<CommandReport> frmHyundaiLCD::sendHyundaiCommand(const QString &command, bool reportToStatusLog)
{
    return m_commands.sendHyundaiCommand(command, reportToStatusLog, port());
}

void frmHyundaiLCD::showEvent(QShowEvent *event)
{
    // Coming back from the task bar is not a new opening.
    if (!event->spontaneous())
        openPanel();
    QDialog::showEvent(event);
}

void frmHyundaiLCD::openPanel()
{
    m_TxtCommPort->setText(u"1"_s);
    const LineSettingsSelection defaults;
    const QList<int> entries { defaults.baudIndex, defaults.parityIndex, defaults.dataBitsIndex,
                               defaults.stopBitsIndex };
    for (int i = 0; i < m_CbPortSet.size(); ++i)
        m_CbPortSet.at(i)->setCurrentIndex(entries.at(i));
    for (QLineEdit *field : std::as_const(m_numberFields)) {
        if (field != m_TxtCommPort)
            field->clear();
    }

    // A model number the list does not have shows neither model's controls.
    const bool vvuon = panelModel == vvuonPanelModel;
    const bool d525 = panelModel == d525PanelModel;
    m_cboModel->setCurrentIndex(vvuon || d525 ? panelModel : -1);
    m_fraVvuon->setVisible(vvuon);
    m_cboFunctions->clear();
    if (d525)
        m_cboFunctions->addItems(d525FunctionEntries());
    m_cboFunctions->setCurrentIndex(-1);
    m_cboFunctions->clearEditText();
    m_fraD525ML->setVisible(d525);
    m_panelLayout->setDirection(vvuon ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);

    // The size the model's controls ask for, not that of the last layout.
    m_scrollPane->updateGeometry();
    fitOnScreen(this, sizeHint());
}

PanelPort frmHyundaiLCD::port() const
{
    return { m_TxtCommPort->text(),
             { m_CbPortSet.at(0)->currentText(), m_CbPortSet.at(1)->currentText(), m_CbPortSet.at(2)->currentText(),
               m_CbPortSet.at(3)->currentText() } };
}

void frmHyundaiLCD::pressKey(const QString &keyName)
{
    if (const VvuonKey *key = findVvuonKey(keyName))
        m_commands.pressKey(*key, port());
}

void frmHyundaiLCD::sendDisplaySequence()
{
    m_commands.sendDisplaySequence(m_txtDisplaySequence->text(), port());
}

bool frmHyundaiLCD::filterFieldKey(QLineEdit *field, const QKeyEvent &key)
{
    // Keys that type no character (moving, Tab, Escape, Delete, the editing shortcuts) keep their
    // usual meaning; the validator still keeps a pasted text to digits.
    const bool enter = isEnter(key);
    if (!enter
        && (key.text().isEmpty() || key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab
            || key.key() == Qt::Key_Escape || key.key() == Qt::Key_Delete
            || (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier))))
        return false;
    const char16_t code = enter ? u'\r' : key.text().at(0).unicode();
    switch (panelFieldKeyAction(code, field == m_txtDisplaySequence)) {
    case PanelFieldKey::Pass:
        return false;
    case PanelFieldKey::Send:
        m_cmdSendDisplaySequence->click();
        return true;
    case PanelFieldKey::Discard:
        return true;
    }
    return true;
}

bool frmHyundaiLCD::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto &key = *static_cast<const QKeyEvent *>(event);
        if (auto *field = qobject_cast<QLineEdit *>(watched); field && m_numberFields.contains(field))
            return filterFieldKey(field, key);
        if (auto *pressed = qobject_cast<QPushButton *>(watched); pressed && isEnter(key)) {
            pressed->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vantiro
