#include "cli/provisioning_loop.h"

#include "cli/commands.h"
#include "cli/exchange_log.h"
#include "cli/exit_codes.h"
#include "cli/interruption.h"
#include "cli/unit_choice.h"
#include "cli/unit_port.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace tarvex::cli {
namespace {

constexpr std::chrono::milliseconds kProbePeriod{500};
constexpr int kMissesForGone = 2;

// Blocks in an event loop for what is left of one probe period.
void restOfPeriod(const QElapsedTimer& since)
{
    const qint64 left = kProbePeriod.count() - since.elapsed();
    if (left <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

QString loopDevice(const Invocation& invocation)
{
    const link::PortMap map = portsToScan(invocation);
    const QList<int> numbers = map.numbers();
    if (numbers.size() != 1)
        throw Failure(Exit::Usage, QStringLiteral("usage"),
                      QStringLiteral("--loop watches one port; %1 exist: name one with --device")
                          .arg(numbers.size()));
    return map.deviceFor(numbers.first());
}

ProvisioningLoop::ProvisioningLoop(const Invocation& invocation, ExchangeLog& log)
    : invocation_(invocation), log_(log),
      file_(loadConfigurationFile(invocation.arguments.first())), device_(loopDevice(invocation))
{
    if (invocation.reportPath.isEmpty())
        return;
    report_.setFileName(invocation.reportPath);
    if (!report_.open(QIODevice::WriteOnly | QIODevice::Append))
        throw Failure(Exit::CannotWriteOutput, QStringLiteral("output-unwritable"),
                      QStringLiteral("cannot append to %1: %2")
                          .arg(invocation.reportPath, report_.errorString()));
}

ProvisioningLoop::~ProvisioningLoop() = default;

bool ProvisioningLoop::wanted() const
{
    return !interruption::requested() && (invocation_.count == 0 || units_ < invocation_.count);
}

int ProvisioningLoop::run()
{
    while (wanted()) {
        QString identity;
        const std::unique_ptr<UnitPort> session = waitForUnit(identity);
        if (!session)
            break;
        const Result result = provision(*session, identity);
        announce(result);
        appendToReport(result);
        if (wanted())
            waitUntilGone(*session);
    }
    printSummary();
    return firstFailureCode_;
}

std::unique_ptr<UnitPort> ProvisioningLoop::waitForUnit(QString& identity)
{
    if (log_.showsProgress())
        std::fprintf(stderr, "waiting for a unit on %s ...\n", qPrintable(device_));
    while (!interruption::requested()) {
        QElapsedTimer since;
        since.start();
        auto session = std::make_unique<UnitPort>(device_, invocation_.replyWait, log_);
        try {
            session->open();
            identity = session->identify();
            return session;
        } catch (const Failure& failure) {
            // A port nobody may open will not become openable by waiting.
            if (failure.code() == Exit::PermissionDenied)
                throw;
        }
        restOfPeriod(since);
    }
    return nullptr;
}

void ProvisioningLoop::waitUntilGone(UnitPort& session)
{
    int misses = 0;
    while (misses < kMissesForGone && !interruption::requested()) {
        QElapsedTimer since;
        since.start();
        try {
            session.identify();
            misses = 0;
        } catch (const Failure&) {
            ++misses;
        }
        restOfPeriod(since);
    }
}

Result ProvisioningLoop::provision(UnitPort& session, const QString& identity)
{
    QElapsedTimer clock;
    clock.start();
    const int exchangesBefore = log_.exchanges() - 1; // the identify query that found it
    Result result;
    result.command = invocation_.command;
    result.device = device_;
    result.identity = identity;
    interruption::setDeferred(true); // Ctrl-C stops after this unit, not inside it
    try {
        applyConfiguration(session, file_, false, result);
    } catch (const Failure& failure) {
        result.fail(failure);
    }
    interruption::setDeferred(false);
    result.exchanges = log_.exchanges() - exchangesBefore;
    result.elapsedMs = clock.elapsed();
    ++units_;
    if (result.ok() && result.changed)
        ++written_;
    if (!result.ok()) {
        failures_ << QStringLiteral("unit %1 (%2, exit %3)")
                         .arg(units_)
                         .arg(identity)
                         .arg(int(result.exit));
        if (firstFailureCode_ == 0)
            firstFailureCode_ = int(result.exit);
    }
    return result;
}

void ProvisioningLoop::announce(const Result& result)
{
    if (invocation_.json) {
        std::fputs(QJsonDocument(resultDocument(result)).toJson(QJsonDocument::Compact), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        return;
    }
    const int items = int(provisioning::itemsToWrite(result.changes).size());
    const QString outcome =
        !result.ok() ? QStringLiteral("FAILED, exit %1 (%2): %3")
                           .arg(int(result.exit))
                           .arg(exitMeaning(result.exit), result.error->message())
        : items == 0 ? QStringLiteral("OK, already as the file says")
                     : QStringLiteral("OK, %1 items written and verified").arg(items);
    const bool terminal = ::isatty(STDOUT_FILENO);
    std::printf("unit %d  %s  %s  \u2014 plug in the next unit%s\n", units_,
                qPrintable(result.identity), qPrintable(outcome), terminal ? "\a" : "");
    std::fflush(stdout);
}

void ProvisioningLoop::appendToReport(const Result& result)
{
    if (!report_.isOpen())
        return;
    const QJsonObject line{
        {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {QStringLiteral("unit"), units_},
        {QStringLiteral("device"), result.device},
        {QStringLiteral("identity"), result.identity},
        {QStringLiteral("result"), result.ok() ? QStringLiteral("ok") : QStringLiteral("failed")},
        {QStringLiteral("exit_code"), int(result.exit)},
        {QStringLiteral("error"),
         result.error ? QJsonValue(result.error->message()) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("changes"), changesJson(result.changes)},
        {QStringLiteral("elapsed_ms"), result.elapsedMs}};
    report_.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    // On disk before the next unit: a crash or a pulled plug loses no earlier line.
    report_.flush();
    ::fsync(report_.handle());
}

void ProvisioningLoop::printSummary()
{
    const QString summary =
        QStringLiteral("units: %1 done, %2 written, %3 failed%4")
            .arg(units_)
            .arg(written_)
            .arg(failures_.size())
            .arg(failures_.isEmpty()
                     ? QString()
                     : QStringLiteral("; failed: ") + failures_.join(QStringLiteral(", ")));
    std::fprintf(invocation_.json ? stderr : stdout, "%s\n", qPrintable(summary));
}

} // namespace tarvex::cli
