#include "Pagefrm.h"

#include "BaudTable.h"
#include "FieldValidator.h"
#include "FrameAccessibility.h"
#include "HelpWindow.h"
#include "ModalMessages.h"
#include "NumberText.h"
#include "SerialLine.h"
#include "StationProgrammer.h"
#include "StatusLine.h"
#include "TimedWaits.h"
#include "TwoRowTabWidget.h"
#include "Version.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

using NumberText::numericValue;

namespace {

const QString Blank = QStringLiteral(" ");

void blankIfEmpty(QString &text)
{
    if (text.isEmpty())
        text = Blank;
}

// The nearest value a spin box can show.
int within(double value, int low, int high)
{
    return int(std::nearbyint(std::clamp(value, double(low), double(high))));
}

} // namespace

Pagefrm::Pagefrm(SerialLine &line, Messages *messages, QWidget *parent)
    : QWidget(parent), m_line(line)
{
    if (!messages) {
        m_ownMessages = std::make_unique<ModalMessages>(QStringLiteral("Tarnwick"), QMessageBox::NoIcon, this);
        messages = m_ownMessages.get();
    }
    m_messages = messages;
    presentAsFrame(QString::fromLatin1(staticMetaObject.className()));
    m_ui.setupUi(this);
    m_waits = std::make_unique<TimedWaits>(m_state, m_line);
    m_programmer = std::make_unique<StationProgrammer>(m_config, m_state, m_line, *m_waits, *this);
    m_programmer->setSaver([this](PagerConfig &config, const QString &fileName) { return save(config, fileName); });
    connectRules();
    Form_Load();
}

Pagefrm::~Pagefrm() = default;

QString Pagefrm::caption()
{
    return QStringLiteral("Velgrin Pager Setup %1.%2 rev. %3")
        .arg(Version::Major)
        .arg(Version::Minor)
        .arg(Version::Patch);
}

void Pagefrm::connectRules()
{
    const PagefrmUi &ui = m_ui;
    connect(ui.StaSpin, &QSpinBox::valueChanged, this, &Pagefrm::StaSpin_Change);
    connect(ui.Portspin, &QSpinBox::valueChanged, this, &Pagefrm::Portspin_Change);
    connect(ui.RecallSpin, &QSpinBox::valueChanged, this, &Pagefrm::RecallSpin_Change);
    connect(ui.InputSpin, &QSpinBox::valueChanged, this, &Pagefrm::InputSpin_Change);
    connect(ui.GrpSpin, &QSpinBox::valueChanged, this, &Pagefrm::GrpSpin_Change);
    connect(ui.WideSpin, &QSpinBox::valueChanged, this, &Pagefrm::WideSpin_Change);

    // Fields written bare in the station file may not hold what would split or unquote them.
    const auto bare = [](QLineEdit *box) { box->setValidator(new FieldValidator(FieldValidator::Form::Bare, box)); };
    for (QLineEdit *box : {ui.NumInpTxt, ui.AltTxt, ui.ManTxt, ui.PageNumTxt, ui.PagerTextTxt, ui.GrpPg[0], ui.GrpPg[1], ui.GrpPg[2]})
        bare(box);
    ui.WideText->setValidator(new FieldValidator(FieldValidator::Form::Quoted, ui.WideText));

    connect(ui.ManTxt, &QLineEdit::textChanged, this, [this](const QString &text) { m_config.ManagerPager = text; });
    connect(ui.AltTxt, &QLineEdit::textChanged, this, [this](const QString &text) { m_config.AlternatePager = text; });
    connect(ui.NumInpTxt, &QLineEdit::textChanged, this, &Pagefrm::NumInpTxt_Change);
    connect(ui.NumInpTxt, &QLineEdit::textEdited, this, &Pagefrm::NumInpTxt_Edited);
    connect(ui.PageNumTxt, &QLineEdit::textChanged, this, &Pagefrm::PageNumTxt_Change);
    connect(ui.PagerTextTxt, &QLineEdit::textChanged, this, &Pagefrm::PagerTextTxt_Change);
    for (int slot = 0; slot < 3; ++slot)
        connect(ui.GrpPg[slot], &QLineEdit::textChanged, this,
                [this, slot](const QString &text) { GrpPg_Change(slot + 1, text); });
    connect(ui.WideText, &QLineEdit::textChanged, this, &Pagefrm::WideText_Change);
    connect(ui.PageNumTxt, &QLineEdit::returnPressed, this, &Pagefrm::PageNumTxt_KeyPress);
    connect(ui.PagerTextTxt, &QLineEdit::returnPressed, this, &Pagefrm::PagerTextTxt_KeyPress);

    connect(ui.NormCk, &QCheckBox::toggled, this, &Pagefrm::NormCk_Click);
    for (int k = 0; k < 3; ++k) {
        connect(ui.ModeCk[k], &QCheckBox::toggled, this, [this, k](bool ticked) { ModeCk_Click(k, ticked); });
        connect(ui.BaudOpt[k], &QRadioButton::toggled, this, [this, k](bool ticked) { BaudOpt_Click(k, ticked); });
    }
    for (int k = 0; k < 2; ++k)
        connect(ui.VersOpt[k], &QRadioButton::toggled, this, [this, k](bool ticked) { VersOpt_Click(k, ticked); });

    connect(ui.CmdHlp, &QPushButton::clicked, this, &Pagefrm::CmdHlp_Click);
    connect(ui.SaveCmd, &QPushButton::clicked, this, &Pagefrm::SaveCmd_Click);
    connect(ui.CmdSend, &QPushButton::clicked, this, &Pagefrm::CmdSend_Click);
    connect(ui.CmdExit, &QPushButton::clicked, this, &Pagefrm::CmdExit_Click);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &Pagefrm::F1_KeyPress);
}

