#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

namespace vantiro {

// The icon that stands for the program in the desktop's notification area while the main window is
// hidden. Only a left double-click means anything: it brings the window back. Where the notification
// area reports every click as a single activation and never a double-click, that activation does.
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
    // The operator asked for the window: a double-click, or the single activation described above.
    void doubleClicked();
};

// What the notification area reports of a click on the icon.
enum class TrayClicks {
    DoubleClick, // single clicks and double-clicks apart (Windows, the X11 system tray)
    SingleActivation, // one activation per click, never a double-click (StatusNotifierItem hosts)
};
// Whether an activation of the icon brings the window back.
bool activationRestores(QSystemTrayIcon::ActivationReason reason, TrayClicks clicks);

// The icon is made on the first showIcon(), not on construction: making it, and choosing how clicks
// are read, asks the session bus, which can keep a start waiting; most starts never hide the window.
class SystemTrayIcon : public TrayIcon
{
    Q_OBJECT

public:
    SystemTrayIcon(const QIcon &icon, const QString &tip, std::function<TrayClicks()> chooseClicks,
                   QObject *parent = nullptr);
    SystemTrayIcon(const QIcon &icon, const QString &tip, TrayClicks clicks, QObject *parent = nullptr);

    bool isAvailable() const override;
    void showIcon() override;
    void removeIcon() override;
    bool isIconShown() const override;

private:
    QIcon m_image;
    QString m_tip;
    std::function<TrayClicks()> m_chooseClicks;
    QSystemTrayIcon *m_icon = nullptr;
};

// The program's own icon: a display on its stand, drawn rather than shipped as a file.
QIcon programIcon();

} // namespace vantiro
