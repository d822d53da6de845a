#include "display_decoder.h"
#include "serial/command_text.h"

#include <QTest>

using namespace vantiro;
using namespace vantiro::displays;
using namespace Qt::StringLiterals;

namespace {

const QByteArray oleviaPower = QByteArray::fromHex("BE052508F0");

// The bytes Vantiro sends for a command template filled with an encoded value.
QByteArray filled(const QString &commandTemplate, const std::optional<QString> &fragment)
{
    return parseCommandText(fillPlaceholder(commandTemplate, valuePlaceholder, fragment.value()));
}

// Everything a fresh display on COM 1 prints for the stream fed at 9600 in pieces of `chunkSize`
// bytes (the whole stream at once for 0); the lines that came only when the line went quiet are counted.
struct Printed
{
    QStringList lines;
    int linesOnQuiet = 0;
    QStringList state;
};

Printed feedInChunks(const QByteArray &stream, qsizetype chunkSize)
{
    DisplayDecoder decoder(1);
    Printed printed;
    const qsizetype step = chunkSize > 0 ? chunkSize : qMax<qsizetype>(1, stream.size());
    for (qsizetype at = 0; at < stream.size(); at += step)
        printed.lines += decoder.receive(QByteArrayView(stream).sliced(at, qMin(step, stream.size() - at)), 9600);
    const QStringList onQuiet = decoder.lineQuiet();
    printed.lines += onQuiet;
    printed.linesOnQuiet = int(onQuiet.size());
    for (auto it = decoder.state().cbegin(); it != decoder.state().cend(); ++it)
        printed.state.append(it.key() + u'=' + it.value());
    return printed;
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
    void floodOfUnplacedBytes_data();
    void floodOfUnplacedBytes();
};

// Commands Vantiro sends, one at a time, and the line the display on COM1 at 9600 prints for them.
void TestDisplayDecoder::decodesEachCommand_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");

