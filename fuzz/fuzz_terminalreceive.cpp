// The terminal's receive path on a virtual clock: pieces of bytes, each followed by a quiet
// gap, go through the exchange into the terminal text. A model of the piece rules, written
// apart from the product, says what must have reached the text after every gap; the text,
// its copy, what a screen reader reads and its history bound are checked at the end, and so
// is the layout work the pieces cause, which must stay within a few blocks per piece.

#include "TermText.h"
#include "TerminalExchange.h"
#include "TerminalState.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok, const char *what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_terminalreceive: %s\n", what);
    std::abort();
}

constexpr char Cr = 13;

struct Step
{
    QByteArray bytes;
    int gapMs = 0;
};

// Each step: a header byte (bits 0-5 the piece's length, bit 6: a repeat byte follows, bit 7:
// the gap byte counts tenths of a second, else milliseconds), the gap byte, the repeat byte
// (the piece goes 1 + 16 * r times), then the piece.
std::vector<Step> decode(const uint8_t *data, size_t size)
{
    // Keeps a run within seconds (a piece on a long line costs some milliseconds under the
    // sanitizers), yet lets the lines pass their bound.
    constexpr qsizetype MaxBytes = 24 * 1024;
    constexpr size_t MaxSteps = 400;
    std::vector<Step> steps;
    qsizetype total = 0;
    size_t at = 0;
    const auto next = [&] { return at < size ? data[at++] : uint8_t(0); };
    while (at < size && total < MaxBytes && steps.size() < MaxSteps) {
        const uint8_t header = next();
        const uint8_t gap = next();
        const int repeat = header & 0x40 ? 1 + 16 * next() : 1;
        const size_t length = std::min<size_t>(header & 0x3F, size - at);
        const QByteArray piece(reinterpret_cast<const char *>(data + at), qsizetype(length));
        at += length;
        steps.push_back({piece.repeated(repeat).left(MaxBytes - total), header & 0x80 ? 100 * gap : gap});
        total += steps.back().bytes.size();
    }
    return steps;
}

// What the user must see, from the rules alone: a CR ends a line and shows it at once; the
// rest of a line shows once 100 ms pass without a byte (or once 4096 characters wait, so a
// line that never pauses still shows).
class Model
{
public:
    void arrive(const QByteArray &bytes, qint64 now)
    {
        for (const char byte : bytes) {
            m_pending += byte;
            if (byte == Cr || m_pending.size() >= 4096)
                show();
        }
        if (!bytes.isEmpty())
            m_lastByte = now;
    }

    void quietUntil(qint64 now)
    {
        if (!m_pending.isEmpty() && now - m_lastByte >= 100)
            show();
    }

    const QByteArray &shown() const { return m_shown; }
    // The characters handed to the text so far: a CR goes as CR LF.
    qsizetype handedOn() const { return m_shown.size() + m_shown.count(Cr); }

    static QString handed(const QByteArray &bytes)
    {
        return QString::fromLatin1(bytes).replace(QLatin1Char(Cr), QStringLiteral("\r\n"));
    }

    // A line break per CR, TAB as itself, other control bytes as their pictures (U+2400 on,
    // U+2421 for DEL), every other byte its Latin-1 character.
    static QString drawn(const QByteArray &bytes)
    {
        QString out;
        for (const char c : bytes)
            out += symbol(uchar(c));
        return out;
    }

    // Read aloud: the lines as drawn, except that an LF opening a line says nothing (its line
    // break said it) and one inside a line reads as a blank.
    static QString readable(const QByteArray &bytes)
    {
        QString out;
        bool lineStart = true;
        for (const char c : bytes) {
            if (c == '\n')
                out += lineStart ? QString() : QStringLiteral(" ");
            else
                out += symbol(uchar(c));
            lineStart = c == Cr;
        }
        return out;
    }

private:
    static QChar symbol(uchar c)
    {
        if (c == Cr)
            return QLatin1Char('\n');
        if (c == '\t')
            return QLatin1Char('\t');
        if (c < 32)
            return QChar(char16_t(0x2400 + c));
        return c == 127 ? QChar(char16_t(0x2421)) : QChar(char16_t(c));
    }

    void show()
    {
        m_shown += m_pending;
        m_pending.clear();
    }

    QByteArray m_shown;
    QByteArray m_pending;
    qint64 m_lastByte = 0;
};

// The receiver's side of the exchange: its quiet timer runs on virtual milliseconds, and each
// piece goes to the terminal text as the window would put it there.
class VirtualReceiver : public TerminalExchange::Output
{
public:
    explicit VirtualReceiver(TermText &text) : m_text(text) {}

    void take(const QByteArray &bytes)
    {
        constexpr qsizetype Chunk = 2048; // what one read of the line gives
        for (qsizetype at = 0; at < bytes.size(); at += Chunk)
            m_exchange.take(QByteArrayView(bytes).sliced(at, std::min(Chunk, bytes.size() - at)));
    }

    // The timer ticks when its time comes before `t`'s, or with it.
    void runUntil(qint64 t)
    {
        while (m_deadline >= 0 && m_deadline <= t) {
            m_now = m_deadline;
            m_deadline = -1;
            m_exchange.txttimer_Timer();
            m_exchange.showIfQuiet();
        }
        m_now = t;
    }

