#pragma once

#include "panels/hyundai_panel.h"

#include <QDialog>
#include <QList>

class QBoxLayout;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace vantiro {

class VvuonRemote;

// The Hyundai panel: instant commands for one Hyundai display on one COM port, either through the
// drawn Vvuon remote control (`panelModel` 0) or through the D525ML functions (`panelModel` 1). The
// opener sets `panelModel` and shows the window modally; every opening starts from the defaults and
// nothing is kept. Every action is handed to the executor at once.
class frmHyundaiLCD : public QDialog
{
    Q_OBJECT

public:
    frmHyundaiLCD(CommandDispatch &dispatch, Prompts &prompts, QWidget *parent = nullptr);

    // 0 for HYUNDAI-VVUON, 1 for HYUNDAI-D525ML; read when the window is shown.
    qint16 panelModel = vvuonPanelModel;

    // The port text and line settings text of the last hand-off.
    const QString &panelCommPort() const { return m_commands.panelCommPort; }
    const QString &panelLineSettings() const { return m_commands.panelLineSettings; }

    // Hands the command over with the port and line settings the window shows now.
    QFuture<CommandReport> sendHyundaiCommand(const QString &command, bool reportToStatusLog);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildPortSettings();
    QGroupBox *buildD525Frame();
    QWidget *buildValueFields();
    QWidget *buildStepFrames();
    QLineEdit *numberField(const QString &name, int maxLength);
    QPushButton *sendButton(const QString &name, const QString &accessibleName);
    void openPanel();
    PanelPort port() const;
    void pressKey(const QString &keyName);
    void sendDisplaySequence();
    bool filterFieldKey(QLineEdit *field, const QKeyEvent &key);

    HyundaiPanelCommands m_commands;
    QBoxLayout *m_panelLayout = nullptr;
    QWidget *m_scrollPane = nullptr;
    QComboBox *m_cboModel = nullptr;
    QLineEdit *m_TxtCommPort = nullptr;
    QList<QComboBox *> m_CbPortSet;
    QGroupBox *m_fraVvuon = nullptr;
    VvuonRemote *m_remote = nullptr;
    QGroupBox *m_fraD525ML = nullptr;
    QComboBox *m_cboFunctions = nullptr;
    QLineEdit *m_txtDisplaySequence = nullptr;
    QPushButton *m_cmdSendDisplaySequence = nullptr;
    QList<QLineEdit *> m_numberFields;
};

} // namespace vantiro
