#include "sim/line/DmxLine.h"
#include "platform/system/Clock.h"

#include <algorithm>
#include <chrono>

namespace sim {

namespace {

// E1.20 wire timing, in microseconds.
constexpr qint64 kSlotUs = 44;              // 11 bits at 250 kbaud
constexpr qint64 kBreakUs = 176;            // the controller's shortest break
constexpr qint64 kMarkAfterBreakUs = 12;    // and mark after break
constexpr qint64 kTurnaroundUs = 176;       // a responder starts its answer this soon at best
constexpr qint64 kLostResponseUs = 2'800;   // the controller waits this long before it calls an answer lost
constexpr qint64 kDiscoveryWindowUs = 5'800; // and this long after a discovery branch request
constexpr qint64 kBroadcastGapUs = 176;     // between a broadcast and the next packet

constexpr quint8 kRdmStartCode = 0xCC;
constexpr quint8 kRdmSubStartCode = 0x01;
constexpr quint8 kDiscoveryCommand = 0x10;
constexpr quint16 kDiscUniqueBranch = 0x0001;
constexpr quint8 kDiscoveryPreamble = 0xFE;
constexpr quint8 kDiscoverySeparator = 0xAA;
constexpr int kEuidBytes = 12;
constexpr int kEcsBytes = 4;

quint8 At(const QByteArray& bytes, int index)
{
    return quint8(bytes[index]);
}

bool IsDiscoveryBranch(const QByteArray& request)
{
    return request.size() >= 24 && At(request, 0) == kRdmStartCode && At(request, 1) == kRdmSubStartCode &&
           At(request, 20) == kDiscoveryCommand && (At(request, 21) << 8 | At(request, 22)) == kDiscUniqueBranch;
}

// An RDM message carries its length in slot 2 and the 16-bit sum of the slots before the
// checksum after them.
bool LooksLikeRdmMessage(const QByteArray& bytes)
{
    return bytes.size() >= 26 && At(bytes, 0) == kRdmStartCode && At(bytes, 2) >= 24 && At(bytes, 2) + 2 <= bytes.size();
}

// A discovery answer: up to seven preamble bytes, the separator, the encoded EUID and
// its encoded checksum.
int DiscoverySeparatorAt(const QByteArray& bytes)
{
    for (int i = 0; i < bytes.size() && i <= 7; ++i) {
        if (At(bytes, i) == kDiscoverySeparator)
            return bytes.size() >= i + 1 + kEuidBytes + kEcsBytes ? i : -1;
        if (At(bytes, i) != kDiscoveryPreamble)
            return -1;
    }
    return -1;
}

} // namespace

QByteArray GarbleAnswers(const std::vector<QByteArray>& answers)
{
    QByteArray heard;
    for (const QByteArray& answer : answers) {
        if (answer.size() > heard.size())
            heard.resize(answer.size(), '\0');
        for (int i = 0; i < answer.size(); ++i)
            heard[i] = char(At(heard, i) | At(answer, i));
    }
    if (heard.isEmpty())
        return heard;
    if (LooksLikeRdmMessage(heard)) {
        const int length = At(heard, 2);
        quint16 sum = 0;
        for (int i = 0; i < length; ++i)
            sum = quint16(sum + At(heard, i));
        const quint16 wrong = quint16(sum + 1);
        heard[length] = char(wrong >> 8);
        heard[length + 1] = char(wrong & 0xFF);
    } else if (const int separator = DiscoverySeparatorAt(heard); separator >= 0) {
        const int euid = separator + 1;
        quint16 sum = 0;
        for (int i = 0; i < kEuidBytes; ++i)
            sum = quint16(sum + At(heard, euid + i));
        const quint16 wrong = quint16(sum + 1);
        const int ecs = euid + kEuidBytes;
        heard[ecs] = char((wrong >> 8) | 0xAA);
        heard[ecs + 1] = char((wrong >> 8) | 0x55);
        heard[ecs + 2] = char((wrong & 0xFF) | 0xAA);
        heard[ecs + 3] = char((wrong & 0xFF) | 0x55);
    } else {
        heard[heard.size() - 1] = char(~At(heard, heard.size() - 1));
    }
    return heard;
}

void DmxLine::Attach(std::shared_ptr<LineFixture> fixture)
{
    std::lock_guard lock(mutex_);
    fixtures_.push_back(std::move(fixture));
}

void DmxLine::Detach(const std::shared_ptr<LineFixture>& fixture)
{
    std::lock_guard lock(mutex_);
    fixtures_.erase(std::remove(fixtures_.begin(), fixtures_.end(), fixture), fixtures_.end());
}

std::vector<std::shared_ptr<LineFixture>> DmxLine::Fixtures() const
{
    std::lock_guard lock(mutex_);
    return fixtures_;
}

LineAnswer DmxLine::Transact(const QByteArray& packet, bool answerWanted)
{
    LineAnswer result;
    qint64 wireTime = 0;
    {
        std::lock_guard lock(mutex_);
        std::vector<QByteArray> answers;
        for (const auto& fixture : fixtures_) {
            const QByteArray answer = fixture->OnRequest(packet);
            if (!answer.isEmpty())
                answers.push_back(answer);
        }
        if (answerWanted && answers.size() == 1 && answersToDelay_ > 0) {
            --answersToDelay_;
            lateAnswers_.append({answers.front(), platform::Clock::NowMs() + answerDelayMs_});
        } else if (answerWanted && answers.size() == 1)
            result = LineAnswer{LineAnswer::Kind::Answer, answers.front()};
        else if (answerWanted && answers.size() > 1)
            result = LineAnswer{LineAnswer::Kind::Collision, GarbleAnswers(answers)};
        const qint64 exchange = ExchangeMicroseconds(packet, result, answerWanted);
        wireMicroseconds_ += exchange;
        if (timing_)
            wireTime = exchange;
    }
    if (wireTime)
        Charge(wireTime);
    return result;
}

qint64 DmxLine::ExchangeMicroseconds(const QByteArray& request, const LineAnswer& answer, bool answerWanted)
{
    const qint64 requestUs = kBreakUs + kMarkAfterBreakUs + kSlotUs * request.size();
    if (!answerWanted)
        return requestUs + kBroadcastGapUs;
    const bool discovery = IsDiscoveryBranch(request);
    if (answer.kind == LineAnswer::Kind::None)
        return requestUs + (discovery ? kDiscoveryWindowUs : kLostResponseUs);
    // Discovery answers go out without a break.
    const qint64 answerUs = (discovery ? 0 : kBreakUs + kMarkAfterBreakUs) + kSlotUs * answer.bytes.size();
    return requestUs + kTurnaroundUs + answerUs;
}

void DmxLine::SendDmxFrame(const QByteArray& dmxSlots)
{
    std::lock_guard lock(mutex_);
    frame_ = dmxSlots.left(512);
    ++framesSent_;
    for (const auto& fixture : fixtures_)
        fixture->OnDmxFrame(frame_);
}

QByteArray DmxLine::CurrentFrame() const
{
    std::lock_guard lock(mutex_);
    return frame_;
}

int DmxLine::FramesSent() const
{
    std::lock_guard lock(mutex_);
    return framesSent_;
}

qint64 DmxLine::WireMicroseconds() const
{
    std::lock_guard lock(mutex_);
    return wireMicroseconds_;
}

void DmxLine::SetWireTiming(bool on)
{
    std::lock_guard lock(mutex_);
    timing_ = on;
}

void DmxLine::DelayAnswers(int count, qint64 delayMs)
{
    std::lock_guard lock(mutex_);
    answersToDelay_ = std::max(count, 0);
    answerDelayMs_ = delayMs;
}

QList<QByteArray> DmxLine::TakeLateAnswers()
{
    std::lock_guard lock(mutex_);
    const qint64 now = platform::Clock::NowMs();
    QList<QByteArray> due;
    while (!lateAnswers_.isEmpty() && lateAnswers_.first().dueMs <= now)
        due.append(lateAnswers_.takeFirst().bytes);
    return due;
}

void DmxLine::Charge(qint64 microseconds)
{
    // Whole milliseconds are slept; the rest is carried to the next exchange, and so is
    // what a sleep overran (the scheduler wakes a thread late, the more so on a loaded
    // machine), up to what is still owed: the line keeps a real line's pace on average
    // instead of falling further behind with every exchange, and never runs ahead of it.
    qint64 ms;
    {
        std::lock_guard lock(mutex_);
        owedMicroseconds_ += microseconds;
        ms = owedMicroseconds_ / 1000;
        owedMicroseconds_ %= 1000;
    }
    if (ms <= 0)
        return;
    const auto start = std::chrono::steady_clock::now();
    platform::Clock::SleepMs(ms);
    const double sleptUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count()
        / platform::Clock::Scale();
    const qint64 overrunUs = qint64(sleptUs) - ms * 1000;
    if (overrunUs > 0) {
        std::lock_guard lock(mutex_);
        owedMicroseconds_ = std::max<qint64>(0, owedMicroseconds_ - overrunUs);
    }
}

} // namespace sim
