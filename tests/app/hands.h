#pragma once

// The technician's hands on the window's controls: mouse clicks and keys.

#include <QCheckBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

namespace hands {

inline void click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

// On the box itself, as a technician does: the middle of a wide check box may lie past the
// end of its caption, where a click does nothing.
inline void click(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator =
        box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

// Types text key by key; "\n" is the Enter key. Characters outside ASCII arrive as a key
// event carrying that text, as a keyboard layout that has them would send.
inline void typeText(QWidget* target, const QString& text)
{
    for (const QChar character : text) {
        if (character == u'\n')
            QTest::keyClick(target, Qt::Key_Return);
        else if (character.unicode() < 0x80)
            QTest::keyClick(target, character.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
    }
}

// Selects everything in the box and types over it; an empty text deletes the selection.
inline void retype(QWidget* box, const QString& text)
{
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        typeText(box, text);
}

} // namespace hands