void Pagefrm::Form_Load()
{
    setWindowTitle(caption());
    m_state.SetStation(1);
    pagcfgload();
    m_ui.SSTab1->setCurrentIndex(PagefrmUi::Communications);
    m_ui.Connectinfo->hide();
    m_ui.Sendinfo->hide();
    m_ui.CmdExit->setFocus();
}

void Pagefrm::pagcfgload()
{
    ConfigFile::LoadResult loaded = ConfigFile::load(m_config, m_state.ConfigFileName);
    showLoadedValues(loaded.problems);
    if (!loaded.problems.isEmpty())
        m_messages->show(QStringLiteral("Not everything in %1 could be used as it stood.").arg(m_state.ConfigFileName),
                         loaded.problems.join(QLatin1Char('\n')));
}

// The loaded record into the controls, in the order the rules below rely on: each control
// that changes runs its own rule, which writes back what it shows.
void Pagefrm::showLoadedValues(QStringList &problems)
{
    showPort(problems);
    showBaudRate();
    m_state.PortId = 0;
    m_state.PortIndex = int32_t(m_config.PortNumber) - 1;
    showModeCode();
    m_ui.NumInpTxt->setText(m_config.InputCount);
    showInputLimitNote(false);
    showRecallTime(problems);
    m_ui.AltTxt->setText(m_config.AlternatePager);
    m_ui.ManTxt->setText(m_config.ManagerPager);

    m_ui.InputSpin->setValue(1);
    setInputLimit(numericValue(m_config.InputCount));
    m_ui.NormCk->setChecked(m_config.InputNormEmer[1].value_or(0) != 0);
    blankIfEmpty(m_config.InputPagers[1]);
    blankIfEmpty(m_config.InputTexts[1]);
    showText(m_ui.PageNumTxt, m_config.InputPagers[1]);
    showText(m_ui.PagerTextTxt, m_config.InputTexts[1]);

    showVersion();

    m_ui.GrpSpin->setValue(900);
    for (int slot = 1; slot <= 3; ++slot)
        blankIfEmpty(m_config.GroupPagers[0][slot]);
    for (int slot = 1; slot <= 3; ++slot)
        showText(m_ui.GrpPg[slot - 1], m_config.GroupPagers[0][slot]);

    blankIfEmpty(m_config.WideAreaDial[0]);
    m_ui.WideSpin->setValue(800);
    showText(m_ui.WideText, m_config.WideAreaDial[0]);
}

