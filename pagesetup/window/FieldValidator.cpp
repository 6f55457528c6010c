#include "FieldValidator.h"

#include "SingleByte.h"

FieldValidator::FieldValidator(Form form, QObject *parent) : QValidator(parent), m_form(form) {}

QValidator::State FieldValidator::validate(QString &input, int &) const
{
    return fits(input, m_form) ? Acceptable : Invalid;
}

bool FieldValidator::fits(QStringView text, Form form)
{
    if (!SingleByte::fits(text))
        return false;
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
        if (form == Form::Bare && c == u',')
            return false;
        if (form == Form::Quoted && c == u'"')
            return false;
    }
    if (form == Form::Bare) {
        // The reader skips blanks before an item, so a quote after leading blanks opens one.
        const QStringView rest = text.trimmed();
        if (rest.startsWith(u'"'))
            return false;
    }
    return true;
}
