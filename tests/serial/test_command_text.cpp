#include "serial/command_text.h"

#include <QTest>

#include <functional>

using namespace vantiro;

namespace {

using Encoder = std::function<std::optional<QString>(const QString &)>;

Encoder encoderNamed(const QString &name)
{
    if (name == u"hex")
        return hexDigitsText;
    if (name == u"decimal")
        return decimalDigitsText;
    return paddedHexText;
}

// "kf 01 19\r" style reading of bytes, to check that a filled command says what it should.
QString asciiReading(const QByteArray &bytes)
{
    QString text = QString::fromLatin1(bytes);
    text.replace(u'\r', QStringLiteral("<CR>"));
    return text;
}

} // namespace

class TestCommandText : public QObject
{
    Q_OBJECT

private slots:
    void encoders_data();
    void encoders();
    void encodersRejectNonNumericValues_data();
    void encodersRejectNonNumericValues();
    void textToCommandText_data();
    void textToCommandText();
    void filledTemplates_data();
    void filledTemplates();
    void parseCommandText_data();
    void parseCommandText();
    void textRoundTripsThroughParse();
};

void TestCommandText::encoders_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("fragment");

    // Hexadecimal digits as ASCII, clamped to 0..100.
    QTest::newRow("hex 25") << "hex" << "25" << "31 39";
    QTest::newRow("hex 5") << "hex" << "5" << "35";
    QTest::newRow("hex 10 is the letter A") << "hex" << "10" << "41";
    QTest::newRow("hex 15 one token") << "hex" << "15" << "46";
    QTest::newRow("hex 16 two tokens") << "hex" << "16" << "31 30";
    QTest::newRow("hex 100") << "hex" << "100" << "36 34";
    QTest::newRow("hex 101 clamps") << "hex" << "101" << "36 34";
    QTest::newRow("hex 150 clamps") << "hex" << "150" << "36 34";
    QTest::newRow("hex 999 clamps") << "hex" << "999" << "36 34";
    QTest::newRow("hex huge clamps") << "hex" << "123456789012345678901234567890" << "36 34";
    QTest::newRow("hex 0") << "hex" << "0" << "30";
    QTest::newRow("hex leading zeros") << "hex" << "025" << "31 39";
    QTest::newRow("hex blanks around") << "hex" << " 25 " << "31 39";
    QTest::newRow("hex negative clamps to 0") << "hex" << "-7" << "30";

    // Decimal digits as ASCII, clamped to 0..100, leading zeros kept.
    QTest::newRow("decimal 25") << "decimal" << "25" << "32 35";
    QTest::newRow("decimal 5") << "decimal" << "5" << "35";
    QTest::newRow("decimal 100") << "decimal" << "100" << "31 30 30";
    QTest::newRow("decimal 101 clamps") << "decimal" << "101" << "31 30 30";
    QTest::newRow("decimal 150 clamps") << "decimal" << "150" << "31 30 30";
    QTest::newRow("decimal 999 clamps") << "decimal" << "999" << "31 30 30";
    QTest::newRow("decimal 0") << "decimal" << "0" << "30";
    QTest::newRow("decimal 025 keeps its zero") << "decimal" << "025" << "30 32 35";
    QTest::newRow("decimal blanks trimmed") << "decimal" << " 7 " << "37";
    QTest::newRow("decimal negative clamps to 0") << "decimal" << "-7" << "30";

    // Two hexadecimal digits, zero-padded, no upper clamp.
    QTest::newRow("padded 5") << "padded" << "5" << "30 35";
    QTest::newRow("padded 10") << "padded" << "10" << "30 41";
    QTest::newRow("padded 12") << "padded" << "12" << "30 43";
    QTest::newRow("padded 25") << "padded" << "25" << "31 39";
    QTest::newRow("padded 0") << "padded" << "0" << "30 30";
    QTest::newRow("padded 15") << "padded" << "15" << "30 46";
    QTest::newRow("padded 255") << "padded" << "255" << "46 46";
    QTest::newRow("padded 256 first digit") << "padded" << "256" << "31";
    QTest::newRow("padded 300 is 12C") << "padded" << "300" << "31";
    QTest::newRow("padded 999 is 3E7") << "padded" << "999" << "33";
    QTest::newRow("padded 65535 is FFFF") << "padded" << "65535" << "46";
    QTest::newRow("padded 2^64 is 1 and zeros") << "padded" << "18446744073709551616" << "31";
    QTest::newRow("padded negative clamps to 0") << "padded" << "-3" << "30 30";
}

