#include "cli_run.h"

#include <QJsonDocument>
#include <QProcessEnvironment>

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

CliRun runCli(const QStringList& arguments)
{
    QProcess process;
    startCli(process, arguments);
    CliRun run;
    if (!process.waitForFinished(kRunMs)) {
        qWarning("tarvex-cli did not finish: %s", qPrintable(process.errorString()));
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
