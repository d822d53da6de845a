#include "commands/quick_commands.h"

#include "app/text_table_model.h"
#include "scheduler/command_hand_off.h"

#include "scripted_prompts.h"

#include <QTest>

using namespace vantiro;
using namespace vantiro::test;
using namespace Qt::StringLiterals;

namespace {

// The window's state a quick command reads: the command set of the model chosen in the list, and
// the loaded group's ports.
struct QuickCommandRig
{
    explicit QuickCommandRig(const QString &modelList, const QStringList &portModels = {})
    {
        chooseDisplayModel(commands, modelList);
        for (qsizetype i = 0; i < portModels.size(); ++i)
            ports.appendRow({ QString::number(i + 1), portModels[i], {} });
        handOff = { u"previous"_s, u"99"_s, true };
    }

    ModelCommandSet commands = ModelCommandSet::initial();
    TextTableModel ports { { { u"COM"_s, u"COM"_s }, { u"LCD"_s, u"LCD"_s }, { u"Note"_s, u"Note"_s } } };
    CommandHandOff handOff;
    ScriptedPrompts prompts;
    QuickCommands quickCommands { commands, ports, handOff, prompts };
};

} // namespace

class TestQuickCommands : public QObject
{
    Q_OBJECT

private slots:
    void buttonsHandTheirCommandOver_data();
    void buttonsHandTheirCommandOver();
    void setVolumeFollowsTheLastPortRow_data();
    void setVolumeFollowsTheLastPortRow();
    void setVolumeWithoutAValueTellsTheUser_data();
    void setVolumeWithoutAValueTellsTheUser();
    void volumeTextIsKeptWithinRange_data();
    void volumeTextIsKeptWithinRange();
    void typingIntoTheVolumeBox_data();
    void typingIntoTheVolumeBox();
};

void TestQuickCommands::buttonsHandTheirCommandOver_data()
{
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("command");

    QTest::newRow("Monitors ON") << "LG" << 0 << "6B 61 20 30 31 20 30 31 0D";
    QTest::newRow("Monitors OFF") << "LG" << 1 << "6B 61 20 30 31 20 30 30 0D";
    QTest::newRow("Monitors ALL ON") << "LG" << 2 << "6B 61 20 30 31 20 30 31 0D";
    QTest::newRow("Monitors ALL OFF, OLEVIA") << "OLEVIA" << 3 << "BE 05 25 08 F0";
    QTest::newRow("Mute ON, HYUNDAI-Vvuon") << "HYUNDAI-Vvuon" << 4 << "40 4D 55 54 3A 31 0D";
    QTest::newRow("Mute OFF") << "LG" << 5 << "6B 65 20 30 31 20 30 31 0D";
    QTest::newRow("Auto Config") << "LG" << 7 << "6A 75 20 30 31 20 30 31 0D";
    QTest::newRow("Auto Config ALL, D525ML keeps LG's") << "HYUNDAI-D525ML" << 8 << "6A 75 20 30 31 20 30 31 0D";
}

void TestQuickCommands::buttonsHandTheirCommandOver()
{
    QFETCH(QString, modelList);
    QFETCH(int, index);
    QFETCH(QString, command);

    QuickCommandRig rig(modelList, { u"LG"_s });
    QVERIFY(rig.quickCommands.dispatch(index, QString()));
    QCOMPARE(rig.handOff.pendingCommand, command);
    QCOMPARE(rig.handOff.pendingCommandIndex, QString::number(index));
    QCOMPARE(rig.handOff.reportToStatusLog, false);
    QVERIFY(rig.prompts.messages.isEmpty());

    // Indices that name no button leave the hand-off alone.
    for (int noButton : { -1, quickCommandCount }) {
        QVERIFY(!rig.quickCommands.dispatch(noButton, QString()));
        QCOMPARE(rig.handOff.pendingCommandIndex, QString::number(index));
    }
}

void TestQuickCommands::setVolumeFollowsTheLastPortRow_data()
{
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QStringList>("portModels");
    QTest::addColumn<QString>("volume");
    QTest::addColumn<QString>("command");

    QTest::newRow("LG group, 25") << "LG" << QStringList { u"LG"_s, u"LG"_s } << "25" << "6B 66 20 30 31 20 31 39 0D";
    QTest::newRow("LG, 100") << "LG" << QStringList { u"LG"_s } << "100" << "6B 66 20 30 31 20 36 34 0D";
    QTest::newRow("LG, 0") << "LG" << QStringList { u"LG"_s } << " 0 " << "6B 66 20 30 31 20 30 0D";
    QTest::newRow("HYUNDAI-Vvuon last, LG template") << "LG" << QStringList { u"LG"_s, u"HYUNDAI-Vvuon"_s } << "25"
                                                     << "6B 66 20 30 31 20 32 35 0D";
    QTest::newRow("HYUNDAI-Vvuon, its template") << "HYUNDAI-Vvuon" << QStringList { u"hyundai-vvuon"_s } << "25"
                                                 << "40 56 4F 4C 3A 32 35 0D";
    QTest::newRow("LG last decides") << "HYUNDAI-Vvuon" << QStringList { u"HYUNDAI-Vvuon"_s, u"OLEVIA"_s } << "25"
                                     << "40 56 4F 4C 3A 31 39 0D";
    QTest::newRow("no ports keeps the previous") << "LG" << QStringList {} << "25" << "previous";
}

