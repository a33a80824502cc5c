// What a terminal server may send, read by the Telnet decoder, and what an operator may type as
// an address: nothing crashes, commands never reach the data wherever a read splits them, and
// data the program escapes comes back unchanged.
#include "fuzz_check.h"
#include "net/line_address.h"
#include "net/telnet_codec.h"

#include <cstddef>
#include <cstdint>

using fuzz::check;
using namespace tarvex::link;

namespace {

struct Decoded
{
    QByteArray data;
    QList<telnet::Event> events;
    bool broken = false;
};

Decoded decodeInTwo(const QByteArray& bytes, qsizetype split)
{
    telnet::Decoder decoder;
    Decoded decoded;
    decoded.data = decoder.feed(bytes.left(split));
    decoded.data += decoder.feed(bytes.mid(split));
    decoded.events = decoder.takeEvents();
    decoded.broken = decoder.isBroken();
    return decoded;
}

void checkDecoder(const QByteArray& bytes)
{
    const Decoded whole = decodeInTwo(bytes, bytes.size());
    const Decoded split = decodeInTwo(bytes, bytes.isEmpty() ? 0 : quint8(bytes[0]) % bytes.size());
    check(whole.broken == split.broken);
    if (!whole.broken)
        check(whole.data == split.data && whole.events == split.events);
    check(whole.data.size() <= bytes.size());

    const Decoded echoed = decodeInTwo(telnet::escaped(bytes), bytes.size());
    check(echoed.data == bytes && echoed.events.isEmpty() && !echoed.broken);
}

void checkAddress(const QByteArray& bytes)
{
    QString reason;
    const auto address = parseLineAddress(QString::fromLatin1(bytes), &reason);
    check(address.has_value() == reason.isEmpty());
    if (address)
        check(address->port != 0 && !address->host.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkDecoder(bytes);
    checkAddress(bytes);
    return 0;
}
