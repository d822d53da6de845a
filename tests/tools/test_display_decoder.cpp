#include "display_decoder.h"
#include "serial/command_text.h"

#include <QTest>

using namespace vantiro;
using namespace vantiro::displays;
using namespace Qt::StringLiterals;

namespace {

const QByteArray oleviaPower = QByteArray::fromHex("BE052508F0");

// The bytes Vantiro sends for a command template filled with an encoded value.
QByteArray filledTemplate(const QString &commandTemplate, const std::optional<QString> &fragment)
{
    return parseCommandText(fillPlaceholder(commandTemplate, valuePlaceholder, fragment.value_or(QString())));
}

// Everything a fresh display on COM 1 prints for the stream fed in pieces of `chunkSize` bytes (the
// whole stream at once for 0); the lines that came only when the line went quiet are counted.
struct Printed
{
    QStringList lines;
    int linesOnQuiet = 0;
    DisplayState state;
};

Printed feedInChunks(const QByteArray &stream, quint32 baudRate, qsizetype chunkSize)
{
    DisplayDecoder decoder(1);
    Printed printed;
    const qsizetype step = chunkSize > 0 ? chunkSize : qMax<qsizetype>(1, stream.size());
    for (qsizetype at = 0; at < stream.size(); at += step)
        printed.lines += decoder.receive(QByteArrayView(stream).sliced(at, qMin(step, stream.size() - at)), baudRate);
    const QStringList onQuiet = decoder.lineQuiet();
    printed.lines += onQuiet;
    printed.linesOnQuiet = int(onQuiet.size());
    printed.state = decoder.state();
    return printed;
}

QStringList stateText(const DisplayState &state)
{
    QStringList fields;
    for (auto it = state.cbegin(); it != state.cend(); ++it)
        fields.append(it.key() + u'=' + it.value());
    return fields;
}

} // namespace

class TestDisplayDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decodesEachCommand_data();
    void decodesEachCommand();
    void streams_data();
    void streams();
    void newSpeedEndsUnfinishedCommand();
};

