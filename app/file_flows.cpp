#include "app/file_flows.h"

#include "app/dialogs.h"
#include "app/frm_main.h"
#include "app/item_names.h"
#include "app/message_box.h"
#include "files/blocking_step.h"
#include "files/bounded_read.h"
#include "link/link.h"
#include "provisioning/backup.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"
#include "provisioning/unit_session.h"

#include <algorithm>
#include <variant>

namespace tarvex::app {
namespace {

using provisioning::ApplyOutcome;
using provisioning::Change;
using provisioning::ManagedConfiguration;
using provisioning::UnitSession;

const QString kSaveTitle = QStringLiteral("Save Unit Configuration");
const QString kFilter = QStringLiteral("Configuration files (*.json);;All files (*)");
const QString kSuffix = QStringLiteral(".json");
const QString kReading = QStringLiteral("Reading the configuration...");
const QString kWriting = QStringLiteral("Writing the configuration...");
const QString kOpening = QStringLiteral("Opening %1...");

void warn(QWidget* window, const QString& title, const QString& text)
{
    message_box::show(window, message_box::Icon::Exclamation, title, text);
}

void inform(QWidget* window, const QString& title, const QString& text)
{
    message_box::show(window, message_box::Icon::Information, title, text);
}

// The progress dialog over the session's exchanges, one per phase (the reads, then the writes
// with their read-back); its Cancel stops the work after the exchange in flight.
class ExchangeProgress
{
public:
    ExchangeProgress(QWidget* window, UnitSession& session) : window_(window), session_(session)
    {
        session.setProgress([this](int doneInPass, int) {
            if (doneInPass > 0 && progress_)
                progress_->setValue(std::min(++done_, steps_));
            return !(progress_ && progress_->wasCanceled());
        });
    }
    ~ExchangeProgress() { session_.setProgress({}); }
    ExchangeProgress(const ExchangeProgress&) = delete;
    ExchangeProgress& operator=(const ExchangeProgress&) = delete;

