#include "link/feedback/FeedbackProxy.h"

#include <QMutexLocker>

bool FeedbackProxy::IsCancelled()
{
    QMutexLocker lock(&mutex_);
    return cancelled_;
}

void FeedbackProxy::Cancel()
{
    QMutexLocker lock(&mutex_);
    cancelled_ = true;
}
