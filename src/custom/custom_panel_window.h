#pragma once

#include "custom/custom_panel.h"

#include <QDialog>
#include <QList>
#include <QMap>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QScrollBar;
class QSlider;
class QVBoxLayout;

namespace vantiro {

class RowButton;

// The end user's command panel: one large button per configured display, each with what its last
// send did (Status, Source, Volume); the power, input, channel and volume choices; "Confirm and
// Send". Its "File" menu opens the button editor and replaces or resets the commands. Every opening
// starts afresh from the built-in commands and the button file; the panel writes no file.
//
// Keyboard: Tab walks the row buttons, the all-rows and choice buttons, the channel field (Up and
// Down step the channel), the volume slider and "Confirm and Send"; Space or Enter presses the focused
// button; the list scrolls to the focused row; Escape closes the panel.
class frmCustomLCD : public QDialog
{
    Q_OBJECT

public:
    frmCustomLCD(const QString &applicationFolder, Prompts &prompts, BusyPointer &busyPointer,
                 QWidget *parent = nullptr);
    ~frmCustomLCD() override;

    CustomPanel &panel() { return *m_panel; }

    // A close asked for while a send runs waits for the send to end.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct RowWidgets
    {
        QWidget *row = nullptr;
        RowButton *button = nullptr;
        QLineEdit *status = nullptr;
        QLineEdit *source = nullptr;
        QLineEdit *volume = nullptr;
    };

    void buildMenu(QVBoxLayout *layout);
    QWidget *buildList();
    QWidget *buildChoices();
    void initLayout();
    RowWidgets &rowWidgets(int row);
    void showRows();
    void showRowTexts(int row);
    void showChoices();
    void setLgControlsVisible(bool tuner, bool volume);
    void orderTabs();
    void scrollToEnd();
    void centreOnScreen();

    void btnButton_Click(int row);
    void btnAll_Click(int index);
    void btnConfirmSend_Click();
    void txtChannel_Change(const QString &text);
    void vsChannel_Change(int position);
    void mnuSettings_Click();

    Prompts &m_prompts;
    BusyPointer &m_busyPointer;
    CustomPanel *m_panel = nullptr;
    bool m_closeRequested = false;
    int m_closeResult = 0;
    bool m_keepListAtEnd = false;
    QMetaObject::Connection m_focusFollower;

    QScrollArea *m_list = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    QMap<int, RowWidgets> m_rows;
    QList<QPushButton *> m_btnAll;
    QList<QPushButton *> m_btnONOFF;
    QList<QPushButton *> m_btnVideoInput;
    QLineEdit *m_txtChannel = nullptr;
    QScrollBar *m_vsChannel = nullptr;
    QLabel *m_lblVolume = nullptr;
    QSlider *m_sldVolume = nullptr;
    QList<QLabel *> m_volumeEndLabels;
    QPushButton *m_btnConfirmSend = nullptr;
};

} // namespace vantiro
