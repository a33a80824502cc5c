#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

// tarvex-cli (from TARVEX_CLI) run as a separate program, as scripts run it.
struct CliRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QJsonObject json() const; // stdout as the one JSON result document
};

CliRun runCli(const QStringList& arguments);

// Starts tarvex-cli without waiting, for tests that signal it.
void startCli(QProcess& process, const QStringList& arguments);
