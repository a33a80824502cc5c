#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <functional>

// tarvex-cli (from TARVEX_CLI) run as a separate program, as scripts run it.
struct CliRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QJsonObject json() const; // stdout as the one JSON result document
};

// prepare, when given, sets the process up before it starts (its streams, its limits).
CliRun runCli(const QStringList& arguments, const std::function<void(QProcess&)>& prepare = {});

// tarvex-cli run as the user nobody, whom the system refuses what it refuses users (root opens
// any device). The program and every file named on the command line are copied into a folder
// nobody may read, so the checkout may sit where nobody cannot reach (root's home, mode 0700).
CliRun runCliAsNobody(const QStringList& arguments);

// Starts tarvex-cli without waiting, for tests that signal it or feed its standard input.
void startCli(QProcess& process, const QStringList& arguments);

// Waits for a started tarvex-cli, serving this process's events meanwhile, so that a unit
// scripted in this process answers it.
CliRun finishCli(QProcess& process);

// A FIFO in folder, for the waits only another program can end.
QString makeFifo(const QString& folder, const QString& name);
