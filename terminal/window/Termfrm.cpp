#include "Termfrm.h"

#include "BaudTable.h"
#include "FrameAccessibility.h"
#include "KeyBytes.h"
#include "Logon.h"
#include "Messages.h"
#include "NumberText.h"
#include "OptionGroup.h"
#include "SerialLine.h"
#include "StationEntry.h"
#include "StatusLine.h"
#include "TerminalState.h"
#include "TerminalTextArea.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Places a control at its position in twips within its parent.
template<typename Control>
Control *place(Control *control, const char *name, int left, int top, int width, int height)
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(left / Termfrm::TwipsPerPixel, top / Termfrm::TwipsPerPixel,
                         width / Termfrm::TwipsPerPixel, height / Termfrm::TwipsPerPixel);
    return control;
}

} // namespace

Termfrm::Termfrm(TerminalState &state, SerialLine &line, Messages &messages, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_line(line)
    , m_messages(messages)
    , m_port(state, line, messages)
    , m_receiver(state, line)
    , m_waits(state.TimerExpired)
{
    presentAsFrame(QString::fromLatin1(staticMetaObject.className()));
    setObjectName(QStringLiteral("Termfrm"));
    setWindowTitle(QStringLiteral("Velgrin Terminal Program 1.10"));
    // The controls reach 9495 twips across and 6375 down.
    setFixedSize(9735 / TwipsPerPixel, 6615 / TwipsPerPixel);
    createTerminalArea();
    createStationControls();
    createOptions();
    createButtons();
    fitLabels();
    fitConnectinfo();
    setTabOrder();
    connect(&m_receiver, &Receiver::textArrived, this, [this](const QString &piece) { m_termTxt->termText().append(piece); });
    qApp->installEventFilter(this);
    Form_Load();
}

Termfrm::~Termfrm()
{
    qApp->removeEventFilter(this);
}

void Termfrm::createTerminalArea()
{
    // The positions were laid out for 8-point MS Sans Serif; where that face is missing the
    // desktop's sans serif stands in at the same size.
    QFont face = font();
    face.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), face.family()});
    face.setPointSize(8);
    setFont(face);

    // Screen readers speak each caption as it appears (StatusLine).
    m_connectinfo = place(new StatusLine(this), "Connectinfo", 120, 120, 8175, 495);
    m_connectinfo->setText(QStringLiteral("Label1"));
    QFont bold = m_connectinfo->font();
    bold.setPointSize(12);
    bold.setBold(true);
    m_connectinfo->setFont(bold);
    m_connectinfo->setAlignment(Qt::AlignCenter);
    m_connectinfo->hide();

    m_termTxt = place(new TerminalTextArea(this), "TermTxt", 120, 840, 6135, 5535);
    m_termTxt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Only the station writes here; typed keys go to the line.
    m_termTxt->setReadOnly(true);
    m_termTxt->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_termTxt->setFocusPolicy(Qt::StrongFocus);
    m_termTxt->setAccessibleName(QStringLiteral("Terminal text"));
    m_termTxt->setAccessibleDescription(
        QStringLiteral("What the station sends. Keys typed here go to the station."));
}

void Termfrm::createStationControls()
{
    m_ascLbl = place(new QLabel(QStringLiteral("Ascii value of station code is"), this), "AscLbl", 6600, 840, 2775, 255);
    m_charLbl = place(new QLabel(QStringLiteral("Character is {"), this), "CharLbl", 6600, 1200, 1215, 255);
    m_staLbl = place(new QLabel(QStringLiteral("Enter Station Number:"), this), "StaLbl", 6600, 1920, 1695, 255);
    m_staTxt = place(new QLineEdit(QStringLiteral("15"), this), "StaTxt", 8280, 1920, 375, 285);
    m_staTxt->setMaxLength(2);
    m_staTxt->setAccessibleName(QStringLiteral("Station number"));
    m_staLbl->setBuddy(m_staTxt);
    connect(m_staTxt, &QLineEdit::textChanged, this, &Termfrm::StaTxt_Change);
}

