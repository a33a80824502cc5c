#include "protocol/commands.h"
#include "protocol/replies.h"
#include "protocol/slots.h"
#include "protocol/value_rules.h"
#include "protocol/wire_text.h"

#include <QTest>

using namespace tarvex::protocol;

namespace {

// Wire bytes from a literal, embedded NULs included.
template <size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

QString latin1(const QByteArray& wire)
{
    return QString::fromLatin1(wire);
}

const QString kBad = QStringLiteral("<bad reply>");
const QString kSilent = QStringLiteral("<no answer>");

QString shown(int value)
{
    return QString::number(value);
}
QString shown(const EventMask& value)
{
    return maskText(value);
}
QString shown(const QString& value)
{
    return value;
}

template <typename T> QString outcome(const Reading<T>& reading)
{
    if (reading.hasValue())
        return shown(reading.value());
    return reading.fault() == ReplyFault::NoAnswer ? kSilent : kBad;
}

EventMask mask(const char* ticks)
{
    EventMask result{};
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = ticks[i] == '1';
    return result;
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void commandBytes_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("wire");

        QTest::newRow("identify") << identifyQuery() << bytes("?\r");
        QTest::newRow("count read") << phoneCountRead() << bytes("?N\r");
        for (int count = 0; count <= 9; ++count)
            QTest::addRow("count write %d", count)
                << phoneCountWrite(count) << QByteArray("&N" + QByteArray::number(count) + "\r");
        QTest::newRow("count write 10") << phoneCountWrite(10) << bytes("&N:\r");
        QTest::newRow("mask read") << eventMaskRead() << bytes("?E\r");
        QTest::newRow("mask write mixed")
            << eventMaskWrite(mask("10100001")) << bytes("&E10100001\r");
        QTest::newRow("mask write none") << eventMaskWrite(EventMask{}) << bytes("&E00000000\r");
        QTest::newRow("phone read 0") << phoneRead(0) << bytes("?P0\r");
        QTest::newRow("phone read 9") << phoneRead(9) << bytes("?P9\r");
        QTest::newRow("phone read test") << phoneRead(10) << bytes("?P:\r");
        QTest::newRow("phone write 4")
            << phoneWrite(4, "0123456789").value() << bytes("&P40123456789\r");
        QTest::newRow("phone write test")
            << phoneWrite(10, "5550001111").value() << bytes("&P:5550001111\r");
        QTest::newRow("message read 0") << messageRead(0) << bytes("?M0\r");
        QTest::newRow("message read 7") << messageRead(7) << bytes("?M7\r");
        QTest::newRow("message write") << messageWrite(2, "Hi").value() << bytes("&M2Hi\0\r");
        QTest::newRow("message write empty") << messageWrite(0, "").value() << bytes("&M0\0\r");
        QTest::newRow("message write CR LF and Latin-1")
            << messageWrite(7, latin1("Mains off\r\nCaf\xe9")).value()
            << bytes("&M7Mains off\r\nCaf\xe9\0\r");
    }

