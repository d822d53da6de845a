#include "panels/lg_panel_window.h"

#include "commands/display_models.h"
#include "commands/send_progress.h"
#include "commands/send_progress_bar.h"
#include "common/controls.h"
#include "common/prompts.h"
#include "panels/lg_panel_section.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

frmLGLCD::frmLGLCD(const QString &applicationFolder, LgPanelServices services, QWidget *parent)
    : QDialog(parent)
    , m_settingsPath(applicationFolder + u'/' + lgSettingsFileName)
    , m_prompts(services.prompts)
    , m_busyPointer(services.busyPointer)
    , m_sender(services.dispatch, services.prompts)
{
    setObjectName(u"frmLGLCD"_s);
    setWindowTitle(u"LG LCD Instant Serial Commands"_s);
    auto *layout = new QVBoxLayout(this);

    // Three sections above two; on a screen without room for all of them they scroll, and Close stays
    // in sight below them.
    auto *sectionsArea = new QWidget;
    auto *sections = new QGridLayout(sectionsArea);
    sections->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < lgSectionCount; ++i) {
        auto *section = new LgPanelSection(i, m_prompts);
        connect(section, &LgPanelSection::commandReady, this,
                [this, i](const QString &command) { sendToSection(i, command); });
        m_sections.append(section);
        sections->addWidget(section, i / 3, i % 3);
    }
    layout->addWidget(named(new ScrollPane(sectionsArea), u"scrSections"_s), 1);
    layout->addWidget(buildPortSettings());

    auto *bottom = new QHBoxLayout;
    // Sends of the main window's show here as well while the panel holds the window's input.
    if (SendProgress *progress = services.dispatch.progress())
        bottom->addWidget(new SendProgressBar(*progress));
    bottom->addStretch();
    auto *close = button(u"btnClose"_s, u"Close"_s);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    // Enter in a text field would otherwise press the first button after it and send a command.
    for (QPushButton *pushButton : findChildren<QPushButton *>())
        pushButton->setAutoDefault(false);

    showSettings(LgSettings {});
    loadLgSettings();
    fitOnScreen(this, sizeHint());
}

// Kept in the window but not shown: the operator changes the line settings in LGSettings.ini.
QWidget *frmLGLCD::buildPortSettings()
{
    auto *frame = named(new QGroupBox(u"Port Settings"_s), u"fraPortSettings"_s);
    auto *grid = new QGridLayout(frame);
    const QStringList labels { u"Baud:"_s, u"Parity:"_s, u"Data Bits:"_s, u"Stop Bits:"_s };
    const QList<QStringList> items { baudRateItems(), parityItems(), dataBitsItems(), stopBitsItems() };
    for (int i = 0; i < 4; ++i) {
        auto *list = comboBox(arrayName(u"CbPortSet"_s, i), items.at(i), false);
        auto *label = new QLabel(labels.at(i));
        label->setBuddy(list);
        grid->addWidget(label, 0, 2 * i);
        grid->addWidget(list, 0, 2 * i + 1);
        m_cbPortSet.append(list);
    }
    frame->hide();
    return frame;
}

void frmLGLCD::sendToSection(int section, const QString &command)
{
    if (section < 0 || section >= m_sections.size())
        return;
    const LineSettings lineSettings { m_cbPortSet.at(0)->currentText(), m_cbPortSet.at(1)->currentText(),
                                      m_cbPortSet.at(2)->currentText(), m_cbPortSet.at(3)->currentText() };
    m_sender.sendToSection(m_sections.at(section)->comPort(), lineSettings, command);
}

LgSettings frmLGLCD::currentSettings() const
{
    LgSettings settings;
    settings.lineSettings = { m_cbPortSet.at(0)->currentText(), m_cbPortSet.at(1)->currentText(),
                              m_cbPortSet.at(2)->currentText(), m_cbPortSet.at(3)->currentText() };
    for (int i = 0; i < lgSectionCount; ++i)
        settings.sections[i] = m_sections.at(i)->settings();
    return settings;
}

void frmLGLCD::showSettings(const LgSettings &settings)
{
    const QStringList values { settings.lineSettings.baudRate, settings.lineSettings.parity,
                               settings.lineSettings.dataBits, settings.lineSettings.stopBits };
    for (int i = 0; i < m_cbPortSet.size(); ++i)
        m_cbPortSet.at(i)->setCurrentIndex(m_cbPortSet.at(i)->findText(values.at(i)));
    for (int i = 0; i < lgSectionCount; ++i)
        m_sections.at(i)->showSettings(settings.sections[i]);
}

void frmLGLCD::loadLgSettings()
{
    BusyScope busy(m_busyPointer);
    LgSettings settings = currentSettings();
    readLgSettings(IniFile::load(m_settingsPath), settings);
    showSettings(settings);
}

bool frmLGLCD::saveLgSettings()
{
    SaveResult saved;
    {
        BusyScope busy(m_busyPointer);
        saved = lgSettingsToIni(currentSettings()).save(m_settingsPath);
    }
    if (!saved)
        m_prompts.inform(u"Failed saving %1 (%2). The labels and COM ports of the five displays were not kept."_s.arg(
                             lgSettingsFileName, saved.error),
                         PromptIcon::Exclamation, u"Error"_s);
    return saved.ok;
}

void frmLGLCD::done(int result)
{
    saveLgSettings();
    QDialog::done(result);
}

} // namespace vantiro
