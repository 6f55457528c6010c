#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <array>
#include <optional>

// Reads comma- and line-separated items from a text file, the way the station files and
// the site file are read. The source is read in chunks, so an enormous file is never held
// in memory whole; an item longer than MaxItemLength marks the file unreadable.
class ItemReader
{
public:
    static constexpr qsizetype MaxItemLength = 65536;

    explicit ItemReader(QIODevice &source);

    // Blanks before the item are skipped. A quoted item runs to the closing quote and keeps
    // everything between, commas included; the rest of its line up to a comma or line end is
    // skipped. Any other item runs to the next comma or line end and keeps its trailing blanks.
    // Nothing once the input has ended or could not be read.
    std::optional<QString> readText();

    // A number field of the site file: like readText, but it also ends at a blank.
    std::optional<QString> readNumber();

    // True once a read found no item (the file ended early) or the file could not be read.
    bool failed() const { return !m_problem.isEmpty(); }
    QString problem() const { return m_problem; }

    using StopSet = std::array<bool, 256>;

private:
    enum : int { EndOfInput = -1 };

    int peek();
    void advance() { ++m_pos; }
    bool fail(const QString &why);
    std::nullopt_t tooLong();
    std::optional<QString> readItem(bool blankEnds);
    void skipBlanks();
    bool atSeparator();
    void skipSeparator();
    // Takes bytes up to the first one in stops, a chunk at a time; false past MaxItemLength.
    bool takeUntil(const StopSet &stops, QByteArray *item);
    std::optional<QString> readQuoted();
    std::optional<QString> readBare(bool blankEnds);

    QIODevice &m_source;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_sourceDone = false;
    QString m_problem;
};
