#pragma once

#include "provisioning/configuration_file.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"

#include <functional>
#include <variant>

namespace tarvex::files {
struct BoundedRead;
}

namespace tarvex::provisioning {

class UnitSession;

// Far above any real file (a full configuration is about 1.5 KB, a message at most 80
// characters), and far below what would hurt the machine.
inline constexpr qint64 kLargestInputFile = 1024 * 1024;

// The one loader of configuration files: what was read of the file named name (read with the
// bound kLargestInputFile) in, the whole file validated out. UnreadableFile when it could not
// be read, InvalidFile naming every problem, or when it is larger than the bound.
ManagedConfiguration loadConfigurationFile(const files::BoundedRead& read, const QString& name);

// The bytes of a file read with the bound kLargestInputFile, or UnreadableFile or InvalidFile
// naming the file as name.
QByteArray fileBytes(const files::BoundedRead& read, const QString& name);

// The text of an invalid file's failure: every problem, "item: rule", one a line; the item
// as name calls its path (the path itself without one).
QString problemLines(const QList<Problem>& problems, const PathName& name = {});

// The line failed under the engine, in the link's own words: only the owner of the line turns
// it into its report (the window's connection box, the command line's exit 74).
struct LostLine
{
    QString device;
    QString reason;
};

// What ended a run early: the engine's own failure (Interrupted for a stop), or the line's.
using Ending = std::variant<Failure, LostLine>;

// How an apply ended: exactly one of these, each with its failure where there is one.
namespace verdict {
struct AlreadyEqual // nothing differed, nothing was written
{};
struct Declined // there were differences, and the decision wrote nothing
{};
struct Verified // written, and read back as the file says
{};
struct StillDiffering // written twice, and the unit still holds other values
{};
struct FailedBeforeWriting // the reads ended early; nothing was sent
{
    Ending why;
};
struct StoppedWhileWriting // a stop or the unit's failure among the writes or their read-back
{
    Failure why;
};
struct LineLostWhileWriting // the line failed among the writes or their read-back
{
    LostLine line;
};
} // namespace verdict

using Verdict = std::variant<verdict::AlreadyEqual, verdict::Declined, verdict::Verified,
                             verdict::StillDiffering, verdict::FailedBeforeWriting,
                             verdict::StoppedWhileWriting, verdict::LineLostWhileWriting>;

// The arms of a std::visit over a verdict or an ending, one lambda each.
template <typename... Arms> struct Overloaded : Arms...
{
    using Arms::operator()...;
};
template <typename... Arms> Overloaded(Arms...) -> Overloaded<Arms...>;

// What an apply found and did, for each face to present: the command line as its output, its
// JSON and its exit code, the window as its boxes and controls. A run that ends among its
// writes sorts every planned change into written, unconfirmed or notSent.
struct ApplyOutcome
{
    QList<Change> differences;    // the unit against the file, before anything was written
    QList<Change> written;        // the changes whose items the unit acknowledged
    QList<Change> unconfirmed;    // sent, but no answer came before the end: the unit may hold it
    QList<Change> notSent;        // planned, but the run ended first (a stop, a lost line)
    QList<Change> stillDiffering; // after the write, the read-back and one more try
    QString otherIdentity;        // the unit the file was saved from, when not this one
    UnitValues unit;              // what the unit holds, as far as it was read and acknowledged
    Verdict verdict;
};

// Asked once the differences are known, and only when there are some: whether to write them.
using WriteDecision = std::function<bool(const ApplyOutcome& compared)>;

// Reads what the file manages and compares it; when decide says so, writes only what differs
// (in the order of itemsToWrite), reads every written item back and writes once more what
// still differs. How the run ended is its verdict; only link::LinkAborted is thrown, because
// then the program is closing and nobody is left to present an outcome.
ApplyOutcome apply(UnitSession& session, const ManagedConfiguration& file,
                   const QString& unitIdentity, const WriteDecision& decide);

// The exchanges the write of these differences makes, for a progress: each item written and
// read back (a second write of what still differs comes on top).
int writeExchanges(const QList<Change>& differences);

// Writes everything whenever there is a difference: apply without a question.
bool alwaysWrite(const ApplyOutcome& compared);
// Writes nothing: compare only.
bool neverWrite(const ApplyOutcome& compared);

// NotVerified, naming each change that did not arrive and what the unit holds instead.
Failure notVerified(const QList<Change>& remaining, const QString& device);

} // namespace tarvex::provisioning
