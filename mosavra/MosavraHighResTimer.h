#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <atomic>

// The creator's frame timer: a thread that, once armed with Start, emits timeout() when
// the frame's time has passed (virtual milliseconds of platform::Clock, so tests run it
// at their time scale). Connect timeout() queued; it is emitted on the timer's thread.
//
// The thread sleeps on a condition for the interval, holding no lock while it waits, so
// Start, Disarm and destruction never wait for a running interval: Start re-arms at once
// (the new interval replaces the old), Disarm cancels the interval without a timeout,
// and the destructor wakes the thread and joins it.
//
// Start and Disarm may be called from any thread; one owner destroys the timer.
class MosavraHighResTimer : public QThread
{
    Q_OBJECT
public:
    MosavraHighResTimer();
    ~MosavraHighResTimer() override;

    // Emits timeout() once, `ms` virtual milliseconds from now (0: at once).
    void Start(unsigned ms);
    // Cancels an armed interval; no timeout() follows for it.
    void Disarm();
    bool IsArmed() const { return armed_.load(); }

    // The clock the timer measures with, in whole virtual milliseconds.
    static qint64 NowMs();

signals:
    void timeout();

protected:
    void run() override;

private:
    QMutex mutex_;
    QWaitCondition wake_;
    unsigned interval_ = 0;
    // Cleared by Disarm without the mutex; read under it by the thread.
    std::atomic<bool> armed_{false};
    bool stop_ = false;
    // Counts Start calls, so that a wait can tell it was re-armed meanwhile.
    quint64 generation_ = 0;
};
