#include "app/about_dialog.h"
#include "app/main_window.h"
#include "custom/button_editor_window.h"
#include "fake_tray_icon.h"
#include "manual_clock.h"
#include "panels/hyundai_panel_window.h"
#include "panels/lg_panel_window.h"
#include "sample_week_view.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"
#include "window_controls.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QSet>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace vantiro;

// What a screen reader and a keyboard user meet in every window, read through Qt's accessibility interfaces.
class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyWindowNamesItsControlsForScreenReaders_data();
    void everyWindowNamesItsControlsForScreenReaders();

private:
    std::unique_ptr<QWidget> openWindow(const QString &which);

    test::TempAppFolder m_folder;
    test::ScriptedPrompts m_prompts;
    test::RecordingBusyPointer m_busy;
    test::ManualClock m_clock;
    test::FakeTrayIcon m_tray;
    std::unique_ptr<frmMain> m_main;
};

namespace {

// The roles of what an operator types into, chooses from or reads as a list: each needs a name.
bool needsName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::Button:
        return true;
    default:
        return false;
    }
}

QString describe(const QWidget *widget)
{
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// The parts of a composite control (a combo box's field, a table's header, a calendar's own grid) are named
// by the control itself.
bool isPartOfAControl(const QWidget *widget)
{
    if (widget->objectName().startsWith(u"qt_"_s) || widget->inherits("QHeaderView"))
        return true;
    for (const QWidget *parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
        if (parent->inherits("QComboBox") || parent->inherits("QAbstractSpinBox")
            || parent->inherits("QAbstractItemView") || parent->inherits("QCalendarWidget"))
            return true;
    }
    return false;
}

QAccessibleInterface *accessible(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget);
}

// What a screen reader says for a control. On Linux a combo box's own name is its current text, and its
// label (a QLabel whose buddy it is; a frame's title says too little) reaches the reader as a relation. Every
// other control carries its name itself.
QString spokenName(QAccessibleInterface *control)
{
    if (control->role() != QAccessible::ComboBox)
        return control->text(QAccessible::Name).trimmed();
    for (const auto &[label, relation] : control->relations(QAccessible::Label)) {
        const QString text = label->text(QAccessible::Name).trimmed();
        if (label->object()->inherits("QLabel") && !text.isEmpty())
            return text;
    }
    return {};
}

} // namespace

void TestAccessibility::initTestCase()
{
    QAccessible::setActive(true);
    m_main = std::make_unique<frmMain>(m_folder.path(), MainWindowServices { &m_prompts, &m_busy, &m_clock, &m_tray });
}

std::unique_ptr<QWidget> TestAccessibility::openWindow(const QString &which)
{
    if (which == u"frmLGLCD"_s)
        return std::make_unique<frmLGLCD>(m_folder.path(), LgPanelServices { m_main->executor(), m_prompts, m_busy });
    if (which.startsWith(u"frmHyundaiLCD"_s)) {
        auto panel = std::make_unique<frmHyundaiLCD>(m_main->executor(), m_prompts);
        panel->panelModel = qint16(which.back().digitValue());
        return panel;
    }
    if (which == u"frmCustomLCDSettings"_s)
        return std::make_unique<frmCustomLCDSettings>(m_folder.path(), m_prompts, m_busy);
    if (which == u"frmWeekView"_s)
        return test::sampleWeekView(m_prompts, m_clock, nullptr);
    return std::make_unique<AboutDialog>(m_folder.path(), Autostart(u"/usr/bin/vantiro"_s, m_folder.path()), m_prompts);
}

