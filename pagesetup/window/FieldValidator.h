#pragma once

#include <QStringView>
#include <QValidator>

// Keeps out of an edit box what the station file could not carry back: characters without
// a single-byte form, control characters, and, for fields written bare, a comma or a leading
// double quote (the reader would split or unquote them); a field written between quotes may
// not hold a quote itself. Only typing and pasting are checked, so a value loaded from a
// file is always shown as it stands.
class FieldValidator : public QValidator
{
    Q_OBJECT
public:
    enum class Form { Bare, Quoted };

    explicit FieldValidator(Form form, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

    static bool fits(QStringView text, Form form);

private:
    Form m_form;
};