// Every command Vantiro can send, one at a time, and the line the display prints for it.
void TestDisplayDecoder::decodesEachCommand_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<quint32>("baudRate");
    QTest::addColumn<QString>("line");

    const quint32 baud = 9600;
    QTest::newRow("LG power on") << "ka 01 01\r"_ba << baud << u"COM1 9600 LG \"ka 01 01\" power on -> power=on"_s;
    QTest::newRow("LG power off") << "ka 01 00\r"_ba << baud << u"COM1 9600 LG \"ka 01 00\" power off -> power=off"_s;
    QTest::newRow("LG screen mute on") << "kd 01 01\r"_ba << baud
                                       << u"COM1 9600 LG \"kd 01 01\" screen mute on -> screen-mute=on"_s;
    QTest::newRow("LG screen mute off") << "kd 01 00\r"_ba << baud
                                        << u"COM1 9600 LG \"kd 01 00\" screen mute off -> screen-mute=off"_s;
    QTest::newRow("LG volume mute on is data 00")
        << "ke 01 00\r"_ba << baud << u"COM1 9600 LG \"ke 01 00\" volume mute on -> volume-mute=on"_s;
    QTest::newRow("LG volume mute off is data 01")
        << "ke 01 01\r"_ba << baud << u"COM1 9600 LG \"ke 01 01\" volume mute off -> volume-mute=off"_s;
    QTest::newRow("LG volume is hexadecimal") << filledTemplate(u"6B 66 20 30 31 20 _ 0D"_s, hexDigitsText(u"25"_s))
                                              << baud << u"COM1 9600 LG \"kf 01 19\" volume 25 -> volume=25"_s;
    QTest::newRow("LG volume in one digit") << filledTemplate(u"6B 66 20 30 31 20 _ 0D"_s, hexDigitsText(u"5"_s))
                                            << baud << u"COM1 9600 LG \"kf 01 5\" volume 5 -> volume=5"_s;
    QTest::newRow("LG volume 100") << filledTemplate(u"6B 66 20 30 31 20 _ 0D"_s, hexDigitsText(u"100"_s)) << baud
                                   << u"COM1 9600 LG \"kf 01 64\" volume 100 -> volume=100"_s;
    QTest::newRow("LG input") << filledTemplate(u"6B 62 20 30 31 20 30 _ 0D"_s, hexDigitsText(u"7"_s)) << baud
                              << u"COM1 9600 LG \"kb 01 07\" input RGB-PC -> input=RGB-PC"_s;
    QTest::newRow("LG last input") << "kb 01 09\r"_ba << baud
                                   << u"COM1 9600 LG \"kb 01 09\" input DVI-PC(HDMI2) -> input=DVI-PC(HDMI2)"_s;
    QTest::newRow("LG aspect ratio") << "kc 01 06\r"_ba << baud
                                     << u"COM1 9600 LG \"kc 01 06\" aspect ratio 14:9 -> aspect=14:9"_s;
    QTest::newRow("LG first aspect ratio")
        << "kc 01 00\r"_ba << baud
        << u"COM1 9600 LG \"kc 01 00\" aspect ratio Normal Screen(4:3) -> aspect=Normal Screen(4:3)"_s;
    QTest::newRow("LG NTSC air channel")
        << filledTemplate(u"6D 61 20 30 31 20 _ 20 30 30 20 _ 20 30 30 20 30 30 20 30 30 0D"_s, paddedHexText(u"12"_s))
        << baud << u"COM1 9600 LG \"ma 01 0C 00 0C 00 00 00\" channel 12 NTSC Air -> channel=12 NTSC Air"_s;
    QTest::newRow("LG NTSC cable channel")
        << "ma 01 05 00 05 00 00 01\r"_ba << baud
        << u"COM1 9600 LG \"ma 01 05 00 05 00 00 01\" channel 5 NTSC CATV -> channel=5 NTSC CATV"_s;
    QTest::newRow("LG ATSC air channel")
        << "ma 01 03 00 07 00 01 02\r"_ba << baud
        << u"COM1 9600 LG \"ma 01 03 00 07 00 01 02\" channel 7-1 ATSC Air -> channel=7-1 ATSC Air"_s;
    QTest::newRow("LG auto configuration sets nothing")
        << "ju 01 01\r"_ba << baud << u"COM1 9600 LG \"ju 01 01\" auto configuration"_s;

    QTest::newRow("OLEVIA power toggles")
        << oleviaPower << quint32(115200) << u"COM1 115200 OLEVIA BE 05 25 08 F0 power toggle -> power=on"_s;
    QTest::newRow("OLEVIA mute on") << "ke 0 0\r"_ba << baud
                                    << u"COM1 9600 OLEVIA \"ke 0 0\" volume mute on -> volume-mute=on"_s;
    QTest::newRow("OLEVIA mute off") << "ke 0 1\r"_ba << baud
                                     << u"COM1 9600 OLEVIA \"ke 0 1\" volume mute off -> volume-mute=off"_s;
    QTest::newRow("OLEVIA volume") << filledTemplate(u"6B 66 20 30 20 _ 0D"_s, hexDigitsText(u"25"_s)) << baud
                                   << u"COM1 9600 OLEVIA \"kf 0 19\" volume 25 -> volume=25"_s;
    QTest::newRow("one-digit set id power on")
        << "ka 0 1\r"_ba << baud << u"COM1 9600 OLEVIA \"ka 0 1\" power on -> power=on"_s;

    QTest::newRow("Vvuon power key") << "@KEY:0\r"_ba << baud
                                     << u"COM1 9600 HYUNDAI-Vvuon \"@KEY:0\" power on -> power=on"_s;
    QTest::newRow("Vvuon power off") << "@PWD:0\r"_ba << baud
                                     << u"COM1 9600 HYUNDAI-Vvuon \"@PWD:0\" power off -> power=off"_s;
    QTest::newRow("Vvuon mute on") << "@MUT:1\r"_ba << baud
                                   << u"COM1 9600 HYUNDAI-Vvuon \"@MUT:1\" volume mute on -> volume-mute=on"_s;
    QTest::newRow("Vvuon mute off to every port")
        << "@MUS:0\r"_ba << baud << u"COM1 9600 HYUNDAI-Vvuon \"@MUS:0\" volume mute off -> volume-mute=off"_s;
    QTest::newRow("Vvuon volume is decimal") << filledTemplate(u"40 56 4F 4C 3A _ 0D"_s, decimalDigitsText(u"25"_s))
                                             << baud << u"COM1 9600 HYUNDAI-Vvuon \"@VOL:25\" volume 25 -> volume=25"_s;
    QTest::newRow("Vvuon volume with a leading zero")
        << filledTemplate(u"40 56 4F 4C 3A _ 0D"_s, decimalDigitsText(u"025"_s)) << baud
        << u"COM1 9600 HYUNDAI-Vvuon \"@VOL:025\" volume 25 -> volume=25"_s;
    QTest::newRow("Vvuon key 0 is code 10") << "@KEY:10\r"_ba << baud << u"COM1 9600 HYUNDAI-Vvuon \"@KEY:10\" key 0"_s;
    QTest::newRow("Vvuon digit key") << "@KEY:7\r"_ba << baud << u"COM1 9600 HYUNDAI-Vvuon \"@KEY:7\" key 7"_s;
    QTest::newRow("Vvuon named key") << "@KEY:22\r"_ba << baud << u"COM1 9600 HYUNDAI-Vvuon \"@KEY:22\" key FREEZE"_s;
    QTest::newRow("Vvuon key without code")
        << "@KEY:\r"_ba << baud << u"COM1 9600 HYUNDAI-Vvuon \"@KEY:\" key PIP SET"_s;

    QTest::newRow("D525ML power on") << "did:all-pn."_ba << baud
                                     << u"COM1 9600 HYUNDAI-D525ML \"did:all-pn.\" power on -> power=on"_s;
    QTest::newRow("D525ML power off") << "did:all-pf."_ba << baud
                                      << u"COM1 9600 HYUNDAI-D525ML \"did:all-pf.\" power off -> power=off"_s;
    QTest::newRow("D525ML fan") << "did:all-fn."_ba << baud
                                << u"COM1 9600 HYUNDAI-D525ML \"did:all-fn.\" fan on -> fan=on"_s;
    QTest::newRow("D525ML component input")
        << "did:all-sc."_ba << baud << u"COM1 9600 HYUNDAI-D525ML \"did:all-sc.\" input component -> input=Component"_s;
    QTest::newRow("D525ML HDMI input") << "did:all-sd."_ba << baud
                                       << u"COM1 9600 HYUNDAI-D525ML \"did:all-sd.\" input HDMI -> input=HDMI"_s;
    QTest::newRow("D525ML IR mode") << "did:all-ir."_ba << baud
                                    << u"COM1 9600 HYUNDAI-D525ML \"did:all-ir.\" IR mode -> mode=IR"_s;
    QTest::newRow("D525ML step sets nothing")
        << "did:all-sbu."_ba << baud << u"COM1 9600 HYUNDAI-D525ML \"did:all-sbu.\" sub-brightness up"_s;
    QTest::newRow("D525ML gain down") << "did:all-bgd."_ba << baud
                                      << u"COM1 9600 HYUNDAI-D525ML \"did:all-bgd.\" blue gain down"_s;
    QTest::newRow("D525ML display sequence")
        << parseCommandText(u"64 69 64 3A 61 6C 6C 2D "_s + textToCommandText(u"5"_s) + u" 2E"_s) << baud
        << u"COM1 9600 HYUNDAI-D525ML \"did:all-5.\" display sequence 5 -> sequence=5"_s;
    QTest::newRow("D525ML set count")
        << "did:all-ch2v3."_ba << baud
        << u"COM1 9600 HYUNDAI-D525ML \"did:all-ch2v3.\" set count H2 V3 -> set-count=H2 V3"_s;
    QTest::newRow("D525ML set window")
        << "did:all-nh1v12."_ba << baud
        << u"COM1 9600 HYUNDAI-D525ML \"did:all-nh1v12.\" set window H1 V12 -> set-window=H1 V12"_s;
    QTest::newRow("D525ML edge adjust")
        << "did:all-eh4v5."_ba << baud
        << u"COM1 9600 HYUNDAI-D525ML \"did:all-eh4v5.\" edge adjust H4 V5 -> edge-adjust=H4 V5"_s;

    // Framed like a command of a model, but not one Vantiro sends with that meaning.
    QTest::newRow("unknown LG command") << "kz 01 01\r"_ba << baud
                                        << u"COM1 9600 LG \"kz 01 01\" command kz 01 (not understood)"_s;
    QTest::newRow("LG power value out of range")
        << "ka 01 05\r"_ba << baud << u"COM1 9600 LG \"ka 01 05\" power 05 (not understood)"_s;
    QTest::newRow("LG input past the list")
        << "kb 01 0A\r"_ba << baud << u"COM1 9600 LG \"kb 01 0A\" input 0A (not understood)"_s;
    QTest::newRow("unknown Vvuon keyword")
        << "@ABC:1\r"_ba << baud << u"COM1 9600 HYUNDAI-Vvuon \"@ABC:1\" command ABC 1 (not understood)"_s;
    QTest::newRow("unknown D525ML function")
        << "did:all-zz."_ba << baud << u"COM1 9600 HYUNDAI-D525ML \"did:all-zz.\" function zz (not understood)"_s;

    QTest::newRow("bytes of no command") << "\x01\x02\xFF"_ba << baud << u"COM1 9600 ? raw 01 02 FF"_s;
    QTest::newRow("unfilled template") << parseCommandText(u"6B 66 20 30 31 20 _ 0D"_s) << baud
                                       << u"COM1 9600 ? raw 6B 66 20 30 31 20 0D"_s;
}

