#pragma once

#include "panels/hyundai_panel.h"

#include <QFrame>
#include <QPushButton>

namespace vantiro {

// A key of the drawn remote control: its caption, or an arrow painted in the text colour.
class RemoteKeyButton : public QPushButton
{
    Q_OBJECT

public:
    RemoteKeyButton(const VvuonKey &key, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KeyGlyph m_glyph;
};

// The Vvuon remote control: the body of the handset with every key of the key table, laid out as on
// the handset (power pair, number pad, volume and channel pairs, arrows, the picture-in-picture row).
class VvuonRemote : public QFrame
{
    Q_OBJECT

public:
    explicit VvuonRemote(QWidget *parent = nullptr);

signals:
    void keyPressed(const QString &keyName);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPushButton *makeKey(const QString &name, const QString &description = {});
};

} // namespace vantiro
