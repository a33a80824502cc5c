#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Debian's ser2net in the foreground, in front of one device, on 127.0.0.1: a Telnet accepter
// with the COM-PORT option and a raw TCP one, each on a free port. Stopped when this object
// goes away. A machine without ser2net fails the test: CI installs it.
class Ser2netProcess
{
public:
    explicit Ser2netProcess(const QString& device);
    ~Ser2netProcess();
    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;

    bool start(); // true once both ports listen
    QString rfc2217Address() const;
    QString rawAddress() const;
    quint16 rfc2217Port() const { return rfc2217Port_; }
    quint16 rawPort() const { return rawPort_; }
    void kill(); // at once, as a server that loses power

private:
    QString device_;
    QTemporaryDir scratch_;
    QProcess process_;
    quint16 rfc2217Port_ = 0;
    quint16 rawPort_ = 0;
};

// tests/support/delay_proxy.py: a TCP proxy on 127.0.0.1 that holds back every byte, and the
// end of each connection, by a fixed time each way, as a wide-area link does.
class DelayProxy
{
public:
    DelayProxy(quint16 target, int delayMs);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    bool start(); // true once it listens
    quint16 port() const { return port_; }

private:
    QProcess process_;
    quint16 target_;
    int delayMs_;
    quint16 port_ = 0;
};

// tests/support/flood_server.py: a TCP server on 127.0.0.1 that sends each client pattern over
// and over as fast as loopback takes it, at once or after the client's first command.
class FloodServer
{
public:
    enum class From { Connect, FirstCommand };
    FloodServer(QByteArray pattern, From from);
    ~FloodServer();
    FloodServer(const FloodServer&) = delete;
    FloodServer& operator=(const FloodServer&) = delete;

    bool start(); // true once it listens
    quint16 port() const { return port_; }

private:
    QProcess process_;
    QByteArray pattern_;
    From from_;
    quint16 port_ = 0;
};

quint16 freeTcpPort();