// A port the spin box cannot show is replaced by the nearest one it can, so what is shown
// is what a send opens.
void Pagefrm::showPort(QStringList &problems)
{
    const int shown = within(m_config.PortNumber, m_ui.Portspin->minimum(), m_ui.Portspin->maximum());
    if (shown != m_config.PortNumber) {
        problems.append(QStringLiteral("Communications port %1 is not offered; port %2 is used instead.")
                            .arg(m_config.PortNumber)
                            .arg(shown));
        SetPortNumber(m_config, m_state, int16_t(shown));
    }
    m_ui.Portspin->setValue(shown);
}

// Any other text ticks nothing: the option ticked before stays, and so does the baud code
// that a send uses, so what is shown is what goes to the line.
void Pagefrm::showBaudRate()
{
    const int k = BaudTable::indexOf(m_config.BaudRate);
    if (k < 0)
        return;
    m_ui.BaudOpt[k]->setChecked(true);
    m_state.BaudCode = BaudTable::Speeds[k].code;
}

void Pagefrm::showModeCode()
{
    m_config.ApplyModeCode();
    for (int k = 0; k < 3; ++k)
        m_ui.ModeCk[k]->setChecked(m_config.ModeFlags[k + 1] == 1);
}

// A recall time the spin box cannot show becomes the nearest one it can, in the record too,
// so that what is shown is what is saved and sent.
void Pagefrm::showRecallTime(QStringList &problems)
{
    const double value = numericValue(m_config.RecallMinutes);
    const int shown = within(value, m_ui.RecallSpin->minimum(), m_ui.RecallSpin->maximum());
    if (value < m_ui.RecallSpin->minimum() || value > m_ui.RecallSpin->maximum()) {
        problems.append(QStringLiteral("The recall time \"%1\" lies outside 0 to 9 minutes; %2 is used instead.")
                            .arg(m_config.RecallMinutes)
                            .arg(shown));
        m_config.RecallMinutes = QString::number(shown);
    }
    m_ui.RecallSpin->setValue(shown);
}

void Pagefrm::showVersion()
{
    const int k = m_config.EpromVersion == 0 ? 0 : 1;
    m_ui.VersOpt[k]->setChecked(true);
    m_config.EpromVersion = int16_t(k);
}

void Pagefrm::setInputLimit(double count)
{
    m_ui.InputSpin->setMaximum(within(count, 1, PagerConfig::MaxInputs));
}

int Pagefrm::currentInput() const
{
    return m_ui.InputSpin->value();
}

int Pagefrm::currentGroupRow() const
{
    return m_ui.GrpSpin->value() - 900;
}

int Pagefrm::currentDialEntry() const
{
    return m_ui.WideSpin->value() - 800;
}

// Shows a text whole even when a file gave it more characters than the box lets the user
// type: cutting it to fit would change the record by merely looking at it.
void Pagefrm::showText(QLineEdit *box, const QString &text)
{
    const int limit = box->property("fieldLength").toInt();
    if (limit <= 0) {
        box->setText(text);
        return;
    }
    if (text.size() > box->maxLength())
        box->setMaxLength(int(text.size()));
    box->setText(text);
    box->setMaxLength(std::max(limit, int(text.size())));
}

void Pagefrm::StaSpin_Change(int value)
{
    if (m_revertingStation)
        return;
    if (m_programmer->running()) {
        // The send reads this record; loading another station under it is refused.
        m_revertingStation = true;
        m_ui.StaSpin->setValue(m_state.StationNumber);
        m_revertingStation = false;
        return;
    }
    m_state.SetStation(int16_t(value));
    pagcfgload();
}

void Pagefrm::Portspin_Change(int value)
{
    SetPortNumber(m_config, m_state, int16_t(value));
}

void Pagefrm::RecallSpin_Change(int value)
{
    m_config.RecallMinutes = QString::number(value);
}

