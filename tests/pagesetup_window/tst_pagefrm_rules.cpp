// The setup window's editing rules, driven through its controls as a user would drive them.

#include "NumberText.h"
#include "Pagefrm.h"
#include "RecordingMessages.h"
#include "ScriptedLine.h"
#include "TwoRowTabWidget.h"
#include "WorkingDirectory.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

namespace {

// A station file as this program writes it, from the items of its lines.
void writeStationFile(const QString &name, const QStringList &items)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (const QString &item : items)
        file.write(item.toLatin1() + "\r\n");
}

// Station 1 with three inputs, all EPROM "1.0 X" features and a dial string.
QStringList threeInputFile(const QString &normEmer1 = QString())
{
    QStringList items{"13", "9600", " 3 ", " 4 ", " 0 ", "3", "5", "7", "555", "666"};
    items << "101" << "102" << "";
    items << "     ONE" << "TWO" << "";
    items << normEmer1 << " 1 " << " 0 ";
    items << " 0 ";
    QStringList groups(96, QStringLiteral("    "));
    groups[0] = QStringLiteral("  12");
    groups[2] = QStringLiteral("  34");
    items << groups;
    QStringList dials(16, QStringLiteral("\"                         \""));
    dials[0] = QStringLiteral("\"9,123\"");
    items << dials;
    return items;
}

QByteArray fileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a user types: each character goes through the box's own checks.
void type(QLineEdit *box, const QString &text, bool replace = true)
{
    if (replace) {
        box->selectAll();
        box->del();
    }
    for (QChar c : text)
        box->insert(QString(c));
}

// What the window shows, in load order, as one line to compare at once.
QString shown(const PagefrmUi &ui)
{
    const auto quoted = [](const QLineEdit *box) { return QLatin1Char('\'') + box->text() + QLatin1Char('\''); };
    const auto ticked = [](const QAbstractButton *box) { return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); };
    QString baud = QStringLiteral("none");
    for (int k = 0; k < 3; ++k) {
        if (ui.BaudOpt[k]->isChecked())
            baud = ui.BaudLabel[k]->text();
    }
    return QStringList{
        QStringLiteral("station %1").arg(ui.StaSpin->value()),
        QStringLiteral("port %1").arg(ui.Portspin->value()),
        QStringLiteral("baud ") + baud,
        QStringLiteral("modes ") + ticked(ui.ModeCk[0]) + ticked(ui.ModeCk[1]) + ticked(ui.ModeCk[2]),
        QStringLiteral("inputs ") + quoted(ui.NumInpTxt),
        QStringLiteral("recall %1").arg(ui.RecallSpin->value()),
        QStringLiteral("alt ") + quoted(ui.AltTxt),
        QStringLiteral("man ") + quoted(ui.ManTxt),
        QStringLiteral("input %1 of %2").arg(ui.InputSpin->value()).arg(ui.InputSpin->maximum()),
        QStringLiteral("norm ") + ticked(ui.NormCk),
        QStringLiteral("pager ") + quoted(ui.PageNumTxt) + QLatin1Char(' ') + quoted(ui.PagerTextTxt),
        QStringLiteral("eprom ") + (ui.VersOpt[0]->isChecked() ? ui.VersOpt[0] : ui.VersOpt[1])->text(),
        QStringLiteral("group %1 ").arg(ui.GrpSpin->value()) + quoted(ui.GrpPg[0]) + quoted(ui.GrpPg[1]) + quoted(ui.GrpPg[2]),
        QStringLiteral("wide %1 ").arg(ui.WideSpin->value()) + quoted(ui.WideText),
    }.join(QStringLiteral(" | "));
}

} // namespace

class TestPagefrmRules : public QObject
{
    Q_OBJECT

    std::unique_ptr<WorkingDirectory> m_dir;
    ScriptedLine m_line = ScriptedLine::withoutDevice();
    RecordingMessages m_messages;
    std::unique_ptr<Pagefrm> m_window;

