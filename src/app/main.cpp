#include "app/main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantiro"));

    // Every file of the program lives beside the executable.
    vantiro::frmMain window(QCoreApplication::applicationDirPath());
    window.show();
    return app.exec();
}
