#pragma once

#include "provisioning/failure.h"

#include <QString>

#include <stdexcept>

namespace tarvex::cli {

// The program's exit codes. Scripts and orchestrators branch on them: never renumber one.
enum class Exit : int {
    Done = 0,
    Unexpected = 1,
    Differences = 2,
    NotVerified = 3,
    Usage = 64,
    InvalidFile = 65,
    UnreadableFile = 66,
    NoUnit = 69,
    CannotWriteOutput = 73,
    LineLost = 74,
    PortBusy = 75,
    PermissionDenied = 77,
    Interrupted = 130,
};

// Why a run ends early: the exit code, a short machine-readable kind, and a message for
// people. Thrown by the steps of a command and caught once, in main.
class Failure : public std::runtime_error
{
public:
    Failure(Exit code, QString kind, QString message, QString device = {})
        : std::runtime_error("tarvex-cli failure"), code_(code), kind_(std::move(kind)),
          message_(std::move(message)), device_(std::move(device))
    {}
    Exit code() const { return code_; }
    const QString& kind() const { return kind_; }
    const QString& message() const { return message_; }
    const QString& device() const { return device_; }

private:
    Exit code_;
    QString kind_;
    QString message_;
    QString device_;
};

// The engine's failure as the program's: its exit code and its kind in the JSON result.
Failure failureOf(const provisioning::Failure& failure);

// Runs a step of the engine, its failures thrown as the program's.
template <typename Step> auto engineStep(Step step) -> decltype(step())
{
    try {
        return step();
    } catch (const provisioning::Failure& failure) {
        throw failureOf(failure);
    }
}

// What a code means, in words; and the whole table for --help.
QString exitMeaning(Exit code);
QString exitCodeHelp();

} // namespace tarvex::cli
