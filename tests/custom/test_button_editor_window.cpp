#include "custom/button_editor_window.h"
#include "custom/panel_button.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"
#include "window_controls.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace vantiro;

Q_DECLARE_METATYPE(vantiro::PromptAnswer)

namespace {

using Rows = QList<QStringList>;

const QByteArray twoButtons = "[LG_SERIAL_COMMANDS]\r\nON=41 42\r\n[BUTTON_SETTINGS]\r\nButton=2\r\n"
                              "1=Lobby`LG`1,9600,n,8,1\r\n2=Hall`HYUNDAI_D525ML`2,19200,e,7,2\r\n";
const QStringList lobby { u"Lobby"_s, u"LG"_s, u"1"_s, u"9600"_s, u"n"_s, u"8"_s, u"1"_s };
const QStringList hall { u"Hall"_s, u"HYUNDAI_D525ML"_s, u"2"_s, u"19200"_s, u"e"_s, u"7"_s, u"2"_s };

const PromptMessage removeQuestion { u"Remove the button?"_s, PromptIcon::None, PromptButtons::YesNo };
const PromptMessage closeQuestion { u"Settings have been changed. Do you want to save before closing?"_s,
                                    PromptIcon::None, PromptButtons::YesNo };
const PromptMessage saved { u"Saved settings."_s, PromptIcon::Information };
const PromptMessage saveFailed { u"Failed saving the settings."_s, PromptIcon::Exclamation, PromptButtons::Ok,
                                 u"Error"_s };

} // namespace

class TestButtonEditorWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void addUpdateRemoveAndSave();
    void closing_data();
    void closing();
    void entryRefusesWhatWouldNotWork_data();
    void entryRefusesWhatWouldNotWork();

private:
    template<typename T> T *child(const QString &name) const { return test::control<T>(m_window.get(), name); }
    bool openWindow();
    Rows rows() const { return m_window->editor().buttons().allRows(); }
    QStringList editArea() const { return m_window->editedButton().cells(); }
    void click(const QString &button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    bool clickRow(int row);
    void type(const QString &field, const QString &text);
    Rows savedRows() const;

    std::unique_ptr<test::TempAppFolder> m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    std::unique_ptr<frmCustomLCDSettings> m_window; // last, so it goes first
};

void TestButtonEditorWindow::init()
{
    m_window.reset();
    m_folder = std::make_unique<test::TempAppFolder>();
    m_prompts = {};
    m_busy = {};
}

bool TestButtonEditorWindow::openWindow()
{
    m_window = std::make_unique<frmCustomLCDSettings>(m_folder->path(), m_prompts, m_busy);
    m_window->show();
    return QTest::qWaitForWindowExposed(m_window.get());
}

bool TestButtonEditorWindow::clickRow(int row)
{
    auto *table = child<QTableView>(u"igButton"_s);
    const QPoint centre = table->visualRect(table->model()->index(row, 0)).center();
    if (!table->viewport()->rect().contains(centre))
        return false;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centre);
    return true;
}

// Replaces a field's text by typing, as the operator does (lists take typed text as it stands).
void TestButtonEditorWindow::type(const QString &field, const QString &text)
{
    QWidget *widget = child<QWidget>(field);
    auto *lineEdit = qobject_cast<QLineEdit *>(widget);
    if (!lineEdit)
        lineEdit = qobject_cast<QComboBox *>(widget)->lineEdit();
    lineEdit->clear();
    QTest::keyClicks(lineEdit, text);
}

Rows TestButtonEditorWindow::savedRows() const
{
    Rows saved;
    for (const PanelButton &button : loadButtonFile(m_folder->path()).value_or(ButtonFileContents {}).buttons)
        saved << button.cells();
    return saved;
}

