// vantiro-send's quick start, which loads no Qt library: where it asks for the running copy, and how it writes its
// request and reads the answer, both checked against Qt's own JSON.
#include "running_copy/plain_client.h"
#include "running_copy/runtime_folder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace vantiro;
using namespace Qt::StringLiterals;

class TestPlainClient : public QObject
{
    Q_OBJECT

private slots:
    void recordedFolderIsAskedFirst_data();
    void recordedFolderIsAskedFirst();
    void textsSurviveTheWayThereAndBack_data();
    void textsSurviveTheWayThereAndBack();
    void malformedAnswersAreNotRead_data();
    void malformedAnswersAreNotRead();
};

void TestPlainClient::recordedFolderIsAskedFirst_data()
{
    QTest::addColumn<QString>("record"); // what the record names: "other", "own", "open", "file", "none"
    QTest::addColumn<bool>("recordedFirst");
    QTest::newRow("a copy started elsewhere (cron, boot)") << u"other"_s << true;
    QTest::newRow("the copy of this environment") << u"own"_s << false;
    // A folder another user could have made is never asked.
    QTest::newRow("open folder") << u"open"_s << false;
    QTest::newRow("not a folder") << u"file"_s << false;
    QTest::newRow("no record") << u"none"_s << false;
}

// The copy's record names the folder it listens in; the quick start asks there first, then in its own runtime
// folder.
void TestPlainClient::recordedFolderIsAskedFirst()
{
    QFETCH(QString, record);
    QFETCH(bool, recordedFirst);
    QTemporaryDir base;
    const QString own = base.filePath(u"own"_s);
    const QString other = base.filePath(u"other"_s);
    const QString state = base.filePath(u"state"_s);
    for (const QString &folder : { own, other, state })
        QVERIFY(QDir().mkpath(folder) && ::chmod(QFile::encodeName(folder).constData(), 0700) == 0);
    const QString named = record == u"own"_s ? own : base.filePath(record);
    if (record == u"open"_s)
        QVERIFY(QDir().mkpath(named) && ::chmod(QFile::encodeName(named).constData(), 0755) == 0);
    if (record == u"file"_s)
        QVERIFY(QFile(named).open(QIODevice::WriteOnly));
    if (record != u"none"_s) {
        QFile file(listeningRecordPath(state));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QFile::encodeName(named) + '\n') > 0);
    }

    const std::vector<std::string> asked = plain_client::copyFolders(
        { own.toStdString(), base.filePath(u"run-user"_s).toStdString(), {}, state.toStdString(), ::geteuid() });
    std::vector<std::string> expected { own.toStdString() };
    if (recordedFirst)
        expected.insert(expected.begin(), other.toStdString());
    QCOMPARE(asked, expected);
}

void TestPlainClient::textsSurviveTheWayThereAndBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << u"Lobby"_s;
    QTest::newRow("quotes and backslashes") << u"say \"hi\" \\ C:\\dir"_s;
    QTest::newRow("lines and tabs") << u"COM 2 not reached: no such device\n\tsecond line\r\n"_s;
    QTest::newRow("control characters") << QString::fromUtf16(u"\u0001\u001f\u007f")
                                        + QStringLiteral("end");
    QTest::newRow("beyond ASCII") << u"Empfangshalle Süd — écran №3"_s;
    QTest::newRow("beyond 16 bits") << QString::fromUtf8("display \xF0\x9F\x93\xBA ok");
    QTest::newRow("empty") << QString();
}

// An argument goes out as a JSON text Qt reads back unchanged; a text of the copy's answer, as Qt writes it, is
// read back unchanged, beside a whole number and values that are passed over.
void TestPlainClient::textsSurviveTheWayThereAndBack()
{
    QFETCH(QString, text);
    const std::string utf8 = text.toStdString();

    const std::string request = "[" + plain_client::jsonText(utf8) + "]";
    QJsonParseError error;
    const QJsonDocument sent = QJsonDocument::fromJson(QByteArray::fromStdString(request), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(sent.array().at(0).toString(), text);

    QJsonArray passedOver;
    passedOver.append(QJsonObject { { u"port"_s, text } });
    passedOver.append(3.5);
    passedOver.append(true);
    QJsonObject fields { { u"exit"_s, 1 }, { u"out"_s, text }, { u"err"_s, QString(text + u"!"_s) } };
    fields.insert(u"ports"_s, passedOver);
    const std::string line = "ok " + QJsonDocument(fields).toJson(QJsonDocument::Compact).toStdString();
    const std::optional<plain_client::Answer> answer = plain_client::readAnswer(line);
    QVERIFY(answer);
    QCOMPARE(answer->word, std::string("ok"));
    QCOMPARE(answer->numbers.at("exit"), 1LL);
    QCOMPARE(QString::fromStdString(answer->texts.at("out")), text);
    QCOMPARE(QString::fromStdString(answer->texts.at("err")), text + u"!"_s);
    QVERIFY(!answer->texts.contains("port"));
}

void TestPlainClient::malformedAnswersAreNotRead_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("no word") << QByteArray(" {\"exit\":0}");
    QTest::newRow("word in capitals") << QByteArray("OK {\"exit\":0}");
    QTest::newRow("not an object") << QByteArray("ok [1]");
    QTest::newRow("cut short") << QByteArray("ok {\"exit\":0,\"out\":\"hal");
    QTest::newRow("trailing garbage") << QByteArray("ok {\"exit\":0} x");
    QTest::newRow("raw line feed in a text") << QByteArray("ok {\"out\":\"a\nb\"}");
    QTest::newRow("nested too deep") << QByteArray("ok {\"a\":") + QByteArray(100, '[') + QByteArray(100, ']')
            + QByteArray("}");
}

void TestPlainClient::malformedAnswersAreNotRead()
{
    QFETCH(QByteArray, line);
    QVERIFY(!plain_client::readAnswer(line.toStdString()));
}

QTEST_GUILESS_MAIN(TestPlainClient)
#include "test_plain_client.moc"
