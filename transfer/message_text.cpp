#include "transfer/message_text.h"

#include "link/link.h"
#include "protocol/commands.h"
#include "protocol/replies.h"
#include "protocol/wire_text.h"
#include "transfer/fresh_start.h"

namespace tarvex::transfer {
namespace {

const QString kLineBreak = QStringLiteral("\n");
const QString kWireLineBreak = QStringLiteral("\r\n");

} // namespace

QString editorTextFromReply(const QString& reply)
{
    return editorTextFromWire(protocol::messageTextOf(reply));
}

QString editorTextFromWire(const QString& wireText)
{
    const QString text = protocol::withoutTrailingLineEnd(wireText);
    return protocol::fittingBeginning(protocol::withPlainLineBreaks(text),
                                      protocol::kMessageLength);
}

QString wireTextFromEditor(const QString& editorText)
{
    QString text = editorText;
    return text.replace(kLineBreak, kWireLineBreak);
}

QString readMessage(link::Link& link, int slot)
{
    startFresh(link);
    return editorTextFromReply(link.SendAndWait(protocol::messageRead(slot)));
}

bool saveMessage(link::Link& link, int slot, const QString& editorText)
{
    const auto line = protocol::messageWrite(slot, wireTextFromEditor(editorText));
    if (!line)
        return false;
    startFresh(link);
    link.SendAndWait(*line);
    return true;
}

} // namespace tarvex::transfer
