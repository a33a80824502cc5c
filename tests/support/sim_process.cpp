#include "sim_process.h"

#include <QFile>

#include <csignal>
#include <sys/prctl.h>

namespace {

constexpr int kStartMs = 10000;
constexpr int kStopMs = 5000;

} // namespace

SimProcess::SimProcess(QStringList extraArguments) : arguments_(std::move(extraArguments))
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel); // its warnings show
    // A test that crashes must not leave simulators behind.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start()
{
    stop();
    devicePath_.clear();
    process_.start(executable(), QStringList{QStringLiteral("--log"), logPath()} + arguments_);
    if (!process_.waitForStarted(kStartMs)) {
        qWarning("SimProcess: cannot start %s (set TARVEX_SIM): %s", qPrintable(executable()),
                 qPrintable(process_.errorString()));
        return false;
    }
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(kStartMs)) {
            qWarning("SimProcess: tarvex-sim printed no device path");
            stop();
            return false;
        }
    }
    devicePath_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    return !devicePath_.isEmpty();
}

QString SimProcess::devicePath() const
{
    return devicePath_;
}

QByteArray SimProcess::log() const
{
    QFile file(logPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString SimProcess::logPath() const
{
    return scratchPath(QStringLiteral("sim.log"));
}

QString SimProcess::scratchPath(const QString& name) const
{
    return scratch_.filePath(name);
}

void SimProcess::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(kStopMs)) {
        process_.kill();
        process_.waitForFinished(kStopMs);
    }
}

QString SimProcess::executable()
{
    const QString path = qEnvironmentVariable("TARVEX_SIM");
    return path.isEmpty() ? QStringLiteral("tarvex-sim") : path;
}
