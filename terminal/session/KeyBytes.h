#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>
#include <optional>

// The byte a key press sends to the line: printable characters in the single-byte code
// page, Enter 13, Backspace 8, Escape 27, Ctrl with a letter 1 to 26. Nothing (nullopt)
// for keys that produce no character (arrows, function keys, Delete) and for Tab, which
// moves the focus. An empty result is a character with no single-byte form: the key is
// taken but nothing is sent.
std::optional<QByteArray> keyBytes(int key, Qt::KeyboardModifiers modifiers, const QString &text);
