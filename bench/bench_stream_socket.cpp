// A network line's TCP connection: the connect's wall time to HOST:PORT (a terminal server such
// as ser2net in front of a unit), one identify exchange's round trip, then the connection held
// idle for SECONDS, for the CPU time of the whole process as the system counts it: an idle line
// must cost nothing beyond the start.
//   /usr/bin/time bench_stream_socket HOST PORT SECONDS   (once with 0, once with 10)
#include "net/stream_socket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

using tarvex::link::StreamSocket;

namespace {

// Runs the event loop until socket emits signal or failed(); false on failed().
bool waitFor(QCoreApplication& app, StreamSocket& socket, void (StreamSocket::*signal)())
{
    bool ended = false;
    const auto quit = [&](bool how) {
        ended = how;
        app.quit();
    };
    const auto done = QObject::connect(&socket, signal, &app, [&] { quit(true); });
    const auto lost = QObject::connect(&socket, &StreamSocket::failed, &app, [&] { quit(false); });
    app.exec();
    QObject::disconnect(done);
    QObject::disconnect(lost);
    return ended;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_stream_socket HOST PORT SECONDS\n");
        return 64;
    }
    StreamSocket socket;
    QElapsedTimer wall;
    wall.start();
    socket.connectToHost(QString::fromLocal8Bit(argv[1]), quint16(QByteArray(argv[2]).toUInt()));
    if (!waitFor(app, socket, &StreamSocket::connected)) {
        std::fprintf(stderr, "bench_stream_socket: %s\n", qPrintable(socket.errorString()));
        return 69;
    }
    const double connectMs = double(wall.nsecsElapsed()) / 1e6;

    wall.restart();
    socket.write("?\r");
    QByteArray reply;
    while (!reply.contains('\r') && waitFor(app, socket, &StreamSocket::received))
        reply += socket.readAll();
    reply += socket.readAll(); // what came with a close
    const double exchangeMs = double(wall.nsecsElapsed()) / 1e6;
    std::printf("connect %.2f ms, identify round trip %.2f ms: %s\n", connectMs, exchangeMs,
                reply.trimmed().constData());

    QTimer::singleShot(QByteArray(argv[3]).toInt() * 1000, &app, &QCoreApplication::quit);
    app.exec();
    std::printf("held idle %s s, %s\n", argv[3],
                socket.isConnected() ? "still connected"
                                     : qPrintable(QStringLiteral("lost: ") + socket.errorString()));
    return 0;
}
