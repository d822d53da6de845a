#pragma once

#include <QMainWindow>

namespace vantiro {

// The operator's main window.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmMain(const QString &applicationFolder, QWidget *parent = nullptr);

    const QString &applicationFolder() const { return m_applicationFolder; }

    // Another start of the program asked for this window: restore it (also from the tray), raise it
    // and give it the focus.
    void restoreFromAnotherStart();

private:
    QString m_applicationFolder;
};

} // namespace vantiro
