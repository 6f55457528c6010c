#include "KeyBytes.h"

#include "SingleByte.h"

std::optional<QByteArray> keyBytes(int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return std::nullopt;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QByteArray(1, 13);
    case Qt::Key_Backspace:
        return QByteArray(1, 8);
    case Qt::Key_Escape:
        return QByteArray(1, 27);
    default:
        break;
    }
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    // Ctrl+Alt is how some keyboards reach their third level (AltGr); Alt alone is for
    // the window's own keys.
    if (alt && !ctrl)
        return std::nullopt;
    if (ctrl && !alt) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            return QByteArray(1, char(key - Qt::Key_A + 1));
        // Ctrl+[ and the like, where the keyboard layout gives a control character.
        if (text.size() == 1 && text[0].unicode() < 32)
            return QByteArray(1, char(text[0].unicode()));
        return std::nullopt;
    }
    if (text.isEmpty())
        return std::nullopt;
    QByteArray bytes;
    for (const QChar c : text) {
        if (c.unicode() == 127 && text.size() == 1)
            return std::nullopt; // some layouts give Delete this text
        if (c.unicode() <= 0xFF)
            bytes.append(SingleByte::toByte(c));
    }
    return bytes;
}