void TestDisplayDecoder::decodesEachCommand()
{
    QFETCH(QByteArray, bytes);
    QFETCH(quint32, baudRate);
    QFETCH(QString, line);

    QCOMPARE(feedInChunks(bytes, baudRate, 0).lines, QStringList { line });
}

// Commands arrive back to back with nothing between them but their own end byte, in pieces of any
// size. Each row is fed whole and in pieces of every size; the printed lines and the final state
// must not depend on the pieces. Lines for bytes that fit no command come before the next command,
// or once the line is quiet when nothing follows.
void TestDisplayDecoder::streams_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("linesOnQuiet");
    QTest::addColumn<QStringList>("state");

    QTest::newRow("LG commands back to back")
        << "ka 01 01\rkf 01 19\rkb 01 07\rkf 01 A\r"_ba
        << QStringList { u"COM1 9600 LG \"ka 01 01\" power on -> power=on"_s,
                         u"COM1 9600 LG \"kf 01 19\" volume 25 -> volume=25"_s,
                         u"COM1 9600 LG \"kb 01 07\" input RGB-PC -> input=RGB-PC"_s,
                         u"COM1 9600 LG \"kf 01 A\" volume 10 -> volume=10"_s }
        << 0 << QStringList { u"input=RGB-PC"_s, u"power=on"_s, u"volume=10"_s };
    QTest::newRow("OLEVIA binary between text commands")
        << oleviaPower + "ke 0 0\r"_ba + oleviaPower + "kf 0 19\r"_ba + oleviaPower
        << QStringList { u"COM1 9600 OLEVIA BE 05 25 08 F0 power toggle -> power=on"_s,
                         u"COM1 9600 OLEVIA \"ke 0 0\" volume mute on -> volume-mute=on"_s,
                         u"COM1 9600 OLEVIA BE 05 25 08 F0 power toggle -> power=off"_s,
                         u"COM1 9600 OLEVIA \"kf 0 19\" volume 25 -> volume=25"_s,
                         u"COM1 9600 OLEVIA BE 05 25 08 F0 power toggle -> power=on"_s }
        << 0 << QStringList { u"power=on"_s, u"volume=25"_s, u"volume-mute=on"_s };
    QTest::newRow("D525ML commands end at the full stop")
        << "did:all-pn.did:all-sp.did:all-ch2v3."_ba
        << QStringList { u"COM1 9600 HYUNDAI-D525ML \"did:all-pn.\" power on -> power=on"_s,
                         u"COM1 9600 HYUNDAI-D525ML \"did:all-sp.\" input PC -> input=PC"_s,
                         u"COM1 9600 HYUNDAI-D525ML \"did:all-ch2v3.\" set count H2 V3 -> set-count=H2 V3"_s }
        << 0 << QStringList { u"input=PC"_s, u"power=on"_s, u"set-count=H2 V3"_s };
    QTest::newRow("every family on one display")
        << "@VOL:30\rka 01 01\rdid:all-sd.@MUT:1\rkd 01 01\r"_ba
        << QStringList { u"COM1 9600 HYUNDAI-Vvuon \"@VOL:30\" volume 30 -> volume=30"_s,
                         u"COM1 9600 LG \"ka 01 01\" power on -> power=on"_s,
                         u"COM1 9600 HYUNDAI-D525ML \"did:all-sd.\" input HDMI -> input=HDMI"_s,
                         u"COM1 9600 HYUNDAI-Vvuon \"@MUT:1\" volume mute on -> volume-mute=on"_s,
                         u"COM1 9600 LG \"kd 01 01\" screen mute on -> screen-mute=on"_s }
        << 0
        << QStringList { u"input=HDMI"_s, u"power=on"_s, u"screen-mute=on"_s, u"volume=30"_s, u"volume-mute=on"_s };
    QTest::newRow("unknown bytes before a command")
        << "\x01\x02\xFFka 01 01\r"_ba
        << QStringList { u"COM1 9600 ? raw 01 02 FF"_s, u"COM1 9600 LG \"ka 01 01\" power on -> power=on"_s } << 0
        << QStringList { u"power=on"_s };
    QTest::newRow("unknown bytes after a command wait for quiet")
        << "kd 01 01\r\x01\x02"_ba
        << QStringList { u"COM1 9600 LG \"kd 01 01\" screen mute on -> screen-mute=on"_s, u"COM1 9600 ? raw 01 02"_s }
        << 1 << QStringList { u"power=off"_s, u"screen-mute=on"_s };
    QTest::newRow("unfinished command comes out raw")
        << "kd 01 01\rka 01"_ba
        << QStringList { u"COM1 9600 LG \"kd 01 01\" screen mute on -> screen-mute=on"_s,
                         u"COM1 9600 ? raw 6B 61 20 30 31"_s }
        << 1 << QStringList { u"power=off"_s, u"screen-mute=on"_s };
    QTest::newRow("broken binary command")
        << "\xBE\x05\x25kd 01 01\r"_ba
        << QStringList { u"COM1 9600 ? raw BE 05 25"_s,
                         u"COM1 9600 LG \"kd 01 01\" screen mute on -> screen-mute=on"_s }
        << 0 << QStringList { u"power=off"_s, u"screen-mute=on"_s };
    QTest::newRow("stray start bytes run into a command")
        << "@kka 01 00\r"_ba
        << QStringList { u"COM1 9600 ? raw 40 6B"_s, u"COM1 9600 LG \"ka 01 00\" power off -> power=off"_s } << 0
        << QStringList { u"power=off"_s };
    QTest::newRow("nothing but noise changes nothing")
        << "\x00\x7F\r\r.."_ba << QStringList { u"COM1 9600 ? raw 00 7F 0D 0D 2E 2E"_s } << 1
        << QStringList { u"power=off"_s };
}

