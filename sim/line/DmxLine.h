#pragma once

#include "sim/line/LineFixture.h"

#include <QByteArray>
#include <QList>
#include <memory>
#include <mutex>
#include <vector>

namespace sim {

// What came back on the line after a request.
struct LineAnswer
{
    enum class Kind {
        None,      // no fixture answered
        Answer,    // exactly one answered; `bytes` is its answer
        Collision, // several answered at once; `bytes` is what the widget heard
    };
    Kind kind = Kind::None;
    QByteArray bytes;
};

// The DMX line behind a widget: it repeats the last DMX frame to every fixture, and hands
// every request to every fixture and returns what comes back. Answers that overlap arrive
// garbled: the answers ORed together (as a receiver sees bits that any driver pulled),
// with a checksum that does not match them (for an RDM message its checksum, for a
// discovery answer its encoded checksum, otherwise the last byte).
//
// The optional wire timing charges each exchange what it takes on a real line (250 kbaud,
// 44 µs a slot, break, mark-after-break, the responder's turnaround, the controller's wait
// for an answer that does not come) through platform::Clock, so that the simulated line
// runs at a real line's speed. It is off unless switched on.
//
// Thread-safe: fixtures are called one call at a time.
class DmxLine
{
public:
    void Attach(std::shared_ptr<LineFixture> fixture);
    void Detach(const std::shared_ptr<LineFixture>& fixture);
    std::vector<std::shared_ptr<LineFixture>> Fixtures() const;

    // A packet for the fixtures, start code first. With `answerWanted` false (a broadcast
    // the widget expects nothing of), what the fixtures answer is not listened for.
    LineAnswer Transact(const QByteArray& packet, bool answerWanted = true);

    // The frame the line repeats from now on (the slots, without the start code; at most
    // 512); every fixture sees it at once.
    void SendDmxFrame(const QByteArray& dmxSlots);
    QByteArray CurrentFrame() const;
    int FramesSent() const;

    void SetWireTiming(bool on);
    // The wire time of every exchange so far, in microseconds, as the timing model counts
    // it, whether or not the timing is on: what the same traffic takes on a real line.
    qint64 WireMicroseconds() const;

    // Fault: the next `count` answers come `delayMs` (virtual) late. The widget hears
    // nothing in the request's own window; the answer reaches it during the first exchange
    // it starts at least `delayMs` after the request (TakeLateAnswers).
    void DelayAnswers(int count, qint64 delayMs);
    // The late answers whose time has come, oldest first; the widget asks before each
    // exchange.
    QList<QByteArray> TakeLateAnswers();

    // The wire time of one exchange in microseconds, as the timing model charges it.
    static qint64 ExchangeMicroseconds(const QByteArray& request, const LineAnswer& answer, bool answerWanted);

private:
    void Charge(qint64 microseconds);

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<LineFixture>> fixtures_;
    QByteArray frame_;
    int framesSent_ = 0;
    bool timing_ = false;
    qint64 owedMicroseconds_ = 0;
    qint64 wireMicroseconds_ = 0;
    int answersToDelay_ = 0;
    qint64 answerDelayMs_ = 0;
    struct LateAnswer
    {
        QByteArray bytes;
        qint64 dueMs;
    };
    QList<LateAnswer> lateAnswers_;
};

// What the widget hears when several fixtures answer at once.
QByteArray GarbleAnswers(const std::vector<QByteArray>& answers);

} // namespace sim
