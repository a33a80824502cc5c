#pragma once

#include <QString>

#include <stdexcept>

namespace tarvex::fleet {

// Why work on the register ended: a kind that the command line turns into its exit code, and
// a message for people that names the site and field, or the file, or git's own words.
class RegisterError : public std::runtime_error
{
public:
    enum class Kind {
        InvalidInput, // the list, a template, or the register itself is not as it must be
        Unreadable,   // a file of the register could not be read
        Unwritable,   // a file of the register could not be written (a full disk)
        Busy,         // another run holds the register
        GitMissing,   // no git program to run
        GitFailed,    // git refused (its own message follows)
    };

    RegisterError(Kind kind, QString message)
        : std::runtime_error("register failure"), kind_(kind), message_(std::move(message))
    {}
    Kind kind() const { return kind_; }
    const QString& message() const { return message_; }

private:
    Kind kind_;
    QString message_;
};

[[noreturn]] void invalid(const QString& message);

} // namespace tarvex::fleet
