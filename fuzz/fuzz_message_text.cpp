// The cleaning of message texts read from the unit: whatever the reply, the editor gets at most
// 80 characters (a line break counting two), no NUL and no CR, and saves them as they count.
#include "fuzz_check.h"
#include "protocol/slots.h"
#include "protocol/wire_text.h"
#include "transfer/message_text.h"

#include <cstddef>
#include <cstdint>

using fuzz::check;
using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString reply = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = transfer::editorTextFromReply(reply);
    check(protocol::wireLength(text) <= protocol::kMessageLength);
    check(!text.contains(QChar(u'\0')) && !text.contains(u'\r'));

    const QString wire = transfer::wireTextFromEditor(text);
    check(wire.size() == protocol::wireLength(text));
    check(wire.count(u'\n') == wire.count(QStringLiteral("\r\n")));
    return 0;
}
