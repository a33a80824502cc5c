#include "cli/provisioning_loop.h"

#include "cli/blocking_step.h"
#include "cli/commands.h"
#include "cli/exchange_log.h"
#include "cli/exit_codes.h"
#include "cli/input_file.h"
#include "cli/interruption.h"
#include "cli/standard_output.h"
#include "cli/standard_streams.h"
#include "cli/unit_choice.h"
#include "cli/unit_port.h"
#include "files/file_sync.h"
#include "files/whole_write.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <cstdio>

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

link::DeviceName loopDevice(const Invocation& invocation)
{
    const link::PortMap map = portsToScan(invocation);
    const QList<int> numbers = map.numbers();
    if (numbers.size() != 1)
        throw Failure(Exit::Usage, QStringLiteral("usage"),
                      QStringLiteral("--loop watches one port; %1 exist: name one with --device")
                          .arg(numbers.size()));
    return map.deviceFor(numbers.first());
}

ProvisioningLoop::ProvisioningLoop(const Invocation& invocation, bool showProgress)
    : invocation_(invocation), showProgress_(showProgress)
{}

ProvisioningLoop::~ProvisioningLoop() = default;

void ProvisioningLoop::start()
{
    log_ = std::make_unique<ExchangeLog>(invocation_.tracePath, showProgress_);
    file_ = readConfigurationFile(invocation_.arguments.first());
    device_ = loopDevice(invocation_);
    if (invocation_.reportPath.isEmpty())
        return;
    auto report = std::make_shared<QFile>(invocation_.reportPath);
    if (!runBlocking<bool>([report] {
            return report->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        }))
        throw Failure(Exit::CannotWriteOutput, QStringLiteral("output-unwritable"),
                      QStringLiteral("cannot append to %1: %2")
                          .arg(invocation_.reportPath, report->errorString()));
    report_ = std::move(report);
}

bool ProvisioningLoop::wanted() const
{
    return !interruption::requested() && (invocation_.count == 0 || units_ < invocation_.count);
}

int ProvisioningLoop::run()
{
    try {
        start();
        while (wanted()) {
            QString identity;
            const std::unique_ptr<UnitPort> session = waitForUnit(identity);
            if (!session)
                break;
            const Result result = provision(*session, identity);
            record(result);
            if (result.exit == Exit::CannotWriteOutput) // the trace: no record, no next unit
                throw *result.error;
            if (wanted())
                waitUntilGone(*session);
        }
    } catch (const Failure& failure) {
        fatal_ = failure;
    }
    return printSummary();
}

