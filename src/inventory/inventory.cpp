#include "inventory/inventory.h"

#include "commands/display_models.h"
#include "serial/port_text.h"

#include <QScopedValueRollback>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString addGroupBeforeAddingMessage = u"Please add a group before adding any COM."_s;
const QString addGroupBeforeUpdatingMessage = u"Please add a group before update any COM."_s;
const QString enterPortMessage = u"Please enter/select a COM port."_s;

QList<TableColumn> groupColumns()
{
    return { { groupNameColumn, u"Group"_s }, { groupNoteColumn, u"Note"_s }, { groupPortsColumn, u"COM Settings"_s } };
}

QList<TableColumn> portColumns()
{
    return { { portNumberColumn, u"COM Port"_s }, { portModelColumn, u"LCD"_s }, { portNoteColumn, u"Note"_s } };
}

QStringList portRow(const PortEntry &entry)
{
    return { entry.port, entry.model, entry.note };
}

} // namespace

int modelEntryForPortModel(QStringView model)
{
    // The model list holds the models in the order of DisplayModel.
    return int(portDisplayModel(model));
}

Inventory::Inventory(Prompts &prompts, BusyPointer &busyPointer, QObject *parent)
    : QObject(parent)
    , m_prompts(prompts)
    , m_busyPointer(busyPointer)
    , m_groups(groupColumns())
    , m_ports(portColumns())
{ }

void Inventory::loadGroups(QList<QStringList> rows)
{
    {
        const QScopedValueRollback moving(m_movingViews, true);
        m_groups.replaceRows(std::move(rows));
    }
    if (m_groups.rowCount() == 0) {
        selectNoGroup();
        return;
    }
    showGroupPorts(1);
}

QList<PortEntry> Inventory::portEntries() const
{
    QList<PortEntry> entries;
    for (int row = 0; row < m_ports.rowCount(); ++row) {
        entries.append(PortEntry { m_ports.cell(row, portNumberColumn), m_ports.cell(row, portModelColumn),
                                   m_ports.cell(row, portNoteColumn) });
    }
    return entries;
}

void Inventory::showGroupPorts(int groupRow)
{
    if (!isGroupRow(groupRow))
        return;
    QList<QStringList> rows;
    for (const PortEntry &entry : unpackPorts(m_groups.cell(groupRow - 1, groupPortsColumn)))
        rows.append(portRow(entry));

    const QScopedValueRollback moving(m_movingViews, true);
    m_selectedGroupRow = groupRow;
    // The old port row number means nothing in the new table.
    m_selectedPortRow = 0;
    m_ports.replaceRows(std::move(rows));
    announceCurrentGroup();
}

void Inventory::packGroupPorts()
{
    if (!isGroupRow(m_selectedGroupRow))
        return;
    const BusyScope busy(m_busyPointer);
    m_groups.setCell(m_selectedGroupRow - 1, groupPortsColumn, packPorts(portEntries()));
}

bool Inventory::addGroup()
{
    const std::optional<QString> answer = m_prompts.askText(u"Group Name"_s, u"Please enter a group name."_s, {});
    if (!answer || answer->isEmpty())
        return false;
    const QString name = answer->trimmed();
    if (!acceptsText(name, u"group name"_s))
        return false;
    const int row = m_groups.appendRow({ name, QString(), QString() }) + 1;
    showGroupPorts(row);
    return true;
}

bool Inventory::removeGroup()
{
    if (!isGroupRow(m_selectedGroupRow))
        return false;
    const int removed = m_selectedGroupRow;
    {
        const QScopedValueRollback moving(m_movingViews, true);
        m_groups.removeRowAt(removed - 1);
    }
    // The group that moved into the removed one's place, or the one above when the last went.
    const int next = std::min(removed, m_groups.rowCount());
    if (next == 0) {
        selectNoGroup();
        return true;
    }
    showGroupPorts(next);
    return true;
}

bool Inventory::addPort(const PortEditorTexts &editor)
{
    if (!acceptsEditor(editor, addGroupBeforeAddingMessage))
        return false;
    m_ports.appendRow({ editor.port.trimmed(), editor.model.trimmed(), editor.note.trimmed() });
    packGroupPorts();
    return true;
}

bool Inventory::updatePort(const PortEditorTexts &editor)
{
    if (!acceptsEditor(editor, addGroupBeforeUpdatingMessage))
        return false;
    if (isPortRow(m_selectedPortRow)) {
        const int row = m_selectedPortRow - 1;
        m_ports.setCell(row, portNumberColumn, editor.port.trimmed());
        m_ports.setCell(row, portModelColumn, editor.model.trimmed());
        m_ports.setCell(row, portNoteColumn, editor.note.trimmed());
    }
    packGroupPorts();
    return true;
}

bool Inventory::removePort()
{
    if (!isPortRow(m_selectedPortRow))
        return false;
    const QScopedValueRollback moving(m_movingViews, true);
    m_ports.removeRowAt(m_selectedPortRow - 1);
    m_selectedPortRow = 0;
    packGroupPorts();
    emit portSelectionCleared();
    return true;
}

void Inventory::currentGroupChanged(int groupRow)
{
    if (m_movingViews)
        return;
    showGroupPorts(groupRow);
}

void Inventory::currentPortChanged(int portRow)
{
    if (m_movingViews || !isPortRow(portRow))
        return;
    m_selectedPortRow = portRow;
    const int row = portRow - 1;
    emit portEditorFilled(m_ports.cell(row, portNumberColumn),
                          modelEntryForPortModel(m_ports.cell(row, portModelColumn)),
                          m_ports.cell(row, portNoteColumn));
}

void Inventory::portRowClicked(int portRow)
{
    if (!isPortRow(portRow))
        return;
    m_selectedPortRow = portRow;
}

void Inventory::selectNoGroup()
{
    const QScopedValueRollback moving(m_movingViews, true);
    m_selectedGroupRow = 0;
    m_selectedPortRow = 0;
    m_ports.clear();
    announceCurrentGroup();
}

void Inventory::announceCurrentGroup()
{
    emit groupRowMadeCurrent(m_selectedGroupRow);
}

bool Inventory::acceptsEditor(const PortEditorTexts &editor, const QString &noGroupMessage)
{
    if (m_groups.rowCount() == 0) {
        m_prompts.inform(noGroupMessage);
        return false;
    }
    if (editor.port.trimmed().isEmpty()) {
        m_prompts.inform(enterPortMessage);
        return false;
    }
    return acceptsText(editor.port, u"COM port"_s) && acceptsPort(editor.port)
        && acceptsText(editor.model, u"display model"_s) && acceptsText(editor.note, u"note"_s);
}

// A port that names no COM port would send the group's commands to some other display.
bool Inventory::acceptsPort(const QString &port)
{
    if (comPortNumber(port))
        return true;
    m_prompts.inform(u"The COM port must be a whole number from %1 to %2."_s.arg(lowestComPort).arg(highestComPort),
                     PromptIcon::Exclamation);
    return false;
}

// Refuses text that would split its record apart on the next load.
bool Inventory::acceptsText(const QString &text, const QString &fieldName)
{
    const std::optional<QChar> separator = firstSeparatorIn(text);
    if (!separator)
        return true;
    m_prompts.inform(u"The %1 cannot contain the character \"%2\"."_s.arg(fieldName, QString(*separator)),
                     PromptIcon::Exclamation);
    return false;
}

} // namespace vantiro
