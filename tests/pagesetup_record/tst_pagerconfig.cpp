#include "PagerConfig.h"

#include <QtTest>

using Slots = std::array<QString, 3>;
Q_DECLARE_METATYPE(Slots)

class TestPagerConfig : public QObject
{
    Q_OBJECT
private slots:
    void defaultsKeepWhatTheyShould();
    void deriveModeCode_data();
    void deriveModeCode();
    void applyModeCode_data();
    void applyModeCode();
    void unknownCodeSavesAsNearestFlags();
    void compactGroupPagers_data();
    void compactGroupPagers();
    void countGroupPagers();
    void stationPortAndBaud();
    void inputCountN_data();
    void inputCountN();
};

void TestPagerConfig::defaultsKeepWhatTheyShould()
{
    PagerConfig config;
    config.FileVersion = "13";
    config.Reserved2 = 7;
    config.WideAreaDial[3] = "9,123";
    config.InputNormEmer[5] = 0;
    config.InputPagers[2] = "12";
    config.GroupPagers[4][2] = "77";
    config.ModeFlags = {1, 1, 1, 1};
    config.GroupCounts[7] = 3;
    config.SetDefaults();
    QCOMPARE(config.GroupCounts, (std::array<int16_t, PagerConfig::GroupRows>{}));
    QCOMPARE(config.InputNormEmer[1], std::optional<int16_t>(1));
    for (int i = 0; i <= PagerConfig::MaxInputs; ++i) {
        if (i != 1)
            QVERIFY(!config.InputNormEmer[i].has_value());
    }
    QCOMPARE(config.FileVersion, QStringLiteral("13"));
    QCOMPARE(config.Reserved2, int16_t(7));
    QCOMPARE(config.WideAreaDial[3], QStringLiteral("9,123"));
    QVERIFY(config.InputPagers[2].isEmpty());
    QVERIFY(config.GroupPagers[4][2].isEmpty());
    QCOMPARE(config.ModeFlags, (std::array<int16_t, 4>{0, 0, 0, 0}));
    QCOMPARE(config.BaudRate, QStringLiteral("1200"));
    QCOMPARE(config.PortNumber, int16_t(1));
    QCOMPARE(config.Reserved1, int16_t(4));
    QCOMPARE(config.InputCount, QStringLiteral("1"));
    QCOMPARE(config.ModeCode, QStringLiteral("0"));
    QCOMPARE(config.RecallMinutes, QStringLiteral("4"));
    QCOMPARE(config.AlternatePager, QStringLiteral(" "));
    QCOMPARE(config.ManagerPager, QStringLiteral(" "));
    QCOMPARE(config.EpromVersion, int16_t(1));
}

void TestPagerConfig::deriveModeCode_data()
{
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("m");
    QTest::addColumn<QString>("code");
    QTest::newRow("individual") << 1 << 0 << 0 << "0";
    QTest::newRow("individual alternate") << 1 << 1 << 0 << "1";
    QTest::newRow("individual manager") << 1 << 0 << 1 << "2";
    QTest::newRow("all") << 1 << 1 << 1 << "3";
    QTest::newRow("alternate") << 0 << 1 << 0 << "4";
    QTest::newRow("alternate manager") << 0 << 1 << 1 << "5";
    QTest::newRow("manager only keeps previous") << 0 << 0 << 1 << "prev";
    QTest::newRow("none keeps previous") << 0 << 0 << 0 << "prev";
    QTest::newRow("not 0 or 1 keeps previous") << 2 << 0 << 0 << "prev";
}

void TestPagerConfig::deriveModeCode()
{
    QFETCH(int, i);
    QFETCH(int, a);
    QFETCH(int, m);
    QFETCH(QString, code);
    PagerConfig config;
    config.ModeCode = "prev";
    config.ModeFlags = {0, int16_t(i), int16_t(a), int16_t(m)};
    config.DeriveModeCode();
    QCOMPARE(config.ModeCode, code);
}

void TestPagerConfig::applyModeCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("m");
    for (int c = 0; c <= 5; ++c) {
        // The inverse of the derivation table for every code it produces.
        static const int flags[6][3] = {{1, 0, 0}, {1, 1, 0}, {1, 0, 1}, {1, 1, 1}, {0, 1, 0}, {0, 1, 1}};
        QTest::addRow("code %d", c) << QString::number(c) << flags[c][0] << flags[c][1] << flags[c][2];
    }
    QTest::newRow("7") << "7" << 0 << 1 << 1;
    QTest::newRow("-1") << "-1" << 1 << 0 << 0;
    QTest::newRow("empty") << "" << 1 << 0 << 0;
}