    const QString &handed() const { return m_handed; }
    qint64 pieces() const { return m_pieces; }

private:
    void appendText(const QString &piece) override
    {
        m_handed += piece;
        ++m_pieces;
        m_text.append(piece);
    }
    void restartQuietTimer() override { m_deadline = m_now + TerminalExchange::QuietInterval; }
    void stopQuietTimer() override { m_deadline = -1; }

    TermText &m_text;
    TerminalState m_state;
    TerminalExchange m_exchange{m_state, *this};
    qint64 m_now = 0;
    qint64 m_deadline = -1;
    QString m_handed;
    qint64 m_pieces = 0;
};

// The document's lines as shown, the blocks that continue a long line joined to it.
QString shownText(const QTextDocument &document)
{
    QString out;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin() && !TermText::continues(block))
            out += QLatin1Char('\n');
        out += block.text();
    }
    return out;
}

QString copied(QTextDocument &document)
{
    QTextCursor all(&document);
    all.select(QTextCursor::Document);
    return TermText::received(all);
}

// With the history bound in reach the oldest text may have gone: what is left must then be
// the end of what the model holds.
void checkKept(const QString &kept, const QString &model, bool mayDrop, const char *what)
{
    check(mayDrop ? model.endsWith(kept) : kept == model, what);
}

void checkText(QTextDocument &document, const TermText &text, const QString &heard, const Model &model)
{
    const QByteArray &shown = model.shown();
    const qsizetype lines = shown.count(Cr) + 1;
    const bool mayDrop = lines + shown.size() / 500 + 1 > TermText::MaxLines
        || shown.size() + 1 > TermText::MaxCharacters;
    check(document.blockCount() <= TermText::MaxLines, "more lines kept than the bound");
    check(document.characterCount() <= TermText::MaxCharacters, "more characters kept than the bound");
    const QString kept = shownText(document);
    if (kept.size() < shown.size())
        check(document.blockCount() >= TermText::MaxLines / 2
                  || document.characterCount() >= TermText::MaxCharacters / 2,
              "history cut to less than half its bound");
    checkKept(kept, Model::drawn(shown), mayDrop, "shown text differs from the model");
    checkKept(copied(document), QString::fromLatin1(shown), mayDrop, "copied text differs from what was received");
    const QString readable = text.readableText(0, text.readableLength());
    check(readable.size() == text.readableLength(), "readable length differs from the readable text");
    checkKept(readable, Model::readable(shown), mayDrop, "readable text differs from the shown text");
    check(heard == readable, "screen reader's changes do not add up to the readable text");
}

// Counts the characters the text area lays out again: a change redoes the block it starts
// in and what it adds. A long line held as one block would be redone whole for each piece.
class LayoutWork : public QObject
{
public:
    explicit LayoutWork(QTextDocument &document)
    {
        connect(&document, &QTextDocument::contentsChange, this, [this, &document](int at, int, int added) {
            m_characters += document.findBlock(at).length() + added;
        });
    }
    qint64 characters() const { return m_characters; }

private:
    qint64 m_characters = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_terminalreceive";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
    // Fonts are loaded once, at the first layout; that belongs to no run.
    QPlainTextEdit warmUp;
    TermText(warmUp).append(QStringLiteral("warm up\r\n"));
    return 0;
}

// The font library keeps its configuration to the end of the process.
extern "C" const char *__lsan_default_suppressions() // NOLINT(bugprone-reserved-identifier): the sanitizer's hook
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<Step> steps = decode(data, size);
    QPlainTextEdit edit;
    edit.resize(640, 400);
    // A shown window knows its screen; a hidden one is looked up by position each time the
    // layout asks for a tab width, which took half of a run on a long line.
    edit.setScreen(QGuiApplication::primaryScreen());
    TermText text(edit);
    QString heard; // the readable text as a screen reader is told it changes
    text.setListener([&heard](int at, int removed, const QString &inserted) {
        check(at >= 0 && removed >= 0 && at + removed <= heard.size(), "screen reader told of a change outside the text");
        heard.replace(at, removed, inserted);
    });
    LayoutWork work(*edit.document());
    VirtualReceiver receiver(text);
    Model model;
    qint64 now = 0;
    for (const Step &step : steps) {
        receiver.take(step.bytes);
        model.arrive(step.bytes, now);
        now += step.gapMs;
        receiver.runUntil(now);
        model.quietUntil(now);
        check(receiver.handed().size() == model.handedOn(), "a piece reached the text at the wrong time");
    }
    now += 1000;
    receiver.runUntil(now);
    model.quietUntil(now);
    check(receiver.handed() == Model::handed(model.shown()), "pieces differ from the bytes received");
    checkText(*edit.document(), text, heard, model);
    const qint64 pieces = receiver.pieces();
    check(work.characters() <= 4 * model.shown().size() + 4 * TermText::RowBlockLength * (pieces + 1),
          "the text area lays out more than a few blocks per piece");
    return 0;
}
