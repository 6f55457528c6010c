#include "ConfigFile.h"
#include "Version.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray lines(const QList<QByteArray> &list)
{
    QByteArray out;
    for (const QByteArray &line : list)
        out += line + "\r\n";
    return out;
}

// A station file starts with the program's major and minor version, 1.3 writing "13".
QByteArray versionTag()
{
    return QByteArray::number(Version::Major) + QByteArray::number(Version::Minor);
}

QByteArray defaultFile()
{
    QList<QByteArray> l{versionTag(), "1200", " 1 ", " 4 ", " 0 ", "1", "0", "4", " ", " ", "", "        ", " 1 ", " 1 "};
    for (int i = 0; i < 96; ++i)
        l << "    ";
    for (int i = 0; i < 16; ++i)
        l << "\"" + QByteArray(25, ' ') + "\"";
    return lines(l);
}

QString randomText(QRandomGenerator &rng, int maxLength, bool commas)
{
    static const QString plain = QStringLiteral("0123456789 ABCXYZabcxyz-+.#*\u00e9\u00ff\"");
    QString text;
    const int length = rng.bounded(maxLength + 1);
    for (int i = 0; i < length; ++i) {
        QChar c = plain[rng.bounded(plain.size())];
        if (commas && rng.bounded(5) == 0)
            c = QLatin1Char(',');
        if (c == QLatin1Char('"') && (commas || text.trimmed().isEmpty()))
            c = QLatin1Char('x');
        text += c;
    }
    return text;
}

PagerConfig randomConfig(QRandomGenerator &rng, int round)
{
    PagerConfig config;
    config.SetDefaults();
    config.BaudRate = QStringList{"1200", "2400", "9600"}[rng.bounded(3)];
    config.PortNumber = int16_t(rng.bounded(1, 5));
    config.Reserved2 = int16_t(rng.bounded(-5, 5));
    const int n = rng.bounded(0, 40);
    config.InputCount = QString::number(n);
    config.ModeFlags = {0, int16_t(rng.bounded(2)), int16_t(rng.bounded(2)), int16_t(rng.bounded(2))};
    config.RecallMinutes = QString::number(rng.bounded(10));
    config.AlternatePager = randomText(rng, 4, false).trimmed();
    config.ManagerPager = randomText(rng, 4, false).trimmed();
    for (int i = 1; i <= n; ++i) {
        config.InputPagers[i] = randomText(rng, 4, false);
        if (round % 2)
            config.InputPagers[i] = config.InputPagers[i].trimmed();
        config.InputTexts[i] = randomText(rng, 8, false);
        const int kind = rng.bounded(3);
        config.InputNormEmer[i] = kind == 2 ? std::nullopt : std::optional<int16_t>(int16_t(kind));
    }
    config.EpromVersion = int16_t(rng.bounded(2));
    for (auto &row : config.GroupPagers) {
        for (int s = 1; s <= 3; ++s)
            row[s] = rng.bounded(3) ? QString::number(rng.bounded(1, 999)) : QStringLiteral(" ");
    }
    for (auto &dial : config.WideAreaDial)
        dial = randomText(rng, 25, true);
    return config;
}

} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaultRecordBytes();
    void missingFileGivesDefaultsAndNoFile();
    void saveLoadSaveIsStable();
    void layoutDetails();
    void noInputs();
    void oldLayout_data();
    void oldLayout();
    void emptyNormEmerStaysUnset();
    void everyTruncationLoads();
    void garbageLoads();
    void inputsAbove512StayAligned();
    void outOfRangeNumbers();
    void saveFailureKeepsPreviousFile();
    void unstorableTextIsRefused_data();
    void unstorableTextIsRefused();

private:
    QTemporaryDir *m_dir = nullptr;
    QString m_previous;
};

void TestConfigFile::init()
{
    m_previous = QDir::currentPath();
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QDir::setCurrent(m_dir->path());
}

void TestConfigFile::cleanup()
{
    QDir::setCurrent(m_previous);
    delete m_dir;
    m_dir = nullptr;
}

