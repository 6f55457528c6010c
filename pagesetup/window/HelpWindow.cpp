#include "HelpWindow.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this)),
      m_back(new QPushButton(tr("Back"), this)), m_forward(new QPushButton(tr("Forward"), this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Tarnwick Help"));
    // The setup window's small control face is not meant for reading pages of text.
    setFont(QApplication::font());
    resize(560, 520);

    auto *contents = new QPushButton(tr("Contents"), this);
    m_browser->setOpenExternalLinks(true);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);

    connect(contents, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(m_back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QPushButton::setEnabled);
}

QUrl HelpWindow::contentsUrl()
{
    return QUrl(QStringLiteral("qrc:/help/contents.html"));
}

QUrl HelpWindow::topicUrl(int topic)
{
    const QString name = QStringLiteral(":/help/%1.html").arg(topic);
    if (topic <= 0 || !QFile::exists(name))
        return contentsUrl();
    return QUrl(QStringLiteral("qrc") + name);
}

void HelpWindow::showContents()
{
    present(contentsUrl());
}

void HelpWindow::showTopic(int topic)
{
    present(topicUrl(topic));
}

QUrl HelpWindow::source() const
{
    return m_browser->source();
}

void HelpWindow::present(const QUrl &url)
{
    m_browser->setSource(url);
    show();
    raise();
    activateWindow();
}
