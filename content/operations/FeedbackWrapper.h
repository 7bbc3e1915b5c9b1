#pragma once

#include "link/feedback/Feedback.h"

#include <memory>

class ContentBase;

// The feedback of one step of a content operation: it maps the step's progress into the
// range [low, high] of its caller's feedback and records how the step's asynchronous folder
// change finished.
//
// - AddString and IsCancelled go to the parent unchanged.
// - SetTotal(n) is kept, not forwarded; SetCurrent(c) moves the parent to
//   low + (high - low) * min(c, n) / n (nothing while n is 0 or less).
// - Finished(r) records r as the completion; it is not forwarded (the parent's own
//   Finished belongs to whoever owns the parent).
//
// The one-argument form runs from 0 to 100 and sets the parent's total to 100: every step
// routine reports through such a wrapper, so a step's units are hundredths of the range its
// caller gave it.
//
// Threads: a wrapper lives on the stack of the step that made it, on the operation's
// thread. Finished may come from another thread (the fixture link's); WaitForCompletion
// wakes on it. A folder change is handed a Lease rather than the wrapper itself, so that a
// change that finishes after the wait was given up (cancel, folder gone) reaches nothing.
class FeedbackWrapper : public IFeedback
{
public:
    // `parent` is not owned and must outlive the wrapper; it is not touched here.
    FeedbackWrapper(IFeedback* parent, int low, int high);
    // The range 0..100; sets the parent's total to 100.
    explicit FeedbackWrapper(IFeedback* parent);
    // Cuts the link to the parent: a lease still held by a folder reports nowhere after.
    ~FeedbackWrapper() override;
    FeedbackWrapper(const FeedbackWrapper&) = delete;
    FeedbackWrapper& operator=(const FeedbackWrapper&) = delete;

    void AddString(QString text, FeedbackStatus status) override;
    void SetTotal(int total) override;
    void SetCurrent(int current) override;
    void Finished(FeedbackResult result) override;
    bool IsCancelled() override;

    // 0 while the step has not finished, else the FeedbackResult it finished with.
    int Completion() const;

    // Waits until Finished has come, and answers 2 when the user has cancelled (the cancel
    // wins over the step's own outcome), 0 when the step succeeded, else 1.
    //
    // The wait also ends, without waiting for Finished, when the user cancels (answer 2) and
    // when the folder whose change is awaited (`watched`, or the folder of a lease) is
    // destroyed (answer 1, after the error text "<name> was removed before its change
    // finished"). Meanwhile the calling thread's events are processed, at most
    // kEventSliceMs at a time, so queued calls to objects of this thread are delivered.
    int WaitForCompletion(const ContentBase* watched = nullptr);

    // Leases whose folder may still call them (for tests: a lease a folder never lets go of
    // is a leak).
    static int OutstandingLeases();

    // How long one round of event processing may last while waiting.
    static constexpr int kEventSliceMs = 100;
    // How often the wait looks at the cancel flag and the watched folder.
    static constexpr int kPollMs = 20;

    class Lease;

private:
    class Core;
    std::shared_ptr<Core> core_;
};

// The feedback a step hands to a folder's asynchronous change. It reports into the wrapper
// while the wrapper lives and outlives it when the folder finishes late: the folder may call
// it until it calls Finished, from any thread — or until the folder is destroyed: a folder
// dies with its pending changes and never calls their feedback again, so its destruction
// lets go of the lease (and ends the step's wait with an error).
//
// Usage: FeedbackWrapper::Lease lease(wrapper, folder); if (!folder->Change(…,
// lease.Feedback())) lease.Refused(); — a refusal (false) means the folder will not call it
// again.
class FeedbackWrapper::Lease
{
public:
    // `folder`: the folder that is handed the lease (null: none is watched).
    Lease(FeedbackWrapper& wrapper, const ContentBase* folder);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    IFeedback* Feedback() const;
    // The folder refused the change at once and lets go of the feedback.
    void Refused();

private:
    class Relay;
    Relay* relay_;
};
