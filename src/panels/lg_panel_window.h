#pragma once

#include "panels/lg_panel.h"

#include <QDialog>
#include <QList>

class QComboBox;

namespace vantiro {

class BusyPointer;
class LgPanelSection;
class Prompts;

// What the LG panel uses from the main window: where its commands go, the message boxes and the
// hourglass.
struct LgPanelServices
{
    CommandDispatch &dispatch;
    Prompts &prompts;
    BusyPointer &busyPointer;
};

// The LG panel: five sections, each sending to its own display, and the shared line settings, which
// are kept in "LGSettings.ini" but not shown. The settings are read when the window is made and
// written whenever it closes (Close, the close box or Escape).
class frmLGLCD : public QDialog
{
    Q_OBJECT

public:
    frmLGLCD(const QString &applicationFolder, LgPanelServices services, QWidget *parent = nullptr);

    const QString &settingsPath() const { return m_settingsPath; }

    // Checks the section's port and the line settings, then hands the command to the executor.
    void sendToSection(int section, const QString &command);

    void loadLgSettings();
    // False, and the operator told, when the file could not be written; the previous file then stays.
    bool saveLgSettings();

    // The port and line settings text of the last hand-off.
    const QString &panelCommPort() const { return m_sender.panelCommPort(); }
    const QString &panelLineSettings() const { return m_sender.panelLineSettings(); }

    void done(int result) override;

private:
    QWidget *buildPortSettings();
    LgSettings currentSettings() const;
    void showSettings(const LgSettings &settings);

    QString m_settingsPath;
    Prompts &m_prompts;
    BusyPointer &m_busyPointer;
    LgPanelSender m_sender;
    QList<LgPanelSection *> m_sections;
    QList<QComboBox *> m_cbPortSet;
};

} // namespace vantiro
