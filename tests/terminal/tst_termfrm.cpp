#include "RecordingMessages.h"
#include "ScriptedLine.h"
#include "TermText.h"
#include "Termfrm.h"
#include "TerminalState.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

namespace {

// A window over a scripted line, with the state a site file left.
struct Window
{
    explicit Window(int port = 1, int baud = 1200)
    {
        state.PortNumber = int16_t(port);
        state.BaudRate = int16_t(baud);
    }
    Termfrm &create()
    {
        form = std::make_unique<Termfrm>(state, line, messages);
        return *form;
    }
    Termfrm &started()
    {
        create();
        form->start();
        QApplication::setActiveWindow(form.get());
        line.clearCalls();
        return *form;
    }
    template<typename T>
    T *get(const char *name)
    {
        T *child = form->findChild<T *>(QLatin1String(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }
    QPlainTextEdit *termTxt() { return get<QPlainTextEdit>("TermTxt"); }

    TerminalState state;
    ScriptedLine line;
    RecordingMessages messages;
    std::unique_ptr<Termfrm> form;
};

// Ticks an option the way a user or the program may: a click, a screen
// reader's Toggle or Press action, or setChecked.
void choose(QRadioButton *option, const QString &how)
{
    QAccessibleActionInterface *actions = QAccessible::queryAccessibleInterface(option)->actionInterface();
    if (how == "click") {
        option->click();
    } else if (how == "toggle") {
        actions->doAction(QAccessibleActionInterface::toggleAction());
    } else if (how == "press") {
        actions->doAction(QAccessibleActionInterface::pressAction());
    } else {
        option->setChecked(true);
    }
}

const QStringList FullOpening{"InitializePort", "SetPortCharacteristics", "RtsOn", "CdrvSetTimerResolution",
                              "CdrvDelay", "IsPortAvailable"};

} // namespace

class TestTermfrm : public QObject
{
    Q_OBJECT
private slots:
    void startUp_data();
    void startUp();
    void startUpArguments();
    void startState();
    void layout_data();
    void layout();
    void focusOrder_data();
    void focusOrder();
    void accessibleNames();
    void screenReader();

    void comChoice_data();
    void comChoice();
    void baudChoice_data();
    void baudChoice();

    void typingGoesToTheLine();
    void typingInStationBox();
    void stationLabels_data();
    void stationLabels();
    void failedSendIsShown_data();
    void failedSendIsShown();

    void receivedTextShown();
    void copyGivesWhatCameIn();
    void clearKeepsPendingText();
    void buttonsHaveKeys();

    void logOn();
    void connectinfoColours();
    void exitClosesPort_data();
    void exitClosesPort();
    void exitDuringLogon();
};

void TestTermfrm::startUp_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QStringList>("results"); // operation=result
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("comChecked");
    QTest::addColumn<int>("baudChecked");

    const QStringList opened = FullOpening + QStringList{"SetBaud"};
    QTest::newRow("no site file") << 1 << 1200 << QStringList() << opened << QStringList() << 0 << 0;
    QTest::newRow("port 2 at 9600") << 2 << 9600 << QStringList() << opened << QStringList() << 1 << 2;
    QTest::newRow("2400") << 1 << 2400 << QStringList() << opened << QStringList() << 0 << 1;
    QTest::newRow("port 3 selects no port") << 3 << 1200 << QStringList() << opened << QStringList() << -1 << 0;
    QTest::newRow("odd baud selects none") << 1 << 4800 << QStringList() << FullOpening << QStringList() << 0 << -1;
    QTest::newRow("no device, then the baud fails")
        << 1 << 1200 << QStringList{"InitializePort=7"} << QStringList{"InitializePort", "SetBaud"}
        << QStringList{"COMM-DRV Invalid port error", "COMM-DRV Baud Error 1"} << 0 << 0;
    QTest::newRow("port in use") << 1 << 1200 << QStringList{"InitializePort=9"} << QStringList{"InitializePort", "SetBaud"}
                                 << QStringList{"COMM-DRV Error  9", "COMM-DRV Baud Error 1"} << 0 << 0;
    QTest::newRow("negative failure") << 1 << 1200 << QStringList{"InitializePort=-3"}
                                      << QStringList{"InitializePort", "SetBaud"}
                                      << QStringList{"COMM-DRV Error -3", "COMM-DRV Baud Error 1"} << 0 << 0;
    QTest::newRow("format refused, RTS not looked at")
        << 1 << 1200 << QStringList{"SetPortCharacteristics=4", "RtsOn=25"} << opened
        << QStringList{"COMM-DRV Error seting port char.  4"} << 0 << 0;
    QTest::newRow("timer and delay refused")
        << 1 << 1200 << QStringList{"CdrvSetTimerResolution=3", "CdrvDelay=2"} << opened
        << QStringList{"COMM-DRV Error  3", "COMM-DRV Error  2"} << 0 << 0;
    QTest::newRow("not available") << 1 << 1200 << QStringList{"IsPortAvailable=11"} << opened
                                   << QStringList{"port not available 11"} << 0 << 0;
    QTest::newRow("baud refused") << 1 << 9600 << QStringList{"SetBaud=3"} << opened
                                  << QStringList{"COMM-DRV Baud Error 3"} << 0 << 2;
}

void TestTermfrm::startUp()
{
    QFETCH(int, port);
    QFETCH(int, baud);
    QFETCH(QStringList, results);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, messages);
    QFETCH(int, comChecked);
    QFETCH(int, baudChecked);

