#pragma once

#include "provisioning/configuration_file.h"
#include "provisioning/differences.h"
#include "provisioning/failure.h"

#include <exception>
#include <functional>

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

// The text of an invalid file's failure: every problem, "path: rule", one a line.
QString problemLines(const QList<Problem>& problems);

// What an apply found and did, for each face to present: the command line as its output, its
// JSON and its exit code, the window as its boxes and controls.
struct ApplyOutcome
{
    QList<Change> differences;    // the unit against the file, before anything was written
    QList<Change> written;        // the changes whose items the unit acknowledged
    QList<Change> notSent;        // planned, but the run ended first (a stop, a lost line)
    QList<Change> stillDiffering; // after the write, the read-back and one more try
    QString otherIdentity;        // the unit the file was saved from, when not this one
    UnitValues unit;              // what the unit holds, as far as it was read and written
    bool wrote = false;           // whether writing began
    // What ended the run early: a Failure (Interrupted for a stop), or the link's own error,
    // which only the owner of the line may turn into its report.
    std::exception_ptr ended;
};

// Asked once the differences are known, and only when there are some: whether to write them.
using WriteDecision = std::function<bool(const ApplyOutcome& compared)>;

// Reads what the file manages and compares it; when decide says so, writes only what differs
// (numbers and texts, then the count, then the mask), reads every written item back and writes
// once more what still differs. Never throws: how the run ended is in the outcome.
ApplyOutcome apply(UnitSession& session, const ManagedConfiguration& file,
                   const QString& unitIdentity, const WriteDecision& decide);

// Writes everything whenever there is a difference: apply without a question.
bool alwaysWrite(const ApplyOutcome& compared);
// Writes nothing: compare only.
bool neverWrite(const ApplyOutcome& compared);

// NotVerified, naming each change that did not arrive and what the unit holds instead.
Failure notVerified(const QList<Change>& remaining, const QString& device);

} // namespace tarvex::provisioning