    const QString lgVolume = u"6B 66 20 30 31 20 _ 0D"_s;
    QTest::newRow("LG power on") << "ka 01 01\r"_ba << u"LG \"ka 01 01\" power on -> power=on"_s;
    QTest::newRow("LG volume mute on is data 00")
        << "ke 01 00\r"_ba << u"LG \"ke 01 00\" volume mute on -> volume-mute=on"_s;
    QTest::newRow("LG volume is hexadecimal")
        << filled(lgVolume, hexDigitsText(u"25"_s)) << u"LG \"kf 01 19\" volume 25 -> volume=25"_s;
    QTest::newRow("LG input") << filled(u"6B 62 20 30 31 20 30 _ 0D"_s, hexDigitsText(u"7"_s))
                              << u"LG \"kb 01 07\" input RGB-PC -> input=RGB-PC"_s;
    QTest::newRow("LG last input") << "kb 01 09\r"_ba
                                   << u"LG \"kb 01 09\" input DVI-PC(HDMI2) -> input=DVI-PC(HDMI2)"_s;
    QTest::newRow("LG last aspect ratio") << "kc 01 06\r"_ba << u"LG \"kc 01 06\" aspect ratio 14:9 -> aspect=14:9"_s;
    QTest::newRow("LG NTSC air channel") << filled(
        u"6D 61 20 30 31 20 _ 20 30 30 20 _ 20 30 30 20 30 30 20 30 30 0D"_s,
        paddedHexText(u"12"_s)) << u"LG \"ma 01 0C 00 0C 00 00 00\" channel 12 NTSC Air -> channel=12 NTSC Air"_s;
    QTest::newRow("LG ATSC air channel")
        << "ma 01 03 00 07 00 01 02\r"_ba
        << u"LG \"ma 01 03 00 07 00 01 02\" channel 7-1 ATSC Air -> channel=7-1 ATSC Air"_s;
    QTest::newRow("LG auto configuration sets nothing") << "ju 01 01\r"_ba << u"LG \"ju 01 01\" auto configuration"_s;
    QTest::newRow("OLEVIA volume") << filled(u"6B 66 20 30 20 _ 0D"_s, hexDigitsText(u"25"_s))
                                   << u"OLEVIA \"kf 0 19\" volume 25 -> volume=25"_s;
    QTest::newRow("Vvuon power key") << "@KEY:0\r"_ba << u"HYUNDAI-Vvuon \"@KEY:0\" power on -> power=on"_s;
    QTest::newRow("Vvuon power off") << "@PWD:0\r"_ba << u"HYUNDAI-Vvuon \"@PWD:0\" power off -> power=off"_s;
    QTest::newRow("Vvuon mute off to every port")
        << "@MUS:0\r"_ba << u"HYUNDAI-Vvuon \"@MUS:0\" volume mute off -> volume-mute=off"_s;
    QTest::newRow("Vvuon volume is decimal, leading zero")
        << filled(u"40 56 4F 4C 3A _ 0D"_s, decimalDigitsText(u"025"_s))
        << u"HYUNDAI-Vvuon \"@VOL:025\" volume 25 -> volume=25"_s;
    QTest::newRow("Vvuon key 0 is code 10") << "@KEY:10\r"_ba << u"HYUNDAI-Vvuon \"@KEY:10\" key 0"_s;
    QTest::newRow("Vvuon named key") << "@KEY:22\r"_ba << u"HYUNDAI-Vvuon \"@KEY:22\" key FREEZE"_s;
    QTest::newRow("Vvuon key without code") << "@KEY:\r"_ba << u"HYUNDAI-Vvuon \"@KEY:\" key PIP SET"_s;
    QTest::newRow("D525ML power off") << "did:all-pf."_ba << u"HYUNDAI-D525ML \"did:all-pf.\" power off -> power=off"_s;
    QTest::newRow("D525ML component input")
        << "did:all-sc."_ba << u"HYUNDAI-D525ML \"did:all-sc.\" input component -> input=Component"_s;
    QTest::newRow("D525ML step sets nothing")
        << "did:all-sbu."_ba << u"HYUNDAI-D525ML \"did:all-sbu.\" sub-brightness up"_s;
    QTest::newRow("D525ML display sequence")
        << parseCommandText(u"64 69 64 3A 61 6C 6C 2D "_s + textToCommandText(u"5"_s) + u" 2E"_s)
        << u"HYUNDAI-D525ML \"did:all-5.\" display sequence 5 -> sequence=5"_s;
    QTest::newRow("D525ML set window")
        << "did:all-nh1v12."_ba << u"HYUNDAI-D525ML \"did:all-nh1v12.\" set window H1 V12 -> set-window=H1 V12"_s;

    // Framed like a command of a model, but not one Vantiro sends with that meaning.
    QTest::newRow("LG power value out of range") << "ka 01 05\r"_ba << u"LG \"ka 01 05\" power 05 (not understood)"_s;
    QTest::newRow("LG input past the list") << "kb 01 0A\r"_ba << u"LG \"kb 01 0A\" input 0A (not understood)"_s;
    QTest::newRow("unknown Vvuon keyword")
        << "@ABC:1\r"_ba << u"HYUNDAI-Vvuon \"@ABC:1\" command ABC 1 (not understood)"_s;
    QTest::newRow("unknown D525ML function")
        << "did:all-zz."_ba << u"HYUNDAI-D525ML \"did:all-zz.\" function zz (not understood)"_s;
    QTest::newRow("unfilled template") << parseCommandText(lgVolume) << u"? raw 6B 66 20 30 31 20 0D"_s;
}

void TestDisplayDecoder::decodesEachCommand()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    QCOMPARE(feedInChunks(bytes, 0).lines, QStringList { u"COM1 9600 "_s + line });
}

