#pragma once

#include <QString>

namespace tarvex::link {
class Link;
}

// Message texts between the unit's wire form (line breaks as CR LF, ended by NUL) and the
// editor's form (line breaks as "\n", at most 80 characters counting each break as two).
namespace tarvex::transfer {

// The editor's text from a message read reply: characters 3 up to the first NUL, without a
// trailing line end, CR LF (or a lone CR) as line breaks, cut to the editor's limit.
QString editorTextFromReply(const QString& reply);
// The same from the text as it travels, without the reply's first two characters and NUL.
QString editorTextFromWire(const QString& wireText);

QString wireTextFromEditor(const QString& editorText);

// One message read exchange; the editor's text for the reply, whatever it was.
QString readMessage(link::Link& link, int slot);

// One message write exchange; the reply is not examined. False, with nothing sent, when the
// text holds a character the unit cannot take.
[[nodiscard]] bool saveMessage(link::Link& link, int slot, const QString& editorText);

} // namespace tarvex::transfer
