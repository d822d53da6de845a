#include "app/tray_icon.h"

#include <QPainter>
#include <QPixmap>

namespace vantiro {

bool activationRestores(QSystemTrayIcon::ActivationReason reason, TrayClicks clicks)
{
    // Where double-clicks are reported, single clicks do nothing, as the window is only a double-click
    // away; where they are not, the single activation is the only way back. The context click never.
    if (reason == QSystemTrayIcon::DoubleClick)
        return true;
    return reason == QSystemTrayIcon::Trigger && clicks == TrayClicks::SingleActivation;
}

SystemTrayIcon::SystemTrayIcon(const QIcon &icon, const QString &tip, std::function<TrayClicks()> chooseClicks,
                               QObject *parent)
    : TrayIcon(parent)
    , m_image(icon)
    , m_tip(tip)
    , m_chooseClicks(std::move(chooseClicks))
{ }

SystemTrayIcon::SystemTrayIcon(const QIcon &icon, const QString &tip, TrayClicks clicks, QObject *parent)
    : SystemTrayIcon(
        icon, tip, [clicks] { return clicks; }, parent)
{ }

bool SystemTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::showIcon()
{
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(m_image, this);
        m_icon->setToolTip(m_tip);
        connect(m_icon, &QSystemTrayIcon::activated, this,
                [this, clicks = m_chooseClicks()](QSystemTrayIcon::ActivationReason reason) {
                    if (activationRestores(reason, clicks))
                        emit doubleClicked();
                });
    }
    m_icon->show();
}

void SystemTrayIcon::removeIcon()
{
    if (m_icon)
        m_icon->hide();
}

bool SystemTrayIcon::isIconShown() const
{
    return m_icon && m_icon->isVisible();
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : { 16, 24, 32, 48, 64 }) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        painter.setPen(QPen(QColor(0x26, 0x32, 0x38), unit));
        painter.setBrush(QColor(0x1e, 0x88, 0xe5));
        painter.drawRoundedRect(QRectF(1 * unit, 2 * unit, 14 * unit, 9 * unit), unit, unit);
        painter.setBrush(QColor(0x26, 0x32, 0x38));
        painter.drawRect(QRectF(7 * unit, 11 * unit, 2 * unit, 2 * unit));
        painter.drawRect(QRectF(4 * unit, 13 * unit, 8 * unit, 1.5 * unit));
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace vantiro