void TestConfigFile::defaultRecordBytes()
{
    PagerConfig config;
    QVERIFY(!ConfigFile::load(config, "pagcfg01.dat").found);
    const auto saved = ConfigFile::save(config, "pagcfg01.dat");
    QVERIFY2(saved.ok, qPrintable(saved.error));
    const QByteArray bytes = readAll("pagcfg01.dat");
    QCOMPARE(bytes.count("\r\n"), 126);
    QCOMPARE(bytes, defaultFile());
    QCOMPARE(config.FileVersion, QString::fromLatin1(versionTag()));
}

void TestConfigFile::missingFileGivesDefaultsAndNoFile()
{
    PagerConfig config;
    config.Reserved2 = 9;
    config.WideAreaDial[0] = "kept";
    const auto result = ConfigFile::load(config, "pagcfg07.dat");
    QVERIFY(!result.found);
    QVERIFY(result.problems.isEmpty());
    QVERIFY(!QFile::exists("pagcfg07.dat"));
    QCOMPARE(config.Reserved2, int16_t(9));
    QCOMPARE(config.WideAreaDial[0], QStringLiteral("kept"));
    QCOMPARE(config.EpromVersion, int16_t(1));
}

bool hasLeadingBlanks(const PagerConfig &config)
{
    const auto leading = [](const QString &text) { return text.startsWith(QLatin1Char(' ')); };
    bool any = leading(config.AlternatePager) || leading(config.ManagerPager);
    for (int i = 1; i <= config.inputCountN(); ++i)
        any = any || leading(config.InputPagers[i]);
    return any;
}

void TestConfigFile::saveLoadSaveIsStable()
{
    QRandomGenerator rng(20261207);
    int exact = 0;
    for (int round = 0; round < 200; ++round) {
        PagerConfig config = randomConfig(rng, round);
        const auto first = ConfigFile::save(config, "pagcfg05.dat");
        QVERIFY2(first.ok, qPrintable(first.error));
        const QByteArray written = readAll("pagcfg05.dat");

        PagerConfig loaded;
        const auto result = ConfigFile::load(loaded, "pagcfg05.dat");
        QVERIFY(result.found);
        QVERIFY2(result.problems.isEmpty(), qPrintable(result.problems.join('\n')));
        for (int i = 1; i <= config.inputCountN(); ++i) {
            QCOMPARE(loaded.InputTexts[i], config.InputTexts[i]);
            QCOMPARE(loaded.InputNormEmer[i], config.InputNormEmer[i]);
        }
        for (int k = 0; k < 16; ++k)
            QCOMPARE(loaded.WideAreaDial[k].trimmed(), config.WideAreaDial[k].trimmed());
        QCOMPARE(loaded.EpromVersion, config.EpromVersion);
        QCOMPARE(loaded.ModeCode, config.ModeCode);

        // Text-form items lose leading blanks when read, so only records without them
        // come back byte for byte at once; every record is stable from the second save on.
        loaded.ApplyModeCode();
        QVERIFY(ConfigFile::save(loaded, "pagcfg05.dat").ok);
        const QByteArray second = readAll("pagcfg05.dat");
        if (!hasLeadingBlanks(config)) {
            QCOMPARE(second, written);
            ++exact;
        }
        PagerConfig again;
        ConfigFile::load(again, "pagcfg05.dat");
        again.ApplyModeCode();
        QVERIFY(ConfigFile::save(again, "pagcfg05.dat").ok);
        QCOMPARE(readAll("pagcfg05.dat"), second);
    }
    QVERIFY(exact > 20);
}

