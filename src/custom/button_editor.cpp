#include "custom/button_editor.h"

#include "serial/port_text.h"

#include <QScopedValueRollback>

using namespace Qt::StringLiterals;

namespace vantiro {

const QList<TableColumn> &buttonTableColumns()
{
    static const QList<TableColumn> columns {
        { u"button"_s, u"Button"_s },      { u"lcd"_s, u"LCD"_s },       { u"port"_s, u"COM Port"_s },
        { u"baudrate"_s, u"Baud Rate"_s }, { u"parity"_s, u"Parity"_s }, { u"databits"_s, u"DataBits"_s },
        { u"stopbits"_s, u"Stop Bits"_s },
    };
    return columns;
}

ButtonEditor::ButtonEditor(const QString &applicationFolder, Prompts &prompts, BusyPointer &busyPointer,
                           QObject *parent)
    : QObject(parent)
    , m_applicationFolder(applicationFolder)
    , m_prompts(prompts)
    , m_busyPointer(busyPointer)
    , m_buttons(buttonTableColumns())
{ }

QList<PanelButton> ButtonEditor::buttonList() const
{
    QList<PanelButton> list;
    list.reserve(m_buttons.rowCount());
    for (const QStringList &cells : m_buttons.allRows())
        list.append(PanelButton::fromCells(cells));
    return list;
}

void ButtonEditor::loadButtonGrid()
{
    const BusyScope busy(m_busyPointer);
    QList<QStringList> rows;
    if (const std::optional<ButtonFileContents> contents = loadButtonFile(m_applicationFolder)) {
        rows.reserve(contents->buttons.size());
        for (const PanelButton &button : contents->buttons)
            rows.append(button.cells());
    }
    m_buttons.replaceRows(std::move(rows));
}

bool ButtonEditor::addButton(const PanelButton &edited)
{
    if (!accepts(edited))
        return false;
    m_buttons.appendRow(edited.cells());
    m_settingsChanged = true;
    return true;
}

bool ButtonEditor::updateButton(const PanelButton &edited, bool rowSelected)
{
    if (!rowSelected || !isRow(m_currentRow) || !accepts(edited))
        return false;
    const QStringList cells = edited.cells();
    for (int column = 0; column < cells.size(); ++column)
        m_buttons.setCell(m_currentRow - 1, buttonTableColumns().at(column).key, cells.at(column));
    m_settingsChanged = true;
    return true;
}

bool ButtonEditor::removeButton(int selectedRow)
{
    if (!isRow(selectedRow))
        return false;
    const PromptMessage question { u"Remove the button?"_s, PromptIcon::None, PromptButtons::YesNo };
    if (m_prompts.show(question) != PromptAnswer::Yes)
        return false;
    {
        // The current row keeps its number: the view moving its own current row meanwhile is no choice
        // of the operator's.
        const QScopedValueRollback removing(m_removing, true);
        m_buttons.removeRowAt(selectedRow - 1);
    }
    m_settingsChanged = true;
    return true;
}

bool ButtonEditor::saveButtonSettings()
{
    SaveResult saved;
    {
        const BusyScope busy(m_busyPointer);
        saved = saveButtonFile(m_applicationFolder, buttonList());
    }
    if (!saved) {
        m_prompts.inform(u"Failed saving the settings."_s, PromptIcon::Exclamation, u"Error"_s);
        return false;
    }
    m_settingsChanged = false;
    m_prompts.inform(u"Saved settings."_s, PromptIcon::Information);
    return true;
}

bool ButtonEditor::mayClose()
{
    if (!m_settingsChanged)
        return true;
    const PromptMessage question { u"Settings have been changed. Do you want to save before closing?"_s,
                                   PromptIcon::None, PromptButtons::YesNo };
    if (m_prompts.show(question) != PromptAnswer::Yes)
        return true;
    return saveButtonSettings();
}

void ButtonEditor::currentCellChanged(int row, int column)
{
    if (m_removing || row < 1 || column < 1)
        return;
    m_currentRow = row;
    // A row without a caption becomes current without replacing what the edit area holds.
    if (isRow(row) && !m_buttons.cell(row - 1, buttonTableColumns().constFirst().key).isEmpty())
        emit editAreaFilled(PanelButton::fromCells(m_buttons.rowCells(row - 1)));
}

bool ButtonEditor::accepts(const PanelButton &edited)
{
    if (const std::optional<SeparatorFound> found = firstSplittingCharacter(edited)) {
        m_prompts.inform(u"The %1 cannot contain the character \"%2\"."_s.arg(panelButtonFieldNames().at(found->field),
                                                                              QString(found->character)),
                         PromptIcon::Exclamation);
        return false;
    }
    // A port that names no COM port would leave the button sending nowhere.
    if (!comPortNumber(edited.port)) {
        m_prompts.inform(u"The COM port must be a whole number from %1 to %2."_s.arg(lowestComPort).arg(highestComPort),
                         PromptIcon::Exclamation);
        return false;
    }
    return true;
}

} // namespace vantiro
