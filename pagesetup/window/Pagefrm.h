#pragma once

#include "ConfigFile.h"
#include "KeptResult.h"
#include "PagefrmUi.h"
#include "PagerConfig.h"
#include "SendView.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <memory>

class HelpWindow;
class Messages;
class QLineEdit;
class SerialLine;
class StationProgrammer;
class TimedWaits;

// The setup window: one station's pager configuration at a time. Every control edits its
// field of the record the moment its value changes, whether the user or the program changed
// it, and every refresh writes back the value it has just shown, so the record and the
// controls never disagree.
class Pagefrm : public QWidget, public SendView
{
    Q_OBJECT
public:
    // Without `messages` the window shows modal message boxes.
    explicit Pagefrm(SerialLine &line, Messages *messages = nullptr, QWidget *parent = nullptr);
    ~Pagefrm() override;

    static QString caption();

    // How often a screen reader speaks the progress of a download, at most (ms).
    static constexpr qint64 SendinfoSpeechInterval = 15000;

    const PagerConfig &config() const { return m_config; }
    const SetupState &state() const { return m_state; }
    const PagefrmUi &ui() const { return m_ui; }
    HelpWindow *helpWindow() const { return m_help; }
    StationProgrammer &programmer() { return *m_programmer; }
    // The topic F1 opens with `widget` focused; 0 is the contents.
    int helpTopicOf(const QWidget *widget) const;

    // Fills the record from the station's file, or with defaults, then shows it.
    void pagcfgload();

    // SendView: the status lines and message boxes of a download.
    void setConnectinfo(const QString &text, Colour colour) override;
    void setConnectinfoVisible(bool visible) override;
    void setSendinfo(const QString &text) override;
    void setSendinfoVisible(bool visible) override;
    void showMessage(const QString &text, const QString &reason) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void connectRules();
    void Form_Load();
    void showLoadedValues(QStringList &problems);
    void showPort(QStringList &problems);
    void showBaudRate();
    void showRecallTime(QStringList &problems);
    void showModeCode();
    void showVersion();

    // Selectors.
    void StaSpin_Change(int value);
    void Portspin_Change(int value);
    void RecallSpin_Change(int value);
    void InputSpin_Change(int value);
    void GrpSpin_Change(int value);
    void WideSpin_Change(int value);

    // Edit boxes.
    void NumInpTxt_Change(const QString &text);
    void NumInpTxt_Edited();
    void showInputLimitNote(bool shown);
    void PageNumTxt_Change(const QString &text);
    void PagerTextTxt_Change(const QString &text);
    void GrpPg_Change(int slot, const QString &text);
    void WideText_Change(const QString &text);
    void PageNumTxt_KeyPress();
    void PagerTextTxt_KeyPress();

    // Check boxes and options.
    void NormCk_Click(bool ticked);
    void ModeCk_Click(int k, bool ticked);
    void VersOpt_Click(int k, bool ticked);
    void BaudOpt_Click(int k, bool ticked);

    // Buttons and keys.
    void CmdHlp_Click();
    void SaveCmd_Click();
    void CmdSend_Click();
    void CmdExit_Click();
    void F1_KeyPress();

    void showHelp(int topic);
    ConfigFile::SaveResult save(PagerConfig &config, const QString &fileName);
    void refreshShownEntries();
    void setInputLimit(double count);
    int currentInput() const;
    int currentGroupRow() const;
    int currentDialEntry() const;
    static void showText(QLineEdit *box, const QString &text);

    PagerConfig m_config;
    SetupState m_state;
    KeptResult m_keep{m_state.PortResult};
    SerialLine &m_line;
    std::unique_ptr<Messages> m_ownMessages;
    Messages *m_messages = nullptr;
    PagefrmUi m_ui;
    std::unique_ptr<TimedWaits> m_waits;
    std::unique_ptr<StationProgrammer> m_programmer;
    HelpWindow *m_help = nullptr;
    bool m_revertingStation = false;
    QElapsedTimer m_sendinfoSpoken; // since Sendinfo's text was last spoken in this send
};