void TestDisplayDecoder::streams()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, lines);
    QFETCH(int, linesOnQuiet);
    QFETCH(QStringList, state);

    for (qsizetype chunkSize = 0; chunkSize < stream.size(); ++chunkSize) {
        const Printed printed = feedInChunks(stream, 9600, chunkSize);
        const QByteArray pieces = chunkSize == 0 ? "whole: "_ba : "pieces of " + QByteArray::number(chunkSize) + ": ";
        QVERIFY2(printed.lines == lines, QByteArray(pieces + printed.lines.join(u" | "_s).toUtf8()).constData());
        QVERIFY2(printed.linesOnQuiet == linesOnQuiet,
                 QByteArray(pieces + "lines on quiet " + QByteArray::number(printed.linesOnQuiet)).constData());
        QVERIFY2(stateText(printed.state) == state,
                 QByteArray(pieces + stateText(printed.state).join(u", "_s).toUtf8()).constData());
    }
}

// A new speed means a new send: the unfinished rest of the last one can never complete.
void TestDisplayDecoder::newSpeedEndsUnfinishedCommand()
{
    DisplayDecoder decoder(3);
    QCOMPARE(decoder.receive("ka 01", 9600), QStringList());
    QVERIFY(decoder.hasPendingBytes());

    const QStringList lines = decoder.receive(oleviaPower, 115200);

    const QStringList expected
        = { u"COM3 9600 ? raw 6B 61 20 30 31"_s, u"COM3 115200 OLEVIA BE 05 25 08 F0 power toggle -> power=on"_s };
    QCOMPARE(lines, expected);
    QVERIFY(!decoder.hasPendingBytes());
    QCOMPARE(decoder.lineQuiet(), QStringList());
}

QTEST_GUILESS_MAIN(TestDisplayDecoder)
#include "test_display_decoder.moc"
