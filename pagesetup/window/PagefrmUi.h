#pragma once

#include "StatusLine.h"

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;
class TwoRowTabWidget;

// The controls of the setup window, named, placed and ordered as installers know them.
// Each control's objectName is its member name ("BaudOpt(0)" for indexed ones).
struct PagefrmUi
{
    static constexpr int PagerNumberLength = 4;
    static constexpr int PagerTextLength = 8;
    static constexpr int DialLength = 25;

    enum Tab { Communications, PagerMode, GeneralInfo, IndividualInputs, GroupPagers, WideAreaPaging };

    QLabel *StaLbl = nullptr;
    QSpinBox *StaSpin = nullptr;
    QGroupBox *Frame2 = nullptr;
    std::array<QRadioButton *, 2> VersOpt{};
    QPushButton *CmdHlp = nullptr;
    QPushButton *SaveCmd = nullptr;
    QPushButton *CmdSend = nullptr;
    QPushButton *CmdExit = nullptr;
    TwoRowTabWidget *SSTab1 = nullptr;
    StatusLine *Connectinfo = nullptr;
    StatusLine *Sendinfo = nullptr;

    QLabel *ComLbl = nullptr;
    QSpinBox *Portspin = nullptr;
    QGroupBox *Frame1 = nullptr;
    std::array<QRadioButton *, 3> BaudOpt{};
    std::array<QLabel *, 3> BaudLabel{}; // Label1 to Label3

    std::array<QCheckBox *, 3> ModeCk{};

    QLabel *Label4 = nullptr;
    QLineEdit *NumInpTxt = nullptr;
    QLabel *NumInpNote = nullptr; // shown when a typed count was lowered to the most inputs held
    QLabel *Label5 = nullptr;
    QSpinBox *RecallSpin = nullptr;
    QLabel *Label6 = nullptr;
    QLineEdit *AltTxt = nullptr;
    QLabel *Label7 = nullptr;
    QLineEdit *ManTxt = nullptr;

    QLabel *Label8 = nullptr;
    QSpinBox *InputSpin = nullptr;
    QCheckBox *NormCk = nullptr;
    QLabel *Label9 = nullptr;
    QLineEdit *PageNumTxt = nullptr;
    QLabel *Label10 = nullptr;
    QLineEdit *PagerTextTxt = nullptr;

    QLabel *GrpLbl1 = nullptr;
    QSpinBox *GrpSpin = nullptr;
    QLabel *GrpLbl2 = nullptr;
    std::array<QLineEdit *, 3> GrpPg{}; // GrpPg1 to GrpPg3
    QLabel *GrpLbl3 = nullptr;

    QLabel *WideLab1 = nullptr;
    QSpinBox *WideSpin = nullptr;
    QLineEdit *WideText = nullptr;
    QLabel *WideLab2 = nullptr;
    QLabel *WideLab3 = nullptr;

    void setupUi(QWidget *form);

private:
    void setupTop(QWidget *form);
    void setupCommunications(QWidget *page);
    void setupPagerMode(QWidget *page);
    void setupGeneralInfo(QWidget *page);
    void setupIndividualInputs(QWidget *page);
    void setupGroupPagers(QWidget *page);
    void setupWideAreaPaging(QWidget *page);
    void setupFocusOrder();
    int pageRight() const;
};