// Commands arrive back to back with nothing between them but their own end byte, in pieces of any
// size. Each row is fed whole and in pieces of every size; the printed lines (all on COM1 at 9600)
// and the final state must not depend on the pieces. Lines for bytes that fit no command come before
// the next command, or once the line is quiet when nothing follows.
void TestDisplayDecoder::streams_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("linesOnQuiet");
    QTest::addColumn<QStringList>("state");

    QTest::newRow("LG commands back to back")
        << "ka 01 01\rkf 01 19\rkb 01 07\rkf 01 A\r"_ba
        << QStringList { u"LG \"ka 01 01\" power on -> power=on"_s, u"LG \"kf 01 19\" volume 25 -> volume=25"_s,
                         u"LG \"kb 01 07\" input RGB-PC -> input=RGB-PC"_s, u"LG \"kf 01 A\" volume 10 -> volume=10"_s }
        << 0 << QStringList { u"input=RGB-PC"_s, u"power=on"_s, u"volume=10"_s };
    QTest::newRow("OLEVIA binary toggles between text commands")
        << oleviaPower + "ke 0 0\r"_ba + oleviaPower + "kf 0 19\r"_ba + oleviaPower
        << QStringList { u"OLEVIA BE 05 25 08 F0 power toggle -> power=on"_s,
                         u"OLEVIA \"ke 0 0\" volume mute on -> volume-mute=on"_s,
                         u"OLEVIA BE 05 25 08 F0 power toggle -> power=off"_s,
                         u"OLEVIA \"kf 0 19\" volume 25 -> volume=25"_s,
                         u"OLEVIA BE 05 25 08 F0 power toggle -> power=on"_s }
        << 0 << QStringList { u"power=on"_s, u"volume=25"_s, u"volume-mute=on"_s };
    QTest::newRow("every family on one display")
        << "@VOL:30\rka 01 01\rdid:all-sd.did:all-ch2v3.@MUT:1\rkd 01 01\r"_ba
        << QStringList { u"HYUNDAI-Vvuon \"@VOL:30\" volume 30 -> volume=30"_s,
                         u"LG \"ka 01 01\" power on -> power=on"_s,
                         u"HYUNDAI-D525ML \"did:all-sd.\" input HDMI -> input=HDMI"_s,
                         u"HYUNDAI-D525ML \"did:all-ch2v3.\" set count H2 V3 -> set-count=H2 V3"_s,
                         u"HYUNDAI-Vvuon \"@MUT:1\" volume mute on -> volume-mute=on"_s,
                         u"LG \"kd 01 01\" screen mute on -> screen-mute=on"_s }
        << 0 << QStringList { u"input=HDMI"_s,      u"power=on"_s,  u"screen-mute=on"_s,
                              u"set-count=H2 V3"_s, u"volume=30"_s, u"volume-mute=on"_s };
    QTest::newRow("unknown bytes before a command")
        << "\x01\x02\xFFka 01 00\r"_ba
        << QStringList { u"? raw 01 02 FF"_s, u"LG \"ka 01 00\" power off -> power=off"_s } << 0
        << QStringList { u"power=off"_s };
    QTest::newRow("unknown bytes after a command wait for quiet")
        << "kd 01 01\r\x00\x7F\r.."_ba
        << QStringList { u"LG \"kd 01 01\" screen mute on -> screen-mute=on"_s, u"? raw 00 7F 0D 2E 2E"_s } << 1
        << QStringList { u"power=off"_s, u"screen-mute=on"_s };
    QTest::newRow("unfinished command comes out raw")
        << "kd 01 01\rka 01"_ba
        << QStringList { u"LG \"kd 01 01\" screen mute on -> screen-mute=on"_s, u"? raw 6B 61 20 30 31"_s } << 1
        << QStringList { u"power=off"_s, u"screen-mute=on"_s };
    QTest::newRow("broken binary command")
        << "\xBE\x05\x25kd 01 01\r"_ba
        << QStringList { u"? raw BE 05 25"_s, u"LG \"kd 01 01\" screen mute on -> screen-mute=on"_s } << 0
        << QStringList { u"power=off"_s, u"screen-mute=on"_s };
    QTest::newRow("stray start bytes run into a command")
        << "@kka 01 00\r"_ba << QStringList { u"? raw 40 6B"_s, u"LG \"ka 01 00\" power off -> power=off"_s } << 0
        << QStringList { u"power=off"_s };
}

