#pragma once

#include "link/feedback/Feedback.h"

#include <QMutex>
#include <QObject>

// An IFeedback for work on a worker thread: each call becomes a signal, which a queued
// connection carries to the widgets on the GUI thread. The cancel flag is the only state
// shared both ways and is guarded by the proxy's mutex.
class FeedbackProxy : public QObject, public IFeedback
{
    Q_OBJECT
public:
    explicit FeedbackProxy(QObject* parent = nullptr) : QObject(parent) {}

    // Asks the work to stop; it sees this at its next IsCancelled().
    virtual void Cancel();

public slots:
    void AddString(QString text, FeedbackStatus status) override { emit IFeedback_AddString(text, status); }
    void SetTotal(int total) override { emit IFeedback_SetTotal(total); }
    void SetCurrent(int current) override { emit IFeedback_SetCurrent(current); }
    void Finished(FeedbackResult result) override { emit IFeedback_Finished(result); }
    bool IsCancelled() override;
    void AddString(QString text) { AddString(text, FeedbackNormal); }
    void Finished() { Finished(FeedbackSuccess); }

signals:
    void IFeedback_AddString(QString string, FeedbackStatus status);
    void IFeedback_SetTotal(int total);
    void IFeedback_SetCurrent(int current);
    void IFeedback_Finished(FeedbackResult result);

private:
    QMutex mutex_;
    bool cancelled_ = false;
};