void TestConfigFile::layoutDetails()
{
    PagerConfig config;
    config.SetDefaults();
    config.InputCount = "2";
    config.InputPagers[1] = " 123 ";
    config.InputTexts[1] = "FIRE";
    config.InputNormEmer[2] = 0;
    config.GroupPagers[0] = {"", " ", "12", ""};
    config.WideAreaDial[0] = "9,123";
    config.ModeFlags = {0, 1, 0, 1};
    QVERIFY(ConfigFile::save(config, "pagcfg12.dat").ok);
    const QList<QByteArray> l = readAll("pagcfg12.dat").split('\n');
    QCOMPARE(l.size() - 1, 129);
    QCOMPARE(l[6], QByteArray("2\r"));
    QCOMPARE(l[10], QByteArray(" 123 \r"));
    QCOMPARE(l[12], QByteArray("    FIRE\r"));
    QCOMPARE(l[13], QByteArray("        \r"));
    QCOMPARE(l[14], QByteArray(" 1 \r"));
    QCOMPARE(l[15], QByteArray(" 0 \r"));
    QCOMPARE(l[17], QByteArray("  12\r"));
    QCOMPARE(l[113], QByteArray("\"" + QByteArray(20, ' ') + "9,123\"\r"));
    QCOMPARE(config.InputTexts[1], QStringLiteral("    FIRE"));
    QCOMPARE(config.GroupPagers[0][1], QStringLiteral("12"));

    PagerConfig loaded;
    QVERIFY(ConfigFile::load(loaded, "pagcfg12.dat").found);
    QCOMPARE(loaded.ModeCode, QStringLiteral("2"));
    QCOMPARE(loaded.InputPagers[1], QStringLiteral("123 "));
    QCOMPARE(loaded.InputTexts[1], QStringLiteral("    FIRE"));
    QCOMPARE(loaded.GroupPagers[0][1], QStringLiteral("12"));
    QCOMPARE(loaded.WideAreaDial[0], QString(20, ' ') + "9,123");
    QCOMPARE(loaded.WideAreaDial[1], QString(25, ' '));
    QCOMPARE(loaded.InputNormEmer[2], std::optional<int16_t>(0));
}

void TestConfigFile::noInputs()
{
    PagerConfig config;
    config.SetDefaults();
    config.InputCount = "0";
    QVERIFY(ConfigFile::save(config, "pagcfg01.dat").ok);
    QCOMPARE(readAll("pagcfg01.dat").count("\r\n"), 123);

    PagerConfig loaded;
    loaded.InputPagers[1] = "kept";
    loaded.InputNormEmer[1] = 0;
    QVERIFY(ConfigFile::load(loaded, "pagcfg01.dat").problems.isEmpty());
    QCOMPARE(loaded.InputPagers[1], QStringLiteral("kept"));
    QCOMPARE(loaded.InputNormEmer[1], std::optional<int16_t>(0));
    QCOMPARE(loaded.EpromVersion, int16_t(1));
}

void TestConfigFile::oldLayout_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::newRow("1200") << QByteArray("1200");
    QTest::newRow("120 is a rate, not a tag") << QByteArray("120");
    QTest::newRow("100 is the first rate") << QByteArray("100");
}

void TestConfigFile::oldLayout()
{
    QFETCH(QByteArray, first);
    writeAll("pagcfg03.dat", lines({first, " 2 ", " 4 ", " 0 ", "1", "1", "6", "55", "66", "77", "   AB", " 0 "}));
    PagerConfig config;
    config.SetDefaults();
    config.WideAreaDial[4] = "previous station";
    config.GroupPagers[2][1] = "12";
    config.GroupCounts[2] = 1;
    config.EpromVersion = 0;
    const auto result = ConfigFile::load(config, "pagcfg03.dat");
    QVERIFY(result.found);
    QVERIFY2(result.problems.isEmpty(), qPrintable(result.problems.join('\n')));
    QCOMPARE(config.FileVersion, QStringLiteral("10"));
    QCOMPARE(config.BaudRate, QString::fromLatin1(first));
    QCOMPARE(config.PortNumber, int16_t(2));
    QCOMPARE(config.ModeCode, QStringLiteral("1"));
    QCOMPARE(config.RecallMinutes, QStringLiteral("6"));
    QCOMPARE(config.InputPagers[1], QStringLiteral("77"));
    QCOMPARE(config.InputTexts[1], QStringLiteral("      AB"));
    QCOMPARE(config.InputNormEmer[1], std::optional<int16_t>(0));
    QCOMPARE(config.EpromVersion, int16_t(1));
    QVERIFY(config.GroupPagers[2][1].isEmpty());
    QVERIFY(std::ranges::all_of(config.GroupCounts, [](auto count) { return count == 0; }));
    QCOMPARE(config.WideAreaDial[4], QStringLiteral("previous station"));
}

