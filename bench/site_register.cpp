#include "site_register.h"

#include "sim_fleet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kSampleMs = 50;

double procKilobytes(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& row : status.readAll().split('\n')) {
        if (row.startsWith(field))
            return row.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toDouble();
    }
    return 0;
}

int openDescriptors(qint64 pid)
{
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

} // namespace

bool git(const QString& folder, const QStringList& arguments,
         const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("git"), arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QProcessEnvironment benchEnvironment(const QTemporaryDir& scratch)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), scratch.path());
    environment.insert(QStringLiteral("GIT_CONFIG_NOSYSTEM"), QStringLiteral("1"));
    for (const char* role : {"AUTHOR", "COMMITTER"}) {
        environment.insert(QStringLiteral("GIT_%1_NAME").arg(QLatin1StringView(role)),
                           QStringLiteral("Bench"));
        environment.insert(QStringLiteral("GIT_%1_EMAIL").arg(QLatin1StringView(role)),
                           QStringLiteral("bench@example.net"));
    }
    return environment;
}

Measured measure(const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& environment)
{
    Measured out;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QEventLoop loop;
    QTimer sampler;
    const auto sample = [&] {
        const qint64 pid = process.processId();
        if (pid <= 0)
            return;
        out.peakRssMb = std::max(out.peakRssMb, procKilobytes(pid, "VmHWM:") / 1024);
        out.peakDescriptors = std::max(out.peakDescriptors, openDescriptors(pid));
    };
    QObject::connect(&sampler, &QTimer::timeout, &loop, sample);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    const double cpuBefore = childrenCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    process.start(program, arguments);
    if (!process.waitForStarted())
        return out;
    sampler.start(kSampleMs);
    loop.exec();
    out.wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    out.cpuSeconds = childrenCpuSeconds() - cpuBefore;
    out.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    out.output = process.readAllStandardOutput();
    return out;
}

QString siteName(int i)
{
    return QStringLiteral("site-%1").arg(i, 3, 10, QLatin1Char('0'));
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray siteTemplate()
{
    QJsonObject file =
        QJsonDocument::fromJson(readFile(QStringLiteral(TARVEX_EXAMPLE_CONFIG))).object();
    QJsonObject events = file.value(QStringLiteral("events")).toObject();
    for (auto it = events.begin(); it != events.end(); ++it) {
        QJsonObject event = it.value().toObject();
        if (event.contains(QStringLiteral("message")))
            event[QStringLiteral("message")] =
                QStringLiteral("${site}: ") + event.value(QStringLiteral("message")).toString();
        it.value() = event;
    }
    file[QStringLiteral("events")] = events;
    return QJsonDocument(file).toJson();
}

bool makeRegister(const QString& folder, const QStringList& addresses, const QByteArray& templ,
                  const QProcessEnvironment& environment)
{
    if (measure(QStringLiteral(TARVEX_CLI_PATH),
                {QStringLiteral("fleet"), QStringLiteral("init"), folder, QStringLiteral("--json")},
                environment)
            .exitCode != 0)
        return false;
    QJsonArray sites;
    for (int i = 0; i < addresses.size(); ++i) {
        QJsonObject site{{QStringLiteral("name"), siteName(i)},
                         {QStringLiteral("device"), addresses[i]}};
        if (!templ.isEmpty()) {
            site.insert(QStringLiteral("template"), QStringLiteral("templates/standard.json"));
            site.insert(QStringLiteral("values"),
                        QJsonObject{{QStringLiteral("site"), QStringLiteral("Site %1").arg(i)}});
        }
        sites.append(site);
    }
    const QJsonObject list{{QStringLiteral("format"), QStringLiteral("tarvex-fleet")},
                           {QStringLiteral("version"), 1},
                           {QStringLiteral("sites"), sites}};
    if (!templ.isEmpty() &&
        (!QDir(folder).mkpath(QStringLiteral("templates")) ||
         !writeFile(folder + QStringLiteral("/templates/standard.json"), templ)))
        return false;
    if (!writeFile(folder + QStringLiteral("/fleet.json"), QJsonDocument(list).toJson()))
        return false;
    return git(folder, {QStringLiteral("add"), QStringLiteral(".")}, environment) &&
           git(folder,
               {QStringLiteral("commit"), QStringLiteral("--quiet"), QStringLiteral("-m"),
                QStringLiteral("The sites")},
               environment);
}

QStringList fleet(const QString& command, const QString& folder, const QStringList& more)
{
    return QStringList{QStringLiteral("fleet"), command, QStringLiteral("--fleet"), folder,
                       QStringLiteral("--json")} +
           more;
}

void printFailures(const Measured& run)
{
    const QJsonArray sites =
        QJsonDocument::fromJson(run.output).object().value(QStringLiteral("sites")).toArray();
    for (const QJsonValue& site : sites) {
        const QJsonObject error = site[QStringLiteral("error")].toObject();
        if (!error.isEmpty())
            std::printf("  %s: %s: %s\n", qPrintable(site[QStringLiteral("name")].toString()),
                        qPrintable(error.value(QStringLiteral("kind")).toString()),
                        qPrintable(error.value(QStringLiteral("message")).toString()));
    }
}
