#include "app/main_window.h"
#include "inventory/inventory.h"

#include "../app/fake_tray_icon.h"
#include "manual_clock.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QGroupBox>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

const QByteArray fourModels = "1~left~LG`2~right~OLEVIA`3~back~HYUNDAI-D525ML`4~side~HYUNDAI-Vvuon";

QList<QStringList> rowsOf(const QAbstractItemModel *model)
{
    QList<QStringList> rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        rows << cells;
    }
    return rows;
}

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

// Every entry below a folder with its contents, so a test sees anything written, replaced or left behind.
QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        const bool readable = !it.fileInfo().isDir() && file.open(QIODevice::ReadOnly);
        entries.insert(it.filePath(), readable ? file.readAll() : QByteArray("<folder>"));
    }
    return entries;
}

} // namespace

class TestInventoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void savedInventoryComesBackInANewWindow();
    void handWrittenFileFillsTheWindow();
    void failedSaveReportsAndWritesNothing_data();
    void failedSaveReportsAndWritesNothing();
    void editingButtonsRefuse_data();
    void editingButtonsRefuse();
    void selectionFollowsTheRemovedGroup_data();
    void selectionFollowsTheRemovedGroup();
    void clickingAPortRowFillsTheEditor_data();
    void clickingAPortRowFillsTheEditor();
    void typedTextStaysOutOfTheLists_data();
    void typedTextStaysOutOfTheLists();

private:
    template<typename T> T *child(const QString &name) const
    {
        auto *found = m_window->findChild<T *>(name);
        if (!found)
            qFatal("no control named %s", qPrintable(name));
        return found;
    }
    const QAbstractItemModel *modelOf(const QString &view) const { return child<QAbstractItemView>(view)->model(); }
    QString text(const QString &field) const { return child<QLineEdit>(field)->text(); }
    QStringList lineSettings() const;
    bool openWindow(const QString &folder);
    void click(const QString &button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    bool clickRow(const QString &view, int row);
    void addPort(const QString &port, const QString &model, const QString &note);

    std::unique_ptr<test::TempAppFolder> m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    test::ManualClock m_clock;
    std::unique_ptr<test::FakeTrayIcon> m_tray;
    std::unique_ptr<frmMain> m_window;
};

void TestInventoryWindow::init()
{
    m_folder = std::make_unique<test::TempAppFolder>();
    m_prompts = {};
    m_busy = {};
    m_tray = std::make_unique<test::FakeTrayIcon>();
}

void TestInventoryWindow::cleanup()
{
    m_window.reset();
    m_tray.reset();
    m_folder.reset();
}

QStringList TestInventoryWindow::lineSettings() const
{
    QStringList texts;
    for (int i = 0; i < 4; ++i)
        texts << child<QComboBox>(u"CbPortSet_%1"_s.arg(i))->currentText();
    return texts;
}

// Shown, with the deferred settings load done.
bool TestInventoryWindow::openWindow(const QString &folder)
{
    m_window = std::make_unique<frmMain>(folder, MainWindowServices { &m_prompts, &m_busy, &m_clock, m_tray.get() });
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        return false;
    auto *startUp = child<QTimer>(u"StartUpTimer"_s);
    return QTest::qWaitFor([startUp] { return !startUp->isActive(); });
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
    auto *models = child<QComboBox>(u"cboLCD"_s);
    models->setCurrentIndex(models->findText(model));
    child<QComboBox>(u"cboCOM"_s)->setEditText(port);
    child<QLineEdit>(u"txtNote"_s)->setText(note);
    click(u"btnAddCOM"_s);
}

