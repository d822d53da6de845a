#pragma once

#include <QObject>
#include <QStringList>

class QComboBox;
class QEvent;
class QGroupBox;
class QLineEdit;
class QTableView;
class QWidget;

namespace vantiro {

class Inventory;

// The group frame ("Group Settings": the group table and its buttons) and the port frame ("COM
// Settings": the port table, the model list and the port editor), wired to the inventory. Other
// frames' controls that sit inside these two are handed in when they are built.
class InventoryFrame : public QObject
{
    Q_OBJECT

public:
    InventoryFrame(Inventory &inventory, QObject *parent = nullptr);

    // "Group Settings", with the volume and all-monitors frames below the group table.
    QGroupBox *buildGroupFrame(QWidget *volumeFrame, QWidget *allMonitorsFrame);
    // "COM Settings", with the group's command row below the port table.
    QGroupBox *buildPortFrame(QWidget *groupCommandRow);

    QGroupBox *groupFrame() const { return m_fraGroup; }

    // Start-up contents: the model list and the COM list "1" to "40", empty tables.
    void initialise();
    // Selects a model list entry and announces the choice, also when it is already selected.
    void selectModelEntry(int index);
    QString modelListText() const;
    QStringList comPortItems() const;

    // Name and note share the group table's width; the port columns a third each.
    void fitTableColumns();

signals:
    // The model list's entry was chosen (by the operator or by the program).
    void modelChosen();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectInventory();

    Inventory &m_inventory;
    QGroupBox *m_fraGroup = nullptr;
    QTableView *m_iGroup = nullptr;
    QTableView *m_iPort = nullptr;
    QComboBox *m_cboCOM = nullptr;
    QComboBox *m_cboLCD = nullptr;
    QLineEdit *m_txtNote = nullptr;
};

} // namespace vantiro
