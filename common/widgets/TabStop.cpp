#include "TabStop.h"

#include <QAbstractButton>

void makeTabStop(const QList<QAbstractButton *> &options, QAbstractButton *ticked)
{
    for (QAbstractButton *button : options) {
        const Qt::FocusPolicy policy = button->focusPolicy();
        button->setFocusPolicy(button == ticked ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}