void TestInventoryWindow::savedInventoryComesBackInANewWindow()
{
    // A group note and a schedule row only come from a file; the window's save must keep them.
    const QByteArray scheduleRow = "Lobby`03/25/2009`12/31/2009`08:00:00`18:00:00`0111110`Monitors ON";
    m_folder->writeFile(u"Settings.ini"_s,
                        groupsFile({ "Lobby%front wall%" }) + "[SCHEDULE_SETTINGS]\r\nSchedules=1\r\n1=" + scheduleRow
                            + "\r\n");
    QVERIFY(openWindow(m_folder->path()));
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
    addPort(u"12"_s, u"HYUNDAI-D525ML"_s, {});
    addPort(u"5"_s, u"HYUNDAI-Vvuon"_s, u"door"_s);

    // The command port frame last: choosing models above rewrites it.
    child<QLineEdit>(u"txtMonitorOnCommand"_s)->setText(u" 41 42 43 "_s);
    child<QLineEdit>(u"txtMonitorOffCommand"_s)->setText(u"44 45"_s);
    auto *baud = child<QComboBox>(u"CbPortSet_0"_s);
    baud->lineEdit()->clear();
    QTest::keyClicks(baud->lineEdit(), u"4800"_s); // not one of the list's entries
    const QStringList typedLineSettings { u"4800"_s, u"e"_s, u"7"_s, u"2"_s };
    for (int i = 1; i < 4; ++i) {
        auto *list = child<QComboBox>(u"CbPortSet_%1"_s.arg(i));
        list->setCurrentIndex(list->findText(typedLineSettings.at(i)));
    }
    m_prompts.messages.clear();
    click(u"btnSave"_s);
    QCOMPARE(m_prompts.messages, QList<PromptMessage>({ PromptMessage { u"Settings saved."_s } }));

    m_window.reset();
    const int shownBefore = m_busy.timesShown;
    QVERIFY(openWindow(m_folder->path()));
    QCOMPARE(m_busy.depth, 0);
    QVERIFY(m_busy.timesShown > shownBefore);
    QCOMPARE(rowsOf(modelOf(u"iGroup"_s)),
             QList<QStringList>({ { u"Lobby"_s, u"front wall"_s, u"1~left~LG`2~right wall~OLEVIA"_s },
                                  { u"Hall"_s, QString(), u"12~~HYUNDAI-D525ML`5~door~HYUNDAI-Vvuon"_s } }));
    QCOMPARE(rowsOf(modelOf(u"iPort"_s)),
             QList<QStringList>({ { u"1"_s, u"LG"_s, u"left"_s }, { u"2"_s, u"OLEVIA"_s, u"right wall"_s } }));
    QCOMPARE(text(u"txtMonitorOnCommand"_s), u"41 42 43"_s);
    QCOMPARE(text(u"txtMonitorOffCommand"_s), u"44 45"_s);
    QCOMPARE(lineSettings(), typedLineSettings);
    QCOMPARE(rowsOf(modelOf(u"lvScheduler"_s)),
             QList<QStringList>({ { u"Lobby"_s, u"03/25/2009"_s, u"12/31/2009"_s, u"08:00:00"_s, u"18:00:00"_s,
                                    u"N,M,T,W,Th,F,N"_s, u"Monitors ON"_s } }));
    QVERIFY(clickRow(u"iGroup"_s, 1));
    QCOMPARE(
        rowsOf(modelOf(u"iPort"_s)),
        QList<QStringList>({ { u"12"_s, u"HYUNDAI-D525ML"_s, QString() }, { u"5"_s, u"HYUNDAI-Vvuon"_s, u"door"_s } }));
    QCOMPARE(m_prompts.messages.size(), 1); // only the first window's "saved"
}