void TestDisplayDecoder::streams()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, lines);
    QFETCH(int, linesOnQuiet);
    QFETCH(QStringList, state);

    for (QString &line : lines)
        line.prepend(u"COM1 9600 "_s);
    for (qsizetype chunkSize = 0; chunkSize < stream.size(); ++chunkSize) {
        const Printed printed = feedInChunks(stream, chunkSize);
        const QByteArray pieces = "pieces of " + QByteArray::number(chunkSize) + " (0: whole): ";
        QVERIFY2(printed.lines == lines, QByteArray(pieces + printed.lines.join(u" | "_s).toUtf8()).constData());
        QVERIFY2(printed.linesOnQuiet == linesOnQuiet, pieces.constData());
        QVERIFY2(printed.state == state, QByteArray(pieces + printed.state.join(u", "_s).toUtf8()).constData());
    }
}

// A new speed means a new send: the unfinished rest of the last one can never complete.
void TestDisplayDecoder::newSpeedEndsUnfinishedCommand()
{
    DisplayDecoder decoder(3);
    QCOMPARE(decoder.receive("ka 01", 9600), QStringList());
    QVERIFY(decoder.hasPendingBytes());

    const QStringList expected
        = { u"COM3 9600 ? raw 6B 61 20 30 31"_s, u"COM3 115200 OLEVIA BE 05 25 08 F0 power toggle -> power=on"_s };
    QCOMPARE(decoder.receive(oleviaPower, 115200), expected);
    QVERIFY(!decoder.hasPendingBytes());
    QCOMPARE(decoder.lineQuiet(), QStringList());
}

void TestDisplayDecoder::floodOfUnplacedBytes_data()
{
    QTest::addColumn<QByteArray>("flood");
    QTest::addColumn<qsizetype>("pieceSize"); // how the bytes arrive

    QByteArray startsThatFail; // each "k" starts an LG command that breaks off a few bytes later
    while (startsThatFail.size() < 64 * 1024)
        startsThatFail += "ka 01 0";
    QTest::newRow("broken starts, at once") << startsThatFail << qsizetype(0);
    QTest::newRow("broken starts, in pieces") << startsThatFail << qsizetype(100);
    QTest::newRow("no start at all, in pieces") << QByteArray(64 * 1024, '\x01') << qsizetype(4096);
}

// A display flooded with bytes that fit no command keeps up: each byte is looked at a bounded number
// of times, they come out in frames of a bounded size, whole and in order, and a command after them
// is still found.
void TestDisplayDecoder::floodOfUnplacedBytes()
{
    QFETCH(QByteArray, flood);
    QFETCH(qsizetype, pieceSize);

    const QByteArray stream = flood + "ka 01 01\r";
    const qsizetype step = pieceSize > 0 ? pieceSize : stream.size();
    CommandFramer framer;
    QList<Frame> frames;
    for (qsizetype at = 0; at < stream.size(); at += step)
        frames += framer.feed(QByteArrayView(stream).sliced(at, qMin(step, stream.size() - at)), 9600);
    QVERIFY(!frames.isEmpty());
    const Frame command = frames.takeLast();
    QCOMPARE(command.framing, Framing::LgText);
    QCOMPARE(command.bytes, QByteArray("ka 01 01\r"));
    QByteArray unplaced;
    for (const Frame &frame : std::as_const(frames)) {
        QCOMPARE(frame.framing, Framing::Unplaced);
        QVERIFY2(frame.bytes.size() <= 1024, QByteArray::number(frame.bytes.size()).constData());
        unplaced += frame.bytes;
    }
    QCOMPARE(unplaced, flood);
    QVERIFY(!framer.hasPending());
}

QTEST_GUILESS_MAIN(TestDisplayDecoder)
#include "test_display_decoder.moc"
