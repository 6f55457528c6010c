// Send Data against a station played from the input, on virtual time: how the port opens,
// the station's answers to its address code and to the memory-clear request, bytes during
// the stream and after it, each with its delay. A model of the protocol, written apart
// from the product, predicts the bytes put before the stream and when, and the outcome;
// the run must match it, show every outcome as the rules say, put nothing on the line once
// the outcome is shown, and leave the port closed.

#include "ExampleConfigs.h"
#include "RecordingSendView.h"
#include "StationProgrammer.h"
#include "VirtualSetupWaits.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <vector>

namespace {

using Outcome = StationProgrammer::Outcome;
constexpr qint64 Ms = VirtualClock::Ms;
constexpr char Ack = 0x06;
constexpr char Nak = 0x15;
constexpr char Cr = 0x0D;

void check(bool ok, const char *what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_senddata: %s\n", what);
    std::abort();
}

struct Answer
{
    QByteArray bytes; // empty: silence
    int delayMs = 0;
};

// What the input makes of the line and the station.
struct Script
{
    bool openAlready = false;
    int32_t availability = 1; // IsPortAvailable while closed
    int32_t init = 0;
    int32_t characteristics = 0;
    int station = 1;
    bool oldEprom = false;
    bool fullConfig = false;
    qint64 byteNs = 0;
    std::vector<Answer> calls;  // to the address code, in turn; silence past the end
    std::vector<Answer> clears; // to the memory-clear request, in turn
    std::vector<Answer> duringStream; // from the stream's first byte
    std::vector<Answer> final;        // from when the stream has crossed the line
};

class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    uint8_t next() { return m_at < m_size ? m_data[m_at++] : 0; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

// Station bytes come from a few that mean something here, so answers often do.
char stationByte(uint8_t b)
{
    static const char alphabet[] = "\x06\x15 0123456789xK";
    return alphabet[b % (sizeof alphabet - 1)];
}

Answer callAnswer(Input &in, int station)
{
    const uint8_t kind = in.next();
    Answer answer{{}, 25 * in.next()};
    const QByteArray number = QByteArray::number(station);
    switch (kind % 4) {
    case 0: answer.bytes = number.rightJustified(2, '0') + "OK"; break;
    case 1: answer.bytes = number.rightJustified(2, ' ') + "\x06\x15"; break;
    case 2: break;
    default:
        for (int i = 0; i < kind / 4 % 7; ++i)
            answer.bytes += stationByte(in.next());
    }
    return answer;
}

Answer clearAnswer(Input &in)
{
    const uint8_t kind = in.next();
    const int delayMs = 60 * in.next();
    const QByteArray bytes[] = {QByteArray(1, Ack), QByteArray(1, Nak), QByteArray(), QByteArray(1, stationByte(kind / 4))};
    return {bytes[kind % 4], delayMs};
}

std::vector<Answer> loneBytes(Input &in, int count, int msPerUnit)
{
    std::vector<Answer> answers;
    for (int i = 0; i < count; ++i) {
        const char byte = stationByte(in.next());
        answers.push_back({QByteArray(1, byte), msPerUnit * in.next()});
    }
    return answers;
}

// Byte 0: the opening (bits 0-1: 1 open already, 2 closed and not to be opened, else closed;
// bits 2-3: the init result 0, 7, 9 or -2; bits 4-5 both set: the line settings refused),
// bit 6 the old EPROM, bit 7 the larger configuration. Byte 1 the station, byte 2 the line speed, then each list:
// its length, then its entries.
Script decode(const uint8_t *data, size_t size)
{
    Input in(data, size);
    Script s;
    const uint8_t open = in.next();
    s.openAlready = (open & 3) == 1;
    s.availability = (open & 3) == 2 ? 3 : 1;
    const int32_t inits[] = {0, 7, 9, -2};
    s.init = inits[open >> 2 & 3];
    s.characteristics = (open >> 4 & 3) == 3 ? 4 : 0;
    s.oldEprom = open & 0x40;
    s.fullConfig = open & 0x80;
    s.station = 1 + in.next() % 32;
    const qint64 speeds[] = {0, 1 * Ms, 8 * Ms};
    s.byteNs = speeds[in.next() % 3];
    for (int n = in.next() % 5; n > 0; --n)
        s.calls.push_back(callAnswer(in, s.station));
    for (int n = in.next() % 9; n > 0; --n)
        s.clears.push_back(clearAnswer(in));
    s.duringStream = loneBytes(in, in.next() % 4, 20);
    s.final = loneBytes(in, in.next() % 5, 25);
    return s;
}

// The station's ear: which answer a byte put on the line calls for.
class StationEar
{
public:
    explicit StationEar(const Script &script) : m_script(script) {}

