#include "ItemReader.h"

#include "SingleByte.h"

namespace {
constexpr qint64 ChunkSize = 64 * 1024;

ItemReader::StopSet stopSet(const char *bytes)
{
    ItemReader::StopSet set{};
    for (; *bytes; ++bytes)
        set[static_cast<unsigned char>(*bytes)] = true;
    return set;
}
} // namespace

ItemReader::ItemReader(QIODevice &source)
    : m_source(source)
{
}

int ItemReader::peek()
{
    if (m_pos < m_buffer.size())
        return static_cast<unsigned char>(m_buffer[m_pos]);
    if (m_sourceDone)
        return EndOfInput;
    m_buffer = m_source.read(ChunkSize);
    m_pos = 0;
    if (m_buffer.isEmpty()) {
        m_sourceDone = true;
        if (m_source.bytesAvailable() <= 0 && !m_source.atEnd())
            fail(QStringLiteral("cannot be read: %1").arg(m_source.errorString()));
        return EndOfInput;
    }
    return static_cast<unsigned char>(m_buffer[0]);
}

bool ItemReader::fail(const QString &why)
{
    if (m_problem.isEmpty())
        m_problem = why;
    m_sourceDone = true;
    m_buffer.clear();
    m_pos = 0;
    return false;
}

void ItemReader::skipBlanks()
{
    while (peek() == ' ')
        advance();
}

bool ItemReader::atSeparator()
{
    const int c = peek();
    return c == ',' || c == '\r' || c == '\n' || c == EndOfInput;
}

void ItemReader::skipSeparator()
{
    const int c = peek();
    if (c == ',' || c == '\n') {
        advance();
    } else if (c == '\r') {
        advance();
        if (peek() == '\n')
            advance();
    }
}

std::optional<QString> ItemReader::readText()
{
    return readItem(false);
}

std::optional<QString> ItemReader::readNumber()
{
    return readItem(true);
}

std::optional<QString> ItemReader::readItem(bool blankEnds)
{
    if (failed())
        return std::nullopt;
    skipBlanks();
    if (peek() == EndOfInput) {
        fail(QStringLiteral("ends early"));
        return std::nullopt;
    }
    return peek() == '"' ? readQuoted() : readBare(blankEnds);
}

std::nullopt_t ItemReader::tooLong()
{
    fail(QStringLiteral("holds an item longer than %1 characters").arg(MaxItemLength));
    return std::nullopt;
}

bool ItemReader::takeUntil(const StopSet &stops, QByteArray *item)
{
    qsizetype taken = 0;
    while (peek() != EndOfInput) {
        const char *data = m_buffer.constData();
        qsizetype end = m_pos;
        while (end < m_buffer.size() && !stops[static_cast<unsigned char>(data[end])])
            ++end;
        const qsizetype run = end - m_pos;
        if (taken + run > MaxItemLength)
            return false;
        if (item)
            item->append(data + m_pos, run);
        taken += run;
        m_pos = end;
        if (end < m_buffer.size())
            return true;
    }
    return true;
}

std::optional<QString> ItemReader::readQuoted()
{
    static const StopSet quote = stopSet("\"");
    static const StopSet lineOrComma = stopSet(",\r\n");
    advance();
    QByteArray item;
    if (!takeUntil(quote, &item))
        return tooLong();
    if (peek() == '"')
        advance();
    if (!takeUntil(lineOrComma, nullptr))
        return tooLong();
    skipSeparator();
    return SingleByte::toText(item);
}

std::optional<QString> ItemReader::readBare(bool blankEnds)
{
    static const StopSet text = stopSet(",\r\n");
    static const StopSet number = stopSet(",\r\n ");
    QByteArray item;
    if (!takeUntil(blankEnds ? number : text, &item))
        return tooLong();
    if (blankEnds)
        skipBlanks();
    if (atSeparator())
        skipSeparator();
    return SingleByte::toText(item);
}
