#include "PagefrmUi.h"

#include "BaudTable.h"
#include "StatusLine.h"
#include "OptionGroup.h"
#include "TwoRowTabWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace {

enum class Face { Regular, Bold };

QFont face(Face kind, int points = 8)
{
    QFont font = QApplication::font();
    font.setPointSize(points);
    font.setBold(kind == Face::Bold);
    return font;
}

// The width a line edit needs to show `text` without scrolling: its frame, its inner margins,
// the overhang of the first and last glyphs, the cursor after the last character and a little
// air before the frame.
int widthToShow(const QLineEdit *edit, const QString &text)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = QRect(0, 0, 100, 25);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    option.state |= QStyle::State_Sunken;
    const int frame = 100 - edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width();
    constexpr int innerMargins = 2 * 2;
    constexpr int cursor = 1;
    constexpr int clearOfTheFrame = 2;
    const QFontMetrics metrics = edit->fontMetrics();
    const int overhang = text.isEmpty() ? 0
                         : std::max(0, -metrics.leftBearing(text.front())) + std::max(0, -metrics.rightBearing(text.back()));
    return frame + innerMargins + overhang + metrics.horizontalAdvance(text) + cursor + clearOfTheFrame;
}

// Puts controls on one parent at the pixel boxes installers' screenshots show (96 dpi);
// a tab page is shifted so that its boxes count from the tab control's corner, and `right`
// is the last column a control there may use.
class Placer
{
public:
    explicit Placer(QWidget *parent, QPoint shift = {}, int right = 0)
        : m_parent(parent), m_shift(shift), m_right(right)
    {
    }

    template <typename Widget>
    Widget *put(Widget *widget, const QString &name, Face kind, QRect box) const
    {
        widget->setObjectName(name);
        widget->setFont(face(kind));
        widget->setGeometry(box.translated(-m_shift));
        return widget;
    }

    QLabel *label(const QString &name, const QString &text, QRect box) const
    {
        return put(new QLabel(text, m_parent), name, Face::Bold, box);
    }

    QSpinBox *spin(const QString &name, int low, int high, int start, int topic, QRect box) const
    {
        auto *spin = put(new QSpinBox(m_parent), name, Face::Regular, box);
        spin->setRange(low, high);
        spin->setValue(start);
        spin->setProperty("helpTopic", topic);
        return spin;
    }

    QLineEdit *edit(const QString &name, int topic, QRect box, int maxLength = 0) const
    {
        auto *edit = put(new QLineEdit(m_parent), name, Face::Regular, box);
        if (maxLength > 0) {
            edit->setMaxLength(maxLength);
            edit->setProperty("fieldLength", maxLength);
            edit->setGeometry(roomForFullValue(edit, box).translated(-m_shift));
        }
        edit->setProperty("helpTopic", topic);
        return edit;
    }

    QCheckBox *check(const QString &name, const QString &text, int topic, QRect box) const
    {
        auto *check = put(new QCheckBox(text, m_parent), name, Face::Bold, box);
        check->setProperty("helpTopic", topic);
        return check;
    }

    QRadioButton *option(const QString &name, const QString &text, int topic, QRect box) const
    {
        auto *option = put(new QRadioButton(text, m_parent), name, Face::Regular, box);
        option->setProperty("helpTopic", topic);
        return option;
    }

    QPushButton *button(const QString &name, const QString &text, int topic, QRect box) const
    {
        auto *button = put(new QPushButton(text, m_parent), name, Face::Regular, box);
        button->setAutoDefault(false);
        if (topic > 0)
            button->setProperty("helpTopic", topic);
        return button;
    }

private:
    // A box that stops at a length shows that many of the widest letters whole: it grows to
    // the right into free room, and moves left where the page ends.
    QRect roomForFullValue(const QLineEdit *edit, QRect box) const
    {
        const int needed = widthToShow(edit, QString(edit->maxLength(), u'W'));
        if (needed <= box.width())
            return box;
        box.setWidth(needed);
        if (m_right > 0 && box.right() > m_right)
            box.moveRight(m_right);
        return box;
    }

