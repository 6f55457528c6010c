// The setup window's controls as installers know them: names, kinds, texts, limits, places,
// faces, the focus order, the two rows of tabs and the help topics.

#include "HelpWindow.h"
#include "Pagefrm.h"
#include "RecordingMessages.h"
#include "ScriptedLine.h"
#include "TwoRowTabWidget.h"
#include "WorkingDirectory.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

class TestPagefrmControls : public QObject
{
    Q_OBJECT

    std::unique_ptr<WorkingDirectory> m_dir;
    ScriptedLine m_line = ScriptedLine::withoutDevice();
    RecordingMessages m_messages;
    std::unique_ptr<Pagefrm> m_window;

    QWidget *control(const QString &name) const { return m_window->findChild<QWidget *>(name); }

    // Where a control stands in the frame of reference of its place in the window.
    QRect placed(QWidget *widget) const
    {
        QWidget *parent = widget->parentWidget();
        if (qobject_cast<QGroupBox *>(parent))
            return widget->geometry();
        const QWidget *tab = m_window->ui().SSTab1;
        if (widget != tab && tab->isAncestorOf(widget))
            return QRect(widget->mapTo(tab, QPoint(0, 0)), widget->size());
        return widget->geometry();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<WorkingDirectory>();
        m_window = std::make_unique<Pagefrm>(m_line, &m_messages);
    }

    void cleanup()
    {
        m_window.reset();
        m_dir.reset();
    }

