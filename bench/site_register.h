#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

// Registers of tarvex-cli fleet for the benchmarks: made with fleet init and git, their runs
// measured from outside as a user's shell would see them.

// git with a known author and none of the user's configuration, for every tarvex-cli here.
QProcessEnvironment benchEnvironment(const QTemporaryDir& scratch);

struct Measured
{
    int exitCode = -1;
    double wallSeconds = 0;
    double cpuSeconds = 0; // the program and the children it waited for (git)
    double peakRssMb = 0;
    int peakDescriptors = 0;
    QByteArray output;
};

// Runs the program to its end in an event loop, its memory and descriptors sampled from /proc.
Measured measure(const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& environment);

QString siteName(int i); // "site-007"

bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// The example file with the site's name in every message.
QByteArray siteTemplate();

// git with arguments in folder; true when it succeeded.
bool git(const QString& folder, const QStringList& arguments,
         const QProcessEnvironment& environment);

// fleet init, then the sites (with a template, when given one) in fleet.json, committed.
bool makeRegister(const QString& folder, const QStringList& addresses, const QByteArray& templ,
                  const QProcessEnvironment& environment);

// The arguments of `tarvex-cli fleet COMMAND --fleet FOLDER --json MORE...`.
QStringList fleet(const QString& command, const QString& folder, const QStringList& more = {});

// The sites a fleet run could not do, with why, from its --json summary.
void printFailures(const Measured& run);