void TestCommandText::encoders()
{
    QFETCH(QString, encoder);
    QFETCH(QString, value);
    QFETCH(QString, fragment);

    const std::optional<QString> encoded = encoderNamed(encoder)(value);
    QVERIFY(encoded.has_value());
    QCOMPARE(*encoded, fragment);
}

void TestCommandText::encodersRejectNonNumericValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
    QTest::newRow("letters") << "abc";
    QTest::newRow("digits then letters") << "12a";
    QTest::newRow("inner blank") << "1 2";
    QTest::newRow("minus alone") << "-";
    QTest::newRow("decimal point") << "2.5";
    QTest::newRow("hex spelling") << "0x1F";
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662");
}

void TestCommandText::encodersRejectNonNumericValues()
{
    QFETCH(QString, value);
    QVERIFY(!hexDigitsText(value).has_value());
    QVERIFY(!decimalDigitsText(value).has_value());
    QVERIFY(!paddedHexText(value).has_value());
}

void TestCommandText::textToCommandText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("digits") << "22" << "32 32";
    QTest::newRow("carriage return escape") << "ab<&H0D>" << "61 62 0D";
    QTest::newRow("line feed escape") << "x<&H0A>y" << "78 0A 79";
    QTest::newRow("both escapes") << "<&H0D><&H0A>" << "0D 0A";
    QTest::newRow("lower-case escape is text") << "<&h0d>" << "3C 26 68 30 64 3E";
    QTest::newRow("raw carriage return") << "a\r" << "61 0D";
    QTest::newRow("tab is one digit") << "a\tb" << "61 9 62";
    QTest::newRow("blank inside") << "a b" << "61 20 62";
    QTest::newRow("blanks at the ends") << " a " << "20 61 20";
    QTest::newRow("Vvuon key") << "@KEY:0<&H0D>" << "40 4B 45 59 3A 30 0D";
    QTest::newRow("latin-1 letter is one byte") << QString::fromUtf8("é") << "E9";
    QTest::newRow("beyond latin-1 as UTF-8") << QString::fromUtf8("東") << "E6 9D B1";
    QTest::newRow("empty") << "" << "";
}

void TestCommandText::textToCommandText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(vantiro::textToCommandText(text), expected);
}

void TestCommandText::filledTemplates_data()
{
    QTest::addColumn<QString>("commandTemplate");
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("minorValue"); // empty: no minor placeholder to fill
    QTest::addColumn<QString>("filled");
    QTest::addColumn<QString>("reading");

    const QString volume = QStringLiteral("6B 66 20 30 31 20 _ 0D");
    QTest::newRow("LG volume 25") << volume << "hex" << "25" << "" << "6B 66 20 30 31 20 31 39 0D" << "kf 01 19<CR>";
    QTest::newRow("LG volume 5") << volume << "hex" << "5" << "" << "6B 66 20 30 31 20 35 0D" << "kf 01 5<CR>";
    QTest::newRow("LG volume 100") << volume << "hex" << "100" << "" << "6B 66 20 30 31 20 36 34 0D"
                                   << "kf 01 64<CR>";
    QTest::newRow("LG input 3") << "6B 62 20 30 31 20 30 _ 0D" << "hex" << "3" << "" << "6B 62 20 30 31 20 30 33 0D"
                                << "kb 01 03<CR>";
    QTest::newRow("channel, two placeholders") << "6D 61 20 30 31 20 _ 20 30 30 20 _ 20 30 30 20 30 30 20 30 30 0D"
                                               << "padded" << "12" << ""
                                               << "6D 61 20 30 31 20 30 43 20 30 30 20 30 43 20 30 30 20 30 30 20 30 "
                                                  "30 0D"
                                               << "ma 01 0C 00 0C 00 00 00<CR>";
    QTest::newRow("ATSC major and minor") << "6D 61 20 30 31 20 30 33 20 30 30 20 _ 20 30 30 20 - 20 30 32 0D"
                                          << "padded" << "7" << "1"
                                          << "6D 61 20 30 31 20 30 33 20 30 30 20 30 37 20 30 30 20 30 31 20 30 32 0D"
                                          << "ma 01 03 00 07 00 01 02<CR>";
    QTest::newRow("Vvuon volume 25") << "40 56 4F 4C 3A _ 0D" << "decimal" << "25" << "" << "40 56 4F 4C 3A 32 35 0D"
                                     << "@VOL:25<CR>";
    QTest::newRow("blanks trimmed after filling") << " 6B 66 20 30 31 20 _ 0D " << "hex" << "25" << ""
                                                  << "6B 66 20 30 31 20 31 39 0D" << "kf 01 19<CR>";
}