    void controlTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("box");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("heard");
        const auto row = [](const char *name, const char *kind, const char *text, QRect box, bool bold,
                            const char *heard) {
            QTest::newRow(name) << name << kind << text << box << bold << heard;
        };
        row("StaLbl", "QLabel", "Station Number", {192, 40, 113, 25}, true, "");
        row("StaSpin", "QSpinBox", "", {320, 32, 41, 25}, false, "Station Number");
        row("Frame2", "QGroupBox", "Station Eprom Version", {416, 24, 153, 57}, false, "");
        row("VersOpt(0)", "QRadioButton", "1.0 X", {16, 24, 49, 17}, false, "");
        row("VersOpt(1)", "QRadioButton", "1.1 X", {88, 24, 49, 17}, false, "");
        row("CmdHlp", "QPushButton", "Help", {56, 80, 65, 25}, false, "");
        row("SaveCmd", "QPushButton", "Save Data", {56, 144, 65, 25}, false, "");
        row("CmdSend", "QPushButton", "Send Data", {56, 208, 65, 25}, false, "");
        row("CmdExit", "QPushButton", "Exit", {64, 280, 41, 25}, false, "");
        row("SSTab1", "TwoRowTabWidget", "", {200, 104, 353, 233}, false, "");
        row("ComLbl", "QLabel", "Communications Port", {16, 100, 153, 25}, true, "");
        row("Portspin", "QSpinBox", "", {176, 92, 33, 25}, false, "Communications Port");
        row("Frame1", "QGroupBox", "Baud Rate", {48, 132, 257, 65}, true, "");
        row("BaudOpt(0)", "QRadioButton", "", {8, 24, 17, 17}, false, "1200");
        row("Label1", "QLabel", "1200", {24, 24, 41, 17}, true, "");
        row("BaudOpt(1)", "QRadioButton", "", {96, 24, 17, 17}, false, "2400");
        row("Label2", "QLabel", "2400", {112, 24, 41, 17}, true, "");
        row("BaudOpt(2)", "QRadioButton", "", {192, 24, 17, 17}, false, "9600");
        row("Label3", "QLabel", "9600", {208, 24, 41, 17}, true, "");
        row("ModeCk(0)", "QCheckBox", "Send Individual Input Pages", {48, 84, 265, 25}, true, "");
        row("ModeCk(1)", "QCheckBox", "Send To Alternate Pager", {48, 124, 281, 25}, true, "");
        row("ModeCk(2)", "QCheckBox", "Send To Manager Pager", {48, 164, 265, 25}, true, "");
        row("Label4", "QLabel", "Total Number of Inputs", {24, 76, 161, 17}, true, "");
        row("NumInpTxt", "QLineEdit", "1", {192, 68, 33, 25}, false, "Total Number of Inputs");
        row("NumInpNote", "QLabel", "At most 512", {232, 76, 113, 17}, true, "");
        row("Label5", "QLabel", "Time Before Recall in Min.", {24, 116, 185, 17}, true, "");
        row("RecallSpin", "QSpinBox", "", {216, 108, 33, 25}, false, "Time Before Recall in Min.");
        row("Label6", "QLabel", "Alternate Pager Number", {24, 156, 169, 17}, true, "");
        row("AltTxt", "QLineEdit", " ", {200, 148, 41, 25}, false, "Alternate Pager Number");
        row("Label7", "QLabel", "Manager Pager Number", {24, 196, 169, 17}, true, "");
        row("ManTxt", "QLineEdit", " ", {200, 188, 49, 25}, false, "Manager Pager Number");
        row("Label8", "QLabel", "Input", {24, 76, 41, 25}, true, "");
        row("InputSpin", "QSpinBox", "", {64, 68, 49, 25}, false, "Input");
        row("NormCk", "QCheckBox", "Display Norm/Emer", {160, 76, 161, 25}, true, "");
        row("Label9", "QLabel", "Pager Number", {72, 124, 105, 17}, true, "");
        row("PageNumTxt", "QLineEdit", " ", {184, 116, 33, 25}, false, "Pager Number");
        row("Label10", "QLabel", "Pager Text", {72, 164, 81, 17}, true, "");
        row("PagerTextTxt", "QLineEdit", " ", {160, 156, 65, 25}, false, "Pager Text");
        row("GrpLbl1", "QLabel", "Group Pager Number", {16, 72, 153, 17}, true, "");
        row("GrpSpin", "QSpinBox", "", {176, 64, 49, 25}, false, "Group Pager Number");
        row("GrpLbl2", "QLabel", "Pager numbers for this group", {8, 128, 209, 25}, true, "");
        row("GrpPg1", "QLineEdit", " ", {248, 96, 33, 25}, false, "Pager numbers for this group");
        row("GrpPg2", "QLineEdit", " ", {248, 136, 33, 25}, false, "Pager numbers for this group");
        row("GrpPg3", "QLineEdit", " ", {248, 176, 33, 25}, false, "Pager numbers for this group");
        row("GrpLbl3", "QLabel", "Each group can have 2 or 3 pager numbers and could contain a group number.",
            {8, 160, 209, 49}, true, "");
        row("WideLab1", "QLabel", "Wide Area Pager Number", {32, 64, 185, 17}, true, "");
        row("WideSpin", "QSpinBox", "", {240, 56, 49, 25}, false, "Wide Area Pager Number");
        row("WideText", "QLineEdit", " ", {88, 112, 153, 25}, false, "Phone number dial string");
        row("WideLab2", "QLabel", "Phone number dial string", {72, 144, 185, 17}, true, "");
        row("WideLab3", "QLabel", "Use a comma to insert a pause.", {64, 176, 209, 49}, true, "");
        row("Connectinfo", "StatusLine", "", {16, 352, 601, 33}, true, "");
        row("Sendinfo", "StatusLine", "", {16, 392, 601, 33}, true, "");
    }

    void controlTable()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QRect, box);
        QFETCH(bool, bold);
        QFETCH(QString, heard);
        QWidget *widget = control(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
        const QRect at = placed(widget);
        auto *edit = qobject_cast<QLineEdit *>(widget);
        if (edit && edit->maxLength() < 32767) {
            // A box that stops at a length grows, into free room, to show a full value.
            QCOMPARE(at.top(), box.top());
            QCOMPARE(at.height(), box.height());
            QVERIFY(at.left() <= box.left() && at.width() >= box.width());
        } else {
            QCOMPARE(at, box);
        }
        QCOMPARE(widget->font().bold(), bold);
        const bool status = name == QLatin1String("Connectinfo") || name == QLatin1String("Sendinfo");
        QCOMPARE(widget->font().pointSize(), status ? 12 : 8);

        QString shown;
        if (auto *label = qobject_cast<QLabel *>(widget))
            shown = label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            shown = button->text();
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            shown = edit->text();
        else if (auto *frame = qobject_cast<QGroupBox *>(widget))
            shown = frame->title();
        QCOMPARE(shown, text);
        if (!heard.isEmpty())
            QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), heard);
    }

    void spinBoxLimits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("start");
        QTest::newRow("StaSpin") << "StaSpin" << 1 << 32 << 1;
        QTest::newRow("Portspin") << "Portspin" << 1 << 4 << 1;
        QTest::newRow("RecallSpin") << "RecallSpin" << 0 << 9 << 4;
        QTest::newRow("InputSpin") << "InputSpin" << 1 << 1 << 1; // the limit follows the count of 1
        QTest::newRow("GrpSpin") << "GrpSpin" << 900 << 931 << 900;
        QTest::newRow("WideSpin") << "WideSpin" << 800 << 815 << 800;
    }

    void spinBoxLimits()
    {
        QFETCH(QString, name);
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, start);
        auto *spin = m_window->findChild<QSpinBox *>(name);
        QVERIFY(spin);
        QCOMPARE(spin->minimum(), low);
        QCOMPARE(spin->maximum(), high);
        QCOMPARE(spin->value(), start);
        spin->setValue(high + 1);
        QCOMPARE(spin->value(), high);
    }

    void focusOrderStartsOnExit()
    {
        const QStringList expected{
            "CmdExit",    "CmdSend",    "SaveCmd",   "SSTab1",     "Portspin",  "BaudOpt(0)",   "BaudOpt(1)",
            "BaudOpt(2)", "ModeCk(0)",  "ModeCk(1)", "ModeCk(2)",  "NumInpTxt", "RecallSpin",   "AltTxt",
            "ManTxt",     "InputSpin",  "NormCk",    "PageNumTxt", "PagerTextTxt", "StaSpin",   "GrpSpin",
            "GrpPg1",     "GrpPg2",     "GrpPg3",    "VersOpt(0)", "VersOpt(1)", "CmdHlp",      "WideSpin",
            "WideText"};
        QStringList chain;
        QWidget *first = control(QStringLiteral("CmdExit"));
        QWidget *widget = first;
        do {
            // An option group is one tab stop (its ticked option), yet all its options keep their place.
            const bool option = qobject_cast<QRadioButton *>(widget);
            if ((option || (widget->focusPolicy() & Qt::TabFocus)) && !widget->objectName().isEmpty()
                && !widget->objectName().startsWith(QLatin1String("qt_")))
                chain.append(widget->objectName());
            widget = widget->nextInFocusChain();
        } while (widget != first && chain.size() <= expected.size());
        QCOMPARE(chain, expected);

        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QCOMPARE(QApplication::focusWidget(), control(QStringLiteral("CmdExit")));
        for (const char *next : {"CmdSend", "SaveCmd", "SSTab1", "Portspin"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(next));
        }
    }

    void tabsStandInTwoRowsOfThree()
    {
        TwoRowTabWidget *tabs = m_window->ui().SSTab1;
        const QStringList captions{"Communications",    "Pager Mode",   "General Info",
                                   "Individual Inputs", "Group Pagers", "Wide Area Paging"};
        QCOMPARE(tabs->count(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(tabs->tabText(i), captions[i]);
            QCOMPARE(tabs->tabRect(i).top(), tabs->tabRect(i % 3).top() + (i / 3) * TwoRowTabWidget::RowHeight);
            QCOMPARE(tabs->tabRect(i).left(), tabs->tabRect(i % 3).left());
        }
        QVERIFY(tabs->tabRect(0).right() < tabs->tabRect(1).left());

        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QVERIFY(!control(QStringLiteral("GrpSpin"))->isVisible());
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(4).center());
        QCOMPARE(tabs->currentIndex(), 4);
        QVERIFY(control(QStringLiteral("GrpSpin"))->isVisible());
        QCOMPARE(QApplication::focusWidget(), tabs);
        QTest::keyClick(tabs, Qt::Key_Up);
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::keyClick(tabs, Qt::Key_Right);
        QTest::keyClick(tabs, Qt::Key_Right);
        QCOMPARE(tabs->currentIndex(), 3);
        QTest::keyClick(tabs, Qt::Key_Left);
        QCOMPARE(tabs->currentIndex(), 2);

        // The keys of every tab control, on the strip and from a control on a page (a spin
        // box does not take Ctrl+Page Down as its Page Down); the page tab list follows.
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(tabs);
        const struct
        {
            QKeyCombination key;
            int then;
        } keys[] = {{Qt::CTRL | Qt::Key_Tab, 3},
                    {Qt::CTRL | Qt::Key_PageDown, 4},
                    {Qt::CTRL | Qt::Key_PageUp, 3},
                    {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, 2},
                    {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, 1},
                    {Qt::CTRL | Qt::Key_PageUp, 0},
                    {Qt::CTRL | Qt::Key_PageUp, 5},
                    {Qt::CTRL | Qt::Key_Tab, 0}};
        for (const auto &[key, then] : keys) {
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            QCOMPARE(tabs->currentIndex(), then);
            QVERIFY(list->child(then)->state().selected);
        }
        auto *port = qobject_cast<QSpinBox *>(control(QStringLiteral("Portspin")));
        port->setFocus();
        QTest::keyClick(port, Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(port->value(), 1);
    }

    // What a screen reader finds: a frame named by the caption, a page-tab list whose tabs
    // switch pages through their action, and status lines heard by their current text.
    void screenReaderFindsTheWindowTabsAndStatus()
    {
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(m_window.get());
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name), Pagefrm::caption());

        TwoRowTabWidget *tabs = m_window->ui().SSTab1;
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(tabs);
        QCOMPARE(list->role(), QAccessible::PageTabList);
        QCOMPARE(list->childCount(), 7);
        for (int i = 0; i < 6; ++i) {
            QAccessibleInterface *tab = list->child(i);
            QCOMPARE(tab->role(), QAccessible::PageTab);
            QCOMPARE(tab->text(QAccessible::Name), tabs->tabText(i));
            QCOMPARE(tab->parent(), list);
            QCOMPARE(list->indexOfChild(tab), i);
            QCOMPARE(bool(tab->state().selected), i == 0);
        }
        QAccessibleInterface *groups = list->child(4);
        groups->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(tabs->currentIndex(), 4);
        QVERIFY(groups->state().selected && !list->child(0)->state().selected);
        QAccessibleInterface *pages = list->child(6);
        QVERIFY(pages->object() == tabs->pageStack());
        QCOMPARE(list->indexOfChild(pages), 6);

        // The status lines are notifications named by their text: Orca speaks one as it shows.
        const QString failure = QStringLiteral("Failure communicating with station 5");
        m_window->setConnectinfo(failure, SendView::Colour::Failure);
        m_window->setSendinfo(QStringLiteral(" 3 Group pagers sent to pager interface"));
        QAccessibleInterface *connectinfo = QAccessible::queryAccessibleInterface(m_window->ui().Connectinfo);
        QCOMPARE(connectinfo->role(), QAccessible::Notification);
        QCOMPARE(connectinfo->text(QAccessible::Name), failure);
        QCOMPARE(QAccessible::queryAccessibleInterface(m_window->ui().Sendinfo)->text(QAccessible::Name),
                 QStringLiteral("3 Group pagers sent to pager interface"));

        // Each baud option is named once, by its rate: the label beside it is no label related
        // to it (Orca would read it as the group's label and say the rate twice); the frame is.
        QAccessibleInterface *baud = QAccessible::queryAccessibleInterface(m_window->ui().BaudOpt[1]);
        QCOMPARE(baud->text(QAccessible::Name), QStringLiteral("2400"));
        const auto labels = baud->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.first().first->object(), m_window->ui().Frame1);
    }

    void tabEntersAnOptionGroupAtItsTickedOption_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("ticked");
        QTest::newRow("baud rate") << 0 << "Portspin" << "BaudOpt(2)";
        QTest::newRow("EPROM version") << 4 << "GrpPg3" << "VersOpt(1)";
    }

    // Space on the option that takes the focus then changes nothing.
    void tabEntersAnOptionGroupAtItsTickedOption()
    {
        QFETCH(int, tab);
        QFETCH(QString, before);
        QFETCH(QString, ticked);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_window->ui().SSTab1->setCurrentIndex(tab);
        m_window->ui().BaudOpt[2]->click();
        const PagerConfig config = m_window->config();
        control(before)->setFocus();
        QTest::keyClick(control(before), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), ticked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(m_window->config().BaudRate, config.BaudRate);
        QCOMPARE(m_window->config().EpromVersion, config.EpromVersion);
        QVERIFY(qobject_cast<QRadioButton *>(control(ticked))->isChecked());
    }

    void f1OpensTheFocusedControlsTopic_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("topic");
        QTest::newRow("StaSpin") << "StaSpin" << 0 << 100;
        QTest::newRow("VersOpt(0)") << "VersOpt(0)" << 0 << 200;
        QTest::newRow("NumInpTxt") << "NumInpTxt" << 2 << 300;
        QTest::newRow("RecallSpin") << "RecallSpin" << 2 << 300;
        QTest::newRow("Portspin") << "Portspin" << 0 << 400;
        QTest::newRow("BaudOpt(1)") << "BaudOpt(1)" << 0 << 400;
        QTest::newRow("ModeCk(2)") << "ModeCk(2)" << 1 << 500;
        QTest::newRow("PagerTextTxt") << "PagerTextTxt" << 3 << 600;
        QTest::newRow("GrpPg2") << "GrpPg2" << 4 << 700;
        QTest::newRow("WideText") << "WideText" << 5 << 750;
        QTest::newRow("SaveCmd") << "SaveCmd" << 0 << 800;
        QTest::newRow("CmdSend") << "CmdSend" << 0 << 840;
        QTest::newRow("CmdExit has none") << "CmdExit" << 0 << 0;
        QTest::newRow("CmdHlp has none") << "CmdHlp" << 0 << 0;
        QTest::newRow("SSTab1 has none") << "SSTab1" << 3 << 0;
    }

    void f1OpensTheFocusedControlsTopic()
    {
        QFETCH(QString, name);
        QFETCH(int, tab);
        QFETCH(int, topic);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_window->ui().SSTab1->setCurrentIndex(tab);
        QWidget *widget = control(name);
        widget->setFocus();
        QTRY_COMPARE(QApplication::focusWidget() == widget || widget->isAncestorOf(QApplication::focusWidget()), true);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        QVERIFY(m_window->helpWindow());
        const QUrl expected = topic ? QUrl(QStringLiteral("qrc:/help/%1.html").arg(topic)) : HelpWindow::contentsUrl();
        QCOMPARE(m_window->helpWindow()->source(), expected);
        QVERIFY(m_window->helpWindow()->isVisible());
    }

    // Every topic has its page, the contents lead to each and to the messages, and "Help"
    // opens the contents.
    void manualCoversEveryTopicAndHelpOpensItsContents()
    {
        QFile contents(QStringLiteral(":/help/contents.html"));
        QVERIFY(contents.open(QIODevice::ReadOnly));
        const QByteArray page = contents.readAll();
        for (int topic : {100, 200, 300, 400, 500, 600, 700, 750, 800, 840}) {
            QVERIFY2(QFile::exists(QStringLiteral(":/help/%1.html").arg(topic)), qPrintable(QString::number(topic)));
            QVERIFY2(page.contains(QStringLiteral("href=\"%1.html\"").arg(topic).toLatin1()), qPrintable(QString::number(topic)));
        }
        QVERIFY(page.contains("href=\"messages.html\""));

        m_window->ui().CmdHlp->click();
        QCOMPARE(m_window->helpWindow()->source(), HelpWindow::contentsUrl());
        m_window->helpWindow()->showTopic(123);
        QCOMPARE(m_window->helpWindow()->source(), HelpWindow::contentsUrl());
    }
};

QTEST_MAIN(TestPagefrmControls)
#include "tst_pagefrm_controls.moc"
