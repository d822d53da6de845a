#include "app/main_window.h"
#include "fake_tray_icon.h"
#include "inventory/inventory.h"
#include "manual_clock.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"
#include "window_controls.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

using Rows = QList<QStringList>;

const QByteArray fourModels = "1~left~LG`2~right~OLEVIA`3~back~HYUNDAI-D525ML`4~side~HYUNDAI-Vvuon";

using test::rowsOf;

QStringList columnOf(const QAbstractItemModel *model, int column)
{
    QStringList cells;
    for (const QStringList &row : rowsOf(model))
        cells << row.at(column);
    return cells;
}

QByteArray groupsFile(const QList<QByteArray> &records)
{
    QByteArray text = "[GROUP_SETTINGS]\r\nGroups=" + QByteArray::number(records.size()) + "\r\n";
    for (int i = 0; i < records.size(); ++i)
        text += QByteArray::number(i + 1) + '=' + records.at(i) + "\r\n";
    return text;
}

} // namespace

class TestInventoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void savedInventoryComesBackInANewWindow();
    void hugeValuesShowCutButSaveWhole();
    void failedSaveReportsAndWritesNothing();
    void previousSettingsThatCannotBeKeptAreLogged();
    void editingButtonsRefuse_data();
    void editingButtonsRefuse();
    void selectionFollowsTheRemovedGroup_data();
    void selectionFollowsTheRemovedGroup();
    void clickingAPortRowFillsTheEditor_data();
    void clickingAPortRowFillsTheEditor();

private:
    template<typename T> T *child(const QString &name) const { return test::control<T>(m_window.get(), name); }
    const QAbstractItemModel *modelOf(const QString &view) const { return child<QAbstractItemView>(view)->model(); }
    QString text(const QString &field) const { return child<QLineEdit>(field)->text(); }
    bool openWindow(const QString &folder);
    void click(const QString &button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    bool clickRow(const QString &view, int row);
    void addPort(const QString &port, const QString &model, const QString &note);

    std::unique_ptr<test::TempAppFolder> m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    test::ManualClock m_clock;
    std::unique_ptr<test::FakeTrayIcon> m_tray;
    std::unique_ptr<frmMain> m_window; // last, so it goes first
};

void TestInventoryWindow::init()
{
    m_window.reset();
    m_folder = std::make_unique<test::TempAppFolder>();
    m_prompts = {};
    m_busy = {};
    m_tray = std::make_unique<test::FakeTrayIcon>();
}

// Shown, with the deferred settings load done.
bool TestInventoryWindow::openWindow(const QString &folder)
{
    m_window = std::make_unique<frmMain>(folder, MainWindowServices { &m_prompts, &m_busy, &m_clock, m_tray.get() });
    m_window->show();
    auto *startUp = child<QTimer>(u"StartUpTimer"_s);
    if (!QTest::qWaitFor([startUp] { return !startUp->isActive(); }))
        return false;
    // A file with schedule rows starts them in the tray; back from there and stopped, it can be edited.
    if (m_window->scheduleRunner().isRunning()) {
        m_tray->doubleClick();
        click(u"btnStop"_s);
    }
    return QTest::qWaitForWindowExposed(m_window.get());
}

bool TestInventoryWindow::clickRow(const QString &view, int row)
{
    auto *table = child<QTableView>(view);
    const QPoint centre = table->visualRect(table->model()->index(row, 0)).center();
    if (!table->viewport()->rect().contains(centre))
        return false;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centre);
    return true;
}

void TestInventoryWindow::addPort(const QString &port, const QString &model, const QString &note)
{
    child<QComboBox>(u"cboLCD"_s)->setCurrentText(model);
    auto *ports = child<QComboBox>(u"cboCOM"_s);
    ports->lineEdit()->clear();
    QTest::keyClicks(ports, port);
    QTest::keyClick(ports, Qt::Key_Return);
    child<QLineEdit>(u"txtNote"_s)->setText(note);
    click(u"btnAddCOM"_s);
}