void TestAccessibility::everyWindowNamesItsControlsForScreenReaders_data()
{
    QTest::addColumn<QString>("window");
    // Controls whose name is not simply their caption: objectName, accessible name, role.
    QTest::addColumn<QList<std::tuple<QString, QString, QAccessible::Role>>>("controls");

    using Row = std::tuple<QString, QString, QAccessible::Role>;
    QTest::newRow("main window") << u"frmMain"_s
                                 << QList<Row> {
                                        { u"TxtCommPort"_s, u"CommPort:"_s, QAccessible::EditableText },
                                        { u"CbPortSet_0"_s, u"Baud:"_s, QAccessible::ComboBox },
                                        { u"iGroup"_s, u"Groups"_s, QAccessible::Table },
                                        { u"iPort"_s, u"Ports"_s, QAccessible::Table },
                                        { u"lstMessage"_s, u"Status log"_s, QAccessible::List },
                                        { u"iPend"_s, u"Pending events"_s, QAccessible::Table },
                                    };
    QTest::newRow("LG panel") << u"frmLGLCD"_s
                              << QList<Row> {
                                     { u"TxtCommPort_0"_s, u"COM Port"_s, QAccessible::EditableText },
                                     { u"cboInputSelect_0"_s, u"Input:"_s, QAccessible::ComboBox },
                                     { u"sldVolume_4"_s, u"Volume"_s, QAccessible::Slider },
                                 };
    QTest::newRow("Hyundai Vvuon panel") << u"frmHyundaiLCD_0"_s
                                         << QList<Row> {
                                                { u"cboModel"_s, u"Model:"_s, QAccessible::ComboBox },
                                                { u"TxtCommPort"_s, u"CommPort:"_s, QAccessible::EditableText },
                                            };
    QTest::newRow("Hyundai D525ML panel") << u"frmHyundaiLCD_1"_s
                                          << QList<Row> {
                                                 { u"cboFunctions"_s, u"Functions:"_s, QAccessible::ComboBox },
                                             };
    QTest::newRow("button editor") << u"frmCustomLCDSettings"_s
                                   << QList<Row> {
                                          { u"txtButton"_s, u"Button:"_s, QAccessible::EditableText },
                                          { u"cboLCD"_s, u"LCD:"_s, QAccessible::ComboBox },
                                          { u"igButton"_s, u"Buttons"_s, QAccessible::Table },
                                      };
    QTest::newRow("week view") << u"frmWeekView"_s
                               << QList<Row> {
                                      { u"dtpWeek"_s, u"Week of:"_s, QAccessible::SpinBox },
                                      { u"cmdWeekBlock_0"_s, u"Sunday 08:00, Lobby, Monitors ON"_s,
                                        QAccessible::Button },
                                      { u"dtpNewDate"_s, u"Date:"_s, QAccessible::SpinBox },
                                  };
    QTest::newRow("About box") << u"frmAbout"_s
                               << QList<Row> {
                                      { u"txtApplicationFolder"_s, u"Settings and daily logs are kept in:"_s,
                                        QAccessible::EditableText },
                                      { u"chkStartAtLogin"_s, u"Start Vantiro when I log in"_s, QAccessible::CheckBox },
                                  };
}

void TestAccessibility::everyWindowNamesItsControlsForScreenReaders()
{
    QFETCH(QString, window);
    using Row = std::tuple<QString, QString, QAccessible::Role>;
    QFETCH(QList<Row>, controls);

    std::unique_ptr<QWidget> owned;
    QWidget *shown = m_main.get();
    if (window != u"frmMain"_s) {
        owned = openWindow(window);
        shown = owned.get();
    }
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown));

    for (const auto &[name, accessibleName, role] : controls) {
        QAccessibleInterface *control = accessible(test::control<QWidget>(shown, name));
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(spokenName(control), accessibleName);
        QCOMPARE(control->role(), role);
    }

    // Every field, list, table, slider and button a user can reach has a name, and Tab reaches it; each page
    // of a tab control is looked at in turn.
    QSet<QString> unnamed;
    QSet<QString> unreachable;
    QSet<QString> headless;
    const auto sweep = [&] {
        for (QWidget *widget : shown->findChildren<QWidget *>()) {
            if (!widget->isVisibleTo(shown) || !widget->isEnabled() || isPartOfAControl(widget))
                continue;
            QAccessibleInterface *control = accessible(widget);
            if (!control || !needsName(control->role()))
                continue;
            if (spokenName(control).isEmpty())
                unnamed << describe(widget);
            if (!(widget->focusPolicy() & Qt::TabFocus))
                unreachable << describe(widget);
            // Tables expose their column headers, named as the model names them.
            auto *view = qobject_cast<QAbstractItemView *>(widget);
            if (view && control->role() == QAccessible::Table) {
                QStringList headers;
                for (int i = 0; i < control->childCount(); ++i) {
                    if (control->child(i)->role() == QAccessible::ColumnHeader)
                        headers << control->child(i)->text(QAccessible::Name);
                }
                QStringList expected;
                for (int column = 0; column < view->model()->columnCount(); ++column)
                    expected << view->model()->headerData(column, Qt::Horizontal).toString();
                if (headers != expected || expected.isEmpty())
                    headless << describe(widget);
            }
        }
    };
    sweep();
    for (QTabWidget *tabs : shown->findChildren<QTabWidget *>()) {
        for (int page = 0; page < tabs->count(); ++page) {
            tabs->setCurrentIndex(page);
            sweep();
        }
        tabs->setCurrentIndex(0);
    }
    const auto list = [](const QSet<QString> &names) {
        QStringList sorted(names.cbegin(), names.cend());
        sorted.sort();
        return sorted.join(u", "_s);
    };
    QVERIFY2(unnamed.isEmpty(), qPrintable(u"without a name: "_s + list(unnamed)));
    QVERIFY2(unreachable.isEmpty(), qPrintable(u"not reached by Tab: "_s + list(unreachable)));
    QVERIFY2(headless.isEmpty(), qPrintable(u"headers not exposed: "_s + list(headless)));

    // Escape closes every dialog.
    if (auto *dialog = qobject_cast<QDialog *>(shown)) {
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(dialog->isHidden());
    }
}

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
