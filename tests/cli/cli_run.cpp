#include "cli_run.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kRunMs = 120000;
constexpr uid_t kNobody = 65534;

// A copy of path in folder that every user may read (and run, when the original runs).
QString copyForEveryone(const QString& path, const QDir& folder, int index)
{
    const QString copy =
        folder.filePath(QStringLiteral("%1-%2").arg(index).arg(QFileInfo(path).fileName()));
    if (!QFile::copy(path, copy))
        qFatal("cannot copy %s", qPrintable(path));
    QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ReadOther | QFile::ReadGroup);
    return copy;
}
} // namespace

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

CliRun runCliAsNobody(const QStringList& arguments)
{
    QTemporaryDir scratch;
    const QDir folder(scratch.path());
    ::chmod(QFile::encodeName(scratch.path()).constData(), 0755);
    const QString program = copyForEveryone(qEnvironmentVariable("TARVEX_CLI"), folder, 0);
    QStringList copied;
    for (const QString& argument : arguments)
        copied << (QFileInfo(argument).isFile()
                       ? copyForEveryone(argument, folder, int(copied.size()) + 1)
                       : argument);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("TARVEX_DEVICE"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(scratch.path());
    process.setChildProcessModifier([] {
        if (::getuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(99);
    });
    process.start(program, copied);
    return finishCli(process);
}

QString makeFifo(const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        qFatal("cannot make the FIFO %s", qPrintable(path));
    return path;
}