void TestInventoryWindow::handWrittenFileFillsTheWindow()
{
    m_folder->writeFile(u"Settings.ini"_s,
                        "; written by hand\r\n[serial_command_settings]\r\n monitor on = AA BB CC \r\n"
                        "MONITOR OFF=DD EE\r\nbaud rate= 19200\r\nPARITY=o\r\ndata bits =7\r\n\r\n"
                        "[Group_Settings]\r\ngroups = 3\r\n1= Lobby % front wall % 1~left~LG`2~right~OLEVIA \r\n"
                        "3=Hall%%5~door\r\n[schedule_settings]\r\nSCHEDULES=2\r\n"
                        "1=Lobby`03/25/2009`12/31/2009`08:00:00`18:00:00`1000001`Monitors ON\r\n"
                        "2=Hall`04/01/2009`04/30/2009`20:00:00`23:59:59`0111110`Monitors OFF\r\n");
    QVERIFY(openWindow(m_folder->path()));

    QCOMPARE(rowsOf(modelOf(u"iGroup"_s)),
             QList<QStringList>({ { u"Lobby"_s, u"front wall"_s, u"1~left~LG`2~right~OLEVIA"_s },
                                  { u"Hall"_s, QString(), u"5~door"_s } }));
    QCOMPARE(m_window->inventory().selectedGroupRow(), 1);
    QCOMPARE(child<QTableView>(u"iGroup"_s)->currentIndex().row(), 0);
    QCOMPARE(rowsOf(modelOf(u"iPort"_s)),
             QList<QStringList>({ { u"1"_s, u"LG"_s, u"left"_s }, { u"2"_s, u"OLEVIA"_s, u"right"_s } }));
    QCOMPARE(text(u"txtMonitorOnCommand"_s), u"AA BB CC"_s);
    QCOMPARE(text(u"txtMonitorOffCommand"_s), u"DD EE"_s);
    // No stop bits in the file: that list keeps its default.
    QCOMPARE(lineSettings(), QStringList({ u"19200"_s, u"o"_s, u"7"_s, u"1"_s }));
    const auto *schedule = modelOf(u"lvScheduler"_s);
    QCOMPARE(columnOf(schedule, 0), QStringList({ u"Lobby"_s, u"Hall"_s }));
    QCOMPARE(columnOf(schedule, 5), QStringList({ u"S,N,N,N,N,N,Sat"_s, u"N,M,T,W,Th,F,N"_s }));
    QCOMPARE(columnOf(schedule, 6), QStringList({ u"Monitors ON"_s, u"Monitors OFF"_s }));
    QVERIFY(m_prompts.messages.isEmpty());

    QVERIFY(clickRow(u"iGroup"_s, 1));
    QCOMPARE(rowsOf(modelOf(u"iPort"_s)), QList<QStringList>({ { u"5"_s, u"LG"_s, u"door"_s } }));
}

void TestInventoryWindow::failedSaveReportsAndWritesNothing_data()
{
    // Neither can be written over, not even by root.
    QTest::addColumn<bool>("loadedFirst");
    QTest::newRow("Settings.ini is a folder") << false;
    QTest::newRow("loaded folder replaced by a file") << true;
}

void TestInventoryWindow::failedSaveReportsAndWritesNothing()
{
    QFETCH(bool, loadedFirst);

    const QString root = m_folder->path();
    QVERIFY(QDir(root).mkpath(loadedFirst ? u"app"_s : u"app/Settings.ini"_s));
    if (loadedFirst)
        m_folder->writeFile(u"app/Settings.ini"_s, groupsFile({ "Lobby%front wall%1~left~LG" }));
    QVERIFY(openWindow(root + u"/app"_s));
    if (loadedFirst) {
        QCOMPARE(modelOf(u"iGroup"_s)->rowCount(), 1);
        QVERIFY(QDir(root).rename(u"app"_s, u"moved"_s));
        m_folder->writeFile(u"app"_s, "in the way\n");
    }
    const QMap<QString, QByteArray> before = snapshot(root);
    const int shownBefore = m_busy.timesShown;
    click(u"btnSave"_s);
    QCOMPARE(m_prompts.messages,
             QList<PromptMessage>({ PromptMessage { u"Failed saving the settings."_s, PromptIcon::Exclamation,
                                                    PromptButtons::Ok, u"Error"_s } }));
    QCOMPARE(snapshot(root), before);
    QCOMPARE(m_busy.depth, 0);
    QVERIFY(m_busy.timesShown > shownBefore);
}