void TestButtonEditorWindow::addUpdateRemoveAndSave()
{
    m_folder->writeFile(buttonFileName, twoButtons);
    QVERIFY(openWindow());
    QCOMPARE(editArea(), QStringList({ QString(), u"LG"_s, u"1"_s, u"9600"_s, u"n"_s, u"8"_s, u"1"_s }));
    QCOMPARE(rows(), Rows({ lobby, hall }));
    QCOMPARE(m_busy.depth, 0);
    QVERIFY(m_busy.timesShown > 0);
    // It opens showing the longest model name whole, beside its cell margins, and 15 rows.
    const auto *table = child<QTableView>(u"igButton"_s);
    const int cellMargins = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    QVERIFY(table->columnWidth(1) >= table->fontMetrics().horizontalAdvance(u"HYUNDAI_D525ML"_s) + cellMargins);
    QVERIFY(table->viewport()->height() >= 15 * table->rowHeight(0));

    // "Update" before any row was chosen does nothing; tabbing into the table keeps what was typed.
    type(u"txtButton"_s, u"Yard"_s);
    click(u"btnUpdate"_s);
    QCOMPARE(rows(), Rows({ lobby, hall }));
    child<QWidget>(u"igButton"_s)->setFocus(Qt::TabFocusReason);
    QCOMPARE(editArea().first(), u"Yard"_s);
    QCOMPARE(m_window->objectName(), u"frmCustomLCDSettings"_s);

    // Typed list values are kept as typed; the port takes three characters.
    type(u"cboLCD"_s, u"PANEL-X"_s);
    type(u"TxtCommPort"_s, u"2555"_s);
    type(u"CbPortSet_0"_s, u"4800"_s);
    click(u"btnAdd"_s);
    const QStringList yard { u"Yard"_s, u"PANEL-X"_s, u"255"_s, u"4800"_s, u"n"_s, u"8"_s, u"1"_s };
    QCOMPARE(rows(), Rows({ lobby, hall, yard }));
    QVERIFY(m_window->editor().settingsChanged());

    QVERIFY(clickRow(1));
    QCOMPARE(editArea(), hall);
    type(u"txtButton"_s, u"Hall East"_s);
    click(u"btnUpdate"_s);
    QStringList hallEast = hall;
    hallEast[0] = u"Hall East"_s;
    QCOMPARE(rows(), Rows({ lobby, hallEast, yard }));

    QVERIFY(clickRow(2));
    m_prompts.plannedAnswers = { PromptAnswer::No, PromptAnswer::Yes };
    click(u"btnRemove"_s);
    QCOMPARE(rows(), Rows({ lobby, hallEast, yard }));
    click(u"btnRemove"_s);
    QCOMPARE(rows(), Rows({ lobby, hallEast }));
    click(u"btnRemove"_s); // nothing selected any more: no question
    QCOMPARE(m_prompts.messages, QList<PromptMessage>({ removeQuestion, removeQuestion }));

    m_prompts.messages.clear();
    click(u"btnSave"_s);
    QCOMPARE(m_prompts.messages, QList<PromptMessage>({ saved }));
    QCOMPARE(savedRows(), Rows({ lobby, hallEast }));
    QCOMPARE(loadButtonFile(m_folder->path())->lgOnCommand, u"41 42"_s); // the hand-written section stays
    QVERIFY(!m_window->editor().settingsChanged());

    // Removing every button and saving leaves none in the file.
    for (int row = 1; row >= 0; --row) {
        QVERIFY(clickRow(row));
        click(u"btnRemove"_s);
    }
    click(u"btnSave"_s);
    QCOMPARE(loadButtonFile(m_folder->path())->buttonCount, 0);
    QCOMPARE(savedRows(), Rows());
    QCOMPARE(m_busy.depth, 0);

    m_prompts.messages.clear();
    click(u"btnClose"_s);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_prompts.messages, QList<PromptMessage>()); // saved: nothing to ask
}

// Each row: the file's count line (none: the file cannot be written), how the window is closed after
// a button was added, the answer to the closing question, and what happens. (Without changes nothing
// is asked: see above.)
void TestButtonEditorWindow::closing_data()
{
    QTest::addColumn<QByteArray>("count");
    QTest::addColumn<QString>("how");
    QTest::addColumn<PromptAnswer>("answer");
    QTest::addColumn<QList<PromptMessage>>("messages");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<Rows>("inFile");

    const Rows added { lobby, hall, { u"Yard"_s, u"LG"_s, u"1"_s, u"9600"_s, u"n"_s, u"8"_s, u"1"_s } };
    QTest::newRow("Close, no") << QByteArray("Button=2") << u"btnClose"_s << PromptAnswer::No
                               << QList<PromptMessage>({ closeQuestion }) << true << Rows({ lobby, hall });
    // A count that cannot be read loses none of the file's buttons.
    QTest::newRow("Escape, yes: saved") << QByteArray("Button=abc") << u"Escape"_s << PromptAnswer::Yes
                                        << QList<PromptMessage>({ closeQuestion, saved }) << true << added;
    QTest::newRow("close box, yes, save fails: stays open")
        << QByteArray() << u"close box"_s << PromptAnswer::Yes << QList<PromptMessage>({ closeQuestion, saveFailed })
        << false << Rows();
}