    QWidget *m_parent;
    QPoint m_shift;
    int m_right;
};

// A screen reader names a control by the label that stands beside it.
void labelFor(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    control->setAccessibleName(label->text());
}

// Tab enters a group of options at its ticked one; the window acts on each option's toggle.
template <size_t N>
void tabStopFollowsTick(const std::array<QRadioButton *, N> &options, QWidget *owner)
{
    auto *group = new OptionGroup(owner);
    for (size_t k = 0; k < N; ++k)
        group->addButton(options[k], int(k));
}

QString indexed(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

} // namespace

void PagefrmUi::setupUi(QWidget *form)
{
    form->setObjectName(QStringLiteral("Pagefrm"));
    form->setFont(face(Face::Regular));
    form->setFixedSize(632, 436);

    setupTop(form);

    static const char *const captions[] = {"Communications",    "Pager Mode",   "General Info",
                                           "Individual Inputs", "Group Pagers", "Wide Area Paging"};
    for (const char *caption : captions)
        SSTab1->addTab(new QWidget, QString::fromLatin1(caption));
    setupCommunications(SSTab1->page(Communications));
    setupPagerMode(SSTab1->page(PagerMode));
    setupGeneralInfo(SSTab1->page(GeneralInfo));
    setupIndividualInputs(SSTab1->page(IndividualInputs));
    setupGroupPagers(SSTab1->page(GroupPagers));
    setupWideAreaPaging(SSTab1->page(WideAreaPaging));

    setupFocusOrder();
}

void PagefrmUi::setupTop(QWidget *form)
{
    const Placer window(form);
    StaLbl = window.label(QStringLiteral("StaLbl"), QStringLiteral("Station Number"), {192, 40, 113, 25});
    StaSpin = window.spin(QStringLiteral("StaSpin"), 1, 32, 1, 100, {320, 32, 41, 25});
    labelFor(StaLbl, StaSpin);

    Frame2 = window.put(new QGroupBox(QStringLiteral("Station Eprom Version"), form),
                        QStringLiteral("Frame2"), Face::Regular, {416, 24, 153, 57});
    const Placer frame2(Frame2);
    VersOpt[0] = frame2.option(indexed("VersOpt", 0), QStringLiteral("1.0 X"), 200, {16, 24, 49, 17});
    VersOpt[1] = frame2.option(indexed("VersOpt", 1), QStringLiteral("1.1 X"), 200, {88, 24, 49, 17});
    tabStopFollowsTick(VersOpt, form);

    CmdHlp = window.button(QStringLiteral("CmdHlp"), QStringLiteral("Help"), 0, {56, 80, 65, 25});
    SaveCmd = window.button(QStringLiteral("SaveCmd"), QStringLiteral("Save Data"), 800, {56, 144, 65, 25});
    CmdSend = window.button(QStringLiteral("CmdSend"), QStringLiteral("Send Data"), 840, {56, 208, 65, 25});
    CmdExit = window.button(QStringLiteral("CmdExit"), QStringLiteral("Exit"), 0, {64, 280, 41, 25});

    SSTab1 = window.put(new TwoRowTabWidget(form), QStringLiteral("SSTab1"), Face::Regular,
                        {200, 104, 353, 233});

    const QFont status = face(Face::Bold, 12);
    // Screen readers speak their texts as they appear (StatusLine); the window decides which.
    Connectinfo = window.put(new StatusLine(form), QStringLiteral("Connectinfo"), Face::Bold, {16, 352, 601, 33});
    Sendinfo = window.put(new StatusLine(form), QStringLiteral("Sendinfo"), Face::Bold, {16, 392, 601, 33});
    for (QLabel *line : {Connectinfo, Sendinfo}) {
        line->setFont(status);
        line->hide();
    }
}