void TestConfigFile::emptyNormEmerStaysUnset()
{
    PagerConfig config;
    config.SetDefaults();
    config.InputCount = "3";
    config.InputNormEmer[2] = std::nullopt;
    config.InputNormEmer[3] = 1;
    QVERIFY(ConfigFile::save(config, "pagcfg02.dat").ok);
    PagerConfig loaded;
    loaded.InputNormEmer[2] = 1;
    ConfigFile::load(loaded, "pagcfg02.dat");
    QCOMPARE(loaded.InputNormEmer[1], std::optional<int16_t>(1));
    QVERIFY(!loaded.InputNormEmer[2].has_value());
    QCOMPARE(loaded.InputNormEmer[3], std::optional<int16_t>(1));
}

void TestConfigFile::everyTruncationLoads()
{
    PagerConfig config;
    config.SetDefaults();
    config.InputCount = "3";
    QVERIFY(ConfigFile::save(config, "pagcfg01.dat").ok);
    const QByteArray whole = readAll("pagcfg01.dat");
    // Cut anywhere before the last item begins, at least one item is missing.
    const qsizetype lastItem = whole.lastIndexOf("\r\n", whole.size() - 3) + 2;
    for (qsizetype length = 0; length < whole.size(); ++length) {
        writeAll("pagcfg01.dat", whole.left(length));
        PagerConfig loaded;
        const auto result = ConfigFile::load(loaded, "pagcfg01.dat");
        QVERIFY(result.found);
        if (length < lastItem) {
            QVERIFY2(!result.problems.isEmpty(), qPrintable(QString::number(length)));
            QVERIFY(result.problems.first().contains("ends early"));
        }
    }
}

void TestConfigFile::garbageLoads()
{
    QRandomGenerator rng(7);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes(rng.bounded(4000), Qt::Uninitialized);
        for (char &b : bytes)
            b = char(rng.bounded(256));
        if (round % 3 == 0)
            bytes.prepend("13\r\n1200\r\n 1 \r\n 4 \r\n 0 \r\n30000\r\n");
        writeAll("pagcfg01.dat", bytes);
        PagerConfig loaded;
        ConfigFile::load(loaded, "pagcfg01.dat");
        QVERIFY(loaded.inputCountN() <= PagerConfig::MaxInputs);
    }
}

void TestConfigFile::inputsAbove512StayAligned()
{
    QList<QByteArray> l{"13", "9600", " 2 ", " 4 ", " 0 ", "600", "3", "5", "1", "2"};
    for (int block = 0; block < 3; ++block) {
        for (int i = 1; i <= 600; ++i)
            l << (block == 2 ? QByteArray(" 0 ") : QByteArray::number(block * 1000 + i));
    }
    l << " 0 ";
    for (int i = 0; i < 96; ++i)
        l << (i == 95 ? "  42" : "    ");
    for (int i = 0; i < 16; ++i)
        l << (i == 15 ? "\"last\"" : "\"\"");
    writeAll("pagcfg09.dat", lines(l));
    PagerConfig config;
    const auto result = ConfigFile::load(config, "pagcfg09.dat");
    QCOMPARE(result.problems.size(), 1);
    QVERIFY(result.problems.first().contains("512"));
    QCOMPARE(config.InputCount, QStringLiteral("512"));
    QCOMPARE(config.InputPagers[512], QStringLiteral("512"));
    QCOMPARE(config.InputTexts[512], QStringLiteral("    1512"));
    QCOMPARE(config.EpromVersion, int16_t(0));
    QCOMPARE(config.GroupPagers[31][3], QStringLiteral("42"));
    QCOMPARE(config.WideAreaDial[15], QStringLiteral("last"));
    QVERIFY(ConfigFile::save(config, "pagcfg09.dat").ok);
    QCOMPARE(readAll("pagcfg09.dat").count("\r\n"), 123 + 3 * 512);
    // The record takes any count; the save still writes no more than 512 inputs.
    config.InputCount = QStringLiteral("600");
    QVERIFY(ConfigFile::save(config, "pagcfg09.dat").ok);
    QCOMPARE(config.InputCount, QStringLiteral("512"));
    QCOMPARE(readAll("pagcfg09.dat").count("\r\n"), 123 + 3 * 512);
    // The bytes of a save without the file, as the fuzz target reads them back.
    config.InputCount = QStringLiteral("600");
    QCOMPARE(ConfigFile::serialize(config), readAll("pagcfg09.dat"));
}

