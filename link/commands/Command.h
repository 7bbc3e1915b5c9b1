#pragma once

#include "link/feedback/Feedback.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QUuid>

// A piece of fixture work queued on the command thread (see CommManager). Subclasses set
// their parameters on the thread that creates them, under `mutex_`, before queueing, and
// do the work in Execute(), which runs on the command thread and may block and sleep.
//
// A command reports through its own IFeedback (each call becomes an IFeedback_* signal
// and is passed on to the chained feedback, if one is set) and announces its end with a
// signal of its own that carries GetId() and its result.
//
// Ownership: the queue never deletes a command. While queued and executing it lives in
// the command thread; when Execute() returns it is handed back to the thread that queued
// it, before CommandCompleted is emitted. Whoever queued it deletes it (or deleteLater)
// once CommandCompleted for its id has arrived, never earlier: the command thread may
// still be inside Execute() when the command's own finished signal is delivered.
class Command : public QObject, public IFeedback
{
    Q_OBJECT
public:
    explicit Command(QObject* parent = nullptr);
    ~Command() override;

    // Runs on the command thread. The queue ignores the result; the outcome reaches
    // listeners through Finished() and the subclass's own finished signal.
    virtual bool Execute() = 0;

    QUuid GetId() const { return id_; }
    QString GetName() const;
    // Whether stopping it half-way leaves nothing broken: true for the commands that only
    // look (discovery, identify, reading a fixture's content list), false for those that
    // write to a fixture or a library, which the program does not quit on without asking.
    // Any thread.
    virtual bool InterruptsSafely() const { return false; }

    // Every later progress call is also passed to `feedback` (not owned; it must outlive
    // the command's execution). Set it before queueing; null detaches.
    void SetChainedFeedback(IFeedback* feedback);
    IFeedback* ChainedFeedback() const;

    // IFeedback, on the command itself. Finished and IsCancelled pause 100 ms first, so
    // a command that reports in a tight loop leaves the GUI time to follow. IsCancelled
    // is also true once the queue is stopping (see CommThread).
    void AddString(QString text, FeedbackStatus status) override;
    void SetTotal(int total) override;
    void SetCurrent(int current) override;
    void Finished(FeedbackResult result) override;
    bool IsCancelled() override;

    // The pause of Finished and IsCancelled.
    static constexpr int kFeedbackPauseMs = 100;

signals:
    void IFeedback_AddString(QString string, FeedbackStatus status);
    void IFeedback_SetTotal(int total);
    void IFeedback_SetCurrent(int current);
    void IFeedback_Finished(FeedbackResult result);

protected:
    // Subclasses give their display title here (in their constructor).
    void SetName(const QString& name);

    // Guards the subclass's parameters between the creating thread and Execute().
    mutable QMutex mutex_;

private:
    const QUuid id_;
    mutable QMutex stateMutex_; // name and chained feedback
    QString name_;
    IFeedback* chained_ = nullptr;
};
