#pragma once

#include "commands/quick_commands.h"

#include <QList>
#include <QObject>

class QGroupBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;
class QWidget;

namespace vantiro {

// The nine quick-command buttons with the volume box and slider. They sit in three places of the
// main window: "Volume Controls" and "All Monitors" in the group frame, and the group's own row
// (Monitors ON, Monitors OFF, Auto Config) under the port table.
class QuickCommandFrame : public QObject
{
    Q_OBJECT

public:
    QuickCommandFrame(const ModelCommandSet &commands, const SendSnapshotSource &window, CommandDispatch &dispatch,
                      Prompts &prompts, QObject *parent = nullptr);

    QGroupBox *volumeFrame() const { return m_fraVolume; }
    QGroupBox *allMonitorsFrame() const { return m_fraAllMonitors; }
    QWidget *groupCommandRow() const { return m_groupRow; }

    // Selects the whole text of the volume box and gives it the focus.
    void focusVolumeBox();
    // The frame "Volume Controls" follows the model: the D525ML has no mute or volume commands.
    void setVolumeControlsEnabled(bool enabled);

    // What button `index` (0 to 8) does when clicked.
    void runQuickCommand(int index);

    // How long the slider has to rest after a wheel turn or a key before its volume is sent.
    static constexpr int sliderSettleMs = 300;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPushButton *makeButton(int index, const QString &caption);
    void onVolumeTextChanged(const QString &text);
    void onSliderValueChanged(int value);
    void onSliderAction();
    void sendSettledSlider();
    void sendSliderVolume();
    bool filterVolumeKey(const QKeyEvent &key);

    QuickCommands m_quickCommands;
    QList<QPushButton *> m_cmdCOMSend;
    QGroupBox *m_fraVolume = nullptr;
    QGroupBox *m_fraAllMonitors = nullptr;
    QWidget *m_groupRow = nullptr;
    QLineEdit *m_txtVolume = nullptr;
    QSlider *m_sldVolume = nullptr;
    QTimer *m_sliderSettle = nullptr;
    bool m_sliderPressed = false;
};

} // namespace vantiro
