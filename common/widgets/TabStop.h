#pragma once

#include <QList>

class QAbstractButton;

// Tab enters a group of options at its ticked one. The toolkit keeps a group's single tab
// stop on the option that last had the focus, so a choice made without the focus (a click
// elsewhere, a screen reader's action, the program) would leave Tab on an unticked option.
void makeTabStop(const QList<QAbstractButton *> &options, QAbstractButton *ticked);
