#include "ItemReader.h"

#include <QBuffer>
#include <QtTest>

class TestItemReader : public QObject
{
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
    void numbers();
    void endsEarly();
    void overlongItemStops();
    void itemsAcrossChunks();
};

void TestItemReader::texts_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("crlf lines") << QByteArray("13\r\n1200\r\n 1 \r\n") << QStringList{"13", "1200", "1 "};
    QTest::newRow("empty line") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"};
    QTest::newRow("leading blanks dropped") << QByteArray("    FIRE\r\n") << QStringList{"FIRE"};
    QTest::newRow("commas split") << QByteArray("a,b,\r\n") << QStringList{"a", "b", ""};
    QTest::newRow("cr and lf alone") << QByteArray("a\rb\nc") << QStringList{"a", "b", "c"};
    QTest::newRow("quoted keeps blanks and commas")
        << QByteArray("\"                    9,123\"\r\nx\r\n")
        << QStringList{"                    9,123", "x"};
    QTest::newRow("rest of quoted line skipped") << QByteArray("\"ab\"junk,cd\r\n") << QStringList{"ab", "cd"};
    QTest::newRow("unclosed quote") << QByteArray("\"ab") << QStringList{"ab"};
    QTest::newRow("high bytes kept") << QByteArray("\xe9\xff\x01\r\n") << QStringList{QString::fromLatin1("\xe9\xff\x01")};
}

void TestItemReader::texts()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, items);
    QBuffer buffer(&input);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    ItemReader reader(buffer);
    for (const QString &expected : items)
        QCOMPARE(reader.readText(), std::optional<QString>(expected));
    QVERIFY(!reader.failed());
}

void TestItemReader::numbers()
{
    QByteArray input("19 2,3\n  7 ,\"x, y\"\r\n-4\r\n");
    QBuffer buffer(&input);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    ItemReader reader(buffer);
    QCOMPARE(reader.readNumber(), std::optional<QString>("19"));
    QCOMPARE(reader.readNumber(), std::optional<QString>("2"));
    QCOMPARE(reader.readNumber(), std::optional<QString>("3"));
    QCOMPARE(reader.readNumber(), std::optional<QString>("7"));
    QCOMPARE(reader.readText(), std::optional<QString>("x, y"));
    QCOMPARE(reader.readNumber(), std::optional<QString>("-4"));
}

void TestItemReader::endsEarly()
{
    QByteArray input("only\r\n");
    QBuffer buffer(&input);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    ItemReader reader(buffer);
    QCOMPARE(reader.readText(), std::optional<QString>("only"));
    QVERIFY(!reader.failed());
    QCOMPARE(reader.readText(), std::nullopt);
    QVERIFY(reader.failed());
    QCOMPARE(reader.problem(), QStringLiteral("ends early"));
    QCOMPARE(reader.readNumber(), std::nullopt);
}

void TestItemReader::overlongItemStops()
{
    const QByteArray longest(ItemReader::MaxItemLength, 'y');
    for (QByteArray input : {longest, "\"" + longest + "\""}) {
        input.append("\r\nnext\r\n");
        QBuffer buffer(&input);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        ItemReader reader(buffer);
        QCOMPARE(reader.readText(), std::optional<QString>(QString::fromLatin1(longest)));
        QCOMPARE(reader.readText(), std::optional<QString>("next"));
    }
    for (QByteArray input : {QByteArray(ItemReader::MaxItemLength + 10, 'x'),
                             "\"" + QByteArray(ItemReader::MaxItemLength + 10, 'x'),
                             "\"a\"" + QByteArray(ItemReader::MaxItemLength + 10, 'x')}) {
        input.append("\r\nnext\r\n");
        QBuffer buffer(&input);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        ItemReader reader(buffer);
        QCOMPARE(reader.readText(), std::nullopt);
        QVERIFY(reader.failed());
        QVERIFY(reader.problem().contains(QString::number(ItemReader::MaxItemLength)));
        QCOMPARE(reader.readText(), std::nullopt);
    }
}

void TestItemReader::itemsAcrossChunks()
{
    QByteArray input;
    for (int i = 0; i < 30000; ++i)
        input.append(QByteArray::number(i) + (i % 2 ? ",\r\n" : "\r\n"));
    QBuffer buffer(&input);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    ItemReader reader(buffer);
    for (int i = 0; i < 30000; ++i) {
        QCOMPARE(reader.readText(), std::optional<QString>(QString::number(i)));
        if (i % 2)
            QCOMPARE(reader.readText(), std::optional<QString>(QString()));
    }
    QCOMPARE(reader.readText(), std::nullopt);
}

QTEST_APPLESS_MAIN(TestItemReader)
#include "tst_itemreader.moc"
