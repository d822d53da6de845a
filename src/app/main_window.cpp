#include "main_window.h"

namespace vantiro {

frmMain::frmMain(const QString &applicationFolder, QWidget *parent)
    : QMainWindow(parent)
    , m_applicationFolder(applicationFolder)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vantiro"));
    resize(960, 640);
}

void frmMain::restoreFromAnotherStart()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

} // namespace vantiro
