#pragma once

#include "app/autostart.h"
#include "app/background_unit.h"

#include <QDialog>

class QCheckBox;

namespace vantiro {

class Prompts;

// "About Vantiro": the version, the folder whose files are in use, whether the program starts with the desktop
// session, and whether the schedule runs in the background from boot. Each check box acts at once: the first
// writes or removes the autostart entry, the second enables or disables the systemd user unit (asking for linger)
// and says plainly what it could not do.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    AboutDialog(const QString &applicationFolder, Autostart autostart, Prompts &prompts, QWidget *parent = nullptr);

private:
    void startAtLoginToggled(bool checked);
    void runInBackgroundToggled(bool checked);
    void backgroundUnitChanged(const BackgroundUnit::Outcome &outcome);

    Autostart m_autostart;
    BackgroundUnit *m_backgroundUnit = nullptr;
    Prompts &m_prompts;
    QCheckBox *m_chkStartAtLogin = nullptr;
    QCheckBox *m_chkRunInBackground = nullptr;
    bool m_changingBackgroundUnit = false;
};

} // namespace vantiro