void Pagefrm::InputSpin_Change(int value)
{
    if (value < 1 || value > PagerConfig::MaxInputs)
        return;
    auto &normEmer = m_config.InputNormEmer[value];
    if (!normEmer) {
        normEmer = int16_t(m_ui.NormCk->isChecked() ? 1 : 0);
    } else {
        m_ui.NormCk->setChecked(*normEmer != 0);
        normEmer = int16_t(m_ui.NormCk->isChecked() ? 1 : 0);
    }
    blankIfEmpty(m_config.InputPagers[value]);
    blankIfEmpty(m_config.InputTexts[value]);
    showText(m_ui.PageNumTxt, m_config.InputPagers[value]);
    showText(m_ui.PagerTextTxt, m_config.InputTexts[value]);
}

void Pagefrm::GrpSpin_Change(int value)
{
    auto &row = m_config.GroupPagers[value - 900];
    for (int slot = 1; slot <= 3; ++slot)
        blankIfEmpty(row[slot]);
    for (int slot = 1; slot <= 3; ++slot)
        showText(m_ui.GrpPg[slot - 1], row[slot]);
}

void Pagefrm::WideSpin_Change(int value)
{
    QString &dial = m_config.WideAreaDial[value - 800];
    blankIfEmpty(dial);
    showText(m_ui.WideText, dial);
}

// A count above what the record holds becomes the most it holds, and the note beside the box
// says so: the user sees that the count in force is not the one typed.
void Pagefrm::NumInpTxt_Change(const QString &text)
{
    if (numericValue(text) > PagerConfig::MaxInputs) {
        m_ui.NumInpTxt->setText(QString::number(PagerConfig::MaxInputs));
        showInputLimitNote(true);
        return;
    }
    m_config.InputCount = text;
    const double n = numericValue(text);
    if (n > 0)
        setInputLimit(n);
}

// Every edit of the count starts without the note; the change rule shows it again if the
// count has to be lowered.
void Pagefrm::NumInpTxt_Edited()
{
    showInputLimitNote(false);
}

void Pagefrm::showInputLimitNote(bool shown)
{
    m_ui.NumInpNote->setVisible(shown);
    m_ui.NumInpTxt->setAccessibleDescription(shown ? m_ui.NumInpNote->text() : QString());
}

void Pagefrm::PageNumTxt_Change(const QString &text)
{
    m_config.InputPagers[currentInput()] = text;
}

void Pagefrm::PagerTextTxt_Change(const QString &text)
{
    m_config.InputTexts[currentInput()] = text;
}

void Pagefrm::GrpPg_Change(int slot, const QString &text)
{
    m_config.GroupPagers[currentGroupRow()][slot] = text;
}

void Pagefrm::WideText_Change(const QString &text)
{
    m_config.WideAreaDial[currentDialEntry()] = text;
}

void Pagefrm::PageNumTxt_KeyPress()
{
    m_ui.PagerTextTxt->setFocus(Qt::TabFocusReason);
}

// Enter after a pager text moves on to the next input's pager number, for fast entry.
void Pagefrm::PagerTextTxt_KeyPress()
{
    const int input = currentInput();
    if (input == numericValue(m_config.InputCount))
        return;
    m_ui.InputSpin->setValue(input + 1);
    m_ui.PageNumTxt->setFocus(Qt::TabFocusReason);
}

void Pagefrm::NormCk_Click(bool ticked)
{
    m_config.InputNormEmer[currentInput()] = int16_t(ticked ? 1 : 0);
}

void Pagefrm::ModeCk_Click(int k, bool ticked)
{
    m_config.ModeFlags[k + 1] = int16_t(ticked ? 1 : 0);
}

void Pagefrm::VersOpt_Click(int k, bool ticked)
{
    if (ticked)
        m_config.EpromVersion = int16_t(k);
}

// An open port (a send is running) takes the new speed at once.
void Pagefrm::BaudOpt_Click(int k, bool ticked)
{
    if (!ticked)
        return;
    SetBaudRate(m_config, m_state, k);
    if (m_keep(m_line.IsPortAvailable(m_state.PortId)) == 0)
        m_keep(m_line.SetPortCharacteristics(m_state.PortId, m_state.BaudCode, 0, 3, 0, 4));
}

