#pragma once

#include "net/telnet_codec.h"

#include <QByteArray>
#include <QSet>
#include <QString>

namespace tarvex::link {

// The client's side of opening a COM-PORT line (RFC 2217), without I/O: binary transmission
// both ways and the COM-PORT option, then the unit's line settings (kUnitLine: 9600 8N1, no
// flow control) one request at a time, each checked against the
// server's answer, then a few questions for the baud rate that change nothing: their answers
// time the network's round trip. What servers do beyond RFC 2217 and how this meets it
// (a slow first setting, no answer for DTR and RTS, silence about one direction of binary)
// is listed in server_quirks.h.
class ComPortNegotiation
{
public:
    // What the client sends first.
    static QByteArray opening();

    // Takes what the server said; returns what to send now (answers, the next request).
    QByteArray take(const telnet::Event& event);

    // Every request answered as asked, and binary agreed both ways.
    bool isDone() const;
    // Why the server's answers will not do; empty while they do.
    const QString& refusal() const { return refusal_; }
    // The requests sent and answered so far, for timing each round trip.
    int requestsSent() const { return sent_; }
    int answersReceived() const { return answered_; }
    static int requestCount();
    // Whether the answer to request index (from 0) times the network alone.
    static bool timesRoundTrip(int index);

private:
    QByteArray onOption(quint8 verb, quint8 option);
    void onAnswer(const telnet::Event& event);
    QByteArray nextRequest();
    bool binaryBothWays() const;
    void checkBinaryAnswered();

    QSet<int> agreed_;    // verb * 256 + option of each agreement received (DO or WILL)
    QSet<int> sentVerbs_; // the verbs of ours already sent, so none is sent twice
    int sent_ = 0;
    int answered_ = 0;
    QString refusal_;
};

} // namespace tarvex::link