void TestConfigFile::outOfRangeNumbers()
{
    writeAll("pagcfg01.dat", lines({"13", "1200", " 99999 ", " 4 ", " 0 ", "1e9", "0", "4", "", ""}));
    PagerConfig config;
    QElapsedTimer clock;
    clock.start();
    const auto result = ConfigFile::load(config, "pagcfg01.dat");
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(config.PortNumber, int16_t(0));
    QVERIFY(result.problems.join('\n').contains("-32768..32767"));
    QVERIFY(result.problems.join('\n').contains("ends early"));
    QCOMPARE(config.inputCountN(), 512);

    writeAll("pagcfg01.dat", lines({"13", "1200", " 1 ", " 4 ", " 0 ", "0", "0", "4", "", "", " 5 "}));
    QVERIFY(ConfigFile::load(config, "pagcfg01.dat").problems.join('\n').contains("EPROM"));
    QCOMPARE(config.EpromVersion, int16_t(1));
}

void TestConfigFile::saveFailureKeepsPreviousFile()
{
    PagerConfig config;
    config.SetDefaults();
    QVERIFY(ConfigFile::save(config, "pagcfg01.dat").ok);
    const QByteArray before = readAll("pagcfg01.dat");

    // A file size limit stands in for a full disk; root ignores permissions, not this.
    config.InputCount = "400";
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 2000;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto result = ConfigFile::save(config, "pagcfg01.dat");
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!result.ok);
    QVERIFY(result.error.contains("pagcfg01.dat"));
    QCOMPARE(readAll("pagcfg01.dat"), before);
    QCOMPARE(QDir().entryList(QDir::Files), QStringList{"pagcfg01.dat"});

    QVERIFY(QDir().mkdir("pagcfg02.dat"));
    const auto onDirectory = ConfigFile::save(config, "pagcfg02.dat");
    QVERIFY(!onDirectory.ok);
    QVERIFY(onDirectory.error.contains("pagcfg02.dat"));
    PagerConfig loaded;
    const auto load = ConfigFile::load(loaded, "pagcfg02.dat");
    QVERIFY(!load.found);
    QVERIFY(load.problems.isEmpty());
}

void TestConfigFile::unstorableTextIsRefused_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("named");
    QTest::newRow("comma in pager number") << 0 << "The pager number of input 1";
    QTest::newRow("quote starting pager text") << 1 << "The pager text of input 1";
    QTest::newRow("comma in group pager") << 2 << "of group 903";
    QTest::newRow("quote in dial string") << 3 << "The dial string of wide area pager 802";
    QTest::newRow("character without a byte") << 4 << "The manager pager number";
}

void TestConfigFile::unstorableTextIsRefused()
{
    QFETCH(int, field);
    QFETCH(QString, named);
    PagerConfig config;
    config.SetDefaults();
    QVERIFY(ConfigFile::save(config, "pagcfg04.dat").ok);
    const QByteArray before = readAll("pagcfg04.dat");
    switch (field) {
    case 0: config.InputPagers[1] = "1,2"; break;
    case 1: config.InputTexts[1] = "\"AB"; break;
    case 2: config.GroupPagers[3][2] = "7,"; break;
    case 3: config.WideAreaDial[2] = "9\"1"; break;
    default: config.ManagerPager = QStringLiteral("\u20ac"); break;
    }
    const auto result = ConfigFile::save(config, "pagcfg04.dat");
    QVERIFY(!result.ok);
    QVERIFY(result.error.startsWith("pagcfg04.dat"));
    QVERIFY2(result.error.contains(named), qPrintable(result.error));
    QCOMPARE(readAll("pagcfg04.dat"), before);
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
