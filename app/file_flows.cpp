#include "app/file_flows.h"

#include "app/dialogs.h"
#include "app/frm_main.h"
#include "app/message_box.h"
#include "link/link.h"
#include "provisioning/apply.h"
#include "provisioning/atomic_file.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"
#include "provisioning/unit_session.h"

#include <algorithm>

namespace tarvex::app {
namespace {

using provisioning::Change;
using provisioning::ManagedConfiguration;
using provisioning::UnitSession;
using provisioning::UnitValues;

const QString kSaveTitle = QStringLiteral("Save Unit Configuration");
const QString kApplyTitle = QStringLiteral("Apply Configuration");
const QString kCompareTitle = QStringLiteral("Compare with File");
const QString kFilter = QStringLiteral("Configuration files (*.json);;All files (*)");
const QString kSuffix = QStringLiteral(".json");
const QString kReading = QStringLiteral("Reading the configuration...");
const QString kWriting = QStringLiteral("Writing the configuration...");

void warn(QWidget* window, const QString& title, const QString& text)
{
    message_box::show(window, message_box::Icon::Exclamation, title, text);
}

void inform(QWidget* window, const QString& title, const QString& text)
{
    message_box::show(window, message_box::Icon::Information, title, text);
}

// Runs work with a progress dialog following the session's exchanges; its Cancel stops the
// work after the exchange in flight. A write and its read-back are passes of one work.
template <typename Work>
void underProgress(QWidget* window, UnitSession& session, const QString& label, int steps,
                   Work work)
{
    dialogs::Progress progress(window, label, steps);
    int done = 0;
    session.setProgress([&](int doneInPass, int) {
        if (doneInPass > 0)
            progress.setValue(std::min(++done, steps));
        return !progress.wasCanceled();
    });
    struct Detach
    {
        UnitSession& session;
        ~Detach() { session.setProgress({}); }
    } detach{session};
    work();
}

QList<dialogs::DifferenceRow> rowsOf(const QList<Change>& changes)
{
    QList<dialogs::DifferenceRow> rows;
    for (const Change& change : changes)
        rows.append({change.path, provisioning::valueText(change.before),
                     provisioning::valueText(change.after)});
    return rows;
}

QString identityNote(const ManagedConfiguration& file, const QString& unitIdentity)
{
    if (file.identity.isEmpty() || file.identity == unitIdentity)
        return {};
    return QStringLiteral("The file was saved from unit \"%1\"; this unit is \"%2\".")
        .arg(file.identity, unitIdentity);
}

} // namespace

FileFlows::FileFlows(frmMain& form, QWidget* window) : QObject(window), form_(form), window_(window)
{}

QString FileFlows::suggestedFileName(const QString& identity, QDate day)
{
    QString name = identity.trimmed();
    for (const QChar character : QStringLiteral("/\\:*?\"<>|"))
        name.replace(character, u'-');
    return QStringLiteral("%1 %2.json").arg(name, day.toString(Qt::ISODate));
}

void FileFlows::saveUnitConfiguration()
{
    const QString identity = form_.unitIdentity();
    const auto path = dialogs::chooseFileToSave(
        window_, QStringLiteral("Save Unit Configuration As"),
        suggestedFileName(identity, QDate::currentDate()), kFilter, kSuffix);
    if (!path)
        return;
    runOnUnit(kSaveTitle, [&](UnitSession& session) {
        UnitValues unit;
        const auto items = provisioning::allItems(true);
        underProgress(window_, session, kReading, int(items.size()),
                      [&] { session.read(items, unit); });
        const ManagedConfiguration configuration = provisioning::configurationOf(unit, identity);
        provisioning::writeAtomically(*path, provisioning::fileText(configuration));
        showUnitValues(unit);
        const auto problems = provisioning::problemsOf(configuration);
        if (!problems.isEmpty())
            warn(window_, kSaveTitle,
                 QStringLiteral("Saved as the unit holds them, but these values break a rule of "
                                "the file format and must be corrected before the file can be "
                                "applied:\n%1")
                     .arg(provisioning::problemLines(problems)));
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

void FileFlows::runOnUnit(const QString& title, const Step& step)
{
    // The line may have gone while a file dialog was open.
    if (!form_.connection().isConnected())
        return;
    form_.connection().run([&](link::Link& link) {
        UnitSession session(link, link.cm.deviceName());
        try {
            step(session);
        } catch (const provisioning::Failure& failure) {
            if (failure.kind() != provisioning::Failure::Kind::Interrupted)
                warn(window_, title, failure.message());
        }
    });
}

std::optional<ManagedConfiguration> FileFlows::chooseValidFile(const QString& title)
{
    const auto path = dialogs::chooseFileToOpen(window_, title, kFilter);
    if (!path)
        return std::nullopt;
    try {
        return provisioning::loadConfigurationFile(*path);
    } catch (const provisioning::Failure& failure) {
        warn(window_, title, failure.message());
        return std::nullopt;
    }
}

void FileFlows::compareOrApply(bool mayWrite)
{
    const QString title = mayWrite ? kApplyTitle : kCompareTitle;
    const auto file = chooseValidFile(title);
    if (!file)
        return;
    runOnUnit(title, [&](UnitSession& session) {
        UnitValues unit;
        QList<Change> changes;
        underProgress(window_, session, kReading, int(provisioning::itemsManagedBy(*file).size()),
                      [&] { changes = provisioning::readAndCompare(session, *file, unit); });
        showUnitValues(unit);
        if (changes.isEmpty()) {
            inform(window_, title,
                   mayWrite ? QStringLiteral("The unit already holds this configuration.")
                            : QStringLiteral("The unit holds exactly what the file says."));
            return;
        }
        const dialogs::DifferencesRequest request{
            title, rowsOf(changes), identityNote(*file, form_.unitIdentity()), mayWrite};
        if (dialogs::showDifferences(window_, request))
            writeAndReport(session, *file, changes, unit);
    });
}

void FileFlows::writeAndReport(UnitSession& session, const ManagedConfiguration& file,
                               const QList<Change>& changes, UnitValues& unit)
{
    QList<Change> remaining;
    const int steps = 2 * int(provisioning::itemsToWrite(changes).size()); // each read back
    underProgress(window_, session, kWriting, steps,
                  [&] { remaining = provisioning::writeAndVerify(session, file, changes, unit); });
    showUnitValues(unit);
    if (remaining.isEmpty())
        inform(window_, kApplyTitle, QStringLiteral("Configuration written and verified."));
    else
        warn(window_, kApplyTitle,
             QStringLiteral("Written twice, but the unit still differs from the file:\n%1")
                 .arg(QString::fromUtf8(provisioning::changeLines(remaining)).trimmed()));
}

// The controls show what the unit holds; when that is all an upload reads, it counts as one.
void FileFlows::showUnitValues(const UnitValues& unit)
{
    provisioning::showOn(unit, form_.view());
    if (unit.coversUpload())
        form_.markUploaded();
}

} // namespace tarvex::app
