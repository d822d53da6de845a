#include "app/about_dialog.h"

#include "app/version.h"
#include "common/controls.h"
#include "common/prompts.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

AboutDialog::AboutDialog(const QString &applicationFolder, Autostart autostart, Prompts &prompts, QWidget *parent)
    : QDialog(parent)
    , m_autostart(std::move(autostart))
    , m_prompts(prompts)
{
    setObjectName(u"frmAbout"_s);
    setWindowTitle(u"About Vantiro"_s);
    auto *layout = new QVBoxLayout(this);

    auto *version = named(new QLabel(programCaption()), u"lblVersion"_s);
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    layout->addWidget(version);

    // A read-only field, so the path can be selected and copied from the keyboard too.
    auto *folder = named(new QLineEdit(QDir::toNativeSeparators(applicationFolder)), u"txtApplicationFolder"_s);
    folder->setReadOnly(true);
    folder->setMinimumWidth(folder->fontMetrics().horizontalAdvance(folder->text()) + 16);
    auto *folderLabel = new QLabel(u"Settings and daily logs are kept in:"_s);
    folderLabel->setBuddy(folder);
    layout->addWidget(folderLabel);
    layout->addWidget(folder);

    auto *openFolder = button(u"btnOpenFolder"_s, u"Open Folder"_s);
    openFolder->setAutoDefault(false);
    connect(openFolder, &QPushButton::clicked, this,
            [applicationFolder] { QDesktopServices::openUrl(QUrl::fromLocalFile(applicationFolder)); });
    layout->addWidget(openFolder, 0, Qt::AlignLeft);

    m_chkStartAtLogin = named(new QCheckBox(u"Start Vantiro when I log in"_s), u"chkStartAtLogin"_s);
    m_chkStartAtLogin->setChecked(m_autostart.isEnabled());
    m_chkStartAtLogin->setToolTip(u"The window comes up when you log in; with schedule rows it runs the schedule, "
                                  "hidden in the notification area."_s);
    connect(m_chkStartAtLogin, &QCheckBox::toggled, this, &AboutDialog::startAtLoginToggled);
    layout->addWidget(m_chkStartAtLogin);

    m_chkRunInBackground = named(new QCheckBox(u"Run the schedule in the background, also when nobody is logged in"_s),
                                 u"chkRunInBackground"_s);
    // Off until systemctl has said how things stand, which the box does not wait for.
    m_chkRunInBackground->setEnabled(false);
    m_backgroundUnit = new BackgroundUnit(this);
    connect(m_backgroundUnit, &BackgroundUnit::stateKnown, this,
            [this](std::optional<bool> enabled, const QString &problem) {
                const QSignalBlocker blocker(m_chkRunInBackground);
                m_chkRunInBackground->setChecked(enabled.value_or(false));
                m_chkRunInBackground->setToolTip(problem.isEmpty()
                                                     ? u"Runs the schedule from boot through the systemd user unit "_s
                                                         + BackgroundUnit::unitName + u", also after a power cut."_s
                                                     : problem);
                m_chkRunInBackground->setEnabled(true);
            });
    connect(m_backgroundUnit, &BackgroundUnit::changed, this, &AboutDialog::backgroundUnitChanged);
    m_backgroundUnit->askState();
    connect(m_chkRunInBackground, &QCheckBox::toggled, this, &AboutDialog::runInBackgroundToggled);
    layout->addWidget(m_chkRunInBackground);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(u"btnOK"_s);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ok->setFocus();
}

void AboutDialog::startAtLoginToggled(bool checked)
{
    const SaveResult result = m_autostart.setEnabled(checked);
    if (result)
        return;
    m_prompts.inform(
        u"The autostart entry %1 could not be %2: %3"_s.arg(QDir::toNativeSeparators(m_autostart.entryPath()),
                                                            checked ? u"written"_s : u"removed"_s, result.error),
        PromptIcon::Exclamation);
    const QSignalBlocker blocker(m_chkStartAtLogin);
    m_chkStartAtLogin->setChecked(!checked);
}

void AboutDialog::runInBackgroundToggled(bool checked)
{
    // One change at a time: a click while one is under way is taken back.
    if (m_changingBackgroundUnit) {
        const QSignalBlocker blocker(m_chkRunInBackground);
        m_chkRunInBackground->setChecked(!checked);
        return;
    }
    m_changingBackgroundUnit = true;
    if (checked)
        m_backgroundUnit->enable();
    else
        m_backgroundUnit->disable();
}

void AboutDialog::backgroundUnitChanged(const BackgroundUnit::Outcome &outcome)
{
    m_changingBackgroundUnit = false;
    {
        const QSignalBlocker blocker(m_chkRunInBackground);
        m_chkRunInBackground->setChecked(outcome.enabled);
    }
    if (!outcome.problem.isEmpty())
        m_prompts.inform(outcome.problem, PromptIcon::Exclamation);
}

} // namespace vantiro