    std::optional<Answer> hear(char byte)
    {
        m_recent = (m_recent + byte).right(4);
        if (uchar(byte) == code(m_script.station))
            return next(m_script.calls, m_calls);
        if (m_recent == "APG\r")
            return next(m_script.clears, m_clears);
        return std::nullopt;
    }

    static int code(int station) { return station + 122 <= 126 ? station + 122 : station + 86; }

private:
    static Answer next(const std::vector<Answer> &answers, size_t &index)
    {
        const size_t i = index++;
        return i < answers.size() ? answers[i] : Answer{};
    }

    const Script &m_script;
    QByteArray m_recent;
    size_t m_calls = 0;
    size_t m_clears = 0;
};

// The protocol's rules run on the script. The clock works as the test kit's: a byte that
// arrives lands in the receive buffer when the clock first reaches its time; a wait ends when
// enough bytes are there, or at its limit, when what lands then comes too late.
class ProtocolModel
{
public:
    explicit ProtocolModel(const Script &script) : m_script(script), m_ear(script) { run(); }

    // Sent here means only that the stream follows: the final answer decides.
    Outcome outcomeBeforeStream() const { return m_outcome; }
    QString message() const { return m_message; }
    const QList<SentByte> &handshake() const { return m_sent; }
    bool connected() const { return m_connected; }
    bool portOpen() const { return m_open; }

    // Whether an ACK reaches the program after the stream, the station's other answers
    // arriving as the script says, and the late ones from before the stream too.
    bool acknowledged(qint64 streamStart, qint64 streamEnd, qint64 lineIdle) const
    {
        const qint64 crossed = std::max(streamEnd, lineIdle);
        const qint64 limit = crossed + 5000 * Ms; // an ACK at the limit is too late
        for (const Answer &a : m_script.final) {
            if (a.bytes.contains(Ack) && crossed + a.delayMs * Ms < limit)
                return true;
        }
        // Everything else was scheduled before the flush at the stream's end: what came by
        // then went with it.
        auto after = [&](qint64 at, const QByteArray &bytes) { return bytes.contains(Ack) && at > streamEnd && at < limit; };
        for (const Answer &a : m_script.duringStream) {
            if (after(streamStart + a.delayMs * Ms, a.bytes))
                return true;
        }
        for (const auto &[at, bytes] : m_arrivals) {
            if (after(at, bytes))
                return true;
        }
        return false;
    }

private:
    void run()
    {
        if (!openPort())
            return;
        for (int attempts = 0; attempts != 2;) {
            if (!callStation()) {
                put(Nak);
                ++attempts;
                continue;
            }
            m_connected = true;
            char answer = Nak;
            while (answer == Nak)
                answer = requestClear();
            if (answer == Ack) {
                m_outcome = Outcome::Sent; // so far: the stream follows
                return;
            }
            ++attempts;
            m_buffer.clear();
        }
        m_outcome = Outcome::NoConnection;
    }

    bool openPort()
    {
        m_open = m_script.openAlready;
        if (m_open || m_script.availability != 1)
            return true;
        if (m_script.init == 7)
            m_message = QStringLiteral("COMM-DRV Init port error");
        else if (m_script.init != 0)
            m_message = QStringLiteral("COMM-DRV Init port error %1").arg(m_script.init);
        if (m_script.init != 0)
            return false;
        m_open = true;
        if (m_script.characteristics != 0)
            m_message = QStringLiteral("Error programming port %1").arg(m_script.characteristics);
        return m_script.characteristics == 0;
    }

    // Whether the first two characters of the answer, as a number, are the station's.
    bool callStation()
    {
        m_buffer.clear();
        advance(2);
        put(char(StationEar::code(m_script.station)));
        advance(1);
        const QByteArray answer = waitFor(4, 5000);
        int value = 0;
        for (const char c : answer.left(2)) {
            if (c == ' ')
                continue;
            if (c < '0' || c > '9')
                break;
            value = 10 * value + (c - '0');
        }
        return value == m_script.station;
    }