void TestInventoryWindow::savedInventoryComesBackInANewWindow()
{
    // A group note and a schedule row only come from a file; the window's save must keep them.
    m_folder->writeFile(u"Settings.ini"_s,
                        groupsFile({ "Lobby%front wall%" })
                            + "[SCHEDULE_SETTINGS]\r\nSchedules=1\r\n"
                              "1=Lobby`03/25/2009`12/31/2009`08:00:00`18:00:00`0111110`Monitors ON\r\n");
    const auto lineSettings = [this] {
        QStringList texts;
        for (int i = 0; i < 4; ++i)
            texts << child<QComboBox>(u"CbPortSet_%1"_s.arg(i))->currentText();
        return texts;
    };
    // The entries of the port list (the ports an all-port send goes to) and of the baud rate list.
    const auto listEntries = [this] {
        return QList<QStringList> { columnOf(child<QComboBox>(u"cboCOM"_s)->model(), 0),
                                    columnOf(child<QComboBox>(u"CbPortSet_0"_s)->model(), 0) };
    };
    QVERIFY(openWindow(m_folder->path()));
    QCOMPARE(lineSettings(), QStringList({ u"9600"_s, u"n"_s, u"8"_s, u"1"_s })); // none in the file
    const QList<QStringList> entries = listEntries();
    addPort(u"1"_s, u"LG"_s, u"left"_s);
    addPort(u"2"_s, u"OLEVIA"_s, u"right"_s);
    addPort(u"3"_s, u"LG"_s, u"spare"_s);
    QVERIFY(clickRow(u"iPort"_s, 1));
    child<QLineEdit>(u"txtNote"_s)->setText(u"right wall"_s);
    click(u"btnEditCOM"_s);
    QVERIFY(clickRow(u"iPort"_s, 2));
    click(u"cmdRemoveCOM"_s);
    m_prompts.plannedTexts = { u"  Hall  "_s };
    click(u"btnAddGroup"_s);
    addPort(u"41"_s, u"HYUNDAI-D525ML"_s, {}); // not one of the port list's entries
    addPort(u"5"_s, u"HYUNDAI-Vvuon"_s, u"door"_s);

    // The command port frame last: choosing models above rewrites it.
    child<QLineEdit>(u"txtMonitorOnCommand"_s)->setText(u" 41 42 43 "_s);
    child<QLineEdit>(u"txtMonitorOffCommand"_s)->setText(u"44 45"_s);
    auto *baud = child<QComboBox>(u"CbPortSet_0"_s);
    baud->lineEdit()->clear();
    QTest::keyClicks(baud, u"4800"_s); // not one of the list's entries
    QTest::keyClick(baud, Qt::Key_Return);
    const QStringList typedLineSettings { u"4800"_s, u"e"_s, u"7"_s, u"2"_s };
    for (int i = 1; i < 4; ++i)
        child<QComboBox>(u"CbPortSet_%1"_s.arg(i))->setCurrentText(typedLineSettings.at(i));
    QCOMPARE(listEntries(), entries); // typed values are used as typed, not added to the lists
    m_prompts.messages.clear();
    click(u"btnSave"_s);
    QCOMPARE(m_prompts.messages, QList<PromptMessage>({ PromptMessage { u"Settings saved."_s } }));

    m_window.reset();
    const int shownBefore = m_busy.timesShown;
    QVERIFY(openWindow(m_folder->path()));
    QCOMPARE(m_busy.depth, 0);
    QVERIFY(m_busy.timesShown > shownBefore);
    QCOMPARE(rowsOf(modelOf(u"iGroup"_s)),
             Rows({ { u"Lobby"_s, u"front wall"_s, u"1~left~LG`2~right wall~OLEVIA"_s },
                    { u"Hall"_s, QString(), u"41~~HYUNDAI-D525ML`5~door~HYUNDAI-Vvuon"_s } }));
    QCOMPARE(child<QTableView>(u"iGroup"_s)->currentIndex().row(), 0);
    QCOMPARE(rowsOf(modelOf(u"iPort"_s)),
             Rows({ { u"1"_s, u"LG"_s, u"left"_s }, { u"2"_s, u"OLEVIA"_s, u"right wall"_s } }));
    QCOMPARE(text(u"txtMonitorOnCommand"_s), u"41 42 43"_s);
    QCOMPARE(text(u"txtMonitorOffCommand"_s), u"44 45"_s);
    QCOMPARE(lineSettings(), typedLineSettings);
    QCOMPARE(rowsOf(modelOf(u"lvScheduler"_s)),
             Rows({ { u"Lobby"_s, u"03/25/2009"_s, u"12/31/2009"_s, u"08:00:00"_s, u"18:00:00"_s, u"N,M,T,W,Th,F,N"_s,
                      u"Monitors ON"_s } }));
    QCOMPARE(m_prompts.messages.size(), 1); // only the first window's "saved"
}

