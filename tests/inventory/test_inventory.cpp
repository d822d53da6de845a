#include "commands/display_models.h"
#include "inventory/inventory.h"
#include "inventory/settings_file.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vantiro;
using vantiro::test::RecordingBusyPointer;
using vantiro::test::ScriptedPrompts;

namespace {

// An inventory with its prompts and pointer, and the steps an operator takes.
struct Editing
{
    ScriptedPrompts prompts;
    RecordingBusyPointer busy;
    Inventory inventory { prompts, busy };

    bool addGroup(const QString &name)
    {
        prompts.plannedTexts.append(name);
        return inventory.addGroup();
    }
    bool addPort(const QString &port, const QString &model = u"LG"_s, const QString &note = {})
    {
        return inventory.addPort({ port, model, note });
    }
    QString packed(int groupRow) const { return inventory.groups().cell(groupRow - 1, groupPortsColumn); }
    QStringList groupNames() const
    {
        QStringList names;
        for (const QStringList &row : inventory.groupRows())
            names.append(row.at(0));
        return names;
    }
};

} // namespace

class TestInventory : public QObject
{
    Q_OBJECT

private slots:
    void packing_data();
    void packing();
    void addGroup_data();
    void addGroup();
    void refusals_data();
    void refusals();
    void portsArePackedIntoTheGroup_data();
    void portsArePackedIntoTheGroup();
    void updateChangesOnlyTheSelectedRow_data();
    void updateChangesOnlyTheSelectedRow();
    void removingTheOnlyPortEmptiesTheGroup();
    void selectionAfterRemovingGroup_data();
    void selectionAfterRemovingGroup();
    void loadShowsFirstGroup();
    void editorShowsThePortRow_data();
    void editorShowsThePortRow();
    void modelsStayConsistent();
    void sixtyPortsSurviveSaveAndLoad();
};

// Each row: packed text and the port rows (COM, LCD, Note); one-way rows are only read.
void TestInventory::packing_data()
{
    QTest::addColumn<QString>("packed");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<bool>("bothWays");

    QTest::newRow("Lobby's two ports") << "1~left screen~LG`2~right screen~OLEVIA"
                                       << QList<QStringList> { { u"1"_s, u"LG"_s, u"left screen"_s },
                                                               { u"2"_s, u"OLEVIA"_s, u"right screen"_s } }
                                       << true;
    QTest::newRow("no ports") << "" << QList<QStringList> {} << true;
    QTest::newRow("empty note and port") << "~~HYUNDAI-Vvuon" << QList<QStringList> { { {}, u"HYUNDAI-Vvuon"_s, {} } }
                                         << true;
    QTest::newRow("two fields read as LG")
        << "5~spare" << QList<QStringList> { { u"5"_s, u"LG"_s, u"spare"_s } } << false;
    QTest::newRow("one field") << "7" << QList<QStringList> { { u"7"_s, u"LG"_s, {} } } << false;
    QTest::newRow("model trimmed") << "1~a~ OLEVIA " << QList<QStringList> { { u"1"_s, u"OLEVIA"_s, u"a"_s } } << false;
}

void TestInventory::packing()
{
    QFETCH(QString, packed);
    QFETCH(QList<QStringList>, rows);
    QFETCH(bool, bothWays);

    QList<PortEntry> entries;
    for (const QStringList &row : rows)
        entries.append(PortEntry { row.at(0), row.at(1), row.at(2) });
    QCOMPARE(unpackPorts(packed), entries);
    if (bothWays)
        QCOMPARE(packPorts(entries), packed);

    // Showing the group puts the same rows into the port table.
    Editing editing;
    editing.inventory.loadGroups({ { u"G"_s, {}, packed } });
    QCOMPARE(editing.inventory.ports().allRows(), rows);
}

void TestInventory::addGroup_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("name") << QStringList {} << true << std::optional(u"Lobby"_s) << QStringList { u"Lobby"_s };
    QTest::newRow("name trimmed") << QStringList {} << true << std::optional(u"  Lobby "_s)
                                  << QStringList { u"Lobby"_s };
    QTest::newRow("blanks give an empty name")
        << QStringList {} << true << std::optional(u"   "_s) << QStringList { {} };
    QTest::newRow("empty answer") << QStringList { u"A"_s } << true << std::optional(QString())
                                  << QStringList { u"A"_s };
    QTest::newRow("cancelled") << QStringList { u"A"_s } << true << std::optional<QString>() << QStringList { u"A"_s };
    QTest::newRow("offered text taken") << QStringList { u"A"_s } << false << std::optional<QString>()
                                        << QStringList { u"A"_s };
    QTest::newRow("same name twice") << QStringList { u"Lobby"_s } << true << std::optional(u"Lobby"_s)
                                     << QStringList { u"Lobby"_s, u"Lobby"_s };
}

