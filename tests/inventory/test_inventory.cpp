#include "commands/display_models.h"
#include "inventory/inventory.h"
#include "scripted_prompts.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

using Rows = QList<QStringList>;

// An inventory with its prompts and pointer, and the steps an operator takes.
struct Editing
{
    test::ScriptedPrompts prompts;
    test::RecordingBusyPointer busy;
    Inventory inventory { prompts, busy };

    bool addGroup(const QString &name)
    {
        prompts.plannedTexts.append(name);
        return inventory.addGroup();
    }
    QString packed(int groupRow) const { return inventory.groups().cell(groupRow - 1, groupPortsColumn); }
    Rows ports() const { return inventory.ports().allRows(); }
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
    void portEdits_data();
    void portEdits();
};

// Each row: packed text, the port rows (COM, LCD, Note) it shows, whether it is also what those rows pack to,
// and the model list entry the editor shows for the first row (-1: no row).
void TestInventory::packing_data()
{
    QTest::addColumn<QString>("packed");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<bool>("bothWays");
    QTest::addColumn<int>("entry");

    const int lg = int(DisplayModel::LG), olevia = int(DisplayModel::Olevia);
    const int vvuon = int(DisplayModel::HyundaiVvuon), d525ml = int(DisplayModel::HyundaiD525ML);
    QTest::newRow("Lobby's two ports") << u"1~left screen~LG`2~right screen~OLEVIA"_s
                                       << Rows { { u"1"_s, u"LG"_s, u"left screen"_s },
                                                 { u"2"_s, u"OLEVIA"_s, u"right screen"_s } }
                                       << true << lg;
    QTest::newRow("no ports") << QString() << Rows {} << true << -1;
    QTest::newRow("empty note and port") << u"~~HYUNDAI-Vvuon"_s << Rows { { {}, u"HYUNDAI-Vvuon"_s, {} } } << true
                                         << vvuon;
    QTest::newRow("two fields read as LG") << u"5~spare"_s << Rows { { u"5"_s, u"LG"_s, u"spare"_s } } << false << lg;
    QTest::newRow("one field") << u"7"_s << Rows { { u"7"_s, u"LG"_s, {} } } << false << lg;
    QTest::newRow("empty model") << u"7~a~"_s << Rows { { u"7"_s, {}, u"a"_s } } << true << lg;
    QTest::newRow("model trimmed") << u"1~a~ OLEVIA "_s << Rows { { u"1"_s, u"OLEVIA"_s, u"a"_s } } << false << olevia;
    QTest::newRow("olevia") << u"1~a~olevia"_s << Rows { { u"1"_s, u"olevia"_s, u"a"_s } } << true << olevia;
    QTest::newRow("hyundai-d525ml") << u"1~a~hyundai-d525ml"_s << Rows { { u"1"_s, u"hyundai-d525ml"_s, u"a"_s } }
                                    << true << d525ml;
    QTest::newRow("HYUNDAI") << u"1~a~HYUNDAI"_s << Rows { { u"1"_s, u"HYUNDAI"_s, u"a"_s } } << true << vvuon;
    QTest::newRow("Hyundai") << u"1~a~Hyundai"_s << Rows { { u"1"_s, u"Hyundai"_s, u"a"_s } } << true << vvuon;
    QTest::newRow("unknown model") << u"1~a~Samsung"_s << Rows { { u"1"_s, u"Samsung"_s, u"a"_s } } << true << lg;
}

void TestInventory::packing()
{
    QFETCH(QString, packed);
    QFETCH(Rows, rows);
    QFETCH(bool, bothWays);
    QFETCH(int, entry);

    QList<PortEntry> entries;
    for (const QStringList &row : rows)
        entries.append(PortEntry { row.at(0), row.at(1), row.at(2) });
    QCOMPARE(unpackPorts(packed), entries);
    if (bothWays)
        QCOMPARE(packPorts(entries), packed);

    // Loading replaces the groups and shows the first one's ports; choosing a row fills the editor.
    Editing editing;
    QVERIFY(editing.addGroup(u"Before"_s));
    editing.inventory.loadGroups({ { u"G"_s, {}, packed }, { u"H"_s, {}, u"9~~LG"_s } });
    QCOMPARE(editing.inventory.groupRows().size(), 2);
    QCOMPARE(editing.inventory.selectedGroupRow(), 1);
    QCOMPARE(editing.ports(), rows);
    QSignalSpy filled(&editing.inventory, &Inventory::portEditorFilled);
    editing.inventory.currentPortChanged(1);
    QCOMPARE(filled.isEmpty() ? -1 : filled.at(0).at(1).toInt(), entry);
}