    void textThatWouldChangeIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("euro sign") << QStringLiteral("98000\u20AC0000");
        QTest::newRow("NUL inside")
            << QString(QStringLiteral("98000") + QChar(0) + QStringLiteral("0000"));
        QTest::newRow("Greek letter") << QStringLiteral("\u03A9");
    }

    void textThatWouldChangeIsRefused()
    {
        QFETCH(QString, text);
        QVERIFY(!phoneWrite(0, text));
        QVERIFY(!messageWrite(0, text));
    }

    void commandBytes()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, wire);
        QCOMPARE(line.toLatin1(), wire);
    }

    void slotCharacters_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QChar>("character");

        for (int number = 0; number <= 9; ++number)
            QTest::addRow("%d", number) << number << QChar(u'0' + number);
        QTest::newRow("10 is colon") << 10 << QChar(u':');
    }

    void slotCharacters()
    {
        QFETCH(int, number);
        QFETCH(QChar, character);
        QCOMPARE(slotCharacter(number), character);
        QCOMPARE(slotNumber(character), number);
        QVERIFY(isSlotCharacter(character));
    }

    void oddSlotCharacters_data()
    {
        QTest::addColumn<QChar>("character");

        QTest::newRow("after colon") << QChar(u';');
        QTest::newRow("before zero") << QChar(u'/');
        QTest::newRow("letter") << QChar(u'A');
        QTest::newRow("space") << QChar(u' ');
        QTest::newRow("NUL") << kNul;
        QTest::newRow("Latin-1 letter") << QChar(u'\xe9');
        QTest::newRow("non-ASCII digit") << QChar(u'\u0663');
    }

    void oddSlotCharacters()
    {
        QFETCH(QChar, character);
        QCOMPARE(slotNumber(character), 0);
        QVERIFY(!isSlotCharacter(character));
    }

    void maskFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("ticks");

        QTest::newRow("all zero") << "00000000"
                                  << "00000000";
        QTest::newRow("all one") << "11111111"
                                 << "11111111";
        QTest::newRow("mixed") << "01011110"
                               << "01011110";
        QTest::newRow("other characters tick") << "0x0 0N0?"
                                               << "01010101";
        QTest::newRow("empty ticks all") << ""
                                         << "11111111";
        QTest::newRow("short ticks the rest") << "000"
                                              << "00011111";
        QTest::newRow("extra ignored") << "0000000000"
                                       << "00000000";
    }

    void maskFromText()
    {
        QFETCH(QString, text);
        QFETCH(QString, ticks);
        QCOMPARE(maskText(tarvex::protocol::maskFromText(text)), ticks);
    }

    // A reading's outcome as one cell: the value, or the fault in angle brackets.
    void phoneCount_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("lenient"); // the window's Upload
        QTest::addColumn<QString>("strict");  // the engine's read

        QTest::newRow("colon is ten") << "N:"
                                      << "10"
                                      << "10";
        QTest::newRow("digit") << "N7"
                               << "7"
                               << "7";
        QTest::newRow("zero with CR") << "N0\r"
                                      << "0"
                                      << "0";
        QTest::newRow("letter") << "NX\r"
                                << "0" << kBad;
        QTest::newRow("bare N") << "N\r"
                                << "0" << kBad;
        QTest::newRow("cut by the wait") << "N" << kBad << kBad;
        QTest::newRow("letter, cut by the wait") << "NX" << kBad << kBad;
        QTest::newRow("junk after the digit") << "N3x\r"
                                              << "3" << kBad;
        QTest::newRow("other letter") << "P5" << kBad << kBad;
        QTest::newRow("lower case") << "n5" << kBad << kBad;
        QTest::newRow("a late acknowledgement first") << "OK\rN6\r" << kBad << kBad;
        QTest::newRow("empty") << "" << kSilent << kSilent;
    }

    void phoneCount()
    {
        QFETCH(QString, reply);
        QFETCH(QString, lenient);
        QFETCH(QString, strict);
        QCOMPARE(outcome(phoneCountReading(reply, Rule::Lenient)), lenient);
        QCOMPARE(outcome(phoneCountReading(reply, Rule::Strict)), strict);
    }

    void eventMask_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("lenient");
        QTest::addColumn<QString>("strict");

        QTest::newRow("full") << "E10100001"
                              << "10100001"
                              << "10100001";
        QTest::newRow("trailing CR ignored") << "E00000000\r"
                                             << "00000000"
                                             << "00000000";
        QTest::newRow("one flag ticks all") << "E1\r"
                                            << "11111111" << kBad;
        QTest::newRow("bare E ticks all") << "E\r"
                                          << "11111111" << kBad;
        QTest::newRow("seven zeros") << "E0000000\r"
                                     << "00000001" << kBad;
        QTest::newRow("a flag that is no flag") << "E1010000x\r"
                                                << "10100001" << kBad;
        QTest::newRow("cut by the wait") << "E1010" << kBad << kBad;
        QTest::newRow("other letter") << "X10100001" << kBad << kBad;
        QTest::newRow("empty") << "" << kSilent << kSilent;
    }

    void eventMask()
    {
        QFETCH(QString, reply);
        QFETCH(QString, lenient);
        QFETCH(QString, strict);
        QCOMPARE(outcome(eventMaskReading(reply, Rule::Lenient)), lenient);
        QCOMPARE(outcome(eventMaskReading(reply, Rule::Strict)), strict);
    }

    // One rule for the window and the engine: the whole reply to the slot asked for.
    void phoneNumber_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("slot"); // the slot asked for
        QTest::addColumn<QString>("read");

        QTest::newRow("ten digits and CR") << "P30123456789\r" << 3 << "0123456789";
        QTest::newRow("fourteen digits") << "P501234567890123\r" << 5 << "0123456789";
        QTest::newRow("short") << "P1555\r" << 1 << "555";
        QTest::newRow("slot and CR") << "P1\r" << 1 << "";
        QTest::newRow("cut before its CR") << "P30123" << 3 << kBad;
        QTest::newRow("slot only") << "P1" << 1 << kBad;
        QTest::newRow("bare P") << "P" << 1 << kBad;
        QTest::newRow("other slot named") << "P:0123456789\r" << 0 << kBad;
        QTest::newRow("the slot before, a wait late") << "P20123456789\r" << 3 << kBad;
        QTest::newRow("a megabyte") << "P3" + QString(1 << 20, u'7') + "\r" << 3 << "7777777777";
        QTest::newRow("nine digits and CR") << "P3123456789\r" << 3 << "123456789";
        QTest::newRow("NUL first") << latin1(bytes("P:\0\x01\x02"
                                                   "0123456\r"))
                                   << 10 << "";
        QTest::newRow("DEL inside") << latin1(bytes("P012345\x7f"
                                                    "6789\r"))
                                    << 0 << "12345";
        QTest::newRow("Latin-1 kept") << latin1(bytes("P0\xa0\xe9"
                                                      "12345678\r"))
                                      << 0
                                      << latin1("\xa0\xe9"
                                                "12345678");
        QTest::newRow("other letter") << "N30123456789\r" << 3 << kBad;
        QTest::newRow("empty") << "" << 0 << kSilent;
    }

    void phoneNumber()
    {
        QFETCH(QString, reply);
        QFETCH(int, slot);
        QFETCH(QString, read);
        QCOMPARE(outcome(phoneNumberReading(reply, slot)), read);
    }

    // The engine's message read: the whole reply to the slot asked for, or no text at all.
    void messageReading_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("read");

        QTest::newRow("text then NUL") << latin1(bytes("M3Hello\0\r")) << 3 << "Hello";
        QTest::newRow("empty text") << latin1(bytes("M3\0\r")) << 3 << "";
        QTest::newRow("line break kept") << latin1(bytes("M0a\r\nb\0")) << 0 << "a\r\nb";
        QTest::newRow("cut before its NUL") << "M3Hello, power 1 is of" << 3 << kBad;
        QTest::newRow("other slot") << latin1(bytes("M4Hello\0\r")) << 3 << kBad;
        QTest::newRow("rest of an earlier reply first")
            << latin1(bytes("n at once\0\rM3Hi\0\r")) << 3 << kBad;
        QTest::newRow("letter only") << "M" << 3 << kBad;
        QTest::newRow("empty") << "" << 3 << kSilent;
    }

    void messageReading()
    {
        QFETCH(QString, reply);
        QFETCH(int, slot);
        QFETCH(QString, read);
        QCOMPARE(outcome(tarvex::protocol::messageReading(reply, slot)), read);
    }

    void messageText_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("text");

        QTest::newRow("text then NUL") << latin1(bytes("M3Hello\0\r")) << "Hello";
        QTest::newRow("NUL third") << latin1(bytes("M3\0junk\r")) << "";
        QTest::newRow("no NUL") << "M3Hello\r"
                                << "Hello\r";
        QTest::newRow("line break kept") << latin1(bytes("M0a\r\nb\0")) << "a\r\nb";
        QTest::newRow("Latin-1 kept") << latin1(bytes("M0Caf\xe9\0")) << latin1("Caf\xe9");
        QTest::newRow("first two not examined") << "??word"
                                                << "word";
        QTest::newRow("two characters") << "M3"
                                        << "";
        QTest::newRow("one character") << "M"
                                       << "";
        QTest::newRow("empty") << ""
                               << "";
    }

    void messageText()
    {
        QFETCH(QString, reply);
        QFETCH(QString, text);
        QCOMPARE(messageTextOf(reply), text);
    }

    void identity_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("matches");
        QTest::addColumn<QString>("shown");

        QTest::newRow("exactly KTX") << "KTX" << true << "KTX";
        QTest::newRow("long") << "KTX-2000 v1.4" << true << "KTX-200";
        QTest::newRow("seven") << "KTX2000" << true << "KTX2000";
        QTest::newRow("lower case") << "ktx-2000 v1.4" << false << "ktx-200";
        QTest::newRow("ended by CR") << "KTX\r" << true << "KTX";
        QTest::newRow("NUL inside") << latin1(bytes("KTX-2\0"
                                                    "00"))
                                    << true << "KTX-2";
        QTest::newRow("stale LF first") << "\nKTX-2000" << false << "";
        QTest::newRow("echo first") << "?\rKTX-2000" << false << "?";
        QTest::newRow("too short") << "KT" << false << "KT";
        QTest::newRow("empty") << "" << false << "";
    }

    void identity()
    {
        QFETCH(QString, reply);
        QFETCH(bool, matches);
        QFETCH(QString, shown);
        QCOMPARE(isIdentity(reply), matches);
        QCOMPARE(identityShown(reply), shown);
    }

    void field_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("cut");

        QTest::newRow("inside") << "ABCDEF" << 2 << 4 << "BCD";
        QTest::newRow("one character") << "ABCDEF" << 1 << 1 << "A";
        QTest::newRow("to the end") << "ABCDEF" << 5 << 6 << "EF";
        QTest::newRow("past the end") << "ABCDEF" << 5 << 12 << "EF";
        QTest::newRow("starts at the end") << "ABC" << 3 << 12 << "C";
        QTest::newRow("starts past the end") << "AB" << 3 << 12 << "";
        QTest::newRow("empty reply") << "" << 1 << 1 << "";
    }

    void field()
    {
        QFETCH(QString, reply);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, cut);
        QCOMPARE(tarvex::protocol::field(reply, first, last), cut);
    }

    void cutAtControl_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cut");

        QTest::newRow("no control") << "0123456789"
                                    << "0123456789";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("NUL") << latin1(bytes("ab\0cd")) << "ab";
        QTest::newRow("unit separator, code 31") << "ab\x1f"
                                                 << "ab";
        QTest::newRow("DEL, code 127") << "ab\x7f"
                                       << "ab";
        QTest::newRow("first of two") << "a\tb\rc"
                                      << "a";
        QTest::newRow("space and tilde kept") << " ~ "
                                              << " ~ ";
        QTest::newRow("code 128 and up kept") << latin1("\x80\xff") << latin1("\x80\xff");
    }

    void cutAtControl()
    {
        QFETCH(QString, text);
        QFETCH(QString, cut);
        QCOMPARE(tarvex::protocol::cutAtControl(text), cut);
    }

    // The window's box is lenient and warns of a short number; the file is strict.
    void phoneRules_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("fitsBox");
        QTest::addColumn<bool>("isShort");
        QTest::addColumn<QString>("fileProblem");
        QTest::newRow("ten digits") << "9800000000" << true << false << "";
        QTest::newRow("leading plus") << "+919800000" << true << false << "";
        QTest::newRow("nine digits")
            << "980000000" << true << true << "9 characters, must be exactly 10";
        QTest::newRow("letters") << "98000O0000" << true << false
                                 << "digits only (a leading \"+\" allowed)";
        QTest::newRow("eleven") << "98000000000" << false << false
                                << "11 characters, must be exactly 10";
        QTest::newRow("euro sign") << QString::fromUtf8("980000000\u20ac") << false << false
                                   << "digits only (a leading \"+\" allowed)";
        QTest::newRow("NUL") << latin1(bytes("98\0")) << false << true
                             << "3 characters, must be exactly 10";
    }
    void phoneRules()
    {
        QFETCH(QString, number);
        QFETCH(bool, fitsBox);
        QFETCH(bool, isShort);
        QFETCH(QString, fileProblem);
        QCOMPARE(fitsPhoneBox(number), fitsBox);
        QCOMPARE(isShortPhoneNumber(number), isShort);
        QCOMPARE(phoneNumberProblem(number), fileProblem);
    }

    // One line end goes, whichever kind: the unit's text and a text file never keep it.
    void trailingLineEnd_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::newRow("CR LF") << "ab\r\n"
                               << "ab";
        QTest::newRow("lone CR") << "ab\r"
                                 << "ab";
        QTest::newRow("LF") << "ab\n"
                            << "ab";
        QTest::newRow("only the last") << "ab\n\n"
                                       << "ab\n";
        QTest::newRow("inside kept") << "a\r\nb"
                                     << "a\r\nb";
    }
    void trailingLineEnd()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QCOMPARE(withoutTrailingLineEnd(text), kept);
    }
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