void TestInventoryWindow::editingButtonsRefuse_data()
{
    QTest::addColumn<bool>("withGroup"); // group Lobby with port 1 (LG, "left"), that row clicked
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("port"); // for the group "Add": the name entered
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("message"); // the exact text, or for a refused character that character

    const QString noGroupForAdd = u"Please add a group before adding any COM."_s;
    const QString noPort = u"Please enter/select a COM port."_s;
    QTest::newRow("add port, no group") << false << u"btnAddCOM"_s << u"1"_s << QString() << noGroupForAdd;
    QTest::newRow("update, no group") << false << u"btnEditCOM"_s << u"1"_s << QString()
                                      << u"Please add a group before update any COM."_s;
    QTest::newRow("add port, empty port") << true << u"btnAddCOM"_s << QString() << u"new"_s << noPort;
    QTest::newRow("update, empty port") << true << u"btnEditCOM"_s << QString() << u"new"_s << noPort;
    QTest::newRow("add port, percent in note") << true << u"btnAddCOM"_s << u"2"_s << u"50%"_s << u"%"_s;
    QTest::newRow("update, tilde in port") << true << u"btnEditCOM"_s << u"2~3"_s << QString() << u"~"_s;
    QTest::newRow("update, grave accent in note") << true << u"btnEditCOM"_s << u"1"_s << u"a`b"_s << u"`"_s;
    QTest::newRow("group name with percent") << true << u"btnAddGroup"_s << u"Hall%"_s << QString() << u"%"_s;
}

void TestInventoryWindow::editingButtonsRefuse()
{
    QFETCH(bool, withGroup);
    QFETCH(QString, button);
    QFETCH(QString, port);
    QFETCH(QString, note);
    QFETCH(QString, message);

    if (withGroup)
        m_folder->writeFile(u"Settings.ini"_s, groupsFile({ "Lobby%%1~left~LG" }));
    QVERIFY(openWindow(m_folder->path()));
    if (withGroup)
        QVERIFY(clickRow(u"iPort"_s, 0));
    const QList<QStringList> groups = rowsOf(modelOf(u"iGroup"_s));
    const QList<QStringList> ports = rowsOf(modelOf(u"iPort"_s));
    QCOMPARE(groups.size(), withGroup ? 1 : 0);

    m_prompts.plannedTexts = { port };
    child<QComboBox>(u"cboCOM"_s)->setEditText(port);
    child<QLineEdit>(u"txtNote"_s)->setText(note);
    click(button);
    if (button == u"btnAddGroup"_s) {
        QVERIFY(!m_prompts.messages.isEmpty());
        QCOMPARE(
            m_prompts.messages.takeFirst(),
            PromptMessage({ u"Please enter a group name."_s, PromptIcon::None, PromptButtons::Ok, u"Group Name"_s }));
    }

    QCOMPARE(m_prompts.messages.size(), 1);
    const PromptMessage shown = m_prompts.messages.constFirst();
    const bool refusedCharacter = message.size() == 1;
    if (refusedCharacter)
        QVERIFY2(shown.text.contains(u"\"%1\""_s.arg(message)), qPrintable(shown.text));
    else
        QCOMPARE(shown.text, message);
    QCOMPARE(shown.icon, refusedCharacter ? PromptIcon::Exclamation : PromptIcon::None);
    QCOMPARE(shown.title, applicationTitle);
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
    if (selectedAfter == 0)
        return;

    // A port added now goes into the group that is shown.
    const QString packedBefore = modelOf(u"iGroup"_s)->index(selectedAfter - 1, 2).data().toString();
    addPort(u"9"_s, u"LG"_s, {});
    QCOMPARE(modelOf(u"iGroup"_s)->index(selectedAfter - 1, 2).data().toString(), packedBefore + u"`9~~LG"_s);
    QCOMPARE(columnOf(modelOf(u"iPort"_s), 0), portsAfter << u"9"_s);
}