void TestInventory::addGroup()
{
    QFETCH(QStringList, existing);
    QFETCH(bool, typed);
    QFETCH(std::optional<QString>, answer);
    QFETCH(QStringList, names);

    Editing editing;
    for (const QString &name : existing) {
        QVERIFY(editing.addGroup(name));
        QVERIFY(editing.addPort(u"1"_s));
    }
    editing.prompts.messages.clear();
    QSignalSpy madeCurrent(&editing.inventory, &Inventory::groupRowMadeCurrent);
    const int selectedBefore = editing.inventory.selectedGroupRow();

    // Without a planned answer the input box gives back the text it offered.
    if (typed)
        editing.prompts.plannedTexts.append(answer);
    const bool added = editing.inventory.addGroup();

    const PromptMessage inputBox { u"Please enter a group name."_s, PromptIcon::None, PromptButtons::Ok,
                                   u"Group Name"_s };
    QCOMPARE(editing.prompts.messages, QList<PromptMessage> { inputBox });
    QCOMPARE(editing.groupNames(), names);
    QCOMPARE(added, names.size() > existing.size());
    if (!added) {
        QCOMPARE(editing.inventory.selectedGroupRow(), selectedBefore);
        QCOMPARE(madeCurrent.size(), 0);
        return;
    }
    // The new group is the current one, with no ports.
    QCOMPARE(editing.inventory.selectedGroupRow(), names.size());
    QCOMPARE(madeCurrent.constLast().at(0).toInt(), names.size());
    QCOMPARE(editing.inventory.ports().rowCount(), 0);
    QCOMPARE(editing.packed(int(names.size())), QString());
}

// Each row: what the operator does, with or without a group and port in place, and the one message.
void TestInventory::refusals_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("withGroup");
    QTest::addColumn<QString>("text"); // the group name, or the port text with the note "n"
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");

    const int none = int(PromptIcon::None);
    QTest::newRow("add port before any group") << "add port" << false << "1"
                                               << ""
                                               << "Please add a group before adding any COM." << none;
    QTest::newRow("update port before any group") << "update port" << false << "1"
                                                  << ""
                                                  << "Please add a group before update any COM." << none;
    QTest::newRow("add port without port") << "add port" << true << ""
                                           << "n"
                                           << "Please enter/select a COM port." << none;
    QTest::newRow("update port without port") << "update port" << true << ""
                                              << "n"
                                              << "Please enter/select a COM port." << none;

    const int exclamation = int(PromptIcon::Exclamation);
    for (const QString &separator : { u"%"_s, u"~"_s, u"`"_s }) {
        const QString tail = u" cannot contain the character \""_s + separator + u"\"."_s;
        QTest::addRow("group name with %s", qPrintable(separator))
            << "add group" << true << u"Hall "_s + separator + u" 2"_s << "" << u"The group name"_s + tail
            << exclamation;
        for (const QString &action : { u"add port"_s, u"update port"_s }) {
            QTest::addRow("%s with %s in the port", qPrintable(action), qPrintable(separator))
                << action << true << u"1"_s + separator << "n" << u"The COM port"_s + tail << exclamation;
            QTest::addRow("%s with %s in the note", qPrintable(action), qPrintable(separator))
                << action << true << "1" << u"left"_s + separator + u"side"_s << u"The note"_s + tail << exclamation;
        }
    }
}

void TestInventory::refusals()
{
    QFETCH(QString, action);
    QFETCH(bool, withGroup);
    QFETCH(QString, text);
    QFETCH(QString, note);
    QFETCH(QString, message);
    QFETCH(int, icon);

    Editing editing;
    if (withGroup) {
        QVERIFY(editing.addGroup(u"Lobby"_s));
        QVERIFY(editing.addPort(u"1"_s, u"OLEVIA"_s, u"left"_s));
        editing.inventory.portRowClicked(1);
    }
    const QList<QStringList> groupsBefore = editing.inventory.groupRows();
    const QList<QStringList> portsBefore = editing.inventory.ports().allRows();
    editing.prompts.messages.clear();

    bool changed = true;
    if (action == u"add group")
        changed = editing.addGroup(text);
    else if (action == u"add port")
        changed = editing.inventory.addPort({ text, u"LG"_s, note });
    else
        changed = editing.inventory.updatePort({ text, u"LG"_s, note });

    QVERIFY(!changed);
    const PromptMessage expected { message, PromptIcon(icon), PromptButtons::Ok, u"Vantiro"_s };
    QCOMPARE(editing.prompts.messages.constLast(), expected);
    QCOMPARE(editing.prompts.messages.size(), action == u"add group" ? 2 : 1);
    QCOMPARE(editing.inventory.groupRows(), groupsBefore);
    QCOMPARE(editing.inventory.ports().allRows(), portsBefore);
    QCOMPARE(editing.inventory.selectedPortRow(), withGroup ? 1 : 0);
}