    Window w(port, baud);
    for (const QString &result : results)
        w.line.queueResult(result.section('=', 0, 0), result.section('=', 1).toInt());
    w.create();
    QCOMPARE(w.line.names(), calls);
    QCOMPARE(w.messages.texts, messages);
    for (const QString &reason : w.messages.reasons)
        QCOMPARE(reason, QStringLiteral("scripted reason"));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(w.get<QRadioButton>(qPrintable(QStringLiteral("ComOpt(%1)").arg(i)))->isChecked(), i == comChecked);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(w.get<QRadioButton>(qPrintable(QStringLiteral("BaudOpt(%1)").arg(i)))->isChecked(), i == baudChecked);
    QCOMPARE(int(w.state.PortNumber), port);
    QVERIFY(!w.state.WindowShown);
    QCOMPARE(w.state.PortResult, w.line.calls.last().result); // the last result is kept
}

void TestTermfrm::startUpArguments()
{
    Window w(2, 9600);
    w.create();
    const QList<ScriptedLine::Call> &calls = w.line.calls;
    QCOMPARE(calls[0].args, (QList<int>{0, 1, 0, 0, 9, 0, 2048, 512, 0}));
    QCOMPARE(calls[1].args, (QList<int>{0, 7, 0, 3, 0, 4}));
    QCOMPARE(calls[2].args, QList<int>{0});
    QCOMPARE(calls[3].args, (QList<int>{0, 0}));
    QCOMPARE(calls[4].args, (QList<int>{0, 1}));
    QCOMPARE(calls[5].args, QList<int>{0});
    QCOMPARE(calls[6].args, (QList<int>{0, 7}));
    QCOMPARE(int(w.state.BaudCode), 7);
}

void TestTermfrm::startState()
{
    Window w;
    Termfrm &form = w.started();
    QCOMPARE(form.windowTitle(), QStringLiteral("Velgrin Terminal Program 1.10"));
    QVERIFY(w.state.WindowShown);
    QCOMPARE(w.get<QLineEdit>("StaTxt")->text(), QStringLiteral("1"));
    QCOMPARE(w.get<QLineEdit>("StaTxt")->maxLength(), 2);
    QCOMPARE(w.get<QLabel>("AscLbl")->text(), QStringLiteral("Ascii value of code for station is 123"));
    QCOMPARE(w.get<QLabel>("CharLbl")->text(), QStringLiteral("Character is {"));
    QCOMPARE(w.get<QLabel>("StaLbl")->text(), QStringLiteral("Enter Station Number:"));
    QLabel *connectinfo = w.get<QLabel>("Connectinfo");
    QVERIFY(connectinfo->isHidden());
    QVERIFY(connectinfo->font().bold());
    QCOMPARE(connectinfo->font().pointSize(), 12);
    QCOMPARE(connectinfo->alignment(), Qt::AlignCenter);
    QCOMPARE(w.get<QGroupBox>("Comframe")->title(), QStringLiteral("Com port"));
    QCOMPARE(w.get<QGroupBox>("BdFrame")->title(), QStringLiteral("Baud Rate"));
    QCOMPARE(w.get<QPushButton>("LogonCmd")->text(), QStringLiteral("Log On to Station"));
    QCOMPARE(w.get<QPushButton>("ClearCmd")->text(), QStringLiteral("Clear Window"));
    QCOMPARE(w.get<QPushButton>("Command1")->text(), QStringLiteral("Exit"));
    QVERIFY(w.termTxt()->toPlainText().isEmpty());
    QCOMPARE(QApplication::focusWidget(), w.termTxt());
    QVERIFY(!form.receiver().txttimer().isActive());
    QCOMPARE(form.receiver().txttimer().interval(), 100);
    QVERIFY(!form.waits().errtimer().isActive());
    QCOMPARE(form.waits().errtimer().interval(), 8000);
}