void Pagefrm::CmdHlp_Click()
{
    showHelp(0);
}

void Pagefrm::SaveCmd_Click()
{
    const ConfigFile::SaveResult saved = save(m_config, m_state.ConfigFileName);
    if (!saved.ok)
        m_messages->show(QStringLiteral("Could not save %1.").arg(m_state.ConfigFileName), saved.error);
}

// The save aligns pager texts and moves group pagers up; the boxes then show what is held.
ConfigFile::SaveResult Pagefrm::save(PagerConfig &config, const QString &fileName)
{
    ConfigFile::SaveResult saved = ConfigFile::save(config, fileName);
    refreshShownEntries();
    return saved;
}

void Pagefrm::refreshShownEntries()
{
    const int input = currentInput();
    showText(m_ui.NumInpTxt, m_config.InputCount);
    showText(m_ui.PageNumTxt, m_config.InputPagers[input]);
    showText(m_ui.PagerTextTxt, m_config.InputTexts[input]);
    const auto &row = m_config.GroupPagers[currentGroupRow()];
    for (int slot = 1; slot <= 3; ++slot)
        showText(m_ui.GrpPg[slot - 1], row[slot]);
}

// While the send waits the window stays live and nothing in it is disabled: a
// second Send Data is refused by the programmer, a change of station by StaSpin_Change. So
// the focus stays where it was, on Send Data when the user pressed it with the keyboard.
void Pagefrm::CmdSend_Click()
{
    m_programmer->sendData();
}

void Pagefrm::CmdExit_Click()
{
    close();
}

// Exit and the close box alike: a running send ends at once, an open port is closed, and
// nothing is saved.
void Pagefrm::closeEvent(QCloseEvent *event)
{
    m_programmer->closePort();
    if (m_help)
        m_help->close();
    event->accept();
}

void Pagefrm::F1_KeyPress()
{
    showHelp(helpTopicOf(QApplication::focusWidget()));
}

int Pagefrm::helpTopicOf(const QWidget *widget) const
{
    for (; widget && widget != this; widget = widget->parentWidget()) {
        const QVariant topic = widget->property("helpTopic");
        if (topic.isValid())
            return topic.toInt();
    }
    return 0;
}

void Pagefrm::showHelp(int topic)
{
    if (!m_help)
        m_help = new HelpWindow(this);
    if (topic > 0)
        m_help->showTopic(topic);
    else
        m_help->showContents();
}

// Every outcome is spoken once: a new text on the shown line at once, one set while the line
// is hidden when it is shown.
void Pagefrm::setConnectinfo(const QString &text, Colour colour)
{
    const bool changed = text != m_ui.Connectinfo->text();
    m_ui.Connectinfo->setOutcome(text, colour == Colour::Failure);
    if (changed)
        m_ui.Connectinfo->announce();
}

void Pagefrm::setConnectinfoVisible(bool visible)
{
    m_ui.Connectinfo->setVisible(visible);
    // Hidden at the start of each send: its first progress text is spoken again.
    if (!visible)
        m_sendinfoSpoken.invalidate();
}

// The progress changes with every record, ten times a second: spoken each time it would
// drown everything else. A screen reader speaks the first text of a send (the memory-clear
// wait) and then the progress at most once every SendinfoSpeechInterval, enough to tell
// that a long download goes on and how far it is; the outcome follows in Connectinfo.
void Pagefrm::setSendinfo(const QString &text)
{
    m_ui.Sendinfo->setText(text);
    if (text.trimmed().isEmpty())
        return;
    if (m_sendinfoSpoken.isValid() && !m_sendinfoSpoken.hasExpired(SendinfoSpeechInterval))
        return;
    m_ui.Sendinfo->announce();
    m_sendinfoSpoken.start();
}

void Pagefrm::setSendinfoVisible(bool visible)
{
    m_ui.Sendinfo->setVisible(visible);
}

void Pagefrm::showMessage(const QString &text, const QString &reason)
{
    m_messages->show(text, reason);
}
