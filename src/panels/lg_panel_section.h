#pragma once

#include "panels/lg_panel.h"

#include <QFrame>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace vantiro {

class Prompts;

// One display of the LG panel: its label, COM port, and the buttons and lists that build its
// commands. Controls are named with the section's index ("TxtCommPort_2"). The section checks what
// only it knows (volume, channel) and leaves the port and line settings checks to the window.
class LgPanelSection : public QFrame
{
    Q_OBJECT

public:
    LgPanelSection(int index, Prompts &prompts, QWidget *parent = nullptr);

    int index() const { return m_index; }

    LgSectionSettings settings() const;
    void showSettings(const LgSectionSettings &settings);
    QString comPort() const;

    // What the buttons do, for the keys and the slider that press them.
    void setVolume();
    void sendChannel();

signals:
    void commandReady(const QString &command);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildChannelFrame();
    QPushButton *commandButton(const QString &name, const QString &caption, const QString &command);
    void onVolumeTextChanged(const QString &text);
    void onSliderAction(int action);
    void showMinorChannel(bool shown);
    // Whether a key typed into a number field is kept from it.
    bool filterNumberKey(QObject *field, const QKeyEvent &key);

    int m_index;
    Prompts &m_prompts;
    QLineEdit *m_txtSection = nullptr;
    QLineEdit *m_txtCommPort = nullptr;
    QLineEdit *m_txtVolume = nullptr;
    QSlider *m_sldVolume = nullptr;
    QComboBox *m_cboInputSelect = nullptr;
    QComboBox *m_cboAspectRatio = nullptr;
    QComboBox *m_cboTV = nullptr;
    QLineEdit *m_txtChannel = nullptr;
    QLineEdit *m_txtMinorChannel = nullptr;
    QLabel *m_lblDash = nullptr;
};

} // namespace vantiro
