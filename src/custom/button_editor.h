#pragma once

#include "common/prompts.h"
#include "common/text_table_model.h"
#include "custom/panel_button.h"

#include <QObject>

namespace vantiro {

// Column keys of the button table, one per field of a button, in the order of PanelButton::cells().
const QList<TableColumn> &buttonTableColumns();

// The button list of the custom panel as the editor works on it: the table is the working copy, and
// the file changes only through saveButtonSettings(). Row numbers count from 1, 0 means none.
class ButtonEditor : public QObject
{
    Q_OBJECT

public:
    ButtonEditor(const QString &applicationFolder, Prompts &prompts, BusyPointer &busyPointer,
                 QObject *parent = nullptr);

    TextTableModel &buttons() { return m_buttons; }
    const TextTableModel &buttons() const { return m_buttons; }
    QList<PanelButton> buttonList() const;

    // The row "Update" writes to: the one last made current.
    int currentRow() const { return m_currentRow; }
    bool settingsChanged() const { return m_settingsChanged; }

    // Replaces the table with the file's buttons; a missing file gives an empty table. Every entry the
    // panel shows becomes a row, one without a caption included, so a save never drops a button.
    void loadButtonGrid();

    // The buttons. Each returns whether it changed the table; a refusal has been shown as a message.
    // "Add" and "Update" refuse a field that would split the entry apart on the next read and a port
    // that is not a COM number (1 to 255).
    bool addButton(const PanelButton &edited);
    // Only with a row selected and the current row in the table.
    bool updateButton(const PanelButton &edited, bool rowSelected);
    // Asks before removing the selected row (0: none selected, nothing happens).
    bool removeButton(int selectedRow);

    // Writes the whole table, an empty one as no buttons, and says how it went.
    bool saveButtonSettings();
    // Asks to save unsaved changes before the window closes. False when the operator wanted them saved
    // and that failed: the window then stays open, so nothing is lost.
    bool mayClose();

    // The view's current cell moved to (row, column), both from 1.
    void currentCellChanged(int row, int column);

signals:
    // Show this button in the edit area.
    void editAreaFilled(const PanelButton &button);

private:
    bool isRow(int row) const { return row >= 1 && row <= m_buttons.rowCount(); }
    bool accepts(const PanelButton &edited);

    QString m_applicationFolder;
    Prompts &m_prompts;
    BusyPointer &m_busyPointer;
    TextTableModel m_buttons;
    int m_currentRow = 0;
    bool m_settingsChanged = false;
    bool m_removing = false;
};

} // namespace vantiro