void TestTermfrm::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Connectinfo") << "Connectinfo" << QRect(120, 120, 8175, 495);
    QTest::newRow("TermTxt") << "TermTxt" << QRect(120, 840, 6135, 5535);
    QTest::newRow("AscLbl") << "AscLbl" << QRect(6600, 840, 2775, 255);
    QTest::newRow("CharLbl") << "CharLbl" << QRect(6600, 1200, 1215, 255);
    QTest::newRow("StaLbl") << "StaLbl" << QRect(6600, 1920, 1695, 255);
    QTest::newRow("StaTxt") << "StaTxt" << QRect(8280, 1920, 375, 285);
    QTest::newRow("Comframe") << "Comframe" << QRect(6600, 2520, 2895, 855);
    QTest::newRow("ComOpt(0)") << "ComOpt(0)" << QRect(360, 360, 855, 255);
    QTest::newRow("ComOpt(1)") << "ComOpt(1)" << QRect(1560, 360, 975, 255);
    QTest::newRow("BdFrame") << "BdFrame" << QRect(6360, 3720, 3135, 855);
    QTest::newRow("BaudOpt(0)") << "BaudOpt(0)" << QRect(120, 360, 735, 255);
    QTest::newRow("BaudOpt(1)") << "BaudOpt(1)" << QRect(1200, 360, 735, 255);
    QTest::newRow("BaudOpt(2)") << "BaudOpt(2)" << QRect(2280, 360, 735, 255);
    QTest::newRow("LogonCmd") << "LogonCmd" << QRect(7320, 5160, 1575, 375);
    QTest::newRow("ClearCmd") << "ClearCmd" << QRect(6840, 6000, 1215, 375);
    QTest::newRow("Command1") << "Command1" << QRect(8640, 6000, 615, 375);
}

void TestTermfrm::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    Window w;
    Termfrm &form = w.create();
    QWidget *control = w.get<QWidget>(qPrintable(name));
    const QRect designed(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QVERIFY(form.rect().contains(control->mapTo(&form, control->rect().bottomRight())));
    auto *label = qobject_cast<QLabel *>(control);
    if (!label) {
        QCOMPARE(control->geometry(), designed);
        return;
    }
    // Labels may take free room so that their captions are read whole, and keep a gap to
    // the controls beside them.
    QCOMPARE(label->y(), designed.y());
    for (QWidget *other : form.findChildren<QWidget *>())
        if (other != label && other->parentWidget() == &form)
            QVERIFY2(!label->geometry().marginsAdded(QMargins(0, 0, Termfrm::LabelGap, 0)).intersects(other->geometry()),
                     qPrintable(other->objectName()));
    if (name == "Connectinfo") {
        const QString wide(30, u'W');
        for (const QString &caption : {"Connection established with station 32 " + wide,
                                       "Failure communicating with station 32 " + wide}) {
            form.showConnectinfo(caption, false);
            QVERIFY(label->wordWrap() || label->sizeHint().width() <= label->width());
            QVERIFY(label->heightForWidth(label->width()) <= label->height());
            QVERIFY(label->fontMetrics().horizontalAdvance(wide) <= label->contentsRect().width());
        }
        return;
    }
    QCOMPARE(label->height(), designed.height());
    for (const QString station : {"99", "32", "1"}) {
        w.get<QLineEdit>("StaTxt")->setText(station);
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    }
}

