#include "net/com_port_negotiation.h"
#include "net/telnet_codec.h"

#include <QTest>

using namespace tarvex::link;
using tarvex::link::telnet::Event;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out += char(value);
    return out;
}

constexpr int IAC = 255, SB = 250, SE = 240, WILL = 251, WONT = 252, DO = 253, DONT = 254;
constexpr int COMPORT = 44;

// What a server at 9600 8N1 answers a request (IAC SB COM-PORT command value): the
// command + 100 and the value set, the baud rate also when asked for the current one.
QByteArray answered(const QByteArray& request)
{
    const QByteArray value = request.at(3) == 1 ? bytes({0, 0, 0x25, 0x80}) : request.mid(4);
    return bytes({IAC, SB, COMPORT, request.at(3) + 100}) + value;
}

} // namespace

class TestTelnet : public QObject
{
    Q_OBJECT
private slots:
    void dataDoublesEveryFF()
    {
        QCOMPARE(telnet::escaped("a\xff"
                                 "b\xff"),
                 QByteArray("a\xff\xff"
                            "b\xff\xff"));
    }

    // What a raw line takes for a Telnet server speaking.
    void negotiationIsSeenInRawData_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("negotiates");
        QTest::newRow("ser2net's opening") << bytes({IAC, WILL, 3, IAC, DO, 0}) << true;
        QTest::newRow("a subnegotiation") << bytes({'N', IAC, SB, COMPORT}) << true;
        QTest::newRow("a lone FF at the end") << bytes({'N', '3', IAC}) << false;
        QTest::newRow("NOP and doubled FF") << bytes({IAC, 241, IAC, IAC, 'x'}) << false;
    }
    void negotiationIsSeenInRawData()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, negotiates);
        QCOMPARE(telnet::holdsNegotiation(data), negotiates);
    }

    // What arrives, in pieces as the network splits it: the data a reply gets, the events.
    void commandsNeverReachTheData_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("events");
        QTest::newRow("a doubled FF is one data byte")
            << QList{bytes({'M', IAC, IAC, 'x'})} << bytes({'M', 255, 'x'}) << 0;
        QTest::newRow("a verb mid-reply")
            << QList{bytes({'M', '1', IAC, DO, 3, 'a', 0})} << QByteArray("M1a\0", 4) << 1;
        QTest::newRow("a subnegotiation mid-reply")
            << QList{bytes({'P', IAC, SB, COMPORT, 107, 0x30, IAC, SE, '1', '\r'})}
            << QByteArray("P1\r") << 1;
        QTest::newRow("split across reads")
            << QList{bytes({'E', IAC}), bytes({SB, COMPORT}), bytes({106, IAC}), bytes({SE, '0'})}
            << QByteArray("E0") << 1;
        QTest::newRow("a doubled FF split across reads")
            << QList{bytes({'a', IAC}), bytes({IAC, 'b'})} << bytes({'a', 255, 'b'}) << 0;
        QTest::newRow("other commands dropped")
            << QList{bytes({'N', IAC, 241, IAC, 249, '3'})} << QByteArray("N3") << 0;
        QTest::newRow("a cut subnegotiation ends at the next command")
            << QList{bytes({IAC, SB, COMPORT, 107, IAC, WILL, 1, 'k'})} << QByteArray("k") << 2;
    }
    void commandsNeverReachTheData()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QByteArray, data);
        QFETCH(int, events);
        telnet::Decoder decoder;
        QByteArray got;
        for (const QByteArray& piece : pieces)
            got += decoder.feed(piece);
        QCOMPARE(got, data);
        QCOMPARE(decoder.takeEvents().size(), events);
        QVERIFY(!decoder.isBroken());
    }

    void anEndlessSubnegotiationBreaksTheStream()
    {
        telnet::Decoder decoder;
        decoder.feed(bytes({IAC, SB, COMPORT}) + QByteArray(2000, 'x'));
        QVERIFY(decoder.isBroken());
    }

    // As ser2net does it: agreement first, then each setting and question answered with its
    // value; DTR and RTS are never asked for.
    void aServerThatAgreesGetsEverySettingChecked()
    {
        ComPortNegotiation negotiation;
        QByteArray sent = ComPortNegotiation::opening();
        QByteArray request;
        for (const Event& event : {Event{telnet::kWill, 3, {}}, Event{telnet::kDo, 0, {}},
                                   Event{telnet::kWill, 0, {}}, Event{telnet::kDo, COMPORT, {}}})
            request += negotiation.take(event);
        QCOMPARE(request.left(3), bytes({IAC, DO, 3})); // the server's SGA taken up
        request = request.mid(3);
        while (!negotiation.isDone()) {
            QVERIFY(request.startsWith(bytes({IAC, SB, COMPORT})));
            QVERIFY2(request.at(3) != 5 || request.at(4) == 1, "only flow control, never DTR/RTS");
            sent += request;
            telnet::Decoder decoder;
            decoder.feed(answered(request.chopped(2)) + bytes({IAC, SE}));
            request = negotiation.take(decoder.takeEvents().first());
            QVERIFY(negotiation.refusal().isEmpty());
        }
        QCOMPARE(negotiation.answersReceived(), ComPortNegotiation::requestCount());
        QVERIFY(sent.contains(bytes({IAC, SB, COMPORT, 1, 0, 0, 0x25, 0x80, IAC, SE})));
    }

    void refusalsAndWrongAnswersAreNamed_data()
    {
        QTest::addColumn<QList<Event>>("events");
        QTest::addColumn<QString>("refusal");
        const QList<Event> agree{
            {telnet::kDo, 0, {}}, {telnet::kWill, 0, {}}, {telnet::kDo, COMPORT, {}}};
        // The answers of a server at 9600 8N1 to every setting and question, in order.
        const QByteArray baud = bytes({101, 0, 0, 0x25, 0x80});
        QList<Event> answers;
        for (const QByteArray& answer :
             {baud, bytes({102, 8}), bytes({103, 1}), bytes({104, 1}), bytes({105, 1})})
            answers << Event{telnet::kSb, COMPORT, answer};
        for (int question = 0; question < 3; ++question)
            answers << Event{telnet::kSb, COMPORT, baud};
        QTest::newRow("DONT BINARY") << QList<Event>{{telnet::kDont, 0, {}}} << "binary";
        QTest::newRow("WONT BINARY") << QList<Event>{{telnet::kWont, 0, {}}} << "binary";
        QTest::newRow("DONT COM-PORT") << QList<Event>{{telnet::kDont, COMPORT, {}}} << "COM-PORT";
        QTest::newRow("another baud rate")
            << agree + QList<Event>{{telnet::kSb, COMPORT, bytes({101, 0, 0, 0x4b, 0})}}
            << "the server set the baud rate to 19200 instead of 9600";
        QTest::newRow("silent about sending binary")
            << QList<Event>{{telnet::kDo, 0, {}}, {telnet::kDo, COMPORT, {}}} + answers
            << "never agreed to send binary";
        QTest::newRow("silent about taking binary")
            << QList<Event>{{telnet::kWill, 0, {}}, {telnet::kDo, COMPORT, {}}} + answers
            << "never agreed to take binary";
    }
    void refusalsAndWrongAnswersAreNamed()
    {
        QFETCH(QList<Event>, events);
        QFETCH(QString, refusal);
        ComPortNegotiation negotiation;
        for (const Event& event : events)
            negotiation.take(event);
        QVERIFY2(negotiation.refusal().contains(refusal), qPrintable(negotiation.refusal()));
        QVERIFY(!negotiation.isDone());
    }

    // Options nobody asked for are refused once, never in a loop.
    void unknownOptionsAreRefusedOnce()
    {
        ComPortNegotiation negotiation;
        QCOMPARE(negotiation.take({telnet::kWill, 1, {}}), bytes({IAC, DONT, 1}));
        QCOMPARE(negotiation.take({telnet::kWill, 1, {}}), QByteArray());
        QCOMPARE(negotiation.take({telnet::kDo, 24, {}}), bytes({IAC, WONT, 24}));
        QCOMPARE(negotiation.take({telnet::kDont, 1, {}}), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestTelnet)
#include "tst_telnet.moc"
