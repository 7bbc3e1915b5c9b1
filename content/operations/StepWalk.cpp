#include "content/operations/StepWalk.h"

#include "link/feedback/Feedback.h"

bool StepWalk::Proceed()
{
    if (!ended_ && feedback_ && feedback_->IsCancelled()) {
        cancelled_ = true;
        ended_ = true;
    }
    return !ended_;
}

bool StepWalk::Record(int result)
{
    if (result == 2) {
        cancelled_ = true;
        ended_ = true;
    } else if (result != 0) {
        failed_ = true;
        if (stopAtFirstFailure_)
            ended_ = true;
    }
    return !ended_;
}
