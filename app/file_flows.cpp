#include "app/file_flows.h"

#include "app/dialogs.h"
#include "app/frm_main.h"
#include "app/item_names.h"
#include "app/message_box.h"
#include "files/blocking_step.h"
#include "files/bounded_read.h"
#include "link/link.h"
#include "link/link_errors.h"
#include "provisioning/backup.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"
#include "provisioning/unit_session.h"

#include <algorithm>

namespace tarvex::app {
namespace {

using provisioning::ApplyOutcome;
using provisioning::Change;
using provisioning::ManagedConfiguration;
using provisioning::UnitSession;

const QString kSaveTitle = QStringLiteral("Save Unit Configuration");
const QString kApplyTitle = QStringLiteral("Apply Configuration");
const QString kCompareTitle = QStringLiteral("Compare with File");
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

QString linesOrNothing(const QList<Change>& changes)
{
    return changes.isEmpty() ? QStringLiteral("nothing") : item_names::changeLines(changes);
}

// Why a write ended early, as the box after it says: a stop by Cancel, a lost line (which the
// connection's box has reported first), or the engine's failure.
QString whyStopped(const std::exception_ptr& ended)
{
    try {
        std::rethrow_exception(ended);
    } catch (const provisioning::Failure& failure) {
        if (failure.kind() != provisioning::Failure::Kind::Interrupted)
            return failure.message();
        return QStringLiteral("The write was cancelled.");
    } catch (const link::LinkError&) {
        return QStringLiteral("The connection was lost during the write.");
    } catch (...) {
        return QStringLiteral("The write stopped.");
    }
}

// A link's failure is the connection's to report; the engine's are the flow's.
void rethrowLinkFailure(const std::exception_ptr& ended)
{
    try {
        if (ended)
            std::rethrow_exception(ended);
    } catch (const link::LinkError&) {
        throw;
    } catch (const link::LinkAborted&) {
        throw;
    } catch (...) {
    }
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
                     .arg(item_names::problemLines(backup.problems)));
    });
}

void FileFlows::applyConfigurationFile()
{
    compareOrApply(true);
}

void FileFlows::compareWithFile()
{
    compareOrApply(false);
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

void FileFlows::compareOrApply(bool mayWrite)
{
    const QString title = mayWrite ? kApplyTitle : kCompareTitle;
    const auto path = dialogs::chooseFileToOpen(window_, title, kFilter);
    if (!path)
        return;
    std::optional<ApplyOutcome> outcome;
    const auto ran = runOnUnit(title, [&](UnitSession& session) {
        const auto read = waitFor<files::BoundedRead>(kOpening.arg(*path), [path = *path] {
            return files::readBounded(path, provisioning::kLargestInputFile);
        });
        if (!read)
            return;
        const ManagedConfiguration file = provisioning::loadConfigurationFile(*read, *path);
        dialogs::rememberFolderOf(*path);
        outcome = applyOnUnit(session, file, title, mayWrite);
        if (outcome->ended && !outcome->wrote) { // as any failure of the reads
            const std::exception_ptr ended = outcome->ended;
            outcome.reset();
            std::rethrow_exception(ended);
        }
        rethrowLinkFailure(outcome->ended);
    });
    // After the connection's own report of a lost line; never once the window is closing.
    if (outcome && ran != session::Connection::Outcome::Aborted)
        presentApply(title, *outcome);
}

// The engine's apply, with the differences shown between its reads and its writes.
ApplyOutcome FileFlows::applyOnUnit(UnitSession& session, const ManagedConfiguration& file,
                                    const QString& title, bool mayWrite)
{
    ExchangeProgress progress(window_, session);
    progress.show(kReading, provisioning::itemsManagedBy(file).size());
    const QString identity = connection().identity();
    return provisioning::apply(session, file, identity, [&](const ApplyOutcome& compared) {
        progress.close();
        showUnitValues(compared.unit);
        const dialogs::DifferencesRequest request{title, rowsOf(compared.differences),
                                                  identityNote(compared.otherIdentity, identity),
                                                  mayWrite};
        const bool write = dialogs::showDifferences(window_, request);
        if (write) // each item is read back
            progress.show(kWriting, 2 * provisioning::itemsToWrite(compared.differences).size());
        return write;
    });
}

void FileFlows::presentApply(const QString& title, const ApplyOutcome& outcome)
{
    if (outcome.ended) {
        showUnitValues(outcome.unit);
        warn(window_, title,
             QStringLiteral("%1 The controls show what the unit now holds.\nWritten:\n%2\n"
                            "Not sent:\n%3")
                 .arg(whyStopped(outcome.ended), linesOrNothing(outcome.written),
                      linesOrNothing(outcome.notSent)));
        return;
    }
    if (outcome.differences.isEmpty()) {
        showUnitValues(outcome.unit);
        inform(window_, title,
               title == kApplyTitle ? QStringLiteral("The unit already holds this configuration.")
                                    : QStringLiteral("The unit holds exactly what the file says."));
        return;
    }
    if (!outcome.wrote) // Cancel in the differences dialog, or its Close
        return;
    showUnitValues(outcome.unit);
    if (outcome.stillDiffering.isEmpty())
        inform(window_, title, QStringLiteral("Configuration written and verified."));
    else
        warn(window_, title,
             QStringLiteral("Written twice, but the unit still differs from the file:\n%1")
                 .arg(item_names::changeLines(outcome.stillDiffering)));
}

// The controls show what the unit holds; when that is all an upload reads, it counts as one.
void FileFlows::showUnitValues(const provisioning::UnitValues& unit)
{
    provisioning::showOn(unit, form_.view());
    if (unit.coversUpload())
        connection().noteUploaded();
}

} // namespace tarvex::app