void TestTermfrm::focusOrder_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QString>("toggled"); // by a screen reader once the window is up
    QTest::addColumn<QString>("comStop");
    QTest::addColumn<QString>("baudStop");
    QTest::newRow("Com 1, 1200") << 1 << 1200 << QString() << "ComOpt(0)" << "BaudOpt(0)";
    QTest::newRow("Com 2, 9600 from the site file") << 2 << 9600 << QString() << "ComOpt(1)" << "BaudOpt(2)";
    QTest::newRow("2400 chosen by a screen reader") << 1 << 1200 << "BaudOpt(1)" << "ComOpt(0)" << "BaudOpt(1)";
}

void TestTermfrm::focusOrder()
{
    QFETCH(int, port);
    QFETCH(int, baud);
    QFETCH(QString, toggled);
    QFETCH(QString, comStop);
    QFETCH(QString, baudStop);
    Window w(port, baud);
    w.started();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    if (!toggled.isEmpty())
        choose(w.get<QRadioButton>(qPrintable(toggled)), "toggle");
    w.get<QPushButton>("Command1")->setFocus();
    QStringList seen{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.append(QApplication::focusWidget()->objectName());
    }
    // An exclusive group is one stop: its checked option takes the focus.
    QCOMPARE(seen, (QStringList{"Command1", "LogonCmd", comStop, "StaTxt", baudStop, "ClearCmd", "TermTxt",
                                "Command1", "LogonCmd", comStop}));
    QVERIFY(w.line.sent.isEmpty());
}

void TestTermfrm::accessibleNames()
{
    Window w;
    w.create();
    const QStringList names{"TermTxt", "StaTxt", "ComOpt(0)", "ComOpt(1)", "BaudOpt(0)", "BaudOpt(1)",
                            "BaudOpt(2)", "LogonCmd", "ClearCmd", "Command1", "AscLbl", "CharLbl"};
    for (const QString &name : names) {
        QAccessibleInterface *control = QAccessible::queryAccessibleInterface(w.get<QWidget>(qPrintable(name)));
        QVERIFY(control);
        QVERIFY2(!control->text(QAccessible::Name).isEmpty(), qPrintable(name));
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(w.get<QWidget>("StaTxt"))->text(QAccessible::Name),
             QStringLiteral("Station number"));
    QCOMPARE(QAccessible::queryAccessibleInterface(w.get<QWidget>("BaudOpt(2)"))->text(QAccessible::Name),
             QStringLiteral("9600 baud"));
}

void TestTermfrm::screenReader()
{
    Window w;
    Termfrm &form = w.started();
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&form);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Velgrin Terminal Program 1.10"));

    // The status line is a notification named by its caption: Orca speaks it as it shows.
    QLabel *connectinfo = w.get<QLabel>("Connectinfo");
    form.showConnectinfo(QStringLiteral("Failure communicating with station 5 Ward A"), true);
    QAccessibleInterface *status = QAccessible::queryAccessibleInterface(connectinfo);
    QCOMPARE(status->role(), QAccessible::Notification);
    QCOMPARE(status->text(QAccessible::Name), connectinfo->text());
}

void TestTermfrm::comChoice_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("uninit");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("messages");
    const QStringList reopen = QStringList{"IsPortAvailable", "UnInitializePort"} + FullOpening;
    QTest::newRow("Com 2 closes and reopens") << true << 1 << "click" << 0 << reopen << QStringList();
    QTest::newRow("Com 1 again reopens") << true << 0 << "click" << 0 << reopen << QStringList();
    QTest::newRow("Com 2 by the Toggle action") << true << 1 << "toggle" << 0 << reopen << QStringList();
    QTest::newRow("Com 2 set by the program") << true << 1 << "set" << 0 << reopen << QStringList();
    QTest::newRow("Com 1 again by the Press action") << true << 0 << "press" << 0 << reopen << QStringList();
    QTest::newRow("closed port is only opened") << false << 1 << "click" << 0
                                                << QStringList{"IsPortAvailable"} + FullOpening << QStringList();
    QTest::newRow("close refused") << true << 1 << "click" << 5 << reopen << QStringList{"COMM-DRV Uninit error5"};
}