void PagefrmUi::setupCommunications(QWidget *page)
{
    const Placer tab(page, SSTab1->pageOrigin(), pageRight());
    ComLbl = tab.label(QStringLiteral("ComLbl"), QStringLiteral("Communications Port"), {16, 100, 153, 25});
    Portspin = tab.spin(QStringLiteral("Portspin"), 1, 4, 1, 400, {176, 92, 33, 25});
    labelFor(ComLbl, Portspin);

    Frame1 = tab.put(new QGroupBox(QStringLiteral("Baud Rate"), page), QStringLiteral("Frame1"), Face::Bold,
                     {48, 132, 257, 65});
    const Placer frame1(Frame1);
    static const int lefts[] = {8, 96, 192};
    for (int k = 0; k < 3; ++k) {
        BaudOpt[k] = frame1.option(indexed("BaudOpt", k), QString(), 400, {lefts[k], 24, 17, 17});
        BaudLabel[k] = frame1.label(QStringLiteral("Label%1").arg(k + 1), BaudTable::rateText(k),
                                    {lefts[k] + 16, 24, 41, 17});
        // The name only: a label related to an option button is read as its group's label,
        // so Orca would say the rate twice.
        BaudOpt[k]->setAccessibleName(BaudLabel[k]->text());
    }
    tabStopFollowsTick(BaudOpt, page);
}

void PagefrmUi::setupPagerMode(QWidget *page)
{
    const Placer tab(page, SSTab1->pageOrigin(), pageRight());
    static const char *const texts[] = {"Send Individual Input Pages", "Send To Alternate Pager",
                                        "Send To Manager Pager"};
    static const QRect boxes[] = {{48, 84, 265, 25}, {48, 124, 281, 25}, {48, 164, 265, 25}};
    for (int k = 0; k < 3; ++k)
        ModeCk[k] = tab.check(indexed("ModeCk", k), QString::fromLatin1(texts[k]), 500, boxes[k]);
}

void PagefrmUi::setupGeneralInfo(QWidget *page)
{
    const Placer tab(page, SSTab1->pageOrigin(), pageRight());
    Label4 = tab.label(QStringLiteral("Label4"), QStringLiteral("Total Number of Inputs"), {24, 76, 161, 17});
    NumInpTxt = tab.edit(QStringLiteral("NumInpTxt"), 300, {192, 68, 33, 25});
    NumInpNote = tab.label(QStringLiteral("NumInpNote"), QStringLiteral("At most 512"), {232, 76, 113, 17});
    QPalette red = NumInpNote->palette();
    red.setColor(QPalette::WindowText, StatusLine::failureInk());
    NumInpNote->setPalette(red);
    NumInpNote->hide();
    Label5 = tab.label(QStringLiteral("Label5"), QStringLiteral("Time Before Recall in Min."), {24, 116, 185, 17});
    RecallSpin = tab.spin(QStringLiteral("RecallSpin"), 0, 9, 4, 300, {216, 108, 33, 25});
    Label6 = tab.label(QStringLiteral("Label6"), QStringLiteral("Alternate Pager Number"), {24, 156, 169, 17});
    AltTxt = tab.edit(QStringLiteral("AltTxt"), 300, {200, 148, 41, 25});
    Label7 = tab.label(QStringLiteral("Label7"), QStringLiteral("Manager Pager Number"), {24, 196, 169, 17});
    ManTxt = tab.edit(QStringLiteral("ManTxt"), 300, {200, 188, 49, 25});
    labelFor(Label4, NumInpTxt);
    labelFor(Label5, RecallSpin);
    labelFor(Label6, AltTxt);
    labelFor(Label7, ManTxt);
}

