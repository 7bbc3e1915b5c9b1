#pragma once

#include <QMetaType>
#include <QString>

// Severity of one progress line.
enum FeedbackStatus {
    FeedbackNormal = 0,
    FeedbackWarning = 1,
    FeedbackError = 2,
};

// Outcome of a finished piece of work.
enum FeedbackResult {
    FeedbackSuccess = 1,
    FeedbackFailure = 2,
    FeedbackCancelled = 3,
};

Q_DECLARE_METATYPE(FeedbackStatus)
Q_DECLARE_METATYPE(FeedbackResult)

// Registers both types under their own names so that queued connections can carry them
// between threads. Call once at start-up, before any such connection is used.
void RegisterFeedbackMetaTypes();

// The progress interface of commands and operations. The work calls it from its own
// thread; an implementation that shows anything must hand the calls to the GUI thread.
class IFeedback
{
public:
    virtual ~IFeedback() = default;

    virtual void AddString(QString text, FeedbackStatus status) = 0;
    virtual void SetTotal(int total) = 0;
    virtual void SetCurrent(int current) = 0;
    virtual void Finished(FeedbackResult result) = 0;
    // Polled by the work; true once the user has asked it to stop.
    virtual bool IsCancelled() = 0;
};