void TestCommandText::filledTemplates()
{
    QFETCH(QString, commandTemplate);
    QFETCH(QString, encoder);
    QFETCH(QString, value);
    QFETCH(QString, minorValue);
    QFETCH(QString, filled);
    QFETCH(QString, reading);

    const Encoder encode = encoderNamed(encoder);
    QString command = fillPlaceholder(commandTemplate, valuePlaceholder, encode(value).value());
    if (!minorValue.isEmpty())
        command = fillPlaceholder(command, minorPlaceholder, encode(minorValue).value());

    QCOMPARE(command, filled);
    QCOMPARE(asciiReading(vantiro::parseCommandText(command)), reading);
}

void TestCommandText::parseCommandText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("LG power on") << "6B 61 20 30 31 20 30 31 0D" << QByteArray("ka 01 01\r");
    QTest::newRow("double blank skipped") << "6B  61" << QByteArray("\x6B\x61");
    QTest::newRow("lower case") << "6b 0d" << QByteArray("\x6B\x0D");
    QTest::newRow("above FF skipped") << "6B 100 61" << QByteArray("\x6B\x61");
    QTest::newRow("zero byte") << "00" << QByteArray(1, '\0');
    QTest::newRow("unfilled value placeholder") << "6B 66 20 30 31 20 _ 0D" << QByteArray("kf 01 \r");
    QTest::newRow("unfilled minor placeholder") << "30 - 31" << QByteArray("01");
    QTest::newRow("blanks at the ends") << " 41 42 " << QByteArray("AB");
    QTest::newRow("one-digit token") << "9" << QByteArray("\t");
    QTest::newRow("leading zeros") << "0041" << QByteArray("A");
    QTest::newRow("binary bytes") << "BE 05 25 08 F0" << QByteArray("\xBE\x05\x25\x08\xF0");
    QTest::newRow("not hex") << "6G 0x41 +1 41" << QByteArray("A");
    QTest::newRow("tab inside a token") << "41\t42 43" << QByteArray("C");
    QTest::newRow("only blanks") << "   " << QByteArray();
    QTest::newRow("empty") << "" << QByteArray();
}

void TestCommandText::parseCommandText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(vantiro::parseCommandText(text), bytes);
}

void TestCommandText::textRoundTripsThroughParse()
{
    // Every byte value typed as a character comes back as that byte.
    QString text;
    for (int code = 1; code <= 0xFF; ++code)
        text.append(QChar(code));
    const QByteArray bytes = vantiro::parseCommandText(vantiro::textToCommandText(text));
    QCOMPARE(bytes.size(), 255);
    for (int code = 1; code <= 0xFF; ++code)
        QCOMPARE(quint8(bytes.at(code - 1)), quint8(code));
}

QTEST_APPLESS_MAIN(TestCommandText)
#include "test_command_text.moc"
