#include "AddressCode.h"
#include "NumberText.h"
#include "SingleByte.h"

#include <QtTest>
#include <cmath>

class TestNumberText : public QObject
{
    Q_OBJECT
private slots:
    void numericValue_data();
    void numericValue();
    void integerValue_data();
    void integerValue();
    void forms();
    void addressCodes_data();
    void addressCodes();
    void singleByteRoundTrip();
};

void TestNumberText::numericValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blank") << " " << 0.0;
    QTest::newRow("letter first") << "A12" << 0.0;
    QTest::newRow("trailing letter") << "12A" << 12.0;
    QTest::newRow("blank inside") << "1 2" << 12.0;
    QTest::newRow("tab and line feed") << "\t1\n2" << 12.0;
    QTest::newRow("carriage return stops") << "1\r2" << 1.0;
    QTest::newRow("negative") << " -5" << -5.0;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("fraction") << "2.75x" << 2.75;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent with sign") << "15E-1" << 1.5;
    QTest::newRow("dangling exponent") << "4e" << 4.0;
    QTest::newRow("dangling exponent sign") << "4e+" << 4.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("two signs") << "--3" << 0.0;
    QTest::newRow("huge") << "1e999" << qInf();
    QTest::newRow("pair 05") << "05" << 5.0;
    QTest::newRow("pair blank 5") << " 5" << 5.0;
    QTest::newRow("pair 5x") << "5x" << 5.0;
}

void TestNumberText::numericValue()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(NumberText::numericValue(text), value);
}

void TestNumberText::integerValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("inRange");
    QTest::addColumn<int>("value");
    QTest::newRow("half to even down") << "2.5" << true << 2;
    QTest::newRow("half to even up") << "3.5" << true << 4;
    QTest::newRow("point 5") << ".5" << true << 0;
    QTest::newRow("point 9") << ".9" << true << 1;
    QTest::newRow("negative half") << "-2.5" << true << -2;
    QTest::newRow("top") << "32767" << true << 32767;
    QTest::newRow("bottom") << "-32768" << true << -32768;
    QTest::newRow("rounds into range") << "-32768.5" << true << -32768;
    QTest::newRow("rounds out of range") << "32767.5" << false << 0;
    QTest::newRow("above") << "40000" << false << 0;
    QTest::newRow("below") << "-32769" << false << 0;
    QTest::newRow("infinite") << "1e400" << false << 0;
    QTest::newRow("not a number") << "x" << true << 0;
}

void TestNumberText::integerValue()
{
    QFETCH(QString, text);
    QFETCH(bool, inRange);
    QFETCH(int, value);
    const auto result = NumberText::integerValue(text);
    QCOMPARE(result.has_value(), inRange);
    if (inRange)
        QCOMPARE(int(*result), value);
    else
        QCOMPARE(NumberText::integerValueOr(text, -1), int16_t(-1));
}

void TestNumberText::forms()
{
    QCOMPARE(NumberText::displayForm(5), QStringLiteral(" 5"));
    QCOMPARE(NumberText::displayForm(0), QStringLiteral(" 0"));
    QCOMPARE(NumberText::displayForm(-12), QStringLiteral("-12"));
    QCOMPARE(NumberText::plainForm(5), QStringLiteral("5"));
    QCOMPARE(NumberText::plainForm(-12), QStringLiteral("-12"));
}

void TestNumberText::addressCodes_data()
{
    QTest::addColumn<int>("station");
    QTest::addColumn<int>("code");
    QTest::newRow("0") << 0 << 122;
    QTest::newRow("1") << 1 << 123;
    QTest::newRow("4") << 4 << 126;
    QTest::newRow("5") << 5 << 91;
    QTest::newRow("10") << 10 << 96;
    QTest::newRow("32") << 32 << 118;
    QTest::newRow("-9") << -9 << 113;
    QTest::newRow("99") << 99 << 185;
}

void TestNumberText::addressCodes()
{
    QFETCH(int, station);
    QFETCH(int, code);
    QCOMPARE(addressCode(station), code);
}

void TestNumberText::singleByteRoundTrip()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = SingleByte::toText(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(SingleByte::toBytes(text), all);
    QVERIFY(SingleByte::fits(text));
    QVERIFY(!SingleByte::fits(QStringLiteral("\u20ac")));
    QCOMPARE(SingleByte::toByte(QChar(0x20AC)), '?');
    QCOMPARE(SingleByte::toChar(0xE9), QChar(0xE9));
}

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
