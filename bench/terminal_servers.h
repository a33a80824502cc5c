#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// Debian's ser2net in the foreground on 127.0.0.1, in front of every given device: for each, an
// RFC 2217 accepter and a raw TCP one, all in one configuration, as one box at a site serves
// all of its lines.
class Ser2netServer
{
public:
    ~Ser2netServer() { stop(); }

    bool start(const QStringList& devices, const QTemporaryDir& scratch); // true once all listen
    void stop();
    quint16 port(int unit, bool rfc2217) const { return ports_[2 * unit + (rfc2217 ? 0 : 1)]; }
    QString address(int unit, bool rfc2217) const;

private:
    QProcess process_;
    std::vector<quint16> ports_;
};

// tests/support/delay_proxy.py: every byte held back by a fixed time each way, a wide-area link.
class DelayProxies
{
public:
    ~DelayProxies() { stop(); }

    quint16 start(quint16 target, int delayMs); // the proxy's port, or 0
    void stop();

private:
    std::vector<std::unique_ptr<QProcess>> proxies_;
};