void PagefrmUi::setupIndividualInputs(QWidget *page)
{
    const Placer tab(page, SSTab1->pageOrigin(), pageRight());
    Label8 = tab.label(QStringLiteral("Label8"), QStringLiteral("Input"), {24, 76, 41, 25});
    InputSpin = tab.spin(QStringLiteral("InputSpin"), 1, 512, 1, 600, {64, 68, 49, 25});
    NormCk = tab.check(QStringLiteral("NormCk"), QStringLiteral("Display Norm/Emer"), 600, {160, 76, 161, 25});
    Label9 = tab.label(QStringLiteral("Label9"), QStringLiteral("Pager Number"), {72, 124, 105, 17});
    PageNumTxt = tab.edit(QStringLiteral("PageNumTxt"), 600, {184, 116, 33, 25}, PagerNumberLength);
    Label10 = tab.label(QStringLiteral("Label10"), QStringLiteral("Pager Text"), {72, 164, 81, 17});
    PagerTextTxt = tab.edit(QStringLiteral("PagerTextTxt"), 600, {160, 156, 65, 25}, PagerTextLength);
    labelFor(Label8, InputSpin);
    labelFor(Label9, PageNumTxt);
    labelFor(Label10, PagerTextTxt);
}

void PagefrmUi::setupGroupPagers(QWidget *page)
{
    const Placer tab(page, SSTab1->pageOrigin(), pageRight());
    GrpLbl1 = tab.label(QStringLiteral("GrpLbl1"), QStringLiteral("Group Pager Number"), {16, 72, 153, 17});
    GrpSpin = tab.spin(QStringLiteral("GrpSpin"), 900, 931, 900, 700, {176, 64, 49, 25});
    GrpLbl2 = tab.label(QStringLiteral("GrpLbl2"), QStringLiteral("Pager numbers for this group"), {8, 128, 209, 25});
    for (int slot = 0; slot < 3; ++slot) {
        GrpPg[slot] = tab.edit(QStringLiteral("GrpPg%1").arg(slot + 1), 700, {248, 96 + 40 * slot, 33, 25},
                               PagerNumberLength);
        GrpPg[slot]->setAccessibleName(GrpLbl2->text());
        GrpPg[slot]->setAccessibleDescription(QStringLiteral("Pager %1 of 3").arg(slot + 1));
    }
    GrpLbl2->setBuddy(GrpPg[0]);
    GrpLbl3 = tab.label(QStringLiteral("GrpLbl3"),
                        QStringLiteral("Each group can have 2 or 3 pager numbers and could contain a group number."),
                        {8, 160, 209, 49});
    GrpLbl3->setWordWrap(true);
    labelFor(GrpLbl1, GrpSpin);
}

void PagefrmUi::setupWideAreaPaging(QWidget *page)
{
    const Placer tab(page, SSTab1->pageOrigin(), pageRight());
    WideLab1 = tab.label(QStringLiteral("WideLab1"), QStringLiteral("Wide Area Pager Number"), {32, 64, 185, 17});
    WideSpin = tab.spin(QStringLiteral("WideSpin"), 800, 815, 800, 750, {240, 56, 49, 25});
    WideText = tab.edit(QStringLiteral("WideText"), 750, {88, 112, 153, 25}, DialLength);
    WideLab2 = tab.label(QStringLiteral("WideLab2"), QStringLiteral("Phone number dial string"), {72, 144, 185, 17});
    WideLab3 = tab.label(QStringLiteral("WideLab3"), QStringLiteral("Use a comma to insert a pause."),
                         {64, 176, 209, 49});
    WideLab3->setWordWrap(true);
    labelFor(WideLab1, WideSpin);
    labelFor(WideLab2, WideText);
}

// The last column, counted from the tab control's corner, that a control on a page may use.
int PagefrmUi::pageRight() const
{
    constexpr int gap = 8;
    return SSTab1->width() - SSTab1->pageOrigin().x() - gap;
}

void PagefrmUi::setupFocusOrder()
{
    QWidget *const order[] = {CmdExit,    CmdSend,    SaveCmd,      SSTab1,     Portspin,  BaudOpt[0],
                              BaudOpt[1], BaudOpt[2], ModeCk[0],    ModeCk[1],  ModeCk[2], NumInpTxt,
                              RecallSpin, AltTxt,     ManTxt,       InputSpin,  NormCk,    PageNumTxt,
                              PagerTextTxt, StaSpin,  GrpSpin,      GrpPg[0],   GrpPg[1],  GrpPg[2],
                              VersOpt[0], VersOpt[1], CmdHlp,       WideSpin,   WideText};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}