// Each row: the editor texts of the ports added, one per line (port, model, note), and the packed text.
void TestInventory::portsArePackedIntoTheGroup_data()
{
    QTest::addColumn<QList<QStringList>>("added");
    QTest::addColumn<QString>("packed");

    QTest::newRow("two ports") << QList<QStringList> { { u"1"_s, u"LG"_s, u"left"_s },
                                                       { u"2"_s, u"OLEVIA"_s, u"right"_s } }
                               << "1~left~LG`2~right~OLEVIA";
    QTest::newRow("port 3 twice") << QList<QStringList> { { u"3"_s, u"LG"_s, {} }, { u"3"_s, u"LG"_s, {} } }
                                  << "3~~LG`3~~LG";
    QTest::newRow("editor texts trimmed")
        << QList<QStringList> { { u" 4 "_s, u" HYUNDAI-D525ML "_s, u" spare "_s } } << "4~spare~HYUNDAI-D525ML";
    QTest::newRow("port of blanks stored empty") << QList<QStringList> { { u"  "_s, u"LG"_s, u"x"_s } } << "~x~LG";
}

void TestInventory::portsArePackedIntoTheGroup()
{
    QFETCH(QList<QStringList>, added);
    QFETCH(QString, packed);

    Editing editing;
    QVERIFY(editing.addGroup(u"Other"_s));
    QVERIFY(editing.addPort(u"9"_s));
    QVERIFY(editing.addGroup(u"Lobby"_s));
    for (const QStringList &editor : added)
        QVERIFY(editing.addPort(editor.at(0), editor.at(1), editor.at(2)));

    QCOMPARE(editing.inventory.ports().rowCount(), added.size());
    QCOMPARE(editing.packed(2), packed);
    QCOMPARE(editing.packed(1), u"9~~LG"_s);
    QVERIFY(editing.prompts.messages.size() == 2); // the two input boxes only
    QCOMPARE(editing.busy.depth, 0);
    QVERIFY(editing.busy.timesShown > added.size());

    // Back and forth between the groups shows each its own ports.
    editing.inventory.currentGroupChanged(1);
    QCOMPARE(editing.inventory.ports().allRows(), QList<QStringList>({ { u"9"_s, u"LG"_s, {} } }));
    editing.inventory.currentGroupChanged(2);
    QCOMPARE(packPorts(editing.inventory.portEntries()), packed);
}

// Each row: how the port row was chosen (0: not at all), and the packed text after "Update".
void TestInventory::updateChangesOnlyTheSelectedRow_data()
{
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("packed");

    QTest::newRow("second of three clicked") << 2 << 0 << "1~a~LG`7~new~OLEVIA`3~c~LG";
    QTest::newRow("second of three by keyboard") << 0 << 2 << "1~a~LG`7~new~OLEVIA`3~c~LG";
    QTest::newRow("last row") << 3 << 0 << "1~a~LG`2~b~LG`7~new~OLEVIA";
    QTest::newRow("no row chosen") << 0 << 0 << "1~a~LG`2~b~LG`3~c~LG";
    QTest::newRow("row that does not exist") << 4 << 0 << "1~a~LG`2~b~LG`3~c~LG";
}

void TestInventory::updateChangesOnlyTheSelectedRow()
{
    QFETCH(int, clicked);
    QFETCH(int, current);
    QFETCH(QString, packed);

    Editing editing;
    editing.inventory.loadGroups({ { u"Lobby"_s, {}, u"1~a~LG`2~b~LG`3~c~LG"_s } });
    editing.inventory.portRowClicked(clicked);
    editing.inventory.currentPortChanged(current);

    QVERIFY(editing.inventory.updatePort({ u" 7"_s, u"OLEVIA"_s, u"new "_s }));
    QCOMPARE(editing.packed(1), packed);
    QCOMPARE(packPorts(editing.inventory.portEntries()), packed);
    QVERIFY(editing.prompts.messages.isEmpty());
}

