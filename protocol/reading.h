#pragma once

#include <optional>
#include <utility>

namespace tarvex::protocol {

// Why a reply gave no value. A silent unit and one that answers out of turn are different
// faults to whoever has to fix them, so a reading keeps them apart.
enum class ReplyFault {
    NoAnswer, // nothing came back
    BadReply, // something came back, but not the reply to what was asked
};

// What one reply was read as: its value, or the fault that left none.
template <typename T> class Reading
{
public:
    Reading(T value) : value_(std::move(value)) {}
    Reading(ReplyFault fault) : fault_(fault) {}

    bool hasValue() const { return value_.has_value(); }
    const T& value() const { return *value_; }
    ReplyFault fault() const { return fault_; } // meaningful only without a value
    const std::optional<T>& asOptional() const { return value_; }

private:
    std::optional<T> value_;
    ReplyFault fault_ = ReplyFault::NoAnswer;
};

} // namespace tarvex::protocol
