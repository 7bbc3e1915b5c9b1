#include "link/feedback/Feedback.h"

void RegisterFeedbackMetaTypes()
{
    qRegisterMetaType<FeedbackStatus>("FeedbackStatus");
    qRegisterMetaType<FeedbackResult>("FeedbackResult");
}