void TestPagerConfig::applyModeCode()
{
    QFETCH(QString, code);
    QFETCH(int, i);
    QFETCH(int, a);
    QFETCH(int, m);
    PagerConfig config;
    config.ModeCode = code;
    config.ApplyModeCode();
    QCOMPARE(config.ModeFlags[1], int16_t(i));
    QCOMPARE(config.ModeFlags[2], int16_t(a));
    QCOMPARE(config.ModeFlags[3], int16_t(m));
}

void TestPagerConfig::unknownCodeSavesAsNearestFlags()
{
    PagerConfig config;
    config.ModeCode = "7";
    config.ApplyModeCode();
    config.DeriveModeCode();
    QCOMPARE(config.ModeCode, QStringLiteral("5"));
}

void TestPagerConfig::compactGroupPagers_data()
{
    QTest::addColumn<Slots>("before");
    QTest::addColumn<Slots>("after");
    QTest::newRow("first empty") << Slots{" ", "12", "34"} << Slots{"12", "34", " "};
    QTest::newRow("two empty") << Slots{" ", " ", "34"} << Slots{"34", " ", " "};
    QTest::newRow("middle empty") << Slots{"12", " ", "34"} << Slots{"12", "34", " "};
    QTest::newRow("zero first") << Slots{"0", "12", " "} << Slots{"12", " ", " "};
    QTest::newRow("already compact") << Slots{"12", "34", " "} << Slots{"12", "34", " "};
    QTest::newRow("never set") << Slots{"", "", "56"} << Slots{"56", "", " "};
    QTest::newRow("negative first stays") << Slots{"-3", " ", "34"} << Slots{"-3", "34", " "};
    QTest::newRow("negative second not moved") << Slots{" ", "-3", "34"} << Slots{"34", "-3", " "};
    QTest::newRow("pager 1 moves up") << Slots{" ", "1", "5"} << Slots{"1", "5", " "};
    QTest::newRow("zero last not moved") << Slots{"0", " ", "0"} << Slots{"0", " ", "0"};
}

void TestPagerConfig::compactGroupPagers()
{
    QFETCH(Slots, before);
    QFETCH(Slots, after);
    PagerConfig config;
    for (int s = 0; s < 3; ++s)
        config.GroupPagers[31][s + 1] = before[s];
    config.CompactGroupPagers();
    for (int s = 0; s < 3; ++s)
        QCOMPARE(config.GroupPagers[31][s + 1], after[s]);
}

void TestPagerConfig::countGroupPagers()
{
    PagerConfig config;
    config.GroupPagers[0] = {"", " ", "0", "7"};
    config.GroupPagers[1] = {"", " ", " ", " "};
    config.GroupPagers[31] = {"99", "12", "34", "-5"};
    QCOMPARE(config.CountGroupPagers(), int16_t(3));
    QCOMPARE(config.GroupCounts[0], int16_t(1));
    QCOMPARE(config.GroupCounts[1], int16_t(0));
    QCOMPARE(config.GroupCounts[31], int16_t(2));
}

void TestPagerConfig::stationPortAndBaud()
{
    PagerConfig config;
    SetupState state;
    SetPortNumber(config, state, 3);
    QCOMPARE(config.PortNumber, int16_t(3));
    QCOMPARE(state.PortIndex, 2);
    SetBaudRate(config, state, 2);
    QCOMPARE(config.BaudRate, QStringLiteral("9600"));
    QCOMPARE(state.BaudCode, int16_t(7));
    SetBaudRate(config, state, 1);
    QCOMPARE(config.BaudRate, QStringLiteral("2400"));
    QCOMPARE(state.BaudCode, int16_t(5));
    // No fourth speed: an option past the table leaves the speed as it was.
    SetBaudRate(config, state, 3);
    SetBaudRate(config, state, -1);
    QCOMPARE(config.BaudRate, QStringLiteral("2400"));
    QCOMPARE(state.BaudCode, int16_t(5));
    state.SetStation(7);
    QCOMPARE(state.ConfigFileName, QStringLiteral("pagcfg07.dat"));
    QCOMPARE(configFileName(10), QStringLiteral("pagcfg10.dat"));
    QCOMPARE(configFileName(1), QStringLiteral("pagcfg01.dat"));
}

void TestPagerConfig::inputCountN_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("n");
    QTest::newRow("12") << "12" << 12;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("blank") << " " << 0;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("512") << "512" << 512;
    QTest::newRow("513 capped") << "513" << 512;
    QTest::newRow("huge capped") << "1e9" << 512;
    QTest::newRow("very negative") << "-1e9" << -32768;
    QTest::newRow("half to even") << "2.5" << 2;
}

void TestPagerConfig::inputCountN()
{
    QFETCH(QString, count);
    QFETCH(int, n);
    PagerConfig config;
    config.InputCount = count;
    QCOMPARE(config.inputCountN(), n);
}

QTEST_APPLESS_MAIN(TestPagerConfig)
#include "tst_pagerconfig.moc"