// A cell of megabytes would stall the window while laid out: the tables show its start, while the
// editor, an update and the save keep every character.
void TestInventoryWindow::hugeValuesShowCutButSaveWhole()
{
    const QByteArray groupNote = QByteArray("wall ").repeated(40000);
    const QByteArray portNote = QByteArray("screen ").repeated(30000);
    m_folder->writeFile(u"Settings.ini"_s, groupsFile({ "Lobby%" + groupNote + "%1~" + portNote + "~LG" }));
    QVERIFY(openWindow(m_folder->path()));
    const auto shown = [this](const QString &view, int column) {
        return modelOf(view)->index(0, column).data().toString();
    };
    for (const QString &cell : { shown(u"iGroup"_s, 1), shown(u"iPort"_s, 2) }) {
        QVERIFY2(cell.size() <= 500, qPrintable(QString::number(cell.size())));
        QVERIFY(cell.endsWith(u'\u2026'));
    }
    QVERIFY(groupNote.startsWith(shown(u"iGroup"_s, 1).chopped(1).toLatin1()));

    QVERIFY(clickRow(u"iPort"_s, 0));
    QCOMPARE(text(u"txtNote"_s).toLatin1(), portNote);
    click(u"btnEditCOM"_s);
    click(u"btnSave"_s);
    const QByteArray record = "\r\n1=Lobby%" + groupNote.trimmed() + "%1~" + portNote.trimmed() + "~LG\r\n";
    QVERIFY(m_folder->readFile(u"Settings.ini"_s).contains(record));
}