void TestTermfrm::comChoice()
{
    QFETCH(bool, open);
    QFETCH(int, choice);
    QFETCH(QString, how);
    QFETCH(int, uninit);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, messages);
    Window w(1, 2400);
    w.started();
    w.line.open = open;
    w.line.queueResult("UnInitializePort", uninit);
    w.get<QPushButton>("ClearCmd")->setFocus();
    choose(w.get<QRadioButton>(qPrintable(QStringLiteral("ComOpt(%1)").arg(choice))), how);
    QTRY_COMPARE(w.line.names(), calls);
    QVERIFY(w.line.sent.isEmpty());
    QCOMPARE(w.messages.texts, messages);
    const QList<ScriptedLine::Call> init = w.line.callsOf("InitializePort");
    QCOMPARE(init[0].args[1], choice);
    QCOMPARE(w.line.callsOf("SetPortCharacteristics")[0].args[1], 5);
    QCOMPARE(int(w.state.PortNumber), choice + 1);
    QCOMPARE(QApplication::focusWidget(), w.termTxt());
}

void TestTermfrm::baudChoice_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click") << "click";
    QTest::newRow("Toggle action") << "toggle";
    QTest::newRow("set by the program") << "set";
}

void TestTermfrm::baudChoice()
{
    QFETCH(QString, how);
    Window w;
    w.started();
    choose(w.get<QRadioButton>("BaudOpt(2)"), how);
    QCOMPARE(w.line.names(), QStringList{"SetBaud"});
    QCOMPARE(w.line.calls[0].args, (QList<int>{0, 7}));
    QCOMPARE(int(w.state.BaudRate), 9600);
    QCOMPARE(QApplication::focusWidget(), w.termTxt());

    w.line.queueResult("SetBaud", -1);
    choose(w.get<QRadioButton>("BaudOpt(1)"), how);
    QCOMPARE(w.line.calls.last().args, (QList<int>{0, 5}));
    QCOMPARE(w.messages.texts, QStringList{"COMM-DRV Baud Error -1"});
}

void TestTermfrm::typingGoesToTheLine()
{
    Window w;
    QSignalSpy ended(&w.started(), &Termfrm::ended);
    QTest::keyClicks(w.termTxt(), "abc");
    QCOMPARE(w.line.sentBytes(), QByteArray("\x61\x62\x63"));
    QVERIFY(w.termTxt()->toPlainText().isEmpty());
    QTest::keyClick(w.termTxt(), Qt::Key_Return);
    QTest::keyClick(w.termTxt(), Qt::Key_Backspace);
    QTest::keyClick(w.termTxt(), Qt::Key_Escape);
    QTest::keyClick(w.termTxt(), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(w.termTxt(), Qt::Key_Left);
    QCOMPARE(w.line.sentBytes(), QByteArray("abc\r\b\x1b\x03"));
    QVERIFY(w.termTxt()->toPlainText().isEmpty());

    // A focused button does not take the keys either: Space goes out and nothing is pressed.
    QPushButton *exit = w.get<QPushButton>("Command1");
    exit->setFocus();
    QTest::keyClick(exit, Qt::Key_Space);
    QTest::keyClick(exit, Qt::Key_Return);
    QCOMPARE(w.line.sentBytes().right(2), QByteArray(" \r"));
    QVERIFY(ended.isEmpty());
    QVERIFY(w.messages.texts.isEmpty());
}

void TestTermfrm::typingInStationBox()
{
    Window w;
    w.started();
    QLineEdit *box = w.get<QLineEdit>("StaTxt");
    box->setFocus();
    box->clear();
    QTest::keyClick(box, Qt::Key_7);
    QVERIFY(w.line.sent.isEmpty());
    QCOMPARE(box->text(), QStringLiteral("7"));
    QCOMPARE(int(w.state.StationNumber), 7);
    QCOMPARE(w.get<QLabel>("AscLbl")->text(), QStringLiteral("Ascii value of code for station is 93"));
}

void TestTermfrm::stationLabels_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("character");
    QTest::newRow("1") << "1" << 123 << "{";
    QTest::newRow("4") << "4" << 126 << "~";
    QTest::newRow("5") << "5" << 91 << "[";
    QTest::newRow("32") << "32" << 118 << "v";
    QTest::newRow("empty") << "" << 122 << "z";
    QTest::newRow("99") << "99" << 185 << QString(QChar(185));
}