void TestInventory::removingTheOnlyPortEmptiesTheGroup()
{
    Editing editing;
    QVERIFY(editing.addGroup(u"Lobby"_s));
    QVERIFY(editing.addGroup(u"Hall"_s));
    QVERIFY(editing.addPort(u"1"_s));
    QVERIFY(!editing.inventory.removePort()); // no port row chosen yet
    QCOMPARE(editing.packed(2), u"1~~LG"_s);

    QSignalSpy cleared(&editing.inventory, &Inventory::portSelectionCleared);
    editing.inventory.portRowClicked(1);
    QVERIFY(editing.inventory.removePort());
    QCOMPARE(cleared.size(), 1);
    QCOMPARE(editing.inventory.selectedPortRow(), 0);
    QCOMPARE(editing.inventory.ports().rowCount(), 0);
    QCOMPARE(editing.packed(2), QString());

    editing.inventory.currentGroupChanged(1);
    editing.inventory.currentGroupChanged(2);
    QCOMPARE(editing.inventory.ports().rowCount(), 0);
}

// Each row: how many groups (named G1, G2 ... with one port each whose note is the name), which one is
// removed, and the group shown afterwards.
void TestInventory::selectionAfterRemovingGroup_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("removed");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("shown");

    QTest::newRow("first of three") << 3 << 1 << 1 << "G2";
    QTest::newRow("middle of three") << 3 << 2 << 2 << "G3";
    QTest::newRow("last of three") << 3 << 3 << 2 << "G2";
    QTest::newRow("only group") << 1 << 1 << 0 << "";
}

void TestInventory::selectionAfterRemovingGroup()
{
    QFETCH(int, count);
    QFETCH(int, removed);
    QFETCH(int, selected);
    QFETCH(QString, shown);

    Editing editing;
    for (int group = 1; group <= count; ++group) {
        const QString name = u"G%1"_s.arg(group);
        QVERIFY(editing.addGroup(name));
        QVERIFY(editing.addPort(QString::number(group), u"LG"_s, name));
    }
    editing.inventory.currentGroupChanged(removed);
    editing.inventory.portRowClicked(1);

    // A view moves its current row while the row goes; what it reports then must not win.
    TextTableModel &groups = editing.inventory.groups();
    QObject::connect(&groups, &TextTableModel::rowsAboutToBeRemoved, &groups,
                     [&](const QModelIndex &, int first) { editing.inventory.currentGroupChanged(first); });
    QSignalSpy madeCurrent(&editing.inventory, &Inventory::groupRowMadeCurrent);

    QVERIFY(editing.inventory.removeGroup());
    QCOMPARE(editing.inventory.groups().rowCount(), count - 1);
    QCOMPARE(editing.inventory.selectedGroupRow(), selected);
    QCOMPARE(editing.inventory.selectedPortRow(), 0);
    // The view is told once, with the final row.
    QCOMPARE(madeCurrent.size(), 1);
    QCOMPARE(madeCurrent.constLast().at(0).toInt(), selected);
    QCOMPARE(editing.inventory.groups().cell(selected - 1, groupNameColumn), shown);
    const QList<QStringList> ports
        = shown.isEmpty() ? QList<QStringList> {} : QList<QStringList> { { shown.mid(1), u"LG"_s, shown } };
    QCOMPARE(editing.inventory.ports().allRows(), ports);

    if (count == 1)
        QVERIFY(!editing.inventory.removeGroup()); // nothing left to remove
}

void TestInventory::loadShowsFirstGroup()
{
    Editing editing;
    QVERIFY(editing.addGroup(u"Before"_s));
    editing.inventory.loadGroups({ { u"Lobby"_s, {}, u"1~a~OLEVIA`5~spare"_s }, { u"Hall"_s, {}, u"2~b~LG"_s } });
    QCOMPARE(editing.groupNames(), QStringList({ u"Lobby"_s, u"Hall"_s }));
    QCOMPARE(editing.inventory.selectedGroupRow(), 1);
    QCOMPARE(editing.inventory.ports().allRows(),
             QList<QStringList>({ { u"1"_s, u"OLEVIA"_s, u"a"_s }, { u"5"_s, u"LG"_s, u"spare"_s } }));

    editing.inventory.loadGroups({});
    QCOMPARE(editing.inventory.selectedGroupRow(), 0);
    QCOMPARE(editing.inventory.ports().rowCount(), 0);
    QVERIFY(!editing.addPort(u"1"_s));
}