void TestInventoryWindow::failedSaveReportsAndWritesNothing()
{
    // A folder in the file's place cannot be written over, not even by root.
    const QDir root(m_folder->path());
    QVERIFY(root.mkdir(u"Settings.ini"_s));
    QVERIFY(openWindow(root.path()));
    const int shownBefore = m_busy.timesShown;
    click(u"btnSave"_s);
    // Told at start that the file cannot be read, asked before replacing it (Enter keeps it), then told why it
    // failed.
    QCOMPARE(m_prompts.messages.size(), 3);
    QCOMPARE(m_prompts.messages.at(1).defaultAnswer, PromptAnswer::No);
    const PromptMessage failed = m_prompts.messages.last();
    QVERIFY2(failed.text.startsWith(u"Failed saving the settings.\n\n"_s) && failed.icon == PromptIcon::Exclamation
                 && failed.title == u"Error"_s,
             qPrintable(failed.text));
    // No file beside the settings but the daily log's folder.
    QCOMPARE(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({ u"logs"_s, u"Settings.ini"_s }));
    QVERIFY(QDir(root.filePath(u"Settings.ini"_s)).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    QCOMPARE(m_busy.depth, 0);
    QVERIFY(m_busy.timesShown > shownBefore);
}

// The copy of the previous file cannot be written (a folder has its name): the log says why, and the save
// goes on.
void TestInventoryWindow::previousSettingsThatCannotBeKeptAreLogged()
{
    m_folder->writeFile(u"Settings.ini"_s, groupsFile({ "Lobby%%" }));
    QVERIFY(QDir(m_folder->path()).mkdir(u"Settings.ini.bak"_s));
    QVERIFY(openWindow(m_folder->path()));
    click(u"btnSave"_s);
    QCOMPARE(m_prompts.messages, QList<PromptMessage>({ PromptMessage { u"Settings saved."_s } }));
    const QAbstractItemModel *log = modelOf(u"lstMessage"_s);
    const QString logged = log->index(log->rowCount() - 1, 0).data().toString();
    QVERIFY2(logged.contains(m_folder->filePath(u"Settings.ini.bak"_s))
                 && logged.contains(QString::fromLocal8Bit(std::strerror(EISDIR))),
             qPrintable(logged));
}

// Each row: with group Lobby (port 1, that row clicked) or none, a button pressed with the editor's port (for
// the group "Add": the name entered) and note, and the message shown.
void TestInventoryWindow::editingButtonsRefuse_data()
{
    QTest::addColumn<bool>("withGroup");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("note");
    QTest::addColumn<PromptMessage>("message");

    const auto refused = [](const QString &field, const QString &separator) {
        return PromptMessage { u"The %1 cannot contain the character \"%2\"."_s.arg(field, separator),
                               PromptIcon::Exclamation };
    };
    QTest::newRow("update, no group") << false << u"btnEditCOM"_s << u"1"_s << QString()
                                      << PromptMessage { u"Please add a group before update any COM."_s };
    QTest::newRow("add port, percent in note")
        << true << u"btnAddCOM"_s << u"2"_s << u"50%"_s << refused(u"note"_s, u"%"_s);
    QTest::newRow("update, tilde in port")
        << true << u"btnEditCOM"_s << u"2~3"_s << QString() << refused(u"COM port"_s, u"~"_s);
    QTest::newRow("add port, not a COM number")
        << true << u"btnAddCOM"_s << u"abc"_s << QString()
        << PromptMessage { u"The COM port must be a whole number from 1 to 255."_s, PromptIcon::Exclamation };
    QTest::newRow("group name with grave accent")
        << true << u"btnAddGroup"_s << u"Hall`"_s << QString() << refused(u"group name"_s, u"`"_s);
}

void TestInventoryWindow::editingButtonsRefuse()
{
    QFETCH(bool, withGroup);
    QFETCH(QString, button);
    QFETCH(QString, port);
    QFETCH(QString, note);
    QFETCH(PromptMessage, message);

    if (withGroup)
        m_folder->writeFile(u"Settings.ini"_s, groupsFile({ "Lobby%%1~left~LG" }));
    QVERIFY(openWindow(m_folder->path()));
    if (withGroup)
        QVERIFY(clickRow(u"iPort"_s, 0));
    const Rows groups = rowsOf(modelOf(u"iGroup"_s));
    const Rows ports = rowsOf(modelOf(u"iPort"_s));
    QCOMPARE(groups.size(), withGroup ? 1 : 0);

    m_prompts.plannedTexts = { port };
    child<QComboBox>(u"cboCOM"_s)->setEditText(port);
    child<QLineEdit>(u"txtNote"_s)->setText(note);
    click(button);
    QList<PromptMessage> shown { message };
    if (button == u"btnAddGroup"_s)
        shown.prepend({ u"Please enter a group name."_s, PromptIcon::None, PromptButtons::Ok, u"Group Name"_s });
    QCOMPARE(m_prompts.messages, shown);
    QCOMPARE(rowsOf(modelOf(u"iGroup"_s)), groups);
    QCOMPARE(rowsOf(modelOf(u"iPort"_s)), ports);
}

void TestInventoryWindow::selectionFollowsTheRemovedGroup_data()
{
    QTest::addColumn<int>("groupCount");
    QTest::addColumn<int>("clickedRow");
    QTest::addColumn<int>("selectedAfter");
    QTest::addColumn<QStringList>("portsAfter");

    QTest::newRow("first, the next moves up") << 3 << 0 << 1 << QStringList({ u"2"_s, u"3"_s });
    QTest::newRow("middle") << 3 << 1 << 2 << QStringList({ u"4"_s });
    QTest::newRow("last, the one above") << 3 << 2 << 2 << QStringList({ u"2"_s, u"3"_s });
    QTest::newRow("only group") << 1 << 0 << 0 << QStringList();
}

void TestInventoryWindow::selectionFollowsTheRemovedGroup()
{
    QFETCH(int, groupCount);
    QFETCH(int, clickedRow);
    QFETCH(int, selectedAfter);
    QFETCH(QStringList, portsAfter);

    const QList<QByteArray> groups { "Lobby%%1~a~LG", "Hall%%2~b~LG`3~c~OLEVIA", "Yard%%4~d~LG" };
    const QList<QStringList> comPorts { { u"1"_s }, { u"2"_s, u"3"_s }, { u"4"_s } };
    m_folder->writeFile(u"Settings.ini"_s, groupsFile(groups.mid(0, groupCount)));
    QVERIFY(openWindow(m_folder->path()));
    QVERIFY(clickRow(u"iGroup"_s, clickedRow));
    QCOMPARE(columnOf(modelOf(u"iPort"_s), 0), comPorts.at(clickedRow));

    click(u"btnRemoveGroup"_s);
    QCOMPARE(modelOf(u"iGroup"_s)->rowCount(), groupCount - 1);
    QCOMPARE(m_window->inventory().selectedGroupRow(), selectedAfter);
    QCOMPARE(child<QTableView>(u"iGroup"_s)->currentIndex().row(), selectedAfter - 1);
    QCOMPARE(columnOf(modelOf(u"iPort"_s), 0), portsAfter);
}

// Each row: the port row clicked in a group of one port per model, the editor (port, model, note) and the
// "Monitor ON" command it shows afterwards.
void TestInventoryWindow::clickingAPortRowFillsTheEditor_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("editor");
    QTest::addColumn<QString>("monitorOn");

    QTest::newRow("LG") << 0 << QStringList({ u"1"_s, u"LG"_s, u"left"_s }) << u"6B 61 20 30 31 20 30 31 0D"_s;
    QTest::newRow("OLEVIA") << 1 << QStringList({ u"2"_s, u"OLEVIA"_s, u"right"_s }) << u"BE 05 25 08 F0"_s;
    QTest::newRow("HYUNDAI-D525ML") << 2 << QStringList({ u"3"_s, u"HYUNDAI-D525ML"_s, u"back"_s })
                                    << u"64 69 64 3A 61 6C 6C 2D 70 6E 2E"_s;
    QTest::newRow("HYUNDAI-Vvuon") << 3 << QStringList({ u"4"_s, u"HYUNDAI-Vvuon"_s, u"side"_s })
                                   << u"40 4B 45 59 3A 30 0D"_s;
}

