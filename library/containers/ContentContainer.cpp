#include "library/containers/ContentContainer.h"

#include "link/feedback/Feedback.h"

ContentContainer::ContentContainer() = default;

bool ContentContainer::AcceptsContent(const Content*)
{
    return true;
}

bool ContentContainer::AddChild(QList<ContentBase*> children, IFeedback* feedback)
{
    children_.append(children);
    // The change is done; a caller that waits for the outcome must not wait for ever.
    if (feedback)
        feedback->Finished(FeedbackSuccess);
    return true;
}

ContentContainerFolder::ContentContainerFolder() = default;

void ContentContainerFolder::AddFolder(ContentFolder* folder)
{
    children_.append(folder);
}

bool ContentContainerFolder::AcceptsContent(const Content*)
{
    return false;
}

bool ContentContainerFolder::AddChild(QList<ContentBase*>, IFeedback* feedback)
{
    return Unchanged(feedback);
}
