#include "panels/hyundai_remote.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

// The corners of an arrow pointing the glyph's way, inside a square of side `size` around `centre`.
QPolygonF arrowPolygon(KeyGlyph glyph, QPointF centre, qreal size)
{
    const qreal h = size / 2;
    switch (glyph) {
    case KeyGlyph::ArrowUp:
        return QPolygonF({ centre + QPointF(0, -h), centre + QPointF(h, h), centre + QPointF(-h, h) });
    case KeyGlyph::ArrowDown:
        return QPolygonF({ centre + QPointF(0, h), centre + QPointF(h, -h), centre + QPointF(-h, -h) });
    case KeyGlyph::ArrowLeft:
        return QPolygonF({ centre + QPointF(-h, 0), centre + QPointF(h, -h), centre + QPointF(h, h) });
    case KeyGlyph::ArrowRight:
        return QPolygonF({ centre + QPointF(h, 0), centre + QPointF(-h, -h), centre + QPointF(-h, h) });
    case KeyGlyph::Caption:
        break;
    }
    return {};
}

QLabel *pairLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// A section of the handset: a grid added to the body before its keys, so that the keys join the
// focus chain in reading order.
QGridLayout *section(QVBoxLayout *body)
{
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    body->addLayout(grid);
    return grid;
}

} // namespace

RemoteKeyButton::RemoteKeyButton(const VvuonKey &key, QWidget *parent)
    : QPushButton(key.caption, parent)
    , m_glyph(key.glyph)
{
    setObjectName(key.name);
    setAccessibleName(key.accessibleName);
    // Enter is handled by the window; a default button of the dialog would send on every Enter.
    setAutoDefault(false);
}

QSize RemoteKeyButton::sizeHint() const
{
    const QSize hint = QPushButton::sizeHint();
    const int height = std::max(hint.height(), fontMetrics().height() + 10);
    return { std::max(hint.width(), height * 3 / 2), height };
}

void RemoteKeyButton::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    if (m_glyph == KeyGlyph::Caption)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    const qreal size = std::min(width(), height()) * 0.4;
    painter.drawPolygon(arrowPolygon(m_glyph, QRectF(rect()).center(), size));
}

VvuonRemote::VvuonRemote(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(u"remoteVvuon"_s);
    auto *body = new QVBoxLayout(this);
    body->setContentsMargins(22, 22, 22, 26);
    body->setSpacing(14);

    auto *power = section(body);
    power->addWidget(pairLabel(u"POWER"_s), 0, 0);
    power->addWidget(makeKey(u"cmdPowerOn"_s, u"Power"_s), 0, 1);
    power->addWidget(makeKey(u"cmdPowerOff"_s, u"Power"_s), 0, 2);
    power->addWidget(makeKey(u"cmdSource"_s), 1, 0);
    power->addWidget(makeKey(u"cmdInfo"_s), 1, 1);
    power->addWidget(makeKey(u"cmdSleep"_s), 1, 2);
    power->addWidget(makeKey(u"cmdAspect"_s), 2, 0);
    power->addWidget(makeKey(u"cmdFreeze"_s), 2, 1);
    power->addWidget(makeKey(u"cmdPcAuto"_s), 2, 2);

    auto *numbers = section(body);
    for (int digit = 1; digit <= 9; ++digit)
        numbers->addWidget(makeKey(u"cmdKey"_s + QString::number(digit)), (digit - 1) / 3, (digit - 1) % 3);
    numbers->addWidget(makeKey(u"cmdKeyDot"_s), 3, 0);
    numbers->addWidget(makeKey(u"cmdKey0"_s), 3, 1);
    numbers->addWidget(makeKey(u"cmdPreCh"_s), 3, 2);

    auto *volumeAndChannel = section(body);
    volumeAndChannel->addWidget(makeKey(u"cmdVolumeUp"_s, u"Volume"_s), 0, 0);
    volumeAndChannel->addWidget(makeKey(u"cmdChannelUp"_s, u"Channel"_s), 0, 2);
    volumeAndChannel->addWidget(pairLabel(u"VOL"_s), 1, 0);
    volumeAndChannel->addWidget(makeKey(u"cmdMute"_s), 1, 1);
    volumeAndChannel->addWidget(pairLabel(u"CH"_s), 1, 2);
    volumeAndChannel->addWidget(makeKey(u"cmdVolumeDown"_s, u"Volume"_s), 2, 0);
    volumeAndChannel->addWidget(makeKey(u"cmdChannelDown"_s, u"Channel"_s), 2, 2);

    auto *navigation = section(body);
    navigation->addWidget(makeKey(u"cmdMenu"_s), 0, 0);
    navigation->addWidget(makeKey(u"cmdUp"_s), 0, 1);
    navigation->addWidget(makeKey(u"cmdExit"_s), 0, 2);
    navigation->addWidget(makeKey(u"cmdLeft"_s), 1, 0);
    navigation->addWidget(makeKey(u"cmdSelect"_s), 1, 1);
    navigation->addWidget(makeKey(u"cmdRight"_s), 1, 2);
    navigation->addWidget(makeKey(u"cmdFavorite"_s), 2, 0);
    navigation->addWidget(makeKey(u"cmdDown"_s), 2, 1);
    navigation->addWidget(makeKey(u"cmdAddErase"_s), 2, 2);

    auto *settings = section(body);
    const QStringList settingKeys { u"cmdPicture"_s, u"cmdSound"_s, u"cmdSrs"_s,
                                    u"cmdMts"_s,     u"cmdCc"_s,    u"cmdDtvGuide"_s };
    for (int i = 0; i < settingKeys.size(); ++i)
        settings->addWidget(makeKey(settingKeys.at(i)), i / 3, i % 3);

    auto *pip = section(body);
    const QStringList pipKeys { u"cmdPip"_s,    u"cmdPipSrc"_s, u"cmdPipSize"_s,
                                u"cmdPipSwp"_s, u"cmdPipPos"_s, u"cmdPipSet"_s };
    for (int i = 0; i < pipKeys.size(); ++i)
        pip->addWidget(makeKey(pipKeys.at(i), u"Picture in picture"_s), i / 3, i % 3);
}

QPushButton *VvuonRemote::makeKey(const QString &name, const QString &description)
{
    const VvuonKey *key = findVvuonKey(name);
    Q_ASSERT(key);
    auto *button = new RemoteKeyButton(*key);
    // The pair a key belongs to, which its caption alone does not say ("+", "ON").
    button->setAccessibleDescription(description);
    connect(button, &QPushButton::clicked, this, [this, name] { emit keyPressed(name); });
    return button;
}

void VvuonRemote::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    // The handset: a rounded body in a shade of the window's own colours, so any theme stays legible.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Dark), 2));
    painter.setBrush(palette().color(QPalette::Window).darker(112));
    painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 28, 28);
}

} // namespace vantiro