    char requestClear()
    {
        advance(100);
        m_buffer.clear();
        for (const char byte : {'A', 'P', 'G'}) {
            put(byte);
            advance(100);
        }
        put(Cr);
        return waitFor(1, 12000).at(0);
    }

    void put(char byte)
    {
        if (!m_open)
            return; // nothing reaches the line, nor the station
        m_sent.append({m_now, uint8_t(byte)});
        if (const std::optional<Answer> answer = m_ear.hear(byte); answer && !answer->bytes.isEmpty())
            m_arrivals.emplace(m_now + answer->delayMs * Ms, answer->bytes);
    }

    void advance(int ms) { landUntil(m_now + ms * Ms); }

    void landUntil(qint64 t)
    {
        while (!m_arrivals.empty() && m_arrivals.begin()->first <= t) {
            m_buffer += m_arrivals.begin()->second;
            m_arrivals.erase(m_arrivals.begin());
        }
        m_now = t;
    }

    // The k oldest bytes, or k blanks when the limit comes first.
    QByteArray waitFor(int k, int limitMs)
    {
        const qint64 limit = m_now + limitMs * Ms;
        while (m_buffer.size() < k) {
            if (m_arrivals.empty() || m_arrivals.begin()->first >= limit) {
                landUntil(limit);
                return QByteArray(k, ' ');
            }
            landUntil(m_arrivals.begin()->first);
        }
        QByteArray taken = m_buffer.left(k);
        m_buffer.remove(0, k);
        return taken;
    }

    const Script &m_script;
    StationEar m_ear;
    Outcome m_outcome = Outcome::OpenFailed;
    QString m_message;
    bool m_open = false;
    bool m_connected = false;
    qint64 m_now = 0;
    QList<SentByte> m_sent;
    QByteArray m_buffer;
    std::multimap<qint64, QByteArray> m_arrivals; // not landed yet
};

// The view, noting how much had been put on the line when Connectinfo last changed.
class OutcomeView : public RecordingSendView
{
public:
    explicit OutcomeView(const ScriptedLine &line) : m_line(line) {}
    void setConnectinfo(const QString &text, Colour colour) override
    {
        RecordingSendView::setConnectinfo(text, colour);
        sentAtLastChange = m_line.sent.size();
    }
    qsizetype sentAtLastChange = 0;

private:
    const ScriptedLine &m_line;
};

PagerConfig exampleConfig(const Script &s)
{
    PagerConfig config = s.fullConfig ? ExampleConfigs::full(3) : ExampleConfigs::savedDefaults();
    config.EpromVersion = s.oldEprom ? 0 : 1;
    return config;
}

// The real programmer on the scripted line; the station answers what it hears before the
// stream, which the model says where it begins.
struct ScriptedSend
{
    ScriptedSend(const Script &s, qsizetype handshakeLength)
        : script(s), ear(s), handshakeBytes(handshakeLength), config(exampleConfig(s))
    {
        state.SetStation(int16_t(s.station));
        line.open = s.openAlready;
        line.closedAvailability = s.availability;
        line.setResult(QStringLiteral("InitializePort"), s.init);
        line.setResult(QStringLiteral("SetPortCharacteristics"), s.characteristics);
        line.byteNs = s.byteNs;
        line.onPut = [this](uint8_t byte) { heard(char(byte)); };
        waits.onSentWait = [this] {
            const qint64 crossed = std::max(clock.now(), line.idleAtNs);
            for (const Answer &a : script.final)
                line.arriveAt(crossed + a.delayMs * Ms, a.bytes);
        };
        programmer.setSaver([](PagerConfig &c, const QString &) {
            c.DeriveModeCode();
            return ConfigFile::SaveResult{true, {}};
        });
    }

    void heard(char byte)
    {
        if (line.sent.size() <= handshakeBytes) {
            if (const std::optional<Answer> answer = ear.hear(byte); answer && !answer->bytes.isEmpty())
                line.arrive(answer->delayMs, answer->bytes);
        } else if (line.sent.size() == handshakeBytes + 1) {
            for (const Answer &a : script.duringStream)
                line.arrive(a.delayMs, a.bytes);
        }
    }

