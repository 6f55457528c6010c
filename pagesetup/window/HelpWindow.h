#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QPushButton;

// The installers' manual bundled with the program, one page per help topic number.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    void showContents();
    // A topic without a page of its own opens the contents.
    void showTopic(int topic);
    QUrl source() const;

    static QUrl contentsUrl();
    static QUrl topicUrl(int topic);

private:
    void present(const QUrl &url);

    QTextBrowser *m_browser = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_forward = nullptr;
};
