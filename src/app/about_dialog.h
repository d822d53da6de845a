#pragma once

#include "app/autostart.h"

#include <QDialog>

class QCheckBox;

namespace vantiro {

class Prompts;

// "About Vantiro": the version, the folder whose files are in use, and whether the program starts with the
// desktop session. The check box writes or removes the autostart entry at once.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    AboutDialog(const QString &applicationFolder, Autostart autostart, Prompts &prompts, QWidget *parent = nullptr);

private:
    void startAtLoginToggled(bool checked);

    Autostart m_autostart;
    Prompts &m_prompts;
    QCheckBox *m_chkStartAtLogin = nullptr;
};

} // namespace vantiro
