// The volume rules the window test cannot reach by typing: pasted texts, the encoding per model, and
// how the box and the slider settle for any text; and which origin a hand-off's index names.
#include "commands/quick_commands.h"
#include "scripted_prompts.h"

#include <QTest>

using namespace vantiro;
using namespace vantiro::test;
using namespace Qt::StringLiterals;

class TestQuickCommands : public QObject
{
    Q_OBJECT

private slots:
    void setVolumeEncodingFollowsTheLastPortRow_data();
    void setVolumeEncodingFollowsTheLastPortRow();
    void volumeTextIsKeptWithinRange_data();
    void volumeTextIsKeptWithinRange();
    void indexNamesTheOrigin_data();
    void indexNamesTheOrigin();
};

void TestQuickCommands::setVolumeEncodingFollowsTheLastPortRow_data()
{
    QTest::addColumn<QString>("modelList");
    QTest::addColumn<QStringList>("portModels");
    QTest::addColumn<QString>("volume");
    QTest::addColumn<QString>("command"); // empty: the operator is asked for a volume

    QTest::newRow("HYUNDAI-Vvuon last, LG template, decimal")
        << "LG" << QStringList { u"LG"_s, u"HYUNDAI-Vvuon"_s } << "25"
        << "6B 66 20 30 31 20 32 35 0D";
    QTest::newRow("HYUNDAI-Vvuon in small letters, its template")
        << "HYUNDAI-Vvuon" << QStringList { u"hyundai-vvuon"_s } << "25"
        << "40 56 4F 4C 3A 32 35 0D";
    // Sending treats the older name as a Vvuon, so its volume is decimal too.
    QTest::newRow("older name HYUNDAI last, decimal") << "HYUNDAI-Vvuon" << QStringList { u"HYUNDAI"_s } << "25"
                                                      << "40 56 4F 4C 3A 32 35 0D";
    QTest::newRow("OLEVIA last, HYUNDAI-Vvuon template, hexadecimal")
        << "HYUNDAI-Vvuon" << QStringList { u"HYUNDAI-Vvuon"_s, u"OLEVIA"_s } << "25"
        << "40 56 4F 4C 3A 31 39 0D";
    QTest::newRow("pasted with blanks, hexadecimal letters") << "LG" << QStringList { u"LG"_s } << " 42 "
                                                             << "6B 66 20 30 31 20 32 41 0D";
    QTest::newRow("pasted blanks") << "LG" << QStringList { u"LG"_s } << "   "
                                   << "";
    QTest::newRow("pasted letters") << "LG" << QStringList { u"LG"_s } << "loud"
                                    << "";
}

void TestQuickCommands::setVolumeEncodingFollowsTheLastPortRow()
{
    QFETCH(QString, modelList);
    QFETCH(QStringList, portModels);
    QFETCH(QString, volume);
    QFETCH(QString, command);

    ModelCommandSet commands = ModelCommandSet::initial();
    chooseDisplayModel(commands, modelList);
    QList<GroupPort> ports;
    for (qsizetype i = 0; i < portModels.size(); ++i)
        ports.append({ QString::number(i + 1), portModels[i] });
    ScriptedPrompts prompts;

    const std::optional<CommandHandOff> handOff
        = quickCommandHandOff(int(QuickCommand::SetVolume), volume, commands, ports, prompts);
    QCOMPARE(handOff.has_value(), !command.isEmpty());
    if (handOff)
        QCOMPARE(*handOff, (CommandHandOff { command, u"6"_s, false }));
    QCOMPARE(prompts.messages.size(), command.isEmpty() ? 1 : 0);
    if (!prompts.messages.isEmpty())
        QCOMPARE(prompts.messages[0].text, u"Please enter or select a volume value."_s);
}

void TestQuickCommands::volumeTextIsKeptWithinRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // what the box shows once the change has settled
    QTest::addColumn<int>("slider");

    QTest::newRow("just above 100") << "100.2"
                                    << "100" << 100;
    QTest::newRow("too large for any integer") << "99999999999999999999999"
                                               << "100" << 100;
    QTest::newRow("below 0") << "-5"
                             << "0" << 0;
    QTest::newRow("fraction, rounded") << "42.6"
                                       << "42.6" << 43;
    QTest::newRow("leading digits") << "12abc"
                                    << "12abc" << 12;
}

void TestQuickCommands::volumeTextIsKeptWithinRange()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(int, slider);

    // A corrected text is set into the box, which runs the rule again.
    VolumeTextRule rule = volumeTextChanged(text);
    const QString box = rule.correctedText.value_or(text);
    if (rule.correctedText) {
        rule = volumeTextChanged(box);
        QVERIFY(!rule.correctedText);
    }
    QCOMPARE(box, shown);
    QCOMPARE(rule.sliderValue, slider);
}

// The index is compared as text, exactly; only the LG panel's commands go out with flow control.
void TestQuickCommands::indexNamesTheOrigin_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<CommandOrigin>("origin");

    QTest::newRow("Monitors ON") << "0" << CommandOrigin::GroupPortsOwnModels;
    QTest::newRow("Auto Config") << "7" << CommandOrigin::GroupPortsOwnModels;
    QTest::newRow("Monitors ALL OFF") << "3" << CommandOrigin::EveryComPort;
    QTest::newRow("Auto Config ALL") << "8" << CommandOrigin::EveryComPort;
    QTest::newRow("Set Volume") << "6" << CommandOrigin::GroupPortsListSettings;
    QTest::newRow("Hyundai panel") << "99" << CommandOrigin::HyundaiPanel;
    QTest::newRow("LG panel") << "100" << CommandOrigin::LgPanel;
    QTest::newRow("with a blank") << " 0" << CommandOrigin::Unknown;
    QTest::newRow("leading zero") << "0100" << CommandOrigin::Unknown;
    QTest::newRow("past the buttons") << "9" << CommandOrigin::Unknown;
    QTest::newRow("empty") << "" << CommandOrigin::Unknown;
}

void TestQuickCommands::indexNamesTheOrigin()
{
    QFETCH(QString, index);
    QFETCH(CommandOrigin, origin);

    QCOMPARE(commandOrigin(index), origin);
    QCOMPARE(handshakingFor(origin), origin == CommandOrigin::LgPanel ? Handshaking::RtsXonXoff : Handshaking::None);
}

QTEST_GUILESS_MAIN(TestQuickCommands)
#include "test_quick_commands.moc"
