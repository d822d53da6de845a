#pragma once

#include <QIcon>
#include <QObject>

class QSystemTrayIcon;

namespace vantiro {

// The icon that stands for the program in the desktop's notification area while the main window is
// hidden. Only a left double-click means anything: it brings the window back.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // False on a desktop without a notification area; the window then minimises instead of hiding.
    virtual bool isAvailable() const = 0;
    virtual void showIcon() = 0;
    virtual void removeIcon() = 0;
    virtual bool isIconShown() const = 0;

signals:
    void doubleClicked();
};

class SystemTrayIcon : public TrayIcon
{
    Q_OBJECT

public:
    SystemTrayIcon(const QIcon &icon, const QString &tip, QObject *parent = nullptr);

    bool isAvailable() const override;
    void showIcon() override;
    void removeIcon() override;
    bool isIconShown() const override;

private:
    QSystemTrayIcon *m_icon;
};

// The program's own icon: a display on its stand, drawn rather than shipped as a file.
QIcon programIcon();

} // namespace vantiro