// Each row: the model text of a port row, the model list entry the editor selects, and the row's model
// after "Update" with the editor left as filled.
void TestInventory::editorShowsThePortRow_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("afterUpdate");

    QTest::newRow("LG") << "LG" << 0 << "LG";
    QTest::newRow("OLEVIA") << "OLEVIA" << 1 << "OLEVIA";
    QTest::newRow("olevia") << "olevia" << 1 << "OLEVIA";
    QTest::newRow("HYUNDAI-Vvuon") << "HYUNDAI-Vvuon" << 2 << "HYUNDAI-Vvuon";
    QTest::newRow("HYUNDAI-D525ML") << "HYUNDAI-D525ML" << 3 << "HYUNDAI-D525ML";
    QTest::newRow("hyundai-d525ml") << "hyundai-d525ml" << 3 << "HYUNDAI-D525ML";
    QTest::newRow("HYUNDAI") << "HYUNDAI" << 2 << "HYUNDAI-Vvuon";
    QTest::newRow("Hyundai") << "Hyundai" << 2 << "HYUNDAI-Vvuon";
    QTest::newRow("unknown model") << "Samsung" << 0 << "LG";
    QTest::newRow("no model") << "" << 0 << "LG";
}

void TestInventory::editorShowsThePortRow()
{
    QFETCH(QString, model);
    QFETCH(int, entry);
    QFETCH(QString, afterUpdate);

    Editing editing;
    editing.inventory.loadGroups({ { u"Lobby"_s, {}, u"1~a~LG`7~spare~"_s + model } });
    QSignalSpy filled(&editing.inventory, &Inventory::portEditorFilled);
    editing.inventory.currentPortChanged(2);

    QCOMPARE(filled.size(), 1);
    QCOMPARE(filled.at(0).at(0).toString(), u"7"_s);
    QCOMPARE(filled.at(0).at(1).toInt(), entry);
    QCOMPARE(filled.at(0).at(2).toString(), u"spare"_s);
    QCOMPARE(modelEntryForPortModel(model), entry);

    // The window selects that entry; "Update" then writes the list's text back.
    QVERIFY(editing.inventory.updatePort({ u"7"_s, displayModelNames().at(entry), u"spare"_s }));
    QCOMPARE(editing.packed(1), u"1~a~LG`7~spare~"_s + afterUpdate);
}

void TestInventory::modelsStayConsistent()
{
    Editing editing;
    QAbstractItemModelTester groupsTester(&editing.inventory.groups(),
                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester portsTester(&editing.inventory.ports(),
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(editing.inventory.groups().headerData(2, Qt::Horizontal).toString(), u"COM Settings"_s);
    QCOMPARE(editing.inventory.ports().headerData(0, Qt::Horizontal).toString(), u"COM Port"_s);

    editing.inventory.loadGroups({ { u"Lobby"_s, u"front"_s, u"1~a~LG`2~b~OLEVIA"_s } });
    QVERIFY(editing.addGroup(u"Hall"_s));
    QVERIFY(editing.addPort(u"3"_s));
    QVERIFY(editing.addPort(u"4"_s));
    editing.inventory.portRowClicked(1);
    QVERIFY(editing.inventory.updatePort({ u"5"_s, u"LG"_s, {} }));
    QVERIFY(editing.inventory.removePort());
    editing.inventory.currentGroupChanged(1);
    QVERIFY(editing.inventory.removeGroup());
    QVERIFY(editing.inventory.removeGroup());
    QCOMPARE(editing.inventory.groups().rowCount(), 0);
}

void TestInventory::sixtyPortsSurviveSaveAndLoad()
{
    Editing editing;
    QVERIFY(editing.addGroup(u"Wall"_s));
    for (int port = 1; port <= 60; ++port)
        QVERIFY(editing.addPort(QString::number(port), displayModelNames().at(port % 4), u"screen %1"_s.arg(port)));

    QVERIFY(editing.packed(1).size() > 1023); // longer than older versions could read back

    vantiro::test::TempAppFolder folder;
    const QString path = folder.filePath(u"Settings.ini"_s);
    SettingsContents contents;
    contents.groupRows = editing.inventory.groupRows();
    QVERIFY(saveSettingsFile(path, contents).ok);

    Editing restarted;
    restarted.inventory.loadGroups(loadSettingsFile(path).groupRows.value_or(QList<QStringList> {}));
    QCOMPARE(restarted.inventory.ports().rowCount(), 60);
    QCOMPARE(restarted.inventory.ports().allRows(), editing.inventory.ports().allRows());
    QCOMPARE(restarted.inventory.ports().cell(59, portModelColumn), u"LG"_s);
}

QTEST_APPLESS_MAIN(TestInventory)
#include "test_inventory.moc"