void TestInventoryWindow::clickingAPortRowFillsTheEditor_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("editor"); // port, model, note
    QTest::addColumn<QStringList>("commandFrame"); // monitor on, monitor off, baud
    QTest::addColumn<bool>("volumeEnabled");

    QTest::newRow("LG") << 0 << QStringList({ u"1"_s, u"LG"_s, u"left"_s })
                        << QStringList({ u"6B 61 20 30 31 20 30 31 0D"_s, u"6B 61 20 30 31 20 30 30 0D"_s, u"9600"_s })
                        << true;
    QTest::newRow("OLEVIA") << 1 << QStringList({ u"2"_s, u"OLEVIA"_s, u"right"_s })
                            << QStringList({ u"BE 05 25 08 F0"_s, u"BE 05 25 08 F0"_s, u"115200"_s }) << true;
    QTest::newRow("HYUNDAI-D525ML") << 2 << QStringList({ u"3"_s, u"HYUNDAI-D525ML"_s, u"back"_s })
                                    << QStringList({ u"64 69 64 3A 61 6C 6C 2D 70 6E 2E"_s,
                                                     u"64 69 64 3A 61 6C 6C 2D 70 66 2E"_s, u"9600"_s })
                                    << false;
    QTest::newRow("HYUNDAI-Vvuon") << 3 << QStringList({ u"4"_s, u"HYUNDAI-Vvuon"_s, u"side"_s })
                                   << QStringList({ u"40 4B 45 59 3A 30 0D"_s, u"40 50 57 44 3A 30 0D"_s, u"9600"_s })
                                   << true;
}

void TestInventoryWindow::clickingAPortRowFillsTheEditor()
{
    QFETCH(int, row);
    QFETCH(QStringList, editor);
    QFETCH(QStringList, commandFrame);
    QFETCH(bool, volumeEnabled);

    m_folder->writeFile(u"Settings.ini"_s, groupsFile({ "Lobby%%" + fourModels }));
    QVERIFY(openWindow(m_folder->path()));
    // Whatever the operator left in the editor and the command port frame is replaced.
    child<QComboBox>(u"cboCOM"_s)->setEditText(u"39"_s);
    child<QLineEdit>(u"txtNote"_s)->setText(u"typed"_s);
    child<QLineEdit>(u"txtMonitorOnCommand"_s)->setText(u"41"_s);
    child<QComboBox>(u"CbPortSet_0"_s)->setEditText(u"4800"_s);

    QVERIFY(clickRow(u"iPort"_s, row));
    QCOMPARE(QStringList({ child<QComboBox>(u"cboCOM"_s)->currentText(), child<QComboBox>(u"cboLCD"_s)->currentText(),
                           text(u"txtNote"_s) }),
             editor);
    QCOMPARE(QStringList({ text(u"txtMonitorOnCommand"_s), text(u"txtMonitorOffCommand"_s), lineSettings().at(0) }),
             commandFrame);
    QCOMPARE(m_window->modelCommandSet().powerOnCommand, commandFrame.at(0));
    QCOMPARE(child<QGroupBox>(u"fraVolume"_s)->isEnabled(), volumeEnabled);
    QCOMPARE(m_window->inventory().selectedPortRow(), row + 1);

    // "Update" with the editor as filled leaves the row and the packed group as they were.
    click(u"btnEditCOM"_s);
    QCOMPARE(rowsOf(modelOf(u"iPort"_s)).at(row), editor);
    QCOMPARE(modelOf(u"iGroup"_s)->index(0, 2).data().toString(), QString::fromLatin1(fourModels));
    QVERIFY(m_prompts.messages.isEmpty());
}

// A value typed into an editable list is used as typed; the list's entries stay as they were (those of the
// port list are the ports an all-port send goes to).
void TestInventoryWindow::typedTextStaysOutOfTheLists_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("typed");
    QTest::newRow("port 41") << u"cboCOM"_s << u"41"_s;
    QTest::newRow("baud 4800") << u"CbPortSet_0"_s << u"4800"_s;
}

void TestInventoryWindow::typedTextStaysOutOfTheLists()
{
    QFETCH(QString, list);
    QFETCH(QString, typed);

    QVERIFY(openWindow(m_folder->path()));
    auto *box = child<QComboBox>(list);
    const QStringList before = columnOf(box->model(), 0);
    box->lineEdit()->clear();
    QTest::keyClicks(box, typed);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(box->currentText(), typed);
    QCOMPARE(columnOf(box->model(), 0), before);
}

QTEST_MAIN(TestInventoryWindow)
#include "test_inventory_window.moc"
