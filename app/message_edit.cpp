#include "app/message_edit.h"

#include "protocol/wire_text.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextDocument>

namespace tarvex::app {
namespace {

bool isLineBreakKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// The same test the text control uses before it inserts a key's text.
bool insertsText(const QKeyEvent* event)
{
    return !event->text().isEmpty() && event->text().front().isPrint();
}

} // namespace

MessageEdit::MessageEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
}

QString MessageEdit::messageText() const
{
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

int MessageEdit::wireLength() const
{
    return protocol::wireLength(messageText());
}

int MessageEdit::room() const
{
    return kLimit - wireLength() + protocol::wireLength(textCursor().selectedText());
}

bool MessageEdit::accepts(const QString& text) const
{
    return protocol::isWireText(text) && protocol::wireLength(text) <= room();
}

void MessageEdit::insertLineBreak()
{
    insertPlainText(QStringLiteral("\n"));
    ensureCursorVisible();
}

void MessageEdit::keyPressEvent(QKeyEvent* event)
{
    if (isLineBreakKey(event)) {
        // Shift+Enter too gives an ordinary break, the only kind the unit knows.
        if (accepts(QStringLiteral("\n")))
            insertLineBreak();
        event->accept();
        return;
    }
    if (insertsText(event) && !accepts(event->text())) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MessageEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    if (commit.isEmpty() || accepts(commit)) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    // Keep the composition going but drop the text it would commit.
    QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
    QPlainTextEdit::inputMethodEvent(&withoutCommit);
}

bool MessageEdit::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText() && protocol::isWireText(source->text());
}

void MessageEdit::insertFromMimeData(const QMimeData* source)
{
    if (!canInsertFromMimeData(source))
        return;
    // Like a line edit: a paste longer than the room left is cut to fit.
    const QString fitting =
        protocol::fittingBeginning(protocol::withPlainLineBreaks(source->text()), room());
    if (fitting.isEmpty())
        return;
    QMimeData fitted;
    fitted.setText(fitting);
    QPlainTextEdit::insertFromMimeData(&fitted);
}

} // namespace tarvex::app
