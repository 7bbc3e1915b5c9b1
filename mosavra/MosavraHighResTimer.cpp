#include "mosavra/MosavraHighResTimer.h"

#include "platform/system/Clock.h"

#include <QDeadlineTimer>

#include <chrono>
#include <cmath>

namespace {

// The real time that `virtualMs` virtual milliseconds last at the clock's present scale,
// with no lower bound (unlike the clock's cross-thread timeouts): a frame is due when
// its time has passed, not later.
QDeadlineTimer RealDeadline(qint64 virtualMs)
{
    const double realNs = double(virtualMs) * platform::Clock::Scale() * 1e6;
    QDeadlineTimer deadline;
    deadline.setPreciseRemainingTime(0, qint64(std::ceil(realNs)));
    return deadline;
}

} // namespace

MosavraHighResTimer::MosavraHighResTimer()
{
    start(QThread::InheritPriority);
}

MosavraHighResTimer::~MosavraHighResTimer()
{
    {
        QMutexLocker lock(&mutex_);
        stop_ = true;
        wake_.wakeAll();
    }
    wait();
}

qint64 MosavraHighResTimer::NowMs()
{
    return platform::Clock::NowMs();
}

void MosavraHighResTimer::Start(unsigned ms)
{
    QMutexLocker lock(&mutex_);
    interval_ = ms;
    ++generation_;
    armed_.store(true);
    wake_.wakeAll();
}

void MosavraHighResTimer::Disarm()
{
    armed_.store(false);
    // The waiting thread tests the flag under the mutex before every wait, so taking it
    // here before the wake-up means the thread either sees the flag or hears the wake.
    QMutexLocker lock(&mutex_);
    wake_.wakeAll();
}

void MosavraHighResTimer::run()
{
    QMutexLocker lock(&mutex_);
    while (!stop_) {
        if (!armed_.load()) {
            wake_.wait(&mutex_);
            continue;
        }
        const quint64 generation = generation_;
        const qint64 due = NowMs() + qint64(interval_);
        bool interrupted = false;
        for (qint64 now = NowMs(); now < due; now = NowMs()) {
            wake_.wait(&mutex_, RealDeadline(due - now));
            interrupted = stop_ || !armed_.load() || generation != generation_;
            if (interrupted)
                break;
        }
        if (interrupted || stop_)
            continue;
        // Disarmed only now: a Start while the timeout is being emitted arms anew.
        armed_.store(false);
        lock.unlock();
        emit timeout();
        lock.relock();
    }
}