void TestTermfrm::stationLabels()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    QFETCH(QString, character);
    Window w;
    w.create();
    w.get<QLineEdit>("StaTxt")->setText(text);
    QCOMPARE(int(w.state.AddressCode), code);
    QCOMPARE(w.get<QLabel>("AscLbl")->text(), QStringLiteral("Ascii value of code for station is %1").arg(code));
    QCOMPARE(w.get<QLabel>("CharLbl")->text(), QStringLiteral("Character is ") + character);
}

void TestTermfrm::failedSendIsShown_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    QTest::newRow("positive") << 11 << "COMM-DRV Output error 11";
    QTest::newRow("negative") << -5 << "COMM-DRV Output error -5";
}

void TestTermfrm::failedSendIsShown()
{
    QFETCH(int, result);
    QFETCH(QString, message);
    Window w;
    w.started();
    w.line.setResult("PutByte", result);
    QTest::keyClicks(w.termTxt(), "ab");
    QCOMPARE(w.messages.texts, (QStringList{message, message}));
    QCOMPARE(w.state.PortResult, result);
    QVERIFY(w.termTxt()->toPlainText().isEmpty());
}

void TestTermfrm::receivedTextShown()
{
    Window w;
    Termfrm &form = w.started();
    w.line.receive("OK\r\n");
    form.portActivity();
    QCOMPARE(w.termTxt()->toPlainText(), QStringLiteral("OK\n"));
    QCOMPARE(w.state.PendingText, QStringLiteral("\n")); // the LF waits for the quiet line
    QTRY_VERIFY(w.state.PendingText.isEmpty());
    const QChar lf(0x240A);
    QCOMPARE(w.termTxt()->toPlainText(), QStringLiteral("OK\n") + lf); // a character of its own
    QCOMPARE(w.termTxt()->document()->blockCount(), 2);                 // adding no line break
    w.line.receive("A\nB");
    form.portActivity();
    QTRY_COMPARE(w.termTxt()->toPlainText(), QStringLiteral("OK\n") + lf + u'A' + lf + u'B');
}

void TestTermfrm::copyGivesWhatCameIn()
{
    Window w;
    Termfrm &form = w.started();
    QByteArray bytes = "OK\r\n\a\t\x7f\xe9\x01 x\r" + QByteArray(3000, 'y') + "\r\n";
    for (int i = 0; i < 200; ++i)
        bytes += "word" + QByteArray::number(i) + ' ';
    w.line.receive(bytes);
    form.portActivity();
    QTRY_VERIFY(w.state.PendingText.isEmpty());
    int lines = 0;
    for (QTextBlock block = w.termTxt()->document()->begin(); block.isValid(); block = block.next())
        lines += TermText::continues(block) ? 0 : 1;
    QCOMPARE(lines, 4); // the 3000 characters are one line

    // A screen reader reads a terminal whose lines are the lines received: a break for
    // each CR, none where the display wraps, and no LF symbol opening a line.
    QAccessibleInterface *terminal = QAccessible::queryAccessibleInterface(w.termTxt());
    QCOMPARE(terminal->role(), QAccessible::Terminal);
    QAccessibleTextInterface *text = terminal->textInterface();
    const QString readable = QStringLiteral("OK\n\u2407\t\u2421\u00e9\u2401 x\n") + QString(3000, u'y') + u'\n'
                             + QString::fromLatin1(bytes.mid(bytes.lastIndexOf('\n') + 1));
    QCOMPARE(text->text(0, text->characterCount()), readable);
    int start = 0;
    int end = 0;
    QCOMPARE(text->textAtOffset(readable.indexOf(u'y') + 2500, QAccessible::LineBoundary, &start, &end),
             QString(3000, u'y') + u'\n');
    QCOMPARE(start, readable.indexOf(u'y'));
    QCOMPARE(text->cursorPosition(), text->characterCount());

    w.termTxt()->selectAll();
    w.termTxt()->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(bytes));
}

void TestTermfrm::clearKeepsPendingText()
{
    Window w;
    Termfrm &form = w.started();
    w.line.receive("before\r");
    form.portActivity();
    w.line.receive("X");
    form.portActivity();
    QTest::qWait(50);
    w.get<QPushButton>("Command1")->setFocus();
    w.get<QPushButton>("ClearCmd")->click();
    QVERIFY(w.termTxt()->toPlainText().isEmpty());
    QCOMPARE(QApplication::focusWidget(), w.termTxt());
    QCOMPARE(w.state.PendingText, QStringLiteral("X"));
    QTRY_COMPARE(w.termTxt()->toPlainText(), QStringLiteral("X"));
}

