#include "serial/command_text.h"

#include <QTest>

using namespace vantiro;
using namespace Qt::StringLiterals;

namespace {

using Encoder = std::optional<QString> (*)(const QString &);

Encoder encoderNamed(const QString &name)
{
    return name == u"hex" ? hexDigitsText : name == u"decimal" ? decimalDigitsText : paddedHexText;
}

} // namespace

class TestCommandText : public QObject
{
    Q_OBJECT

private slots:
    void encoders_data();
    void encoders();
    void encodersRejectNonNumericValues();
    void textToCommandText_data();
    void textToCommandText();
    void fillPlaceholders();
    void parseCommandText_data();
    void parseCommandText();
    void textRoundTripsThroughParse();
};

void TestCommandText::encoders_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("fragment");

    // Hexadecimal digits as ASCII, no leading zeros, clamped to 0..100.
    QTest::newRow("hex 25") << "hex"
                            << "25"
                            << "31 39";
    QTest::newRow("hex 10 is the letter A") << "hex"
                                            << "10"
                                            << "41";
    QTest::newRow("hex 16 keeps its zero digit") << "hex"
                                                 << "16"
                                                 << "31 30";
    QTest::newRow("hex 0") << "hex"
                           << "0"
                           << "30";
    QTest::newRow("hex 101 clamps") << "hex"
                                    << "101"
                                    << "36 34";
    QTest::newRow("hex huge clamps") << "hex"
                                     << "123456789012345678901234567890"
                                     << "36 34";
    QTest::newRow("hex leading zeros, blanks") << "hex"
                                               << " 025 "
                                               << "31 39";
    QTest::newRow("hex negative clamps to 0") << "hex"
                                              << "-7"
                                              << "30";

    // Decimal digits as ASCII, clamped to 0..100, a typed leading zero kept.
    QTest::newRow("decimal 25") << "decimal"
                                << "25"
                                << "32 35";
    QTest::newRow("decimal 0") << "decimal"
                               << "0"
                               << "30";
    QTest::newRow("decimal 100") << "decimal"
                                 << "100"
                                 << "31 30 30";
    QTest::newRow("decimal 101 clamps") << "decimal"
                                        << "101"
                                        << "31 30 30";
    QTest::newRow("decimal 025 keeps its zero") << "decimal"
                                                << "025"
                                                << "30 32 35";
    // Four characters or more: the digits of the value, not the first character.
    QTest::newRow("decimal 0025 is 25") << "decimal"
                                        << " 0025 "
                                        << "32 35";
    QTest::newRow("decimal 0100 is 100") << "decimal"
                                         << "0100"
                                         << "31 30 30";
    QTest::newRow("decimal blanks trimmed") << "decimal"
                                            << " 7 "
                                            << "37";
    QTest::newRow("decimal negative clamps to 0") << "decimal"
                                                  << "-7"
                                                  << "30";

    // Two hexadecimal digits, zero-padded, no upper clamp: from 256 on only the first digit.
    QTest::newRow("padded 10") << "padded"
                               << "10"
                               << "30 41";
    QTest::newRow("padded 0") << "padded"
                              << "0"
                              << "30 30";
    QTest::newRow("padded 255") << "padded"
                                << "255"
                                << "46 46";
    QTest::newRow("padded 256 first digit") << "padded"
                                            << "256"
                                            << "31";
    QTest::newRow("padded 2^64 is 1 and zeros") << "padded"
                                                << "18446744073709551616"
                                                << "31";
    QTest::newRow("padded 2^64-1 is all F") << "padded"
                                            << "18446744073709551615"
                                            << "46";
    QTest::newRow("padded negative clamps to 0") << "padded"
                                                 << "-3"
                                                 << "30 30";
}

void TestCommandText::encoders()
{
    QFETCH(QString, encoder);
    QFETCH(QString, value);
    QFETCH(QString, fragment);
    QCOMPARE(encoderNamed(encoder)(value).value_or(u"(rejected)"_s), fragment);
}

void TestCommandText::encodersRejectNonNumericValues()
{
    // The last are arabic-indic digits.
    const QStringList values = { u""_s, u"   "_s, u"12a"_s, u"1 2"_s, u"-"_s, u"2.5"_s, u"\u0661\u0662"_s };
    for (const QString &value : values) {
        for (const char *name : { "hex", "decimal", "padded" })
            QVERIFY2(!encoderNamed(QString::fromLatin1(name))(value), qPrintable(QLatin1String(name) + u' ' + value));
    }
}

void TestCommandText::textToCommandText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("blanks kept") << " a 2"
                                 << "20 61 20 32";
    QTest::newRow("CR and LF escapes") << "ab<&H0D>x<&H0A>"
                                       << "61 62 0D 78 0A";
    QTest::newRow("lower-case escape is text") << "<&h0d>"
                                               << "3C 26 68 30 64 3E";
    QTest::newRow("raw CR and LF") << "a\r\n"
                                   << "61 0D 0A";
    QTest::newRow("tab is one digit") << "a\tb"
                                      << "61 9 62";
    QTest::newRow("latin-1 letter is one byte") << QString::fromUtf8("é") << "E9";
    QTest::newRow("beyond latin-1 as UTF-8") << QString::fromUtf8("東") << "E6 9D B1";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCommandText::textToCommandText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(vantiro::textToCommandText(text), expected);
}

// Every placeholder is filled and the result trimmed; the minor placeholder is filled on its own.
void TestCommandText::fillPlaceholders()
{
    const QString channel = fillPlaceholder(u" 6D 61 20 _ 20 _ 0D "_s, valuePlaceholder, *paddedHexText(u"12"_s));
    QCOMPARE(channel, u"6D 61 20 30 43 20 30 43 0D"_s);
    const QString major = fillPlaceholder(u"6D 61 20 _ 20 - 0D"_s, valuePlaceholder, *paddedHexText(u"7"_s));
    QCOMPARE(fillPlaceholder(major, minorPlaceholder, *paddedHexText(u"1"_s)), u"6D 61 20 30 37 20 30 31 0D"_s);
}

void TestCommandText::parseCommandText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("LG power on") << "6B 61 20 30 31 20 30 31 0D" << QByteArray("ka 01 01\r");
    QTest::newRow("lower case, binary, zero") << "6b be 00 F0" << QByteArray("\x6B\xBE\0\xF0", 4);
    QTest::newRow("one digit, leading zeros") << "9 0041" << QByteArray("\tA");
    QTest::newRow("blanks skipped") << " 41  42 " << QByteArray("AB");
    QTest::newRow("unfilled placeholders skipped") << "30 _ - 31" << QByteArray("01");
    QTest::newRow("not a byte skipped") << "6G 100 0x41 +1 41" << QByteArray("A");
    QTest::newRow("tab inside a token") << "41\t42 43" << QByteArray("C");
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
    QByteArray expected;
    for (int code = 1; code <= 0xFF; ++code) {
        text.append(QChar(code));
        expected.append(char(code));
    }
    QCOMPARE(vantiro::parseCommandText(vantiro::textToCommandText(text)), expected);
}

QTEST_APPLESS_MAIN(TestCommandText)
#include "test_command_text.moc"