    void show(const QString& label, qsizetype steps)
    {
        progress_.reset();
        done_ = 0;
        steps_ = int(steps);
        progress_.emplace(window_, label, steps_);
    }
    void close() { progress_.reset(); }

private:
    QWidget* window_;
    UnitSession& session_;
    std::optional<dialogs::Progress> progress_;
    int done_ = 0;
    int steps_ = 0;
};

QList<dialogs::DifferenceRow> rowsOf(const QList<Change>& changes)
{
    QList<dialogs::DifferenceRow> rows;
    for (const Change& change : changes)
        rows.append({item_names::shown(change.path), provisioning::valueText(change.before),
                     provisioning::valueText(change.after)});
    return rows;
}

QString identityNote(const QString& fileIdentity, const QString& unitIdentity)
{
    if (fileIdentity.isEmpty())
        return {};
    return QStringLiteral("The file was saved from unit \"%1\"; this unit is \"%2\".")
        .arg(fileIdentity, unitIdentity);
}

QString shownLines(const QList<Change>& changes)
{
    return provisioning::changeLines(changes, item_names::shown);
}

QString linesOrNothing(const QList<Change>& changes)
{
    return changes.isEmpty() ? QStringLiteral("nothing") : shownLines(changes);
}

// The box after a write that ended early: why, and where each planned change stands. A write
// that went out unanswered may have been taken, so its control keeps what the unit last gave.
QString stoppedWriteText(const QString& why, const ApplyOutcome& outcome)
{
    QString text = why;
    if (outcome.unconfirmed.isEmpty())
        text += QStringLiteral(" The controls show what the unit now holds.");
    else
        text += QStringLiteral(" The controls show what the unit last gave; it may hold the "
                               "file's values for those sent but not confirmed.");
    text += QStringLiteral("\nWritten:\n%1").arg(linesOrNothing(outcome.written));
    if (!outcome.unconfirmed.isEmpty())
        text += QStringLiteral("\nSent, not confirmed: the unit may hold it:\n%1")
                    .arg(shownLines(outcome.unconfirmed));
    return text + QStringLiteral("\nNot sent:\n%1").arg(linesOrNothing(outcome.notSent));
}

} // namespace

FileFlows::FileFlows(frmMain& form, QWidget* window) : QObject(window), form_(form), window_(window)
{}

session::Connection& FileFlows::connection()
{
    return form_.session();
}

QString FileFlows::suggestedFileName(const QString& identity, QDate day)
{
    QString name = identity.trimmed();
    for (const QChar character : QStringLiteral("/\\:*?\"<>|"))
        name.replace(character, u'-');
    return QStringLiteral("%1 %2.json").arg(name, day.toString(Qt::ISODate));
}

template <typename T>
std::optional<T> FileFlows::waitFor(const QString& label, std::function<T()> step)
{
    files::BlockingCall<T> call(std::move(step));
    dialogs::Progress wait(window_, label, 0);
    wait.onCancel([&call] { call.stop(); });
    QObject closing;
    connect(&connection(), &session::Connection::aborting, &closing, [&call] { call.stop(); });
    wait.setValue(0);
    if (connection().isAborted())
        call.stop();
    return call.wait();
}

// The target is opened before the 21 exchanges, so that an unwritable folder fails at once and
// costs none; the file is committed only when everything was read.
void FileFlows::saveUnitConfiguration()
{
    const QString identity = connection().identity();
    const auto path = dialogs::chooseFileToSave(
        window_, QStringLiteral("Save Unit Configuration As"),
        suggestedFileName(identity, QDate::currentDate()), kFilter, kSuffix);
    if (!path)
        return;
    runOnUnit(kSaveTitle, [&](UnitSession& session) {
        const provisioning::BackupFile target(*path);
        const std::optional<bool> opened = waitFor(kOpening.arg(*path), target.opening());
        if (!opened)
            return;
        target.checkOpened(*opened);
        provisioning::Backup backup;
        {
            ExchangeProgress progress(window_, session);
            progress.show(kReading, provisioning::allItems(true).size());
            backup = provisioning::readBackup(session, identity, true);
        }
        target.commit(backup.text);
        dialogs::rememberFolderOf(*path);
        showUnitValues(backup.unit);
        if (!backup.problems.isEmpty())
            warn(window_, kSaveTitle,
                 QStringLiteral("Saved as the unit holds them, but these values break a rule of "
                                "the file format and must be corrected before the file can be "
                                "applied:\n%1")
                     .arg(provisioning::problemLines(backup.problems, item_names::shown)));
    });
}

void FileFlows::applyConfigurationFile()
{
    compareOrApply({QStringLiteral("Apply Configuration"),
                    QStringLiteral("The unit already holds this configuration."), true});
}

void FileFlows::compareWithFile()
{
    compareOrApply({QStringLiteral("Compare with File"),
                    QStringLiteral("The unit holds exactly what the file says."), false});
}

session::Connection::Outcome FileFlows::runOnUnit(const QString& title, const Step& step)
{
    // The line may have gone while a file dialog was open.
    if (!connection().isConnected())
        return session::Connection::Outcome::Refused;
    return connection().run([&](link::Link& link) {
        UnitSession session(link, link.cm.deviceName());
        try {
            step(session);
        } catch (const provisioning::Failure& failure) {
            if (failure.kind() != provisioning::Failure::Kind::Interrupted)
                warn(window_, title, failure.message());
        }
    });
}

void FileFlows::compareOrApply(const Comparison& flow)
{
    const auto path = dialogs::chooseFileToOpen(window_, flow.title, kFilter);
    if (!path)
        return;
    runOnUnit(flow.title, [&](UnitSession& session) {
        const auto read = waitFor<files::BoundedRead>(kOpening.arg(*path), [path = *path] {
            return files::readBounded(path, provisioning::kLargestInputFile);
        });
        if (!read)
            return;
        const ManagedConfiguration file = provisioning::loadConfigurationFile(*read, *path);
        dialogs::rememberFolderOf(*path);
        presentApply(flow, applyOnUnit(session, file, flow));
    });
}

// The engine's apply, with the differences shown between its reads and its writes.
ApplyOutcome FileFlows::applyOnUnit(UnitSession& session, const ManagedConfiguration& file,
                                    const Comparison& flow)
{
    ExchangeProgress progress(window_, session);
    progress.show(kReading, provisioning::itemsManagedBy(file).size());
    const QString identity = connection().identity();
    return provisioning::apply(session, file, identity, [&](const ApplyOutcome& compared) {
        progress.close();
        showUnitValues(compared.unit);
        const dialogs::DifferencesRequest request{flow.title, rowsOf(compared.differences),
                                                  identityNote(compared.otherIdentity, identity),
                                                  flow.mayWrite};
        const bool write = dialogs::showDifferences(window_, request);
        if (write)
            progress.show(kWriting, provisioning::writeExchanges(compared.differences));
        return write;
    });
}

// Each verdict as the window shows it, inside the sequence: a lost line goes to the connection
// first (its "Connection" box), then the flow's own box says what became of the write.
void FileFlows::presentApply(const Comparison& flow, const ApplyOutcome& outcome)
{
    namespace verdict = provisioning::verdict;
    const auto warnUnlessCancelled = [&](const provisioning::Failure& failure) {
        if (failure.kind() != provisioning::Failure::Kind::Interrupted)
            warn(window_, flow.title, failure.message());
    };
    std::visit(
        provisioning::Overloaded{
            [&](const verdict::AlreadyEqual&) {
                showUnitValues(outcome.unit);
                inform(window_, flow.title, flow.whenEqual);
            },
            [&](const verdict::Declined&) {}, // Cancel in the differences dialog, or its Close
            [&](const verdict::Verified&) {
                showUnitValues(outcome.unit);
                inform(window_, flow.title, QStringLiteral("Configuration written and verified."));
            },
            [&](const verdict::StillDiffering&) {
                showUnitValues(outcome.unit);
                warn(window_, flow.title,
                     QStringLiteral("Written twice, but the unit still differs from the file:\n%1")
                         .arg(shownLines(outcome.stillDiffering)));
            },
            [&](const verdict::FailedBeforeWriting& failed) {
                if (const auto* lost = std::get_if<provisioning::LostLine>(&failed.why))
                    connection().lineFailed(lost->device, lost->reason);
                else
                    warnUnlessCancelled(std::get<provisioning::Failure>(failed.why));
            },
            [&](const verdict::StoppedWhileWriting& stopped) {
                showUnitValues(outcome.unit);
                const bool cancelled =
                    stopped.why.kind() == provisioning::Failure::Kind::Interrupted;
                warn(window_, flow.title,
                     stoppedWriteText(cancelled ? QStringLiteral("The write was cancelled.")
                                                : stopped.why.message(),
                                      outcome));
            },
            [&](const verdict::LineLostWhileWriting& lost) {
                connection().lineFailed(lost.line.device, lost.line.reason);
                showUnitValues(outcome.unit);
                warn(window_, flow.title,
                     stoppedWriteText(QStringLiteral("The connection was lost during the write."),
                                      outcome));
            },
        },
        outcome.verdict);
}

// The controls show what the unit holds; when that is all an upload reads, it counts as one.
void FileFlows::showUnitValues(const provisioning::UnitValues& unit)
{
    provisioning::showOn(unit, form_.view());
    if (unit.coversUpload())
        connection().noteUploaded();
}

} // namespace tarvex::app
