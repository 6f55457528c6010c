#include "ItemReader.h"

#include "SingleByte.h"

namespace {
constexpr qint64 ChunkSize = 64 * 1024;
}

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

std::optional<QString> ItemReader::readQuoted()
{
    advance();
    QByteArray item;
    for (int c = peek(); c != '"'; c = peek()) {
        if (c == EndOfInput)
            break;
        if (item.size() >= MaxItemLength)
            return tooLong();
        item.append(char(c));
        advance();
    }
    if (peek() == '"')
        advance();
    qsizetype skipped = 0;
    while (!atSeparator()) {
        if (++skipped > MaxItemLength)
            return tooLong();
        advance();
    }
    skipSeparator();
    return SingleByte::toText(item);
}

std::optional<QString> ItemReader::readBare(bool blankEnds)
{
    QByteArray item;
    while (!atSeparator() && !(blankEnds && peek() == ' ')) {
        if (item.size() >= MaxItemLength)
            return tooLong();
        item.append(char(peek()));
        advance();
    }
    if (blankEnds)
        skipBlanks();
    if (atSeparator())
        skipSeparator();
    return SingleByte::toText(item);
}
