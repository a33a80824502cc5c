// The unit's logic without a line: framing, answers, memory and its file, options.

#include "sim_tests.h"

#include "sim/command_line.h"
#include "sim/unit_memory.h"
#include "sim/unit_protocol.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvex::sim;

namespace {

const QByteArray kErr(kRefusal);

QByteArray answerOf(const QByteArray& command, UnitMemory& memory)
{
    return answerCommand(command, kIdentity, memory).reply;
}

} // namespace

class TestSimLogic : public QObject
{
    Q_OBJECT
private slots:
    void framing_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QByteArray>>("commands");
        QTest::addColumn<QByteArray>("pending");

        using L = QList<QByteArray>;
        QTest::newRow("one command") << L{"?\r"} << L{"?\r"} << QByteArray();
        QTest::newRow("byte by byte") << L{"?", "N", "\r"} << L{"?N\r"} << QByteArray();
        QTest::newRow("two in one chunk") << L{"?N\r?E\r"} << L{"?N\r", "?E\r"} << QByteArray();
        QTest::newRow("no CR yet") << L{"?P"} << L{} << QByteArray("?P");
        QTest::newRow("a bare CR") << L{"\r"} << L{"\r"} << QByteArray();
        QTest::newRow("LF is no end") << L{"?\n"} << L{} << QByteArray("?\n");
        QTest::newRow("message write") << L{"&M2ab" + kEnd} << L{"&M2ab" + kEnd} << QByteArray();
        QTest::newRow("message with CR LF, then a query")
            << L{"&M0l1\r\nl2" + kEnd + "?\r"} << L{"&M0l1\r\nl2" + kEnd, "?\r"} << QByteArray();
        QTest::newRow("message split after the & and after a CR")
            << L{"&", "M1x\r", QByteArray("y\0", 2), "\r"} << L{"&M1x\ry" + kEnd} << QByteArray();
        QTest::newRow("message waits for NUL then CR")
            << L{"&M0abc\r", QByteArray("d\0", 2)} << L{} << QByteArray("&M0abc\rd\0", 9);
        QTest::newRow("a NUL alone ends no message")
            << L{QByteArray("&M0a\0b", 6) + kEnd} << L{QByteArray("&M0a\0b", 6) + kEnd}
            << QByteArray();
        QTest::newRow("& then another write") << L{"&", "N3\r"} << L{"&N3\r"} << QByteArray();
        QTest::newRow("NUL CR outside a message write")
            << L{"?M3" + kEnd} << L{"?M3" + kEnd} << QByteArray();
        // Nothing the unit knows is longer than "&M", a digit, 80 bytes of text, NUL and CR.
        const QByteArray longText(100000, 'x');
        QTest::newRow("an endless message write is kept in part")
            << L{"&M0", longText} << L{} << "&M0" + longText.left(83);
        QTest::newRow("an overlong message write keeps its end")
            << L{"&M0", longText, kEnd + "?\r"} << L{"&M0" + longText.left(83) + kEnd, "?\r"}
            << QByteArray();
        QTest::newRow("an overlong line keeps its end")
            << L{"&P0" + longText + "\r"} << L{"&P0" + longText.left(83) + "\r"} << QByteArray();
    }

    void framing()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<QByteArray>, commands);
        QFETCH(QByteArray, pending);

        CommandFramer framer;
        QList<QByteArray> received;
        for (const QByteArray& chunk : chunks)
            received += framer.feed(chunk);
        QCOMPARE(received, commands);
        QCOMPARE(framer.pending(), pending);
    }

    // Reads answer the unit's defaults; malformed commands are refused. Neither changes anything.

    void aFreshUnitAnswersAndStaysAsItWas_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");

        QTest::newRow("identify") << QByteArray("?\r") << kIdentityReply;
        QTest::newRow("count") << QByteArray("?N\r") << QByteArray("N0\r");
        QTest::newRow("mask") << QByteArray("?E\r") << QByteArray("E00000000\r");
        QTest::newRow("phone 0") << QByteArray("?P0\r") << QByteArray("P00000000000\r");
        QTest::newRow("phone 9") << QByteArray("?P9\r") << QByteArray("P90000000000\r");
        QTest::newRow("test phone") << QByteArray("?P:\r") << QByteArray("P:0000000000\r");
        QTest::newRow("message 0") << QByteArray("?M0\r") << "M0Power 1 is ON" + kEnd;
        QTest::newRow("message 7") << QByteArray("?M7\r") << "M7Test message" + kEnd;
        QTest::newRow("a bare CR") << QByteArray("\r") << kErr;
        QTest::newRow("LF before CR") << QByteArray("?\n\r") << kErr;
        QTest::newRow("leading blank") << QByteArray(" ?\r") << kErr;
        QTest::newRow("lower case") << QByteArray("?n\r") << kErr;
        QTest::newRow("unknown letter") << QByteArray("?Q\r") << kErr;
        QTest::newRow("unknown kind") << QByteArray("!N\r") << kErr;
        QTest::newRow("count read with extra") << QByteArray("?NX\r") << kErr;
        QTest::newRow("mask read with extra") << QByteArray("?E1\r") << kErr;
        QTest::newRow("phone slot 11") << QByteArray("?P;\r") << kErr;
        QTest::newRow("phone slot below 0") << QByteArray("?P/\r") << kErr;
        QTest::newRow("phone read without slot") << QByteArray("?P\r") << kErr;
        QTest::newRow("phone read with extra") << QByteArray("?P01\r") << kErr;
        QTest::newRow("message slot 8") << QByteArray("?M8\r") << kErr;
        QTest::newRow("message slot :") << QByteArray("?M:\r") << kErr;
        QTest::newRow("message read with extra") << QByteArray("?M01\r") << kErr;
        QTest::newRow("count write without count") << QByteArray("&N\r") << kErr;
        QTest::newRow("count of two characters") << QByteArray("&N12\r") << kErr;
        QTest::newRow("count 11") << QByteArray("&N;\r") << kErr;
        QTest::newRow("count as a letter") << QByteArray("&NX\r") << kErr;
        QTest::newRow("mask of four") << QByteArray("&E1010\r") << kErr;
        QTest::newRow("mask of nine") << QByteArray("&E101010101\r") << kErr;
        QTest::newRow("mask with a 2") << QByteArray("&E10100002\r") << kErr;
        QTest::newRow("phone write to slot 11") << QByteArray("&P;0123456789\r") << kErr;
        QTest::newRow("message write to slot 8") << "&M8x" + kEnd << kErr;
        QTest::newRow("message write without NUL") << QByteArray("&M0x\r") << kErr;
        QTest::newRow("message write without slot") << "&M" + kEnd << kErr;
        QTest::newRow("identify with NUL") << "?" + kEnd << kErr;
        QTest::newRow("phone number of 11") << QByteArray("&P001234567890\r") << kErr;
        QTest::newRow("message of 81") << "&M0" + QByteArray(81, 'x') + kEnd << kErr;
        QTest::newRow("message of 81 counting CR LF as two")
            << "&M0" + QByteArray(39, 'x') + "\r\n" + QByteArray(40, 'x') + kEnd << kErr;
        QTest::newRow("overlong message as framed") << "&M0" + QByteArray(83, 'x') + kEnd << kErr;
    }

    void aFreshUnitAnswersAndStaysAsItWas()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);

        UnitMemory memory;
        const Answer answer = answerCommand(command, kIdentity, memory);
        QCOMPARE(answer.reply, reply);
        QVERIFY(!answer.changed);
        QCOMPARE(memory, UnitMemory{});
    }

    void writesAreStoredAndReadBack_data()
    {
        QTest::addColumn<QByteArray>("write");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QByteArray>("reply");

        QTest::newRow("count 10") << QByteArray("&N:\r") << QByteArray("?N\r")
                                  << QByteArray("N:\r");
        QTest::newRow("count 3") << QByteArray("&N3\r") << QByteArray("?N\r") << QByteArray("N3\r");
        QTest::newRow("mask") << QByteArray("&E10100001\r") << QByteArray("?E\r")
                              << QByteArray("E10100001\r");
        QTest::newRow("phone 3") << QByteArray("&P30123456789\r") << QByteArray("?P3\r")
                                 << QByteArray("P30123456789\r");
        QTest::newRow("test phone")
            << QByteArray("&P:5550001111\r") << QByteArray("?P:\r") << QByteArray("P:5550001111\r");
        QTest::newRow("short phone, as sent")
            << QByteArray("&P9123\r") << QByteArray("?P9\r") << QByteArray("P9123\r");
        QTest::newRow("message 2") << "&M2ab" + kEnd << QByteArray("?M2\r") << "M2ab" + kEnd;
        QTest::newRow("empty message") << "&M0" + kEnd << QByteArray("?M0\r") << "M0" + kEnd;
        QTest::newRow("message with CR LF")
            << "&M7line1\r\nline2" + kEnd << QByteArray("?M7\r") << "M7line1\r\nline2" + kEnd;
        QTest::newRow("message in ISO 8859-1")
            << "&M1\xE9t\xE9" + kEnd << QByteArray("?M1\r") << "M1\xE9t\xE9" + kEnd;
        const QByteArray eighty(80, 'x');
        QTest::newRow("message of 80")
            << "&M5" + eighty + kEnd << QByteArray("?M5\r") << "M5" + eighty + kEnd;
    }

    void writesAreStoredAndReadBack()
    {
        QFETCH(QByteArray, write);
        QFETCH(QByteArray, read);
        QFETCH(QByteArray, reply);

        UnitMemory memory;
        const Answer answer = answerCommand(write, kIdentity, memory);
        QCOMPARE(answer.reply, kOk);
        QVERIFY(answer.changed);
        QCOMPARE(answerOf(read, memory), reply);
    }

    void writesTouchOnlyTheirOwnSlot()
    {
        UnitMemory memory;
        QCOMPARE(answerOf("&P:5550001111\r", memory), kOk);
        QCOMPARE(answerOf("&M0only zero" + kEnd, memory), kOk);

        UnitMemory expected;
        expected.phones[kTestPhoneSlot] = "5550001111";
        expected.messages[0] = "only zero";
        QCOMPARE(memory, expected);
    }

    void changedTellsWhetherTheMemoryMoved()
    {
        UnitMemory memory;
        QVERIFY(!answerCommand("&N0\r", kIdentity, memory).changed); // already 0
        QVERIFY(answerCommand("&N4\r", kIdentity, memory).changed);
        QVERIFY(!answerCommand("&N4\r", kIdentity, memory).changed);
        QVERIFY(answerCommand("&M3" + kEnd, kIdentity, memory).changed); // emptied
        QVERIFY(!answerCommand("&M3" + kEnd, kIdentity, memory).changed);
        QCOMPARE(answerOf("&N4\r", memory), kOk); // acknowledged all the same
    }

    void memoryJsonRoundTrip()
    {
        UnitMemory memory;
        memory.phoneCount = 10;
        memory.eventMask = "10100001";
        for (int slot = 0; slot < kStoredNumbers; ++slot)
            memory.phones[slot] = QByteArray::number(5550000000LL + slot);
        memory.messages[0] = "";
        memory.messages[7] = "line1\r\nline2 \xE9";

        const QJsonObject json = toJson(memory);
        QCOMPARE(json.value("count").toInt(), 10);
        QCOMPARE(json.value("phones").toArray().size(), 11);
        QCOMPARE(json.value("phones").toArray().at(10).toString(), QStringLiteral("5550000010"));
        QCOMPARE(json.value("messages").toArray().at(7).toString(),
                 QStringLiteral("line1\r\nline2 \u00E9"));
        QString error;
        const auto back = memoryFromJson(json, &error);
        QVERIFY2(back.has_value(), qPrintable(error));
        QCOMPARE(*back, memory);
    }

    void memoryJsonKeepsDefaultsForMissingKeys()
    {
        QString error;
        const auto memory = memoryFromJson(QJsonObject{{"count", 7},
                                                       {"phones", QJsonArray{"1234567890"}},
                                                       {"messages", QJsonArray{"", "second"}}},
                                           &error);
        QVERIFY2(memory.has_value(), qPrintable(error));
        UnitMemory expected;
        expected.phoneCount = 7;
        expected.phones[0] = "1234567890";
        expected.messages[0] = "";
        expected.messages[1] = "second";
        QCOMPARE(*memory, expected);
    }

    void memoryJsonRefusesWhatTheUnitCannotHold_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<QString>("named");

        QTest::newRow("count as a string") << QJsonObject{{"count", "3"}} << "count";
        QTest::newRow("count 11") << QJsonObject{{"count", 11}} << "count";
        QTest::newRow("count -1") << QJsonObject{{"count", -1}} << "count";
        QTest::newRow("count 2.5") << QJsonObject{{"count", 2.5}} << "count";
        QTest::newRow("mask as an array") << QJsonObject{{"mask", QJsonArray{}}} << "mask";
        QTest::newRow("mask of seven") << QJsonObject{{"mask", "1010101"}} << "mask";
        QTest::newRow("mask with an x") << QJsonObject{{"mask", "1010101x"}} << "mask";
        QTest::newRow("phones as a string") << QJsonObject{{"phones", "0123456789"}} << "phones";
        QTest::newRow("twelve phones")
            << QJsonObject{{"phones", QJsonArray{"", "", "", "", "", "", "", "", "", "", "", ""}}}
            << "phones";
        QTest::newRow("phone as a number")
            << QJsonObject{{"phones", QJsonArray{"", 5}}} << "phones[1]";
        QTest::newRow("phone of 11")
            << QJsonObject{{"phones", QJsonArray{"", "01234567890"}}} << "phones[1]";
        QTest::newRow("message of 81")
            << QJsonObject{{"messages", QJsonArray{QString(81, u'x')}}} << "messages[0]";
        QTest::newRow("nine messages")
            << QJsonObject{{"messages", QJsonArray{"", "", "", "", "", "", "", "", ""}}}
            << "messages";
        QTest::newRow("beyond ISO 8859-1")
            << QJsonObject{{"messages", QJsonArray{QStringLiteral("\u20AC")}}} << "messages[0]";
    }

    void memoryJsonRefusesWhatTheUnitCannotHold()
    {
        QFETCH(QJsonObject, json);
        QFETCH(QString, named);

        QString error;
        QVERIFY(!memoryFromJson(json, &error).has_value());
        QVERIFY2(error.startsWith(named + ' '), qPrintable(error));
    }

    void memoryFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("unit.json");
        QString error;

        QCOMPARE(loadMemory(path, &error), std::optional<UnitMemory>(UnitMemory{})); // no file yet

        UnitMemory memory;
        memory.phoneCount = 2;
        memory.messages[4] = "text";
        QVERIFY2(saveMemory(path, memory, &error), qPrintable(error));
        QCOMPARE(loadMemory(path, &error), std::optional<UnitMemory>(memory));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"unit.json"}); // no leftovers

        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("{ \"count\": ");
        file.close();
        QVERIFY(!loadMemory(path, &error).has_value());
        QVERIFY2(error.contains(path), qPrintable(error));

        QVERIFY(!saveMemory(dir.filePath("missing/unit.json"), memory, &error));
        QVERIFY2(error.contains("missing/unit.json"), qPrintable(error));
    }

    void commandLineOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");

        QTest::newRow("default identity")
            << QStringList{} << "identity" << QVariant(QString(kIdentity));
        QTest::newRow("--id") << QStringList{"--id", "KTX-999 Other"} << "identity"
                              << QVariant("KTX-999 Other");
        QTest::newRow("--link") << QStringList{"--link", "/tmp/a"} << "linkPath"
                                << QVariant("/tmp/a");
        QTest::newRow("--state") << QStringList{"--state=/tmp/s.json"} << "statePath"
                                 << QVariant("/tmp/s.json");
        QTest::newRow("--log") << QStringList{"--log", "/tmp/l"} << "logPath" << QVariant("/tmp/l");
        QTest::newRow("--silent") << QStringList{"--silent"} << "silent" << QVariant(true);
        QTest::newRow("--delay") << QStringList{"--delay", "250"} << "delayMs" << QVariant(250);
        QTest::newRow("--echo") << QStringList{"--echo"} << "echo" << QVariant(true);
        QTest::newRow("--garbage") << QStringList{"--garbage"} << "garbage" << QVariant(true);
        QTest::newRow("--hangup-after")
            << QStringList{"--hangup-after", "3"} << "hangupAfter" << QVariant(3);
        QTest::newRow("no hangup") << QStringList{} << "hangupAfter" << QVariant(-1);
        QTest::newRow("--cut-after")
            << QStringList{"--cut-after", "4"} << "cutAfter" << QVariant(4);
        QTest::newRow("--ignore-writes")
            << QStringList{"--ignore-writes"} << "ignoreWrites" << QVariant(true);
    }

    void commandLineOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, field);
        QFETCH(QVariant, value);

        const CommandLine line = parseCommandLine(QStringList{"tarvex-sim"} + arguments);
        QVERIFY2(line.error.isEmpty(), qPrintable(line.error));
        QVERIFY(!line.helpRequested);
        QVERIFY(!line.versionRequested);
        const UnitOptions& o = line.options;
        QMap<QString, QVariant> fields{
            {"identity", o.identity}, {"linkPath", o.linkPath}, {"statePath", o.statePath},
            {"logPath", o.logPath},   {"silent", o.silent},     {"delayMs", o.delayMs},
            {"echo", o.echo},         {"garbage", o.garbage},   {"hangupAfter", o.hangupAfter},
        };
        fields.insert("ignoreWrites", o.ignoreWrites);
        fields.insert("cutAfter", o.cutAfter);
        QCOMPARE(fields.value(field), value);
        const int flagsSet = int(o.silent) + int(o.echo) + int(o.garbage) + int(o.ignoreWrites);
        QCOMPARE(flagsSet, value.typeId() == QMetaType::Bool ? 1 : 0); // no option sets another
    }

    void commandLineErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("mentions");

        QTest::newRow("negative delay") << QStringList{"--delay", "-5"} << "--delay";
        QTest::newRow("delay in words") << QStringList{"--delay", "soon"} << "--delay";
        QTest::newRow("hangup after 0") << QStringList{"--hangup-after", "0"} << "--hangup-after";
        QTest::newRow("hangup after nothing") << QStringList{"--hangup-after"} << "hangup-after";
        QTest::newRow("cut after 0") << QStringList{"--cut-after", "0"} << "--cut-after";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus";
        QTest::newRow("positional argument") << QStringList{"extra"} << "extra";
        QTest::newRow("identity beyond ISO 8859-1") << QStringList{"--id", "KTX\u20AC"} << "--id";
    }

    void commandLineErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mentions);

        const CommandLine line = parseCommandLine(QStringList{"tarvex-sim"} + arguments);
        QVERIFY2(line.error.contains(mentions), qPrintable(line.error));
    }
};

std::unique_ptr<QObject> makeSimLogicTests()
{
    return std::make_unique<TestSimLogic>();
}

#include "sim_logic_tests.moc"