void TestButtonEditorWindow::closing()
{
    QFETCH(QByteArray, count);
    QFETCH(QString, how);
    QFETCH(PromptAnswer, answer);
    QFETCH(QList<PromptMessage>, messages);
    QFETCH(bool, closed);
    QFETCH(Rows, inFile);

    // A folder in the file's place can be neither read nor written over, not even by root.
    if (count.isNull())
        QVERIFY(QDir(m_folder->path()).mkdir(buttonFileName));
    else
        m_folder->writeFile(buttonFileName,
                            "[BUTTON_SETTINGS]\r\n" + count
                                + "\r\n1=Lobby`LG`1,9600,n,8,1\r\n"
                                  "2=Hall`HYUNDAI_D525ML`2,19200,e,7,2\r\n");
    QVERIFY(openWindow());
    type(u"txtButton"_s, u"Yard"_s);
    click(u"btnAdd"_s);
    m_prompts.plannedAnswers = { answer };
    if (how == u"Escape")
        QTest::keyClick(child<QLineEdit>(u"txtButton"_s), Qt::Key_Escape);
    else if (how == u"close box")
        m_window->close();
    else
        click(how);

    QCOMPARE(m_prompts.messages, messages);
    QCOMPARE(!m_window->isVisible(), closed);
    QCOMPARE(savedRows(), inFile);
    if (!closed) {
        // Asked again, the operator may still leave without saving.
        m_prompts.plannedAnswers = { PromptAnswer::No };
        m_window->close();
        QVERIFY(!m_window->isVisible());
        QCOMPARE(m_prompts.messages.size(), messages.size() + 1);
    }
}

// Each row: the button pressed (for "Update" the first row was clicked), the field typed into, its text
// and the message.
void TestButtonEditorWindow::entryRefusesWhatWouldNotWork_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("grave accent in the caption")
        << u"btnAdd"_s << u"txtButton"_s << u"Lobby`2"_s << u"The button caption cannot contain the character \"`\"."_s;
    QTest::newRow("grave accent in the model")
        << u"btnUpdate"_s << u"cboLCD"_s << u"LG`"_s << u"The display model cannot contain the character \"`\"."_s;
    QTest::newRow("comma in the port") << u"btnUpdate"_s << u"TxtCommPort"_s << u"1,"_s
                                       << u"The COM port cannot contain the character \",\"."_s;
    QTest::newRow("comma in the parity") << u"btnAdd"_s << u"CbPortSet_1"_s << u"n,8"_s
                                         << u"The parity cannot contain the character \",\"."_s;
    // A port that names no COM port would send nowhere.
    const QString noComPort = u"The COM port must be a whole number from 1 to 255."_s;
    QTest::newRow("port x9") << u"btnUpdate"_s << u"TxtCommPort"_s << u"x9"_s << noComPort;
    QTest::newRow("port 0") << u"btnAdd"_s << u"TxtCommPort"_s << u"0"_s << noComPort;
    QTest::newRow("port 256") << u"btnAdd"_s << u"TxtCommPort"_s << u"256"_s << noComPort;
    QTest::newRow("no port") << u"btnUpdate"_s << u"TxtCommPort"_s << QString() << noComPort;
}

void TestButtonEditorWindow::entryRefusesWhatWouldNotWork()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);

    m_folder->writeFile(buttonFileName, twoButtons);
    QVERIFY(openWindow());
    QVERIFY(clickRow(0));
    type(field, text);
    click(button);
    QCOMPARE(m_prompts.messages, QList<PromptMessage>({ PromptMessage { message, PromptIcon::Exclamation } }));
    QCOMPARE(rows(), Rows({ lobby, hall }));
    QVERIFY(!m_window->editor().settingsChanged());
}

QTEST_MAIN(TestButtonEditorWindow)
#include "test_button_editor_window.moc"
