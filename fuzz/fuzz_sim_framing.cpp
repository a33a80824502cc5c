// The simulator's reading of its line: any byte stream, split at any points, makes the same
// commands as when it arrives at once; pending input stays bounded; and no command leaves the
// unit's memory holding what the unit cannot hold.
#include "fuzz_check.h"
#include "sim/unit_memory.h"
#include "sim/unit_protocol.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

using fuzz::check;
using namespace tarvex::sim;

namespace {

// The longest command and one byte that marks a command as too long; a command cut there gets
// its end (at most NUL and CR) back.
constexpr qsizetype kLongestKept = kLongestCommand + 1;

bool holdsWhatTheUnitCan(const UnitMemory& memory)
{
    bool fits = memory.phoneCount >= 0 && memory.phoneCount <= kMaxPhoneCount &&
                isEventMask(memory.eventMask);
    for (const QByteArray& phone : memory.phones)
        fits = fits && phone.size() <= kLongestPhone;
    for (const QByteArray& message : memory.messages)
        fits = fits && message.size() <= kLongestMessage;
    return fits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    CommandFramer split;
    QByteArray whole;
    QList<QByteArray> commands;
    while (input.remaining_bytes() > 0) {
        // Split points come from the end of the input, the bytes from its front.
        const std::string chunk =
            input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(1, 300));
        const QByteArray bytes = QByteArray::fromStdString(chunk);
        whole += bytes;
        commands += split.feed(bytes);
        check(split.pending().size() <= kLongestKept);
    }
    CommandFramer atOnce;
    check(atOnce.feed(whole) == commands && atOnce.pending() == split.pending());

    UnitMemory memory;
    for (const QByteArray& command : commands) {
        check(command.endsWith('\r') && command.size() <= kLongestKept + 2);
        const Answer answer = answerCommand(command, "KTX-FUZZ", memory);
        check(answer.reply.endsWith('\r'));
        check(holdsWhatTheUnitCan(memory));
    }
    return 0;
}
