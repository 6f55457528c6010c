#pragma once

#include "KeptResult.h"
#include "LogonView.h"
#include "Receiver.h"
#include "TerminalPort.h"
#include "TerminalState.h"
#include "TerminalWaits.h"

#include <QWidget>

class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class SerialLine;
class Messages;
class OptionGroup;
class StatusLine;
class TerminalTextArea;

// The terminal window. Constructing it runs Form_Load (opens the port); start() shows it.
// Every character key typed anywhere in it goes to the line, except into the station box.

class Termfrm : public QWidget, public LogonView
{
    Q_OBJECT
public:
    static constexpr int TwipsPerPixel = 15; // 96 dots per inch
    static constexpr int LabelGap = 4;       // pixels between a label and its neighbour

    Termfrm(TerminalState &state, SerialLine &line, Messages &messages, QWidget *parent = nullptr);
    ~Termfrm() override;

    // Shows the window, takes note that it is shown and puts the focus in TermTxt.
    void start();

    // Bytes have arrived on the port (or it was lost).
    void portActivity();

    // The handlers, as the controls run them.
    void ComOpt_Click(int16_t index);
    void BaudOpt_Click(int16_t index);
    void LogonCmd_Click();
    void ClearCmd_Click();
    void Command1_Click();

    // What the log-on shows.
    void hideConnectinfo() override;
    void showConnectinfo(const QString &caption, bool failure) override;
    void message(const QString &text, const QString &reason) override;
    void focusTermTxt() override;

    bool logonRunning() const { return m_logonRunning; }
    const Receiver &receiver() const { return m_receiver; }
    const TerminalWaits &waits() const { return m_waits; }

signals:
    // The user ended the program (Exit or the close box); the port is closed already.
    void ended();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createTerminalArea();
    void createStationControls();
    void createOptions();
    void createButtons();
    void fitLabels();
    void fitConnectinfo();
    void setTabOrder();
    void Form_Load();
    void Form_KeyPress(char byte);
    void Form_Unload();
    void StaTxt_Change(const QString &text);

    TerminalState &m_state;
    KeptResult m_keep{m_state.PortResult};
    SerialLine &m_line;
    Messages &m_messages;
    TerminalPort m_port;
    Receiver m_receiver;
    TerminalWaits m_waits;

    StatusLine *m_connectinfo = nullptr;
    TerminalTextArea *m_termTxt = nullptr;
    QLabel *m_ascLbl = nullptr;
    QLabel *m_charLbl = nullptr;
    QLabel *m_staLbl = nullptr;
    QLineEdit *m_staTxt = nullptr;
    QGroupBox *m_comframe = nullptr;
    QRadioButton *m_comOpt[2] = {};
    QGroupBox *m_bdFrame = nullptr;
    QRadioButton *m_baudOpt[3] = {};
    QPushButton *m_logonCmd = nullptr;
    QPushButton *m_clearCmd = nullptr;
    QPushButton *m_command1 = nullptr;
    OptionGroup *m_comGroup = nullptr;
    OptionGroup *m_baudGroup = nullptr;

    bool m_logonRunning = false;
    bool m_ending = false;
};