void TestTermfrm::buttonsHaveKeys()
{
    Window w;
    Termfrm &form = w.started();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QSignalSpy ended(&form, &Termfrm::ended);
    w.line.receive("text\r");
    form.portActivity();
    QTest::keyClick(w.termTxt(), Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(w.termTxt()->toPlainText().isEmpty());
    QTest::keyClick(w.termTxt(), Qt::Key_X, Qt::AltModifier);
    QTRY_COMPARE(ended.size(), 1);
    QVERIFY(w.line.sent.isEmpty());
}

void TestTermfrm::logOn()
{
    Window w;
    w.state.StationNames[5] = QStringLiteral("Ward A");
    Termfrm &form = w.started();
    w.get<QLineEdit>("StaTxt")->setText("5");
    w.line.onPut = [&](uint8_t byte) {
        if (byte == 91)
            w.line.receive("05OK");
        if (byte == 13)
            w.line.receive("Panel 5\r"); // stays waiting until the log-on has ended
    };
    QPushButton *logon = w.get<QPushButton>("LogonCmd");
    bool disabledDuring = false;
    QTimer::singleShot(100, &form, [&] {
        disabledDuring = !logon->isEnabled();
        form.LogonCmd_Click(); // a second log-on is refused
    });
    QElapsedTimer clock;
    clock.start();
    logon->click();
    QVERIFY(clock.elapsed() >= 4 * 200);
    QVERIFY(disabledDuring);
    QVERIFY(logon->isEnabled());
    QCOMPARE(w.line.sentBytes(), QByteArray("[END\r"));
    QLabel *connectinfo = w.get<QLabel>("Connectinfo");
    QVERIFY(connectinfo->isVisible());
    QCOMPARE(connectinfo->text(), QStringLiteral("Connection established with station 5 Ward A"));
    QCOMPARE(connectinfo->palette().color(QPalette::WindowText), QApplication::palette().color(QPalette::ButtonText));
    QCOMPARE(QApplication::focusWidget(), w.termTxt());
    QCOMPARE(w.termTxt()->toPlainText(), QStringLiteral("Panel 5\n"));
}

void TestTermfrm::connectinfoColours()
{
    Window w;
    Termfrm &form = w.started();
    QLabel *connectinfo = w.get<QLabel>("Connectinfo");
    form.showConnectinfo(QStringLiteral("Failure communicating with station 3 "), true);
    QVERIFY(connectinfo->isVisible());
    QCOMPARE(connectinfo->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    form.hideConnectinfo();
    QVERIFY(connectinfo->isHidden());
    QCOMPARE(connectinfo->text(), QStringLiteral("Failure communicating with station 3 "));
}

void TestTermfrm::exitClosesPort_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("Exit, port open") << true << false << QStringList{"IsPortAvailable", "UnInitializePort"};
    QTest::newRow("Exit, port closed") << false << false << QStringList{"IsPortAvailable"};
    QTest::newRow("close box") << true << true << QStringList{"IsPortAvailable", "UnInitializePort"};
}

void TestTermfrm::exitClosesPort()
{
    QFETCH(bool, open);
    QFETCH(bool, closeBox);
    QFETCH(QStringList, calls);
    Window w;
    Termfrm &form = w.started();
    QSignalSpy ended(&form, &Termfrm::ended);
    w.line.open = open;
    if (closeBox)
        form.close();
    else
        w.get<QPushButton>("Command1")->click();
    QCOMPARE(w.line.names(), calls);
    QCOMPARE(ended.size(), 1);
    QVERIFY(form.isHidden());
}

void TestTermfrm::exitDuringLogon()
{
    Window w;
    Termfrm &form = w.started();
    QSignalSpy ended(&form, &Termfrm::ended);
    QTimer::singleShot(100, &form, [&] { w.get<QPushButton>("Command1")->click(); });
    QElapsedTimer clock;
    clock.start();
    form.LogonCmd_Click(); // nobody answers: 21 s unless Exit ends it
    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(w.line.sentBytes(), QByteArray("{"));
    QVERIFY(w.line.names().contains("UnInitializePort"));
}

QTEST_MAIN(TestTermfrm)
#include "tst_termfrm.moc"
