#pragma once

#include "protocol/slots.h"

#include <QPlainTextEdit>

namespace tarvex::app {

// The message editor. The unit keeps at most 80 characters and stores a line break as CR LF,
// so a break counts as two here; typing and pasting stop at that limit. Only characters the
// unit stores byte for byte (ISO 8859-1, no NUL) get in.
class MessageEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int kLimit = protocol::kMessageLength;

    explicit MessageEdit(QWidget* parent = nullptr);

    // The text to send, line breaks as "\n". Unlike toPlainText(), it keeps a no-break space
    // (0xA0) as typed instead of turning it into a plain one.
    QString messageText() const;

    // The length as the unit counts it: each line break is two characters.
    int wireLength() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // What is left of the limit if the selection were replaced.
    int room() const;
    bool accepts(const QString& text) const;
    void insertLineBreak();
};

} // namespace tarvex::app
