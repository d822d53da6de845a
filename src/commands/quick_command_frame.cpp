#include "commands/quick_command_frame.h"

#include "common/controls.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

QuickCommandFrame::QuickCommandFrame(const ModelCommandSet &commands, const SendSnapshotSource &window,
                                     CommandDispatch &dispatch, Prompts &prompts, QObject *parent)
    : QObject(parent)
    , m_quickCommands(commands, window, dispatch, prompts)
    , m_cmdCOMSend(quickCommandCount)
{
    m_fraVolume = named(new QGroupBox(u"Volume Controls"_s), u"fraVolume"_s);
    auto *volume = new QGridLayout(m_fraVolume);
    m_txtVolume = named(new QLineEdit, u"txtVolume"_s);
    m_txtVolume->setAccessibleName(u"Volume"_s);
    m_txtVolume->setMaximumWidth(m_txtVolume->fontMetrics().horizontalAdvance(u"00000"_s) + 12);
    m_sldVolume = named(new QSlider(Qt::Horizontal), u"sldVolume"_s);
    m_sldVolume->setAccessibleName(u"Volume"_s);
    m_sldVolume->setRange(0, 100);
    m_sldVolume->setSingleStep(1);
    m_sldVolume->setPageStep(5);
    volume->addWidget(m_txtVolume, 0, 0);
    volume->addWidget(m_sldVolume, 0, 1, 1, 2);
    volume->addWidget(makeButton(int(QuickCommand::SetVolume), u"Set Volume"_s), 1, 0);
    volume->addWidget(makeButton(int(QuickCommand::MuteOn), u"Mute ON"_s), 1, 1);
    volume->addWidget(makeButton(int(QuickCommand::MuteOff), u"Mute OFF"_s), 1, 2);

    m_fraAllMonitors = named(new QGroupBox(u"All Monitors"_s), u"fraAllMonitors"_s);
    auto *all = new QVBoxLayout(m_fraAllMonitors);
    all->addWidget(makeButton(int(QuickCommand::AutoConfigAll), u"Auto Config ALL"_s));
    all->addWidget(makeButton(int(QuickCommand::MonitorsAllOn), u"Monitors ALL ON"_s));
    all->addWidget(makeButton(int(QuickCommand::MonitorsAllOff), u"Monitors ALL OFF"_s));

    m_groupRow = new QWidget;
    auto *row = new QHBoxLayout(m_groupRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(makeButton(int(QuickCommand::MonitorsOn), u"Monitors ON"_s));
    row->addWidget(makeButton(int(QuickCommand::MonitorsOff), u"Monitors OFF"_s));
    row->addWidget(makeButton(int(QuickCommand::AutoConfig), u"Auto Config"_s));

    connect(m_txtVolume, &QLineEdit::textChanged, this, &QuickCommandFrame::onVolumeTextChanged);
    connect(m_sldVolume, &QSlider::valueChanged, this, &QuickCommandFrame::onSliderValueChanged);
    connect(m_sldVolume, &QSlider::actionTriggered, this, &QuickCommandFrame::onSliderAction);
    m_sliderSettle = new QTimer(this);
    m_sliderSettle->setSingleShot(true);
    m_sliderSettle->setInterval(sliderSettleMs);
    connect(m_sliderSettle, &QTimer::timeout, this, &QuickCommandFrame::sendSettledSlider);
    m_txtVolume->installEventFilter(this);
    m_sldVolume->installEventFilter(this);
}

QPushButton *QuickCommandFrame::makeButton(int index, const QString &caption)
{
    auto *quick = button(arrayName(u"cmdCOMSend"_s, index), caption);
    m_cmdCOMSend[index] = quick;
    connect(quick, &QPushButton::clicked, this, [this, index] { runQuickCommand(index); });
    return quick;
}

void QuickCommandFrame::runQuickCommand(int index)
{
    m_quickCommands.send(index, m_txtVolume->text());
}

void QuickCommandFrame::focusVolumeBox()
{
    m_txtVolume->selectAll();
    m_txtVolume->setFocus();
}

void QuickCommandFrame::setVolumeControlsEnabled(bool enabled)
{
    m_fraVolume->setEnabled(enabled);
}

void QuickCommandFrame::onVolumeTextChanged(const QString &text)
{
    const VolumeTextRule rule = volumeTextChanged(text);
    if (rule.correctedText) {
        m_txtVolume->setText(*rule.correctedText); // comes back here once with the corrected text
        return;
    }
    m_sldVolume->setValue(rule.sliderValue);
}

// The text follows the slider however it moved. A text that already reads as the slider's value
// ("07" while typing) is left alone.
void QuickCommandFrame::onSliderValueChanged(int value)
{
    if (volumeTextChanged(m_txtVolume->text()).sliderValue != value)
        m_txtVolume->setText(QString::number(value));
}

// Wheel turns and keys move the slider a step at a time: the volume goes out once they have
// stopped, not for every step. A mouse drag or click sends on its release instead.
void QuickCommandFrame::onSliderAction()
{
    if (m_sliderPressed || m_sldVolume->isSliderDown())
        return;
    m_sliderSettle->start();
}

void QuickCommandFrame::sendSettledSlider()
{
    if (!m_sldVolume->isEnabled() || m_sliderPressed)
        return;
    sendSliderVolume();
}

void QuickCommandFrame::sendSliderVolume()
{
    m_sliderSettle->stop();
    m_txtVolume->setText(QString::number(m_sldVolume->value()));
    runQuickCommand(int(QuickCommand::SetVolume));
}

bool QuickCommandFrame::filterVolumeKey(const QKeyEvent &key)
{
    // Cursor movement, Delete and the editing shortcuts (copy, paste, undo) are not typed characters;
    // a pasted value still passes the volume rules when the text changes. Tab and Shift+Tab move the
    // focus on, as everywhere else in the window.
    if (key.text().isEmpty() || key.key() == Qt::Key_Delete || key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab
        || key.modifiers().testFlag(Qt::ControlModifier))
        return false;
    switch (volumeKeyAction(key.text().at(0).unicode())) {
    case VolumeKey::Pass:
        return false;
    case VolumeKey::Send:
        runQuickCommand(int(QuickCommand::SetVolume));
        return true;
    case VolumeKey::Discard:
        return true;
    }
    return true;
}

bool QuickCommandFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtVolume && event->type() == QEvent::KeyPress)
        return filterVolumeKey(*static_cast<QKeyEvent *>(event));
    if (watched == m_sldVolume && event->type() == QEvent::MouseButtonPress)
        m_sliderPressed = true;
    // A disabled slider still sees the release; it must not send.
    if (watched == m_sldVolume && event->type() == QEvent::MouseButtonRelease) {
        m_sliderPressed = false;
        // After the slider has taken the release, so the value sent is the one it shows.
        if (m_sldVolume->isEnabled())
            QTimer::singleShot(0, this, &QuickCommandFrame::sendSliderVolume);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vantiro