void TestInventoryWindow::clickingAPortRowFillsTheEditor()
{
    QFETCH(int, row);
    QFETCH(QStringList, editor);
    QFETCH(QString, monitorOn);

    m_folder->writeFile(u"Settings.ini"_s, groupsFile({ "Lobby%%" + fourModels }));
    QVERIFY(openWindow(m_folder->path()));
    // Whatever the operator left in the editor and the command port frame is replaced.
    child<QComboBox>(u"cboCOM"_s)->setEditText(u"39"_s);
    child<QLineEdit>(u"txtMonitorOnCommand"_s)->setText(u"41"_s);

    QVERIFY(clickRow(u"iPort"_s, row));
    QCOMPARE(QStringList({ child<QComboBox>(u"cboCOM"_s)->currentText(), child<QComboBox>(u"cboLCD"_s)->currentText(),
                           text(u"txtNote"_s) }),
             editor);
    QCOMPARE(text(u"txtMonitorOnCommand"_s), monitorOn);
    QCOMPARE(m_window->inventory().selectedPortRow(), row + 1);

    // "Update" with the editor as filled leaves the row and the packed group as they were.
    click(u"btnEditCOM"_s);
    QCOMPARE(rowsOf(modelOf(u"iPort"_s)).at(row), editor);
    QCOMPARE(modelOf(u"iGroup"_s)->index(0, 2).data().toString(), QString::fromLatin1(fourModels));
    QVERIFY(m_prompts.messages.isEmpty());
}

QTEST_MAIN(TestInventoryWindow)
#include "test_inventory_window.moc"
