#pragma once

#include "Messages.h"
#include "PortWatcher.h"
#include "SerialLine.h"
#include "Termfrm.h"
#include "TerminalState.h"

#include <QObject>
#include <QPlainTextEdit>
#include <memory>

// The terminal program as main() puts it together, over the given line: the port watcher
// that wakes the window, and the window, started (it opens the port).
class TerminalProgram
{
public:
    void start(TerminalState &state, SerialLine &line, Messages &messages)
    {
        m_watcher = std::make_unique<PortWatcher>(state.PortId);
        m_form = std::make_unique<Termfrm>(state, line, messages);
        QObject::connect(m_watcher.get(), &PortWatcher::activity, m_form.get(), &Termfrm::portActivity);
        m_form->start();
    }
    void stop()
    {
        m_form.reset();
        m_watcher.reset();
    }
    Termfrm *form() const { return m_form.get(); }
    template<typename T>
    T *get(const char *name) const
    {
        return m_form->findChild<T *>(QLatin1String(name));
    }
    QString shown() const { return get<QPlainTextEdit>("TermTxt")->toPlainText(); }

private:
    std::unique_ptr<PortWatcher> m_watcher;
    std::unique_ptr<Termfrm> m_form;
};
