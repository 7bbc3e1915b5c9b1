#include "content/operations/FeedbackWrapper.h"

#include "content/ContentBase.h"
#include "platform/system/Clock.h"

#include <QCoreApplication>
#include <QMutex>
#include <QPointer>
#include <QWaitCondition>

#include <algorithm>
#include <atomic>

namespace {

// Relays alive, for OutstandingLeases.
std::atomic<int> liveRelays{0};

} // namespace

// The wrapper's state, shared with the leases handed to folders. The mutex guards the link
// to the parent, so that cutting it (when the wrapper goes) waits for a report in flight.
class FeedbackWrapper::Core
{
public:
    Core(IFeedback* parent, int low, int high) : parent_(parent), low_(low), high_(high) {}

    void AddString(const QString& text, FeedbackStatus status)
    {
        QMutexLocker lock(&mutex_);
        if (parent_)
            parent_->AddString(text, status);
    }

    void SetTotal(int total)
    {
        QMutexLocker lock(&mutex_);
        total_ = total;
    }

    void SetCurrent(int current)
    {
        QMutexLocker lock(&mutex_);
        if (!parent_ || total_ <= 0)
            return;
        // 64 bits: a wide range times a large total must not overflow before the division.
        const qint64 done = std::min(current, total_);
        parent_->SetCurrent(int(low_ + qint64(high_ - low_) * done / total_));
    }

    void Finished(FeedbackResult result)
    {
        QMutexLocker lock(&mutex_);
        completion_.store(int(result));
        woken_.wakeAll();
    }

    // The folder whose change is awaited, named `name`, was destroyed before it finished.
    void FolderGone(const QString& name)
    {
        QMutexLocker lock(&mutex_);
        goneFolderName_ = name;
        folderGone_.store(true);
        woken_.wakeAll();
    }
    bool IsFolderGone() const { return folderGone_.load(); }
    QString GoneFolderName()
    {
        QMutexLocker lock(&mutex_);
        return goneFolderName_;
    }

    // A step whose wrapper is gone has been given up: it is told to stop.
    bool IsCancelled()
    {
        QMutexLocker lock(&mutex_);
        return parent_ ? parent_->IsCancelled() : true;
    }

    int Completion() const { return completion_.load(); }

    // Waits until Finished has come, the folder has gone, or the deadline has passed.
    void WaitForFinished(QDeadlineTimer deadline)
    {
        QMutexLocker lock(&mutex_);
        if (completion_.load() == 0 && !folderGone_.load())
            woken_.wait(&mutex_, deadline);
    }

    void Detach()
    {
        QMutexLocker lock(&mutex_);
        parent_ = nullptr;
    }

private:
    QMutex mutex_;
    QWaitCondition woken_;
    IFeedback* parent_;
    const int low_;
    const int high_;
    int total_ = 0;
    std::atomic<int> completion_{0};
    std::atomic<bool> folderGone_{false};
    QString goneFolderName_;
};

FeedbackWrapper::FeedbackWrapper(IFeedback* parent, int low, int high)
    : core_(std::make_shared<Core>(parent, low, high))
{
}

FeedbackWrapper::FeedbackWrapper(IFeedback* parent) : FeedbackWrapper(parent, 0, 100)
{
    if (parent)
        parent->SetTotal(100);
}

FeedbackWrapper::~FeedbackWrapper()
{
    core_->Detach();
}

void FeedbackWrapper::AddString(QString text, FeedbackStatus status)
{
    core_->AddString(text, status);
}

void FeedbackWrapper::SetTotal(int total)
{
    core_->SetTotal(total);
}

void FeedbackWrapper::SetCurrent(int current)
{
    core_->SetCurrent(current);
}

void FeedbackWrapper::Finished(FeedbackResult result)
{
    core_->Finished(result);
}

bool FeedbackWrapper::IsCancelled()
{
    return core_->IsCancelled();
}

int FeedbackWrapper::Completion() const
{
    return core_->Completion();
}

int FeedbackWrapper::WaitForCompletion(const ContentBase* watched)
{
    const QPointer<const ContentBase> watch(watched);
    const QString watchedName = watched ? watched->GetName() : QString();
    while (core_->Completion() == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kEventSliceMs);
        core_->WaitForFinished(platform::Clock::TimeoutDeadline(kPollMs));
        if (core_->Completion() != 0)
            break;
        // Nothing interrupts the folder's change itself; the operation just stops waiting
        // for it, and its late outcome reaches only the lease.
        if (IsCancelled())
            return 2;
        // The folder's death reaches the lease at once, the watch at the next look:
        // whichever comes first ends the wait.
        if (core_->IsFolderGone() || (watched && watch.isNull())) {
            const QString name = watched ? watchedName : core_->GoneFolderName();
            AddString(QStringLiteral("%1 was removed before its change finished").arg(name), FeedbackError);
            return 1;
        }
    }
    if (IsCancelled())
        return 2;
    return Completion() == FeedbackSuccess ? 0 : 1;
}

int FeedbackWrapper::OutstandingLeases()
{
    return liveRelays.load();
}

// What a folder holds while its change runs. Two holds keep it alive: the folder's (let go
// by Finished, by a refusal, or by the folder's destruction) and the step's (let go when the
// lease goes); whichever comes last deletes it. It reports through the core, which stays
// while the relay does.
class FeedbackWrapper::Lease::Relay : public IFeedback
{
public:
    Relay(std::shared_ptr<Core> core, const ContentBase* folder)
        : core_(std::move(core)), folderName_(folder ? folder->GetName() : QString())
    {
        ++liveRelays;
        if (folder) {
            // A folder that dies with the change pending never calls again: its death lets go
            // of its hold, and tells the waiting step. Direct, on the dying folder's thread.
            gone_ = QObject::connect(folder, &QObject::destroyed, [this] { FolderGone(); });
        }
    }

    void AddString(QString text, FeedbackStatus status) override { core_->AddString(text, status); }
    void SetTotal(int total) override { core_->SetTotal(total); }
    void SetCurrent(int current) override { core_->SetCurrent(current); }
    void Finished(FeedbackResult result) override
    {
        core_->Finished(result);
        ReleaseFolderHold();
    }
    bool IsCancelled() override { return core_->IsCancelled(); }

    void ReleaseFolderHold()
    {
        if (folderReleased_.exchange(true))
            return;
        // No later death of the folder must reach a relay that may be gone by then.
        QObject::disconnect(gone_);
        Release();
    }

    void Release()
    {
        if (holds_.fetch_sub(1) == 1)
            delete this;
    }

private:
    ~Relay() override { --liveRelays; }

    void FolderGone()
    {
        if (folderReleased_.load())
            return;
        core_->FolderGone(folderName_);
        ReleaseFolderHold();
    }

    std::shared_ptr<Core> core_;
    const QString folderName_;
    QMetaObject::Connection gone_;
    std::atomic<int> holds_{2};
    std::atomic<bool> folderReleased_{false};
};

FeedbackWrapper::Lease::Lease(FeedbackWrapper& wrapper, const ContentBase* folder)
    : relay_(new Relay(wrapper.core_, folder))
{
}

FeedbackWrapper::Lease::~Lease()
{
    relay_->Release();
}

IFeedback* FeedbackWrapper::Lease::Feedback() const
{
    return relay_;
}

void FeedbackWrapper::Lease::Refused()
{
    relay_->ReleaseFolderHold();
}
