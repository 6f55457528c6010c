#include "PagerConfig.h"

#include "BaudTable.h"
#include "NumberText.h"

#include <algorithm>
#include <cmath>

using NumberText::numericValue;

void PagerConfig::SetDefaults()
{
    ModeCode = QStringLiteral("0");
    RecallMinutes = QStringLiteral("4");
    BaudRate = QStringLiteral("1200");
    InputCount = QStringLiteral("1");
    PortNumber = 1;
    Reserved1 = 4;
    AlternatePager = QStringLiteral(" ");
    ManagerPager = QStringLiteral(" ");
    EpromVersion = 1;
    for (auto &row : GroupPagers)
        row.fill(QString());
    GroupCounts.fill(0);
    ModeFlags.fill(0);
    InputNormEmer.fill(std::nullopt);
    InputTexts.fill(QString());
    InputPagers.fill(QString());
    InputNormEmer[1] = 1;
}

void PagerConfig::DeriveModeCode()
{
    const int i = ModeFlags[1];
    const int a = ModeFlags[2];
    const int m = ModeFlags[3];
    const auto is = [](int flag, int want) { return flag == want; };
    const char *code = nullptr;
    if (is(i, 1) && is(a, 0) && is(m, 0))
        code = "0";
    else if (is(i, 1) && is(a, 1) && is(m, 0))
        code = "1";
    else if (is(i, 1) && is(a, 0) && is(m, 1))
        code = "2";
    else if (is(i, 1) && is(a, 1) && is(m, 1))
        code = "3";
    else if (is(i, 0) && is(a, 1) && is(m, 0))
        code = "4";
    else if (is(i, 0) && is(a, 1) && is(m, 1))
        code = "5";
    if (code)
        ModeCode = QString::fromLatin1(code);
}

void PagerConfig::ApplyModeCode()
{
    const double v = numericValue(ModeCode);
    ModeFlags[1] = v < 4 ? 1 : 0;
    ModeFlags[2] = (v == 1 || v > 2) ? 1 : 0;
    ModeFlags[3] = (v <= 1 || v == 4) ? 0 : 1;
}

void PagerConfig::CompactGroupPagers()
{
    const QString blank = QStringLiteral(" ");
    for (auto &row : GroupPagers) {
        const double a = numericValue(row[1]);
        const double b = numericValue(row[2]);
        const double c = numericValue(row[3]);
        if (a == 0) {
            if (b > 0) {
                row[1] = row[2];
                if (c > 0) {
                    row[2] = row[3];
                    row[3] = blank;
                } else {
                    row[2] = blank;
                }
            } else if (c > 0) {
                row[1] = row[3];
                row[3] = blank;
            }
        } else if (b == 0 && c > 0) {
            row[2] = row[3];
            row[3] = blank;
        }
    }
}

int16_t PagerConfig::CountGroupPagers()
{
    int16_t total = 0;
    for (int r = 0; r < GroupRows; ++r) {
        const auto &row = GroupPagers[r];
        GroupCounts[r] = int16_t(std::count_if(row.begin() + 1, row.end(),
                                               [](const QString &slot) { return numericValue(slot) > 0; }));
        total = int16_t(total + GroupCounts[r]);
    }
    return total;
}

int PagerConfig::inputCountN() const
{
    const double n = std::nearbyint(numericValue(InputCount));
    if (n >= MaxInputs)
        return MaxInputs;
    return std::max(int(NumberText::toInteger(n).value_or(-32768)), -32768);
}

void SetupState::SetStation(int16_t n)
{
    StationNumber = n;
    ConfigFileName = configFileName(n);
}

void SetBaudRate(PagerConfig &config, SetupState &state, int index)
{
    if (index < 0 || index >= int(BaudTable::Speeds.size()))
        return;
    config.BaudRate = BaudTable::rateText(index);
    state.BaudCode = BaudTable::Speeds[index].code;
}

void SetPortNumber(PagerConfig &config, SetupState &state, int16_t n)
{
    config.PortNumber = n;
    state.PortIndex = int32_t(n) - 1;
}

QString configFileName(int stationNumber)
{
    return QStringLiteral("pagcfg%1.dat").arg(stationNumber, 2, 10, QLatin1Char('0'));
}