void TestQuickCommands::setVolumeFollowsTheLastPortRow()
{
    QFETCH(QString, modelList);
    QFETCH(QStringList, portModels);
    QFETCH(QString, volume);
    QFETCH(QString, command);

    QuickCommandRig rig(modelList, portModels);
    QVERIFY(rig.quickCommands.dispatch(int(QuickCommand::SetVolume), volume));
    QCOMPARE(rig.handOff.pendingCommand, command);
    QCOMPARE(rig.handOff.pendingCommandIndex, u"6"_s);
    QCOMPARE(rig.handOff.reportToStatusLog, false);
}

void TestQuickCommands::setVolumeWithoutAValueTellsTheUser_data()
{
    QTest::addColumn<QString>("volume");

    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
    QTest::newRow("pasted letters") << "loud";
}

void TestQuickCommands::setVolumeWithoutAValueTellsTheUser()
{
    QFETCH(QString, volume);

    QuickCommandRig rig(u"LG"_s, { u"LG"_s });
    QVERIFY(!rig.quickCommands.dispatch(int(QuickCommand::SetVolume), volume));
    QCOMPARE(rig.prompts.messages.size(), 1);
    QCOMPARE(rig.prompts.messages[0].text, u"Please enter or select a volume value."_s);
    QCOMPARE(rig.prompts.messages[0].icon, PromptIcon::Information);
    QCOMPARE(rig.prompts.messages[0].title, u"Information"_s);
    QCOMPARE(rig.handOff.pendingCommand, u"previous"_s);
}

void TestQuickCommands::volumeTextIsKeptWithinRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // what the box shows once the change has settled
    QTest::addColumn<int>("slider");

    QTest::newRow("in range") << "42" << "42" << 42;
    QTest::newRow("above 100") << "250" << "100" << 100;
    QTest::newRow("just above 100") << "100.2" << "100" << 100;
    QTest::newRow("far above 100") << "99999999999999999999999" << "100" << 100;
    QTest::newRow("below 0") << "-5" << "0" << 0;
    QTest::newRow("fraction rounds up") << "42.6" << "42.6" << 43;
    QTest::newRow("fraction rounds down") << "42.4" << "42.4" << 42;
    QTest::newRow("letters read as 0") << "abc" << "abc" << 0;
    QTest::newRow("leading digits") << "12abc" << "12abc" << 12;
    QTest::newRow("empty") << "" << "" << 0;
}

void TestQuickCommands::volumeTextIsKeptWithinRange()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(int, slider);

    // A corrected text is set into the box, which runs the rule again.
    VolumeTextRule rule = volumeTextChanged(text);
    QString box = rule.correctedText.value_or(text);
    if (rule.correctedText) {
        rule = volumeTextChanged(box);
        QVERIFY(!rule.correctedText);
    }
    QCOMPARE(box, shown);
    QCOMPARE(rule.sliderValue, slider);
}

void TestQuickCommands::typingIntoTheVolumeBox_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("slider");
    QTest::addColumn<int>("sends");

    QTest::newRow("letters dropped") << "2a5x" << "25" << 25 << 0;
    QTest::newRow("250 becomes 100") << "250" << "100" << 100 << 0;
    QTest::newRow("sign, point and blank dropped") << "-4. 5" << "45" << 45 << 0;
    QTest::newRow("backspace") << "9\b7" << "7" << 7 << 0;
    QTest::newRow("code 16 passes, adds nothing") << "3\x10" << "3" << 3 << 0;
    QTest::newRow("Enter sends") << "40\r" << "40" << 40 << 1;
}

void TestQuickCommands::typingIntoTheVolumeBox()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(int, slider);
    QFETCH(int, sends);

    // A line edit's part: characters that pass are typed at the end, backspace removes the last one.
    QString box;
    int sliderValue = 0;
    int sent = 0;
    for (QChar key : std::as_const(keys)) {
        switch (volumeKeyAction(key.unicode())) {
        case VolumeKey::Discard:
            continue;
        case VolumeKey::Send:
            ++sent;
            continue;
        case VolumeKey::Pass:
            if (key == u'\b')
                box.chop(1);
            else if (key.isDigit())
                box.append(key);
            break;
        }
        const VolumeTextRule rule = volumeTextChanged(box);
        box = rule.correctedText.value_or(box);
        sliderValue = rule.sliderValue;
    }
    QCOMPARE(box, shown);
    QCOMPARE(sliderValue, slider);
    QCOMPARE(sent, sends);
}

QTEST_GUILESS_MAIN(TestQuickCommands)
#include "test_quick_commands.moc"