    Pagefrm &open()
    {
        m_window = std::make_unique<Pagefrm>(m_line, &m_messages);
        return *m_window;
    }
    const PagefrmUi &ui() const { return m_window->ui(); }
    const PagerConfig &config() const { return m_window->config(); }
    void showTab(int tab)
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        ui().SSTab1->setCurrentIndex(tab);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<WorkingDirectory>();
        m_line = ScriptedLine::withoutDevice();
        m_messages = RecordingMessages();
    }

    void cleanup()
    {
        m_window.reset();
        m_dir.reset();
    }

    void opensStationOneWithDefaultsAndCreatesNoFile()
    {
        open();
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Velgrin Pager Setup 1.3 rev. 0"));
        QCOMPARE(shown(ui()), QStringLiteral("station 1 | port 1 | baud 1200 | modes 100 | inputs '1' | recall 4 | "
                                             "alt ' ' | man ' ' | input 1 of 1 | norm 1 | pager ' ' ' ' | eprom 1.1 X | "
                                             "group 900 ' '' '' ' | wide 800 ' '"));
        QCOMPARE(m_window->state().ConfigFileName, QStringLiteral("pagcfg01.dat"));
        QCOMPARE(m_window->state().BaudCode, int16_t(4));
        QCOMPARE(ui().SSTab1->currentIndex(), 0);
        QVERIFY(ui().Connectinfo->isHidden() && ui().Sendinfo->isHidden());
        QVERIFY(QDir(m_dir->path()).entryList(QDir::Files).isEmpty());
        QVERIFY(m_messages.texts.isEmpty());
    }

    void unsetInputShowsBlanksAndSavesThem()
    {
        open();
        type(ui().NumInpTxt, QStringLiteral("3"));
        ui().InputSpin->setValue(2);
        QCOMPARE(config().InputPagers[2], QStringLiteral(" "));
        QCOMPARE(config().InputTexts[2], QStringLiteral(" "));
        QCOMPARE(ui().PageNumTxt->text(), QStringLiteral(" "));
        QCOMPARE(ui().PagerTextTxt->text(), QStringLiteral(" "));

        ui().SaveCmd->click();
        const QList<QByteArray> lines = fileBytes(QStringLiteral("pagcfg01.dat")).split('\n');
        QCOMPARE(lines.value(11), QByteArray(" \r"));         // pager number of input 2
        QCOMPARE(lines.value(14), QByteArray("        \r"));  // its text, right-aligned in 8
        QVERIFY(m_messages.texts.isEmpty());
    }

    void unsetNormEmerInheritsTheBox_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::newRow("ticked") << true;
        QTest::newRow("clear") << false;
    }

    void unsetNormEmerInheritsTheBox()
    {
        QFETCH(bool, ticked);
        open();
        type(ui().NumInpTxt, QStringLiteral("3"));
        ui().NormCk->setChecked(ticked);
        ui().InputSpin->setValue(2);
        QCOMPARE(ui().NormCk->isChecked(), ticked);
        QCOMPARE(config().InputNormEmer[2], std::optional<int16_t>(ticked ? 1 : 0));

        // A set entry drives the box instead.
        ui().NormCk->setChecked(!ticked);
        ui().InputSpin->setValue(1);
        QCOMPARE(ui().NormCk->isChecked(), ticked);
        QCOMPARE(config().InputNormEmer[2], std::optional<int16_t>(ticked ? 0 : 1));
    }

    void inputCountSetsTheInputLimit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("shown");
        QTest::newRow("12 raises it") << "12" << 12 << "12";
        QTest::newRow("3 lowers it") << "3" << 3 << "3";
        QTest::newRow("0 keeps it") << "0" << 7 << "0";
        QTest::newRow("empty keeps it") << "" << 7 << "";
        QTest::newRow("no number keeps it") << "x" << 7 << "x";
        QTest::newRow("512 is the most") << "512" << 512 << "512";
        QTest::newRow("600 becomes 512, with a note") << "600" << 512 << "512";
        QTest::newRow("1e9 becomes 512, with a note") << "1e9" << 512 << "512";
    }

    // A count above the most inputs held is never silently another number: the box shows
    // the count in force and a note beside it says why, until the next edit within range.
    void inputCountSetsTheInputLimit()
    {
        QFETCH(QString, typed);
        QFETCH(int, limit);
        QFETCH(QString, shown);
        open();
        showTab(PagefrmUi::GeneralInfo);
        type(ui().NumInpTxt, QStringLiteral("7"));
        type(ui().NumInpTxt, typed);
        QCOMPARE(ui().InputSpin->maximum(), limit);
        QCOMPARE(ui().NumInpTxt->text(), shown);
        QCOMPARE(config().InputCount, shown);
        QVERIFY(NumberText::numericValue(config().InputCount) <= 512);
        const bool noted = shown != typed;
        QCOMPARE(ui().NumInpNote->isVisible(), noted);
        QCOMPARE(QAccessible::queryAccessibleInterface(ui().NumInpTxt)->text(QAccessible::Description),
                 noted ? QStringLiteral("At most 512") : QString());
        type(ui().NumInpTxt, QStringLiteral("5"));
        QCOMPARE(ui().NumInpNote->isVisible(), false);
    }

    void loweringTheLimitKeepsTheInputInRange()
    {
        open();
        type(ui().NumInpTxt, QStringLiteral("5"));
        ui().InputSpin->setValue(5);
        type(ui().PageNumTxt, QStringLiteral("55"));
        type(ui().NumInpTxt, QStringLiteral("3"));
        QCOMPARE(ui().InputSpin->value(), 3);
        QCOMPARE(ui().PageNumTxt->text(), QStringLiteral(" "));
        QCOMPARE(config().InputPagers[5], QStringLiteral("55"));
        QCOMPARE(config().InputPagers[3], QStringLiteral(" "));
    }

    void enterMovesThroughTheInputs()
    {
        open();
        type(ui().NumInpTxt, QStringLiteral("3"));
        showTab(PagefrmUi::IndividualInputs);

        ui().PageNumTxt->setFocus();
        QTest::keyClick(ui().PageNumTxt, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), ui().PagerTextTxt);
        QTest::keyClick(ui().PagerTextTxt, Qt::Key_Enter);
        QCOMPARE(ui().InputSpin->value(), 2);
        QCOMPARE(QApplication::focusWidget(), ui().PageNumTxt);

        ui().InputSpin->setValue(3);
        ui().PageNumTxt->setFocus();
        QTest::keyClick(ui().PageNumTxt, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), ui().PagerTextTxt);
        QTest::keyClick(ui().PagerTextTxt, Qt::Key_Return);
        QCOMPARE(ui().InputSpin->value(), 3);
        QCOMPARE(QApplication::focusWidget(), ui().PagerTextTxt);
    }

    void groupAndWideSpinsPickTheirEntries()
    {
        open();
        ui().GrpSpin->setValue(931);
        QCOMPARE(config().GroupPagers[31][2], QStringLiteral(" "));
        type(ui().GrpPg[1], QStringLiteral("12"));
        QCOMPARE(config().GroupPagers[31][2], QStringLiteral("12"));
        QCOMPARE(config().GroupPagers[0][2], QStringLiteral(" "));

        ui().WideSpin->setValue(815);
        type(ui().WideText, QStringLiteral("9,555"));
        QCOMPARE(config().WideAreaDial[15], QStringLiteral("9,555"));
        QCOMPARE(config().WideAreaDial[0], QStringLiteral(" "));

        ui().GrpSpin->setValue(900);
        QCOMPARE(ui().GrpPg[1]->text(), QStringLiteral(" "));
        ui().GrpSpin->setValue(931);
        QCOMPARE(ui().GrpPg[1]->text(), QStringLiteral("12"));
    }

    void stationChangeDropsUnsavedEditsAndLeavesTheFile()
    {
        open();
        type(ui().AltTxt, QStringLiteral("111"));
        ui().SaveCmd->click();
        const QByteArray saved = fileBytes(QStringLiteral("pagcfg01.dat"));
        QVERIFY(!saved.isEmpty());

        type(ui().AltTxt, QStringLiteral("999"));
        ui().StaSpin->setValue(2);
        QCOMPARE(m_window->state().ConfigFileName, QStringLiteral("pagcfg02.dat"));
        QCOMPARE(ui().AltTxt->text(), QStringLiteral(" "));
        QCOMPARE(fileBytes(QStringLiteral("pagcfg01.dat")), saved);
        QVERIFY(!QFile::exists(QStringLiteral("pagcfg02.dat")));

        ui().StaSpin->setValue(1);
        QCOMPARE(ui().AltTxt->text(), QStringLiteral("111"));
    }

    void baudOptionReprogramsOnlyAnOpenPort_data()
    {
        QTest::addColumn<int>("availability");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("closed") << 1 << QStringList{"IsPortAvailable(0)"};
        QTest::newRow("open") << 0 << QStringList{"IsPortAvailable(0)", "SetPortCharacteristics(0,7,0,3,0,4)"};
    }

    void baudOptionReprogramsOnlyAnOpenPort()
    {
        QFETCH(int, availability);
        QFETCH(QStringList, calls);
        open();
        m_line.clearCalls();
        m_line.open = availability == 0;
        ui().BaudOpt[2]->click();
        QCOMPARE(config().BaudRate, QStringLiteral("9600"));
        QCOMPARE(m_window->state().BaudCode, int16_t(7));
        QCOMPARE(m_line.portCalls(), calls);
    }

    void editBoxesStopAtTheirWidth_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("width");
        QTest::newRow("pager number") << "PageNumTxt" << 4;
        QTest::newRow("pager text") << "PagerTextTxt" << 8;
        QTest::newRow("group pager 1") << "GrpPg1" << 4;
        QTest::newRow("group pager 2") << "GrpPg2" << 4;
        QTest::newRow("group pager 3") << "GrpPg3" << 4;
        QTest::newRow("dial string") << "WideText" << 25;
    }

    void fullValueIsShownWhole_data() { editBoxesStopAtTheirWidth_data(); }

    void editBoxesStopAtTheirWidth()
    {
        QFETCH(QString, box);
        QFETCH(int, width);
        open();
        showTab(PagefrmUi::Communications);
        auto *edit = m_window->findChild<QLineEdit *>(box);
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("123456789012345678901234567890"));
        QCOMPARE(edit->text().size(), width);
    }

    // A full-length value of the widest letters is shown whole: the cursor at its end stands
    // as far from its start as the text is wide, so nothing scrolled out of sight.
    void fullValueIsShownWhole()
    {
        QFETCH(QString, box);
        QFETCH(int, width);
        open();
        showTab(PagefrmUi::Communications);
        auto *edit = m_window->findChild<QLineEdit *>(box);
        for (int tab = 0; tab < ui().SSTab1->count() && !edit->isVisible(); ++tab)
            ui().SSTab1->setCurrentIndex(tab);
        // Where the box paints its cursor; painting is what scrolls a text that does not fit.
        const auto cursorAt = [edit] {
            edit->grab();
            return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        };
        const QString full(width, u'W');
        edit->setText(full);
        edit->home(false);
        const int start = cursorAt();
        edit->end(false);
        QCOMPARE(cursorAt() - start, edit->fontMetrics().horizontalAdvance(full));
        QWidget *page = edit->parentWidget();
        QVERIFY(page->rect().contains(edit->geometry()));
        for (QWidget *other : page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(other == edit || !other->geometry().intersects(edit->geometry()), qPrintable(other->objectName()));
    }

    void fieldsKeepOutWhatTheFileCannotCarry_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("comma in a pager number") << "PageNumTxt" << "1,2" << "12";
        QTest::newRow("comma in a pager text") << "PagerTextTxt" << "FIRE,A" << "FIREA";
        QTest::newRow("leading quote") << "AltTxt" << "\"55" << "55";
        QTest::newRow("quote after blanks") << "ManTxt" << " \"6" << " 6";
        QTest::newRow("inner quote is harmless") << "PagerTextTxt" << "A\"B" << "A\"B";
        QTest::newRow("comma in the input count") << "NumInpTxt" << "1,2" << "12";
        QTest::newRow("comma in a group pager") << "GrpPg3" << "7,8" << "78";
        QTest::newRow("dial strings keep commas") << "WideText" << "9,,123" << "9,,123";
        QTest::newRow("no quote in a dial string") << "WideText" << "9\"1" << "91";
        QTest::newRow("no character beyond one byte") << "PagerTextTxt" << QStringLiteral("A\u20ACB") << "AB";
        QTest::newRow("Latin-1 letters fit") << "PagerTextTxt" << QStringLiteral("\u00C9T\u00C9") << QStringLiteral("\u00C9T\u00C9");
    }

    void fieldsKeepOutWhatTheFileCannotCarry()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        open();
        auto *edit = m_window->findChild<QLineEdit *>(box);
        QVERIFY(edit);
        type(edit, typed);
        QCOMPARE(edit->text(), kept);
    }

    // Values go into the controls in an order where each rule finds the record ready: the
    // input spin box moves to input 1 before the norm/emer box is set, so the box of the
    // station shown before cannot write into the new station's input 2.
    void loadedValuesLandInTheControlsInOrder()
    {
        writeStationFile(QStringLiteral("pagcfg02.dat"), threeInputFile());
        open();
        type(ui().NumInpTxt, QStringLiteral("2"));
        ui().InputSpin->setValue(2);
        ui().NormCk->setChecked(true);

        ui().StaSpin->setValue(2);
        QCOMPARE(shown(ui()), QStringLiteral("station 2 | port 3 | baud 9600 | modes 011 | inputs '3' | recall 7 | "
                                             "alt '555' | man '666' | input 1 of 3 | norm 1 | pager '101' '     ONE' | "
                                             "eprom 1.0 X | group 900 '12'' ''34' | wide 800 '9,123'"));
        QCOMPARE(m_window->state().PortIndex, 2);
        QCOMPARE(m_window->state().BaudCode, int16_t(7));
        QCOMPARE(config().InputNormEmer[1], std::optional<int16_t>(1));
        QCOMPARE(config().InputNormEmer[2], std::optional<int16_t>(1));
        QCOMPARE(config().EpromVersion, int16_t(0));

        ui().InputSpin->setValue(3);
        QCOMPARE(ui().PageNumTxt->text(), QStringLiteral(" "));
        QVERIFY(!ui().NormCk->isChecked());
        QVERIFY(m_messages.texts.isEmpty());
    }

    // What the spin boxes and options cannot show is replaced by what they can, in the
    // record too, and the user is told; nothing crashes.
    void valuesOutsideTheLimitsAreShownAtTheNearestLimit()
    {
        QStringList items = threeInputFile();
        items[1] = QStringLiteral("4800");
        items[2] = QStringLiteral(" 9 ");
        items[7] = QStringLiteral("15");
        writeStationFile(QStringLiteral("pagcfg01.dat"), items);
        open();
        QCOMPARE(ui().Portspin->value(), 4);
        QCOMPARE(config().PortNumber, int16_t(4));
        QCOMPARE(m_window->state().PortIndex, 3);
        QVERIFY(!ui().BaudOpt[0]->isChecked() && !ui().BaudOpt[1]->isChecked() && !ui().BaudOpt[2]->isChecked());
        QCOMPARE(config().BaudRate, QStringLiteral("4800"));
        QCOMPARE(ui().RecallSpin->value(), 9);
        QCOMPARE(config().RecallMinutes, QStringLiteral("9"));
        QCOMPARE(m_messages.texts.size(), 1);
        QVERIFY(m_messages.texts[0].contains(QStringLiteral("pagcfg01.dat")));
        QCOMPARE(m_messages.reasons[0].count(QLatin1Char('\n')), 1);

        ui().BaudOpt[1]->click();
        QCOMPARE(config().BaudRate, QStringLiteral("2400"));
    }

    // A folder in the station file's place loads as no file, and a baud rate that no option
    // offers ticks none: the option ticked before stays, and with it the baud code a send uses.
    void loadsWithoutAMessage_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("baudRate");
        QTest::addColumn<int>("baudCode");
        QTest::newRow("station file is a folder") << true << "1200" << 4;
        QTest::newRow("baud rate 4800") << false << "4800" << 5;
    }

    void loadsWithoutAMessage()
    {
        QFETCH(bool, folder);
        QFETCH(QString, baudRate);
        QFETCH(int, baudCode);
        QStringList items = threeInputFile();
        items[1] = QStringLiteral("4800");
        if (folder)
            QVERIFY(QDir().mkdir(QStringLiteral("pagcfg02.dat")));
        else
            writeStationFile(QStringLiteral("pagcfg02.dat"), items);
        open();
        ui().BaudOpt[1]->click();
        ui().StaSpin->setValue(2);
        QVERIFY(m_messages.texts.isEmpty());
        QCOMPARE(config().BaudRate, baudRate);
        QCOMPARE(m_window->state().BaudCode, int16_t(baudCode));
        QCOMPARE(ui().BaudOpt[baudCode == 4 ? 0 : 1]->isChecked(), true);
    }

    // A text longer than its box is shown and kept whole; the box lets it be shortened.
    void longLoadedTextIsKeptWhole()
    {
        QStringList items = threeInputFile();
        items[10] = QStringLiteral("123456");
        writeStationFile(QStringLiteral("pagcfg01.dat"), items);
        open();
        QCOMPARE(ui().PageNumTxt->text(), QStringLiteral("123456"));
        QCOMPARE(config().InputPagers[1], QStringLiteral("123456"));
        ui().PageNumTxt->end(false);
        ui().PageNumTxt->insert(QStringLiteral("7"));
        QCOMPARE(config().InputPagers[1], QStringLiteral("123456"));
        ui().PageNumTxt->backspace();
        QCOMPARE(config().InputPagers[1], QStringLiteral("12345"));
        ui().InputSpin->setValue(2);
        QCOMPARE(ui().PageNumTxt->maxLength(), 4);
    }

    // After a save the boxes show what the record holds: aligned texts, compacted groups.
    void saveShowsWhatItStored()
    {
        open();
        type(ui().GrpPg[1], QStringLiteral("12"));
        type(ui().PagerTextTxt, QStringLiteral("AB"));
        ui().SaveCmd->click();
        QCOMPARE(ui().GrpPg[0]->text(), QStringLiteral("12"));
        QCOMPARE(ui().GrpPg[1]->text(), QStringLiteral(" "));
        QCOMPARE(ui().PagerTextTxt->text(), QStringLiteral("      AB"));
        QCOMPARE(config().GroupPagers[0][1], QStringLiteral("12"));
    }

    void failedSaveNamesTheFileAndTheReason()
    {
        QVERIFY(QDir().mkdir(QStringLiteral("pagcfg01.dat")));
        open();
        m_messages = RecordingMessages();
        ui().SaveCmd->click();
        QCOMPARE(m_messages.texts.size(), 1);
        QVERIFY(m_messages.texts[0].contains(QStringLiteral("pagcfg01.dat")));
        QVERIFY(!m_messages.reasons[0].isEmpty());
    }

    // Send Data passes the focus on while it runs and takes it back at the end, so a
    // second Space sends again rather than saving.
    void spaceOnSendDataSendsAgain()
    {
        open();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        ui().CmdSend->setFocus();
        for (int send = 1; send <= 2; ++send) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            QCOMPARE(QApplication::focusWidget(), ui().CmdSend);
            QCOMPARE(m_line.callsOf(QStringLiteral("InitializePort")).size(), send);
        }
    }

    void exitClosesOnlyAnOpenPort_data()
    {
        QTest::addColumn<int>("availability");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("open") << 0 << QStringList{"IsPortAvailable(0)", "UnInitializePort(0)"};
        QTest::newRow("closed") << 1 << QStringList{"IsPortAvailable(0)"};
    }

    void exitClosesOnlyAnOpenPort()
    {
        QFETCH(int, availability);
        QFETCH(QStringList, calls);
        open();
        type(ui().AltTxt, QStringLiteral("123"));
        m_window->show();
        m_line.clearCalls();
        m_line.open = availability == 0;
        ui().CmdExit->click();
        QVERIFY(!m_window->isVisible());
        QCOMPARE(m_line.portCalls(), calls);
        QVERIFY(!QFile::exists(QStringLiteral("pagcfg01.dat")));
    }
};

QTEST_MAIN(TestPagefrmRules)
#include "tst_pagefrm_rules.moc"