void Termfrm::createOptions()
{
    m_comframe = place(new QGroupBox(QStringLiteral("Com port"), this), "Comframe", 6600, 2520, 2895, 855);
    m_comOpt[0] = place(new QRadioButton(QStringLiteral("Com 1"), m_comframe), "ComOpt(0)", 360, 360, 855, 255);
    m_comOpt[1] = place(new QRadioButton(QStringLiteral("Com 2"), m_comframe), "ComOpt(1)", 1560, 360, 975, 255);
    m_comGroup = new OptionGroup(this);
    for (int i = 0; i < 2; ++i)
        m_comGroup->addButton(m_comOpt[i], i);
    connect(m_comGroup, &OptionGroup::chosen, this, [this](int id) { ComOpt_Click(int16_t(id)); });

    m_bdFrame = place(new QGroupBox(QStringLiteral("Baud Rate"), this), "BdFrame", 6360, 3720, 3135, 855);
    for (int i = 0; i < 3; ++i) {
        m_baudOpt[i] = place(new QRadioButton(BaudTable::rateText(i), m_bdFrame),
                             QStringLiteral("BaudOpt(%1)").arg(i).toLatin1().constData(),
                             120 + 1080 * i, 360, 735, 255);
        m_baudOpt[i]->setAccessibleName(QStringLiteral("%1 baud").arg(BaudTable::rateText(i)));
    }
    m_baudGroup = new OptionGroup(this);
    for (int i = 0; i < 3; ++i)
        m_baudGroup->addButton(m_baudOpt[i], i);
    connect(m_baudGroup, &OptionGroup::chosen, this, [this](int id) { BaudOpt_Click(int16_t(id)); });
}

void Termfrm::createButtons()
{
    m_logonCmd = place(new QPushButton(QStringLiteral("Log On to Station"), this), "LogonCmd", 7320, 5160, 1575, 375);
    m_clearCmd = place(new QPushButton(QStringLiteral("Clear Window"), this), "ClearCmd", 6840, 6000, 1215, 375);
    m_command1 = place(new QPushButton(QStringLiteral("Exit"), this), "Command1", 8640, 6000, 615, 375);
    for (QPushButton *button : {m_logonCmd, m_clearCmd, m_command1})
        button->setAutoDefault(false);
    // Space and Enter go to the line, so the buttons get keys of their own.
    m_logonCmd->setShortcut(QKeySequence(QStringLiteral("Alt+L")));
    m_clearCmd->setShortcut(QKeySequence(QStringLiteral("Alt+C")));
    m_command1->setShortcut(QKeySequence(QStringLiteral("Alt+X")));
    connect(m_logonCmd, &QPushButton::clicked, this, &Termfrm::LogonCmd_Click);
    connect(m_clearCmd, &QPushButton::clicked, this, &Termfrm::ClearCmd_Click);
    connect(m_command1, &QPushButton::clicked, this, &Termfrm::Command1_Click);
}

