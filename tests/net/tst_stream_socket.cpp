// The network line's TCP connection, the same contract on each system's code (Qt's network
// module on Linux, our own Winsock code under Wine), against Debian's ser2net (one client at a
// time) in front of a Linux tarvex-sim, both started by on_ser2net.sh:
// TARVEX_TEST_SER2NET_PORT is ser2net's port on 127.0.0.1, TARVEX_TEST_CLOSED_PORT one where
// nothing listens.
#include "net/stream_socket.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tarvex;
using link::StreamSocket;

Q_DECLARE_METATYPE(StreamSocket::Error)

namespace {

constexpr int kBoundMs = 10000; // ends a stuck test; not a speed goal

quint16 portFrom(const char* variable)
{
    return quint16(qEnvironmentVariableIntValue(variable));
}

// Runs the event loop until the socket emits one of the signals ends, or the bound passes.
template <typename... Signals> void waitFor(StreamSocket& socket, Signals... ends)
{
    QEventLoop loop;
    (QObject::connect(&socket, ends, &loop, &QEventLoop::quit), ...);
    QTimer::singleShot(kBoundMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// Whether connected() came; the server may have closed again by the time this returns.
bool connectTo(StreamSocket& socket, const QString& host, quint16 port)
{
    QSignalSpy connected(&socket, &StreamSocket::connected);
    socket.connectToHost(host, port);
    waitFor(socket, &StreamSocket::connected, &StreamSocket::failed);
    return !connected.isEmpty();
}

// What arrives up to and with the first CR, or up to the far end's close.
QByteArray replyLine(StreamSocket& socket)
{
    QByteArray reply;
    while (!reply.contains('\r') && socket.isConnected()) {
        waitFor(socket, &StreamSocket::received, &StreamSocket::failed);
        const QByteArray more = socket.readAll();
        if (more.isEmpty() && socket.isConnected())
            break; // the bound passed
        reply += more;
    }
    return reply + socket.readAll();
}

} // namespace

class TestStreamSocket : public QObject
{
    Q_OBJECT
    // Holds ser2net's only client from the first test to the next.
    std::unique_ptr<StreamSocket> holder;

private slots:
    // By name, through the resolver's thread, and whichever of localhost's addresses listens.
    void unitAnswersThroughTerminalServer()
    {
        holder = std::make_unique<StreamSocket>();
        QVERIFY2(
            connectTo(*holder, QStringLiteral("localhost"), portFrom("TARVEX_TEST_SER2NET_PORT")),
            qPrintable(holder->errorString()));
        QVERIFY(holder->write("?\r"));
        const QByteArray reply = replyLine(*holder);
        QVERIFY2(reply.startsWith("KTX"), reply.constData());
    }

    // ser2net takes the connection, says why it will not serve it, and closes.
    void busyServerSaysWhyAndCloses()
    {
        QVERIFY(holder && holder->isConnected());
        StreamSocket second;
        QSignalSpy failed(&second, &StreamSocket::failed);
        QVERIFY2(
            connectTo(second, QStringLiteral("127.0.0.1"), portFrom("TARVEX_TEST_SER2NET_PORT")),
            qPrintable(second.errorString()));

        const QByteArray text = replyLine(second);
        QVERIFY(failed.count() == 1 || failed.wait(kBoundMs));
        QVERIFY2(text.contains("Port already in use"), text.constData());
        QCOMPARE(second.error(), StreamSocket::Error::RemoteClosed);
        QVERIFY(!second.isConnected());
        QVERIFY(!second.write("?\r"));
        QCOMPARE(failed.count(), 1);
    }

    void attemptFails_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<quint16>("port");
        QTest::addColumn<StreamSocket::Error>("error");
        QTest::newRow("name that does not resolve")
            << QStringLiteral("no-such-unit.invalid") << quint16(4001)
            << StreamSocket::Error::HostNotFound;
        QTest::newRow("nothing listens")
            << QStringLiteral("127.0.0.1") << portFrom("TARVEX_TEST_CLOSED_PORT")
            << StreamSocket::Error::ConnectionRefused;
    }
    void attemptFails()
    {
        QFETCH(QString, host);
        QFETCH(quint16, port);
        QFETCH(StreamSocket::Error, error);
        StreamSocket socket;
        QSignalSpy connected(&socket, &StreamSocket::connected);
        QSignalSpy failed(&socket, &StreamSocket::failed);

        socket.connectToHost(host, port);
        QVERIFY(failed.isEmpty()); // reported from the event loop, never from inside the call
        QVERIFY(failed.wait(kBoundMs));

        QCOMPARE(socket.error(), error);
        QVERIFY(!socket.errorString().isEmpty());
        QVERIFY(connected.isEmpty());
        QVERIFY(!socket.isConnected());
    }

    void cleanupTestCase() { holder.reset(); }
};

QTEST_GUILESS_MAIN(TestStreamSocket)
#include "tst_stream_socket.moc"