    const Script &script;
    StationEar ear;
    qsizetype handshakeBytes;
    VirtualClock clock;
    ScriptedLine line{clock};
    SetupState state;
    PagerConfig config;
    VirtualSetupWaits waits{line, state};
    OutcomeView view{line};
    StationProgrammer programmer{config, state, line, waits, view};
};

bool sameBytes(const QList<SentByte> &a, const QList<SentByte> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const SentByte &x, const SentByte &y) { return x.ns == y.ns && x.byte == y.byte; });
}

void checkOpening(const ScriptedSend &run, const ProtocolModel &model)
{
    const QStringList calls = run.line.portCalls();
    const auto isCall = [](const QString &call, const QString &name) { return call.section(u'(', 0, 0) == name; };
    check(!run.line.open, "port left open");
    if (model.portOpen())
        check(calls.size() >= 2 && isCall(calls.last(), QStringLiteral("UnInitializePort"))
                  && isCall(calls[calls.size() - 2], QStringLiteral("IsPortAvailable")),
              "port not closed by the closing rule");
    else
        check(!calls.isEmpty() && isCall(calls.last(), QStringLiteral("IsPortAvailable"))
                  && run.line.callsOf(QStringLiteral("UnInitializePort")).isEmpty(),
              "closing rule closed a port that was not open");
    // The library's reason goes under the message.
    const QString reason = QString::fromLatin1(run.line.lastError);
    const QStringList expected = model.message().isEmpty() ? QStringList() : QStringList{model.message() + u'|' + reason};
    check(run.view.messages == expected, "message boxes differ from the model");
}

QString displayForm(int n)
{
    return QLatin1Char(' ') + QString::number(n);
}

void checkShown(const ScriptedSend &run, Outcome outcome, bool connected)
{
    const OutcomeView &view = run.view;
    const QString established = QStringLiteral("Connectinfo Connection established with pager station") + displayForm(run.script.station);
    check(view.log.contains(established) == connected, "connection shown when it was not made, or not shown");
    check(view.sentAtLastChange == run.line.sent.size(), "bytes put on the line after the outcome was shown");
    using Colour = SendView::Colour;
    switch (outcome) {
    case Outcome::OpenFailed:
        check(view.log.filter(QStringLiteral("Connectinfo")) == QStringList{QStringLiteral("Connectinfo hidden")},
              "status shown after the port failed to open");
        check(run.line.sent.isEmpty(), "bytes put on a port that failed to open");
        break;
    case Outcome::NoConnection:
        check(view.connectText == QStringLiteral("Failure communicating with station") + displayForm(run.script.station)
                  && view.connectColour == Colour::Failure && view.connectVisible,
              "failure to connect not shown in red with the station");
        break;
    case Outcome::Sent:
        check(view.connectText == QStringLiteral("Page data sent to pager interface") && view.connectColour == Colour::Normal
                  && view.connectVisible && view.sendText == QStringLiteral(" "),
              "success not shown as such");
        break;
    case Outcome::NotAcknowledged:
        check(view.connectText == QStringLiteral("Error in sending data") && view.connectColour == Colour::Failure
                  && view.connectVisible && view.sendText == QStringLiteral(" "),
              "missing acknowledgement not shown in red");
        break;
    default:
        check(false, "an outcome the run cannot have");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Script script = decode(data, size);
    const ProtocolModel model(script);
    const QList<SentByte> &handshake = model.handshake();
    ScriptedSend run(script, handshake.size());
    const Outcome outcome = run.programmer.sendData();

    const QList<SentByte> &sent = run.line.sent;
    check(sameBytes(sent.mid(0, handshake.size()), handshake), "bytes before the stream differ from the model, or their times");
    Outcome expected = model.outcomeBeforeStream();
    if (expected == Outcome::Sent) {
        const QByteArray end = script.oldEprom ? QByteArray("~\r") : QByteArray("\x04\r");
        check(sent.size() > handshake.size() + 2 && run.line.sentBytes().endsWith(end), "stream missing or without its end mark");
        if (!model.acknowledged(sent[handshake.size()].ns, sent.last().ns, run.line.idleAtNs))
            expected = Outcome::NotAcknowledged;
    } else {
        check(sent.size() == handshake.size(), "bytes put after the send had failed");
    }
    check(outcome == expected, "outcome differs from the model");
    checkOpening(run, model);
    checkShown(run, outcome, model.connected());
    return 0;
}