// The code labels get longer captions at start than their designed width holds, and other
// faces run wider than the designed one: they may use the free room to their right. The
// station label ends a gap before its box (the design let them touch) and may take the
// room to its left, up to the terminal text.
void Termfrm::fitLabels()
{
    const int right = width() - 120 / TwipsPerPixel;
    for (QLabel *label : {m_ascLbl, m_charLbl})
        label->resize(right - label->x(), label->height());
    const QRect designed = m_staLbl->geometry();
    const int end = m_staTxt->x() - LabelGap;
    const int left = std::max(m_termTxt->geometry().right() + 1 + LabelGap,
                              std::min(designed.x(), end - m_staLbl->sizeHint().width()));
    m_staLbl->setGeometry(left, designed.y(), end - left, designed.height());
    m_staLbl->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

// The status caption ends in the station's name, up to 30 characters: it may take the
// free room across the window above the terminal text, and a second line there.
void Termfrm::fitConnectinfo()
{
    const int margin = 120 / TwipsPerPixel;
    const QRect designed = m_connectinfo->geometry();
    m_connectinfo->setGeometry(designed.x(), designed.y(), width() - margin - designed.x(),
                               m_termTxt->y() - LabelGap - designed.y());
    m_connectinfo->setWordWrap(true);
}

void Termfrm::setTabOrder()
{
    const QList<QWidget *> order = {m_command1, m_logonCmd, m_comOpt[0], m_comOpt[1], m_staTxt,
                                    m_baudOpt[0], m_baudOpt[1], m_baudOpt[2], m_clearCmd, m_termTxt};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void Termfrm::Form_Load()
{
    m_state.StationNumber = 1;
    m_state.AddressCode = 123;
    if (const int16_t code = BaudTable::codeFor(m_state.BaudRate))
        m_state.BaudCode = code;
    m_port.OpenPort();
    m_staTxt->setText(QStringLiteral("1"));
    // Selecting runs the option's handler.
    if (m_state.PortNumber == 1 || m_state.PortNumber == 2)
        m_comOpt[m_state.PortNumber - 1]->setChecked(true);
    if (const int index = BaudTable::indexOf(m_state.BaudRate); index >= 0)
        m_baudOpt[index]->setChecked(true);
}

void Termfrm::start()
{
    show();
    m_state.WindowShown = true;
    activateWindow();
    m_termTxt->setFocus();
    m_state.TextTimerExpired = false;
}

void Termfrm::portActivity()
{
    m_receiver.portActivity();
    m_waits.portActivity();
}

void Termfrm::StaTxt_Change(const QString &text)
{
    const StationLabels labels = ::StaTxt_Change(m_state, text);
    m_ascLbl->setText(labels.ascii);
    m_charLbl->setText(labels.character);
}

void Termfrm::ComOpt_Click(int16_t index)
{
    m_port.ComOpt_Click(index);
    if (m_state.WindowShown)
        m_termTxt->setFocus();
}

void Termfrm::BaudOpt_Click(int16_t index)
{
    m_port.BaudOpt_Click(index);
    if (m_state.WindowShown)
        m_termTxt->setFocus();
}

void Termfrm::LogonCmd_Click()
{
    if (m_logonRunning || m_ending)
        return;
    m_logonRunning = true;
    m_logonCmd->setEnabled(false);
    m_receiver.setSuspended(true);
    Logon(m_state, m_line, m_waits, *this).run();
    m_logonRunning = false;
    if (m_ending)
        return;
    m_logonCmd->setEnabled(true);
    m_receiver.setSuspended(false);
}

void Termfrm::ClearCmd_Click()
{
    m_termTxt->termText().clear();
    m_termTxt->setFocus();
}

void Termfrm::Command1_Click()
{
    Form_Unload();
}

void Termfrm::Form_Unload()
{
    if (m_ending)
        return;
    m_ending = true;
    m_port.ClosePort();
    m_waits.end();
    hide();
    emit ended();
}

void Termfrm::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void Termfrm::Form_KeyPress(char byte)
{
    if (const int32_t r = m_keep(m_line.PutByte(m_state.PortId, uchar(byte))))
        m_messages.show(QStringLiteral("COMM-DRV Output error ") + NumberText::plainForm(r),
                        QString::fromLocal8Bit(m_line.LastError()));
}

bool Termfrm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || m_ending)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this || focusWidget() == m_staTxt)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const std::optional<QByteArray> bytes = keyBytes(key->key(), key->modifiers(), key->text());
    if (!bytes)
        return false;
    for (const char byte : *bytes)
        Form_KeyPress(byte);
    return true;
}

void Termfrm::hideConnectinfo()
{
    m_connectinfo->hide();
}

void Termfrm::showConnectinfo(const QString &caption, bool failure)
{
    const bool shownAlready = !m_connectinfo->isHidden();
    m_connectinfo->setOutcome(caption, failure);
    m_connectinfo->show();
    // Showing it speaks the caption; one shown already speaks a new caption.
    if (shownAlready)
        m_connectinfo->announce();
}

void Termfrm::message(const QString &text, const QString &reason)
{
    m_messages.show(text, reason);
}

void Termfrm::focusTermTxt()
{
    m_termTxt->setFocus();
}