// Each row: the answer to the input box with group Lobby (port 1) in place, and the group names afterwards.
void TestInventory::addGroup_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("blanks give an empty name") << std::optional(u"   "_s) << QStringList { u"Lobby"_s, {} };
    QTest::newRow("same name twice") << std::optional(u"Lobby"_s) << QStringList { u"Lobby"_s, u"Lobby"_s };
    QTest::newRow("empty answer") << std::optional(QString()) << QStringList { u"Lobby"_s };
    QTest::newRow("cancelled") << std::optional<QString>() << QStringList { u"Lobby"_s };
}

void TestInventory::addGroup()
{
    QFETCH(std::optional<QString>, answer);
    QFETCH(QStringList, names);

    Editing editing;
    QVERIFY(editing.addGroup(u"Lobby"_s));
    QVERIFY(editing.inventory.addPort({ u"1"_s, u"LG"_s, {} }));
    editing.prompts.plannedTexts.append(answer);
    const bool added = editing.inventory.addGroup();

    QStringList shownNames;
    for (const QStringList &row : editing.inventory.groupRows())
        shownNames.append(row.at(0));
    QCOMPARE(shownNames, names);
    QCOMPARE(added, names.size() == 2);
    // A new group is the current one, with no ports; otherwise Lobby stays.
    QCOMPARE(editing.inventory.selectedGroupRow(), int(names.size()));
    QCOMPARE(editing.ports(), added ? Rows {} : Rows({ { u"1"_s, u"LG"_s, {} } }));
    QCOMPARE(editing.packed(int(names.size())), added ? QString() : u"1~~LG"_s);
}

// Each row: what the operator does, with or without group Lobby (port 1 chosen) in place, and the message.
void TestInventory::refusals_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("withGroup");
    QTest::addColumn<QString>("text"); // the group name, or the port
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("message");

    QTest::newRow("add port before any group")
        << u"add port"_s << false << u"1"_s << QString() << u"Please add a group before adding any COM."_s;
    QTest::newRow("add port without port")
        << u"add port"_s << true << QString() << u"n"_s << u"Please enter/select a COM port."_s;
    QTest::newRow("add port, port of blanks")
        << u"add port"_s << true << u"  "_s << QString() << u"Please enter/select a COM port."_s;
    // A port that is no COM number would send the group's commands to another display.
    const QString notAPort = u"The COM port must be a whole number from 1 to 255."_s;
    for (const char *port : { "abc", "0", "-3", "99999", "256", "1.5" }) {
        QTest::addRow("add port %s", port)
            << u"add port"_s << true << QString::fromLatin1(port) << QString() << notAPort;
        QTest::addRow("update port %s", port)
            << u"update port"_s << true << QString::fromLatin1(port) << QString() << notAPort;
    }

    // Each separator in each kind of text; the port editor's checks are shared by "Add" and "Update".
    const auto refused = [](const QString &field, QChar separator) {
        return u"The %1 cannot contain the character \"%2\"."_s.arg(field, separator);
    };
    for (const QChar separator : { u'%', u'~', u'`' }) {
        QTest::addRow("group name with %c", separator.toLatin1())
            << u"add group"_s << true << u"Hall "_s + separator + u" 2"_s << QString()
            << refused(u"group name"_s, separator);
    }
    QTest::newRow("add port with % in the port")
        << u"add port"_s << true << u"1%"_s << QString() << refused(u"COM port"_s, u'%');
    QTest::newRow("add port with ~ in the note")
        << u"add port"_s << true << u"1"_s << u"left~side"_s << refused(u"note"_s, u'~');
    QTest::newRow("update port with ` in the port")
        << u"update port"_s << true << u"1`"_s << QString() << refused(u"COM port"_s, u'`');
    QTest::newRow("update port with % in the note")
        << u"update port"_s << true << u"1"_s << u"50%"_s << refused(u"note"_s, u'%');
}

void TestInventory::refusals()
{
    QFETCH(QString, action);
    QFETCH(bool, withGroup);
    QFETCH(QString, text);
    QFETCH(QString, note);
    QFETCH(QString, message);

    Editing editing;
    if (withGroup)
        editing.inventory.loadGroups({ { u"Lobby"_s, {}, u"1~left~OLEVIA"_s } });
    editing.inventory.portRowClicked(1);
    const Rows groupsBefore = editing.inventory.groupRows();
    const Rows portsBefore = editing.ports();

    bool changed = true;
    if (action == u"add group")
        changed = editing.addGroup(text);
    else if (action == u"add port")
        changed = editing.inventory.addPort({ text, u"LG"_s, note });
    else
        changed = editing.inventory.updatePort({ text, u"LG"_s, note });

    QVERIFY(!changed);
    const bool separator = message.startsWith(u"The ");
    const PromptMessage expected { message, separator ? PromptIcon::Exclamation : PromptIcon::None, PromptButtons::Ok,
                                   u"Vantiro"_s };
    QCOMPARE(editing.prompts.messages.constLast(), expected);
    QCOMPARE(editing.prompts.messages.size(), action == u"add group" ? 2 : 1); // after the input box
    QCOMPARE(editing.inventory.groupRows(), groupsBefore);
    QCOMPARE(editing.ports(), portsBefore);
    QCOMPARE(editing.inventory.selectedPortRow(), withGroup ? 1 : 0);
}