std::unique_ptr<UnitPort> ProvisioningLoop::waitForUnit(QString& identity)
{
    if (log_->showsProgress())
        std::fprintf(stderr, "waiting for a unit on %s ...\n", qPrintable(device_.text()));
    while (!interruption::requested()) {
        QElapsedTimer since;
        since.start();
        auto session = std::make_unique<UnitPort>(device_, invocation_.replyWait, *log_);
        try {
            session->open();
            identity = session->identify();
            return session;
        } catch (const Failure& failure) {
            // A port nobody may open will not become openable by waiting, nor a full disk
            // writable.
            if (failure.code() == Exit::PermissionDenied ||
                failure.code() == Exit::CannotWriteOutput)
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
    const int exchangesBefore = log_->exchanges() - 1; // the identify query that found it
    Result result;
    result.command = invocation_.command;
    result.device = device_.text();
    result.identity = identity;
    interruption::setDeferred(true); // Ctrl-C stops after this unit, not inside it
    try {
        applyConfiguration(session, file_, false, result);
    } catch (const Failure& failure) {
        result.fail(failure);
    }
    interruption::setDeferred(false);
    result.exchanges = log_->exchanges() - exchangesBefore;
    result.elapsedMs = clock.elapsed();
    ++units_;
    if (result.ok() && result.changed)
        ++written_;
    if (!result.ok())
        failures_.append({units_, identity, result.exit});
    return result;
}

void ProvisioningLoop::record(const Result& result)
{
    const std::optional<QString> reportLost = appendToReport(result);
    const std::optional<QString> lineLost = announce(result);
    const QString unit = QStringLiteral("unit %1 (%2)").arg(units_).arg(result.identity);
    if (reportLost)
        throw Failure(Exit::CannotWriteOutput, QStringLiteral("output-unwritable"),
                      QStringLiteral("the report line of %1 could not be written to %2: %3")
                          .arg(unit, invocation_.reportPath, *reportLost),
                      device_.text());
    if (lineLost)
        throw Failure(Exit::CannotWriteOutput, QStringLiteral("output-unwritable"),
                      QStringLiteral("the line of %1 could not be written to standard output: %2")
                          .arg(unit, *lineLost),
                      device_.text());
}

std::optional<QString> ProvisioningLoop::announce(const Result& result)
{
    if (invocation_.json)
        return standard_output::write(
            QJsonDocument(resultDocument(result)).toJson(QJsonDocument::Compact) + '\n');
    const int items = int(provisioning::itemsToWrite(result.changes).size());
    const QString outcome =
        !result.ok() ? QStringLiteral("FAILED, exit %1 (%2): %3")
                           .arg(int(result.exit))
                           .arg(exitMeaning(result.exit), result.error->message())
        : items == 0 ? QStringLiteral("OK, already as the file says")
                     : QStringLiteral("OK, %1 items written and verified").arg(items);
    const bool terminal = standard_streams::outputIsTerminal();
    return standard_output::write(
        QStringLiteral("unit %1  %2  %3  \u2014 plug in the next unit%4\n")
            .arg(units_)
            .arg(result.identity, outcome, terminal ? QStringLiteral("\a") : QString())
            .toUtf8());
}

std::optional<QString> ProvisioningLoop::appendToReport(const Result& result)
{
    if (!report_)
        return std::nullopt;
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
    const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    // On disk before the next unit: a crash or a pulled plug loses no earlier line.
    if (const auto reason = files::writeWhole(*report_, bytes))
        return reason;
    return files::syncToDisk(*report_);
}

int ProvisioningLoop::exitCode() const
{
    if (fatal_ && fatal_->code() != Exit::Interrupted)
        return int(fatal_->code());
    if (!failures_.isEmpty())
        return int(failures_.first().code);
    return interruption::requested() || fatal_ ? int(Exit::Interrupted) : int(Exit::Done);
}

QString ProvisioningLoop::summaryText() const
{
    QStringList failed;
    for (const FailedUnit& failure : failures_)
        failed << QStringLiteral("unit %1 (%2, exit %3)")
                      .arg(failure.unit)
                      .arg(failure.identity)
                      .arg(int(failure.code));
    return QStringLiteral("units: %1 done, %2 written, %3 failed%4")
        .arg(units_)
        .arg(written_)
        .arg(failures_.size())
        .arg(failed.isEmpty() ? QString()
                              : QStringLiteral("; failed: ") + failed.join(QStringLiteral(", ")));
}

QJsonObject ProvisioningLoop::summaryDocument(int code) const
{
    QJsonArray failedUnits;
    for (const FailedUnit& failure : failures_)
        failedUnits.append(QJsonObject{{QStringLiteral("unit"), failure.unit},
                                       {QStringLiteral("identity"), failure.identity},
                                       {QStringLiteral("exit_code"), int(failure.code)}});
    return {{QStringLiteral("command"), invocation_.command},
            {QStringLiteral("summary"), true},
            {QStringLiteral("ok"), code == int(Exit::Done)},
            {QStringLiteral("units"), units_},
            {QStringLiteral("written"), written_},
            {QStringLiteral("failed"), int(failures_.size())},
            {QStringLiteral("failed_units"), failedUnits},
            {QStringLiteral("exit_code"), code},
            {QStringLiteral("error"), errorJson(fatal_)}};
}

int ProvisioningLoop::printSummary()
{
    const int code = exitCode();
    const QString summary = summaryText();
    if (invocation_.json)
        std::fprintf(stderr, "%s\n", qPrintable(summary));
    if (fatal_)
        std::fprintf(stderr, "tarvex-cli: %s\n", qPrintable(fatal_->message()));
    const std::optional<QString> lost = standard_output::write(
        invocation_.json
            ? QJsonDocument(summaryDocument(code)).toJson(QJsonDocument::Compact) + '\n'
            : summary.toUtf8() + '\n');
    if (!lost)
        return code;
    std::fprintf(stderr, "tarvex-cli: the summary could not be written to standard output: %s\n",
                 qPrintable(*lost));
    return int(Exit::CannotWriteOutput);
}

} // namespace tarvex::cli
