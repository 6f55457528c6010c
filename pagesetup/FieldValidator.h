#pragma once

#include <QStringView>
#include <QValidator>
#include <optional>

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

    // A ceiling refuses a text whose numeric value lies above it.
    explicit FieldValidator(Form form, QObject *parent = nullptr,
                            std::optional<double> ceiling = std::nullopt);

    State validate(QString &input, int &pos) const override;

    static bool fits(QStringView text, Form form);

private:
    Form m_form;
    std::optional<double> m_ceiling;
};
