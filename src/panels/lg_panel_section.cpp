#include "panels/lg_panel_section.h"

#include "commands/command_catalogue.h"
#include "commands/quick_commands.h"
#include "common/controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

namespace {

// Digits only, at most `digits` of them, also for pasted text; the key filter alone would let a
// paste through.
QLineEdit *numberField(const QString &name, int digits, const QString &accessibleName)
{
    auto *field = named(new QLineEdit, name);
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,%1}"_s.arg(digits)), field));
    field->setAccessibleName(accessibleName);
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(u"0"_s.repeated(digits + 2)) + 12);
    return field;
}

QLabel *labelFor(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// Keys that move the focus, close the window or edit the text are no typed characters: Tab leaves
// the field and Escape closes the panel as everywhere else.
bool isTypedCharacter(const QKeyEvent &key)
{
    switch (key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
        return false;
    default:
        break;
    }
    const Qt::KeyboardModifiers shortcuts = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    return !key.text().isEmpty() && !(key.modifiers() & shortcuts);
}

} // namespace

LgPanelSection::LgPanelSection(int index, Prompts &prompts, QWidget *parent)
    : QFrame(parent)
    , m_index(index)
    , m_prompts(prompts)
{
    setObjectName(arrayName(u"fraSection"_s, index));
    setFrameShape(QFrame::StyledPanel);
    setAccessibleName(u"Display %1"_s.arg(index + 1));
    auto *grid = new QGridLayout(this);

    m_txtSection = named(new QLineEdit, arrayName(u"txtSection"_s, index));
    m_txtSection->setPlaceholderText(u"Display name"_s);
    QFont title = m_txtSection->font();
    title.setBold(true);
    m_txtSection->setFont(title);
    grid->addWidget(labelFor(u"Display %1:"_s.arg(index + 1), m_txtSection), 0, 0);
    grid->addWidget(m_txtSection, 0, 1, 1, 2);

    m_txtCommPort = numberField(arrayName(u"TxtCommPort"_s, index), 2, u"COM Port"_s);
    grid->addWidget(labelFor(u"COM Port:"_s, m_txtCommPort), 1, 0);
    grid->addWidget(m_txtCommPort, 1, 1);

    grid->addWidget(commandButton(u"btnPowerOn"_s, u"Power ON"_s, catalogue::lgPowerOn), 2, 1);
    grid->addWidget(commandButton(u"btnPowerOff"_s, u"Power OFF"_s, catalogue::lgPowerOff), 2, 2);

    m_cboInputSelect = comboBox(arrayName(u"cboInputSelect"_s, index), lgInputSelectItems(), false);
    m_cboAspectRatio = comboBox(arrayName(u"cboAspectRatio"_s, index), lgAspectRatioItems(), false);
    grid->addWidget(labelFor(u"Input:"_s, m_cboInputSelect), 3, 0);
    grid->addWidget(m_cboInputSelect, 3, 1, 1, 2);
    grid->addWidget(labelFor(u"Aspect Ratio:"_s, m_cboAspectRatio), 4, 0);
    grid->addWidget(m_cboAspectRatio, 4, 1, 1, 2);

    grid->addWidget(commandButton(u"btnScreenMuteOn"_s, u"Screen Mute ON"_s, catalogue::lgScreenMuteOn), 5, 1);
    grid->addWidget(commandButton(u"btnScreenMuteOff"_s, u"Screen Mute OFF"_s, catalogue::lgScreenMuteOff), 5, 2);
    grid->addWidget(commandButton(u"btnVolumeMuteOn"_s, u"Volume Mute ON"_s, catalogue::lgMuteOn), 6, 1);
    grid->addWidget(commandButton(u"btnVolumeMuteOff"_s, u"Volume Mute OFF"_s, catalogue::lgMuteOff), 6, 2);

    m_txtVolume = numberField(arrayName(u"txtVolume"_s, index), 3, u"Volume"_s);
    m_sldVolume = named(new QSlider(Qt::Horizontal), arrayName(u"sldVolume"_s, index));
    m_sldVolume->setAccessibleName(u"Volume"_s);
    m_sldVolume->setRange(0, 100);
    m_sldVolume->setSingleStep(1);
    m_sldVolume->setPageStep(5);
    auto *volumeRow = new QHBoxLayout;
    volumeRow->addWidget(m_txtVolume);
    volumeRow->addWidget(m_sldVolume, 1);
    grid->addWidget(labelFor(u"Volume:"_s, m_txtVolume), 7, 0);
    grid->addLayout(volumeRow, 7, 1, 1, 2);
    auto *setVolumeButton = button(arrayName(u"btnSetVolume"_s, index), u"Set Volume"_s);
    connect(setVolumeButton, &QPushButton::clicked, this, &LgPanelSection::setVolume);
    grid->addWidget(setVolumeButton, 8, 1);
    grid->addWidget(commandButton(u"btnAutoConfig"_s, u"Auto Config"_s, catalogue::lgAutoConfig), 8, 2);

    grid->addWidget(buildChannelFrame(), 9, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    // Choosing an entry sends it at once; the lists start without one.
    for (auto [list, commandTemplate] : { std::pair(m_cboInputSelect, catalogue::lgInputSelect),
                                          std::pair(m_cboAspectRatio, catalogue::lgAspectRatio) }) {
        list->setCurrentIndex(-1);
        connect(list, &QComboBox::activated, this, [this, commandTemplate = commandTemplate](int position) {
            emit commandReady(lgListCommand(commandTemplate, position));
        });
    }
    connect(m_txtVolume, &QLineEdit::textChanged, this, &LgPanelSection::onVolumeTextChanged);
    connect(m_sldVolume, &QSlider::actionTriggered, this, &LgPanelSection::onSliderAction);
    connect(m_sldVolume, &QSlider::sliderReleased, this, [this] {
        m_txtVolume->setText(QString::number(m_sldVolume->value()));
        setVolume();
    });

    for (QObject *watched :
         std::initializer_list<QObject *> { m_txtCommPort, m_txtVolume, m_txtChannel, m_txtMinorChannel, m_sldVolume,
                                            m_cboInputSelect, m_cboAspectRatio, m_cboTV })
        watched->installEventFilter(this);
}

QWidget *LgPanelSection::buildChannelFrame()
{
    auto *frame = named(new QGroupBox(u"Channel Selection"_s), arrayName(u"fraChannel"_s, m_index));
    auto *grid = new QGridLayout(frame);

    m_cboTV = comboBox(arrayName(u"cboTV"_s, m_index), lgTvInputItems(), false);
    m_cboTV->setCurrentIndex(-1);
    grid->addWidget(labelFor(u"TV Input:"_s, m_cboTV), 0, 0);
    grid->addWidget(m_cboTV, 0, 1, 1, 4);

    m_txtChannel = numberField(arrayName(u"txtChannel"_s, m_index), 4, u"Channel"_s);
    m_lblDash = named(new QLabel(u"-"_s), arrayName(u"lblDash"_s, m_index));
    m_txtMinorChannel = numberField(arrayName(u"txtMinorChannel"_s, m_index), 1, u"Minor channel"_s);
    auto *send = button(arrayName(u"btnSendChannel"_s, m_index), u"Send"_s);
    send->setAccessibleName(u"Send channel"_s);
    grid->addWidget(labelFor(u"Channel:"_s, m_txtChannel), 1, 0);
    grid->addWidget(m_txtChannel, 1, 1);
    grid->addWidget(m_lblDash, 1, 2);
    grid->addWidget(m_txtMinorChannel, 1, 3);
    grid->addWidget(send, 1, 4);
    grid->setColumnStretch(4, 1);

    showMinorChannel(false);
    connect(m_cboTV, &QComboBox::currentIndexChanged, this,
            [this](int entry) { showMinorChannel(entry == int(LgTvInput::AtscAir)); });
    connect(send, &QPushButton::clicked, this, &LgPanelSection::sendChannel);
    return frame;
}

QPushButton *LgPanelSection::commandButton(const QString &name, const QString &caption, const QString &command)
{
    auto *fixed = button(arrayName(name, m_index), caption);
    connect(fixed, &QPushButton::clicked, this, [this, command] { emit commandReady(command); });
    return fixed;
}

LgSectionSettings LgPanelSection::settings() const
{
    return { m_txtSection->text(), m_txtCommPort->text() };
}

void LgPanelSection::showSettings(const LgSectionSettings &settings)
{
    m_txtSection->setText(settings.label);
    m_txtCommPort->setText(settings.comPort);
}

QString LgPanelSection::comPort() const
{
    return m_txtCommPort->text();
}

void LgPanelSection::setVolume()
{
    if (const std::optional<QString> command = lgVolumeCommand(m_txtVolume->text(), m_prompts))
        emit commandReady(*command);
}

void LgPanelSection::sendChannel()
{
    const int entry = m_cboTV->currentIndex();
    const std::optional<LgTvInput> tvInput = entry < 0 ? std::nullopt : std::optional(LgTvInput(entry));
    if (const auto command = lgChannelCommand(tvInput, m_txtChannel->text(), m_txtMinorChannel->text(), m_prompts))
        emit commandReady(*command);
}

void LgPanelSection::onVolumeTextChanged(const QString &text)
{
    const VolumeTextRule rule = volumeTextChanged(text);
    if (rule.correctedText) {
        m_txtVolume->setText(*rule.correctedText); // comes back here once with the corrected text
        return;
    }
    m_sldVolume->setValue(rule.sliderValue);
}

// The text follows the slider while it is dragged; a step by key or click sends at once, a drag
// when the slider is let go.
void LgPanelSection::onSliderAction(int action)
{
    if (action == QAbstractSlider::SliderNoAction)
        return;
    m_txtVolume->setText(QString::number(m_sldVolume->sliderPosition()));
    if (action != QAbstractSlider::SliderMove)
        setVolume();
}

void LgPanelSection::showMinorChannel(bool shown)
{
    m_lblDash->setVisible(shown);
    m_txtMinorChannel->setVisible(shown);
}

bool LgPanelSection::filterNumberKey(QObject *field, const QKeyEvent &key)
{
    if (!isTypedCharacter(key))
        return false;
    switch (volumeKeyAction(key.text().at(0).unicode())) {
    case VolumeKey::Pass:
        return false;
    case VolumeKey::Send:
        if (field == m_txtVolume)
            setVolume();
        return true;
    case VolumeKey::Discard:
        return true;
    }
    return true;
}

bool LgPanelSection::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit *>(watched))
        return filterNumberKey(watched, *static_cast<QKeyEvent *>(event));
    // The TV input is chosen from its list: a typed letter would pick an entry by its first letter.
    if (event->type() == QEvent::KeyPress && watched == m_cboTV) {
        const QString text = static_cast<QKeyEvent *>(event)->text();
        if (!text.isEmpty() && text.at(0).isPrint())
            return true;
    }
    // The wheel would send from a list or the slider that the pointer merely passes over.
    if (event->type() == QEvent::Wheel)
        return true;
    return QFrame::eventFilter(watched, event);
}

} // namespace vantiro
