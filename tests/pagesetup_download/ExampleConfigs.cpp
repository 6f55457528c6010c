#include "ExampleConfigs.h"

namespace ExampleConfigs {

PagerConfig savedDefaults()
{
    PagerConfig config;
    config.SetDefaults();
    config.FileVersion = QStringLiteral("13");
    // The window shows blanks for never-set fields; the save right-aligns the text.
    config.InputPagers[1] = QStringLiteral(" ");
    config.InputTexts[1] = QString(8, u' ');
    for (int s = 1; s <= 3; ++s)
        config.GroupPagers[0][s] = QStringLiteral(" ");
    config.WideAreaDial[0] = QStringLiteral(" ");
    return config;
}

PagerConfig full(int n)
{
    PagerConfig config = savedDefaults();
    config.InputCount = QString::number(n);
    config.ModeCode = QStringLiteral("3");
    config.RecallMinutes = QStringLiteral("9");
    config.AlternatePager = QStringLiteral("7001");
    config.ManagerPager = QStringLiteral("7002");
    for (int i = 1; i <= n; ++i) {
        config.InputPagers[i] = QString::number(1000 + i);
        config.InputTexts[i] = (QStringLiteral("IN") + QString::number(i)).rightJustified(8, u' ');
        config.InputNormEmer[i] = int16_t(i % 2);
    }
    for (int r = 0; r < PagerConfig::GroupRows; ++r) {
        for (int s = 1; s <= 3; ++s)
            config.GroupPagers[r][s] = QString::number(2000 + 10 * r + s);
    }
    for (int k = 0; k < PagerConfig::DialEntries; ++k)
        config.WideAreaDial[k] = QStringLiteral("9,,0155501%1").arg(k, 2, 10, QLatin1Char('0'));
    return config;
}

PagerConfig longest(int n)
{
    PagerConfig config = full(n);
    for (int k = 0; k < PagerConfig::DialEntries; ++k)
        config.WideAreaDial[k] = QStringLiteral("9,,01555%1").arg(k, 17, 10, QLatin1Char('0'));
    return config;
}

} // namespace ExampleConfigs