// Each row: the packed ports of group Lobby (shown, after group Other with port 9), the port row clicked and
// the one reached with the keyboard (0: none), the button, the editor texts (port, model, note) it is pressed
// with each time, and Lobby's packed ports afterwards.
void TestInventory::portEdits_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("button");
    QTest::addColumn<Rows>("editors");
    QTest::addColumn<QString>("after");

    const QString three = u"1~a~LG`2~b~LG`3~c~LG"_s;
    const Rows seven { { u" 7"_s, u"OLEVIA"_s, u"new "_s } };
    QTest::newRow("add port 3 twice") << QString() << 0 << 0 << u"add"_s
                                      << Rows { { u"3"_s, u"LG"_s, {} }, { u"3"_s, u"LG"_s, {} } } << u"3~~LG`3~~LG"_s;
    QTest::newRow("add, editor texts trimmed")
        << u"1~~LG"_s << 0 << 0 << u"add"_s << Rows { { u" 4 "_s, u" HYUNDAI-D525ML "_s, u" spare "_s } }
        << u"1~~LG`4~spare~HYUNDAI-D525ML"_s;
    QTest::newRow("add, highest COM port")
        << QString() << 0 << 0 << u"add"_s << Rows { { u"255"_s, u"LG"_s, u"x"_s } } << u"255~x~LG"_s;
    QTest::newRow("update the second of three, clicked")
        << three << 2 << 0 << u"update"_s << seven << u"1~a~LG`7~new~OLEVIA`3~c~LG"_s;
    QTest::newRow("update the last, by keyboard")
        << three << 0 << 3 << u"update"_s << seven << u"1~a~LG`2~b~LG`7~new~OLEVIA"_s;
    QTest::newRow("update, no row chosen") << three << 0 << 0 << u"update"_s << seven << three;
    QTest::newRow("remove the only port") << u"1~~LG"_s << 1 << 0 << u"remove"_s << Rows { {} } << QString();
    QTest::newRow("remove, no row chosen") << u"1~~LG"_s << 0 << 0 << u"remove"_s << Rows { {} } << u"1~~LG"_s;
}

void TestInventory::portEdits()
{
    QFETCH(QString, before);
    QFETCH(int, clicked);
    QFETCH(int, current);
    QFETCH(QString, button);
    QFETCH(Rows, editors);
    QFETCH(QString, after);

    Editing editing;
    editing.inventory.loadGroups({ { u"Other"_s, {}, u"9~~LG"_s }, { u"Lobby"_s, {}, before } });
    editing.inventory.currentGroupChanged(2);
    editing.inventory.portRowClicked(clicked);
    editing.inventory.currentPortChanged(current);
    QSignalSpy cleared(&editing.inventory, &Inventory::portSelectionCleared);
    for (const QStringList &texts : editors) {
        const PortEditorTexts editor { texts.value(0), texts.value(1), texts.value(2) };
        const bool changed = button == u"add"_s ? editing.inventory.addPort(editor)
            : button == u"update"_s             ? editing.inventory.updatePort(editor)
                                                : editing.inventory.removePort();
        QCOMPARE(changed, button != u"remove"_s || after != before);
    }

    QCOMPARE(editing.packed(2), after);
    QCOMPARE(packPorts(editing.inventory.portEntries()), after);
    QCOMPARE(editing.packed(1), u"9~~LG"_s);
    QVERIFY(editing.prompts.messages.isEmpty());
    QCOMPARE(editing.busy.depth, 0);
    if (button == u"remove"_s) {
        QCOMPARE(cleared.size(), after != before ? 1 : 0);
        QCOMPARE(editing.inventory.selectedPortRow(), 0);
    }
    // Back and forth between the groups shows each its own ports.
    editing.inventory.currentGroupChanged(1);
    QCOMPARE(editing.ports(), Rows({ { u"9"_s, u"LG"_s, {} } }));
    editing.inventory.currentGroupChanged(2);
    QCOMPARE(packPorts(editing.inventory.portEntries()), after);
}

QTEST_APPLESS_MAIN(TestInventory)
#include "test_inventory.moc"
