#include "cli_run.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QTest>

#include <sys/stat.h>

namespace {
constexpr int kRunMs = 120000;
}

QJsonObject CliRun::json() const
{
    return QJsonDocument::fromJson(out).object();
}

void startCli(QProcess& process, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("TARVEX_DEVICE"));
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("TARVEX_CLI"), arguments);
}

CliRun finishCli(QProcess& process)
{
    CliRun run;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kRunMs)) {
        qWarning("tarvex-cli did not finish");
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

CliRun runCli(const QStringList& arguments, const std::function<void(QProcess&)>& prepare)
{
    QProcess process;
    if (prepare)
        prepare(process);
    startCli(process, arguments);
    return finishCli(process);
}

QString makeFifo(const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        qFatal("cannot make the FIFO %s", qPrintable(path));
    return path;
}
