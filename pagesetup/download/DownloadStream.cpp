#include "DownloadStream.h"

#include "ControlBytes.h"
#include "NumberText.h"
#include "PagerConfig.h"
#include "SendView.h"
#include "SerialLine.h"
#include "SingleByte.h"
#include "Waits.h"

namespace {

using ControlBytes::CR;
using ControlBytes::ENQ;
using ControlBytes::EOT;
constexpr char Tilde = 0x7E;

// Only blanks: a tab or line feed in a field is sent as it stands.
QStringView trimBlanks(QStringView text)
{
    while (!text.isEmpty() && text.front() == u' ')
        text = text.sliced(1);
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

QString decimal(int n)
{
    return NumberText::plainForm(n);
}

} // namespace

DownloadStream::DownloadStream(SetupState &state, SerialLine &line, Waits &waits, SendView &view)
    : m_state(state), m_line(line), m_waits(waits), m_view(view)
{
}

int DownloadStream::WideAreaTotal(const PagerConfig &config)
{
    int total = 0;
    for (const QString &dial : config.WideAreaDial)
        total += int(trimBlanks(dial).size());
    return total;
}

int DownloadStream::HighestInputBlock(int n)
{
    int q = n / 8;
    if (n % 8 > 0)
        ++q;
    --q;
    return q > 9 ? 9 : q;
}

void DownloadStream::send(const PagerConfig &config, int groupPagerTotal, int wideAreaTotal)
{
    m_newEprom = config.EpromVersion != 0;
    if (!header(config) || !inputLists(config))
        return;
    if (!m_newEprom) {
        endOfList();
        return;
    }
    if (groupPagerTotal != 0 || wideAreaTotal != 0) {
        mark(ENQ);
        if (!groupBlock(config, groupPagerTotal))
            return;
        if (wideAreaTotal != 0 && !wideAreaBlock(config))
            return;
    }
    endOfList();
}

bool DownloadStream::header(const PagerConfig &config)
{
    if (!delay())
        return false;
    characterField(config.ModeCode);
    if (!delay())
        return false;
    characterField(config.RecallMinutes);
    if (!delay())
        return false;
    characterField(decimal(HighestInputBlock(config.inputCountN())));
    if (!delay())
        return false;
    textRecord(trimBlanks(config.AlternatePager));
    if (!delay())
        return false;
    textRecord(trimBlanks(config.ManagerPager));
    return delay();
}

bool DownloadStream::inputLists(const PagerConfig &config)
{
    int n = config.inputCountN();
    for (int i = 1; i <= n; ++i) {
        textRecord(trimBlanks(config.InputPagers[i]));
        if (!delay())
            return false;
        progress(i, " Pager numbers sent to pager interface");
    }
    endOfList();

    n = config.inputCountN();
    for (int i = 1; i <= n; ++i) {
        textRecord(config.InputTexts[i]);
        if (!delay())
            return false;
        progress(i, " Pager texts sent to pager interface");
    }
    endOfList();

    n = config.inputCountN();
    for (int i = 1; i <= n; ++i) {
        const auto &entry = config.InputNormEmer[i];
        characterField(entry ? decimal(*entry) : QString(), CR);
        if (!delay())
            return false;
        progress(i, " N / E status sent to pager interface");
    }
    return true;
}

bool DownloadStream::groupBlock(const PagerConfig &config, int groupPagerTotal)
{
    if (groupPagerTotal < 1) {
        endOfList();
        return delay10();
    }
    for (int r = 0; r < PagerConfig::GroupRows; ++r) {
        textRecord(decimal(config.GroupCounts[r]));
        if (!delay10())
            return false;
        progress(r + 1, " Group values sent to pager interface");
    }
    endOfList();
    for (int r = 0; r < PagerConfig::GroupRows; ++r) {
        for (int s = 1; s <= 3; ++s) {
            textRecord(trimBlanks(config.GroupPagers[r][s]));
            if (!delay10())
                return false;
        }
        progress(r + 1, " Group pagers sent to pager interface");
    }
    return true;
}

bool DownloadStream::wideAreaBlock(const PagerConfig &config)
{
    mark(ENQ);
    for (int k = 0; k < PagerConfig::DialEntries; ++k) {
        textRecord(trimBlanks(config.WideAreaDial[k]));
        if (!delay10())
            return false;
        progress(k + 1, " Wide Area dial strings sent to pager interface");
    }
    return true;
}

// Each field, record and mark goes out in one write: every write costs the stream the
// time of a system call and of waking the far end before the pause can start.
void DownloadStream::characterField(QStringView text, std::optional<char> then)
{
    const QStringView trimmed = trimBlanks(text);
    const char bytes[] = {trimmed.isEmpty() ? '\0' : SingleByte::toByte(trimmed.front()), then.value_or('\0')};
    m_keep(m_line.PutPacket(m_state.PortId, then ? 2 : 1, bytes));
}

void DownloadStream::textRecord(QStringView text)
{
    const QByteArray bytes = SingleByte::toBytes(text) + CR;
    m_keep(m_line.PutPacket(m_state.PortId, int32_t(bytes.size()), bytes.constData()));
}

void DownloadStream::mark(char first)
{
    const char bytes[] = {first, CR};
    m_keep(m_line.PutPacket(m_state.PortId, 2, bytes));
}

void DownloadStream::endOfList()
{
    mark(m_newEprom ? EOT : Tilde);
}

bool DownloadStream::delay()
{
    m_waits.Delay();
    return !m_waits.aborted();
}

bool DownloadStream::delay10()
{
    m_waits.Delay10();
    return !m_waits.aborted();
}

void DownloadStream::progress(int number, const char *message)
{
    // Shown in the next pause, so that updating the window (and, with accessibility on,
    // telling its clients) does not lengthen the stream.
    m_waits.whilePausing(
        [&view = m_view, text = NumberText::displayForm(number) + QLatin1String(message)] { view.setSendinfo(text); });
}
