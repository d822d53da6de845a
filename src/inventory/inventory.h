#pragma once

#include "common/prompts.h"
#include "common/text_table_model.h"
#include "inventory/records.h"

#include <QObject>

namespace vantiro {

// Column keys of the group table.
inline const QString groupNameColumn = QStringLiteral("Group");
inline const QString groupNoteColumn = QStringLiteral("Note");
inline const QString groupPortsColumn = QStringLiteral("COM Settings");
// Column keys of the port table.
inline const QString portNumberColumn = QStringLiteral("COM");
inline const QString portModelColumn = QStringLiteral("LCD");
inline const QString portNoteColumn = QStringLiteral("Note");

// The texts of the port editor: the port list, the model list and the note field.
struct PortEditorTexts
{
    QString port;
    QString model;
    QString note;
};

// The model list entry (index into displayModelNames()) that shows a port row's model: its own
// entry when the text names one in any case, the Vvuon for a plain "HYUNDAI", otherwise LG.
int modelEntryForPortModel(QStringView model);

// The display groups and the ports of the selected group. The group table holds the whole inventory
// (each group's ports packed into its "COM Settings" cell); the port table is a working copy of one
// group, packed back after every change.
//
// Row numbers here count from 1, as the selection fields do; 0 means none. The window passes
// `view row + 1` and makes `row - 1` current when told.
class Inventory : public QObject
{
    Q_OBJECT

public:
    Inventory(Prompts &prompts, BusyPointer &busyPointer, QObject *parent = nullptr);

    TextTableModel &groups() { return m_groups; }
    const TextTableModel &groups() const { return m_groups; }
    TextTableModel &ports() { return m_ports; }
    const TextTableModel &ports() const { return m_ports; }

    // The group whose ports the port table shows and into which they are packed.
    int selectedGroupRow() const { return m_selectedGroupRow; }
    // The port row that "Update" and "Remove" act on.
    int selectedPortRow() const { return m_selectedPortRow; }

    // Replaces the groups with those of a loaded settings file and selects the first.
    void loadGroups(QList<QStringList> rows);
    // The group rows as a save writes them.
    QList<QStringList> groupRows() const { return m_groups.allRows(); }

    QList<PortEntry> portEntries() const;
    // Selects the group and shows its ports; a row that does not exist is ignored.
    void showGroupPorts(int groupRow);
    // Packs the port table into the selected group.
    void packGroupPorts();

    // The buttons. Each returns whether it changed anything; a refusal has been shown as a message.
    bool addGroup();
    bool removeGroup();
    bool addPort(const PortEditorTexts &editor);
    bool updatePort(const PortEditorTexts &editor);
    bool removePort();

    // Notifications from the views. Those that arrive while the inventory itself moves the views'
    // current rows are ignored, so its own choice stands.
    void currentGroupChanged(int groupRow);
    // Fills the editor from the row and makes it the port "Update" and "Remove" act on, so they act
    // on the row the editor shows also when it was reached with the keyboard.
    void currentPortChanged(int portRow);
    void portRowClicked(int portRow);

signals:
    // Make this group row current in the group view (0: none) and give that view the focus.
    void groupRowMadeCurrent(int groupRow);
    // No port row is selected any more; the port view should have no current row.
    void portSelectionCleared();
    // Show a port row in the editor: the port text, the model list entry to select, the note.
    void portEditorFilled(const QString &port, int modelEntry, const QString &note);

private:
    bool isGroupRow(int groupRow) const { return groupRow >= 1 && groupRow <= m_groups.rowCount(); }
    bool isPortRow(int portRow) const { return portRow >= 1 && portRow <= m_ports.rowCount(); }
    void selectNoGroup();
    void announceCurrentGroup();
    bool acceptsEditor(const PortEditorTexts &editor, const QString &noGroupMessage);
    bool acceptsText(const QString &text, const QString &fieldName);
    bool acceptsPort(const QString &port);

    Prompts &m_prompts;
    BusyPointer &m_busyPointer;
    TextTableModel m_groups;
    TextTableModel m_ports;
    int m_selectedGroupRow = 0;
    int m_selectedPortRow = 0;
    bool m_movingViews = false;
};

} // namespace vantiro
