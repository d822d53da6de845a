#pragma once

#include "common/prompts.h"
#include "custom/button_editor.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QTableView;

namespace vantiro {

// The custom panel's button editor: the button list as a table, an edit area with one field per
// column, "Add", "Update", "Remove", "Save" and "Close". Each opening is a new window that loads the
// list from "GeneralControlSettings.ini" of the application folder; the panel shows it modally and
// reloads its buttons from the file when it has closed. However it closes (the "Close" button, the
// close box, Escape), unsaved changes are offered for saving first.
class frmCustomLCDSettings : public QDialog
{
    Q_OBJECT

public:
    frmCustomLCDSettings(const QString &applicationFolder, Prompts &prompts, BusyPointer &busyPointer,
                         QWidget *parent = nullptr);

    ButtonEditor &editor() { return m_editor; }

    // The edit area's seven values.
    PanelButton editedButton() const;

    // Closes only when unsaved changes were declined or saved.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void initButtonEditor();
    void buildLayout();
    QSize openingSize() const;
    void fillEditArea(const PanelButton &button);
    int selectedRow() const;

    ButtonEditor m_editor;
    QLineEdit *m_txtButton = nullptr;
    QComboBox *m_cboLCD = nullptr;
    QLineEdit *m_TxtCommPort = nullptr;
    QList<QComboBox *> m_CbPortSet;
    QTableView *m_igButton = nullptr;
    // The table gives itself a current cell when the focus arrives; that is not the operator's choice.
    bool m_focusArriving = false;
};

} // namespace vantiro
