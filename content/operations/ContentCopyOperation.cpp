#include "content/operations/ContentCopyOperation.h"

#include "content/ContentFolder.h"
#include "content/operations/ContentSteps.h"
#include "content/operations/FeedbackWrapper.h"
#include "content/operations/StepWalk.h"

namespace {

QString TargetName(const ContentFolder* target)
{
    return target ? target->GetName() : QStringLiteral("(none)");
}

// Whether some folder of `items` passes `folderTest` or some content `contentTest`; items
// that are neither pass nothing.
template <class FolderTest, class ContentTest>
bool AnyItemPasses(const QList<ContentBase*>& items, FolderTest folderTest, ContentTest contentTest)
{
    for (ContentBase* item : items) {
        if (auto* folder = qobject_cast<ContentFolder*>(item)) {
            if (folderTest(folder))
                return true;
        } else if (auto* content = qobject_cast<Content*>(item)) {
            if (contentTest(content))
                return true;
        }
    }
    return false;
}

} // namespace

bool CanCopy(const QList<ContentBase*>& items, ContentFolder* target)
{
    if (!target || target->IsChildrenReadOnly())
        return false;
    if (items.isEmpty())
        return true;
    return AnyItemPasses(
        items, [&](ContentFolder* folder) { return target->AcceptsFolder(folder) && !target->IsInside(folder); },
        [&](Content* content) { return target->AcceptsContent(content); });
}

bool CanMove(const QList<ContentBase*>& items, ContentFolder* target)
{
    if (!target || target->IsChildrenReadOnly() || items.isEmpty())
        return false;
    return AnyItemPasses(
        items, [&](ContentFolder* folder) { return target->CanMoveFolderHere(folder); },
        [&](Content* content) { return target->CanMoveContentHere(content); });
}

ContentCopyOperation::ContentCopyOperation(QObject* parent) : ContentItemsOperation(parent) {}

QString ContentCopyOperation::Title()
{
    return QStringLiteral("Copying %1 to %2").arg(DescribeItems(items_), TargetName(target_));
}

bool ContentCopyOperation::IsValid()
{
    return CanCopy(items_, target_);
}

int ContentCopyOperation::Run(IFeedback* feedback)
{
    feedback->SetTotal(CountItems(items_, 1, 100));
    count_ = 0;
    return CopyList(items_, target_, feedback);
}

int ContentCopyOperation::CopyList(const QList<ContentBase*>& list, ContentFolder* destination, IFeedback* feedback)
{
    if (!CanCopy(list, destination))
        return 1;
    StepWalk walk(feedback, flags_ & StopAtFirstFailure);
    for (ContentBase* item : list) {
        if (!walk.Proceed())
            break;
        int result = 1;
        if (auto* folder = qobject_cast<ContentFolder*>(item))
            result = CopyFolder(folder, destination, feedback);
        else if (auto* content = qobject_cast<Content*>(item))
            result = CopyContent(content, destination, feedback);
        if (!walk.Record(result))
            break;
    }
    return walk.Result();
}

int ContentCopyOperation::CopyContent(Content* content, ContentFolder* destination, IFeedback* feedback)
{
    if (!destination->AcceptsContent(content))
        return 1;
    QString name = content->GetName();
    int address = content->GetAddress();
    if (!FitNameAndAddress(destination, flags_, name, address, feedback))
        return 1;
    {
        FeedbackWrapper share(feedback, count_, count_ + 100);
        if (const int result = CopyStep(content, destination, name, address, &share))
            return result;
    }
    count_ += 100;
    feedback->SetCurrent(count_);
    return 0;
}

int ContentCopyOperation::CopyFolder(ContentFolder* folder, ContentFolder* destination, IFeedback* feedback)
{
    // Whatever the other items are, a folder never goes into its own sub-tree: its copy
    // would be copied again for ever.
    if (destination->IsInside(folder))
        return 1;
    QString name = folder->GetName();
    int address = folder->GetAddress();
    if (!FitNameAndAddress(destination, flags_, name, address, feedback))
        return 1;
    const int kind = KindIndex(destination, folder);
    ContentFolder* created = nullptr;
    {
        FeedbackWrapper share(feedback, count_, count_ + 1);
        if (const int result = CreateFolderStep(destination, name, address, kind, created, &share))
            return result;
    }
    count_ += 1;
    feedback->SetCurrent(count_);
    return CopyList(ChildrenOf(folder), created, feedback);
}

ContentMoveOperation::ContentMoveOperation(QObject* parent) : ContentItemsOperation(parent) {}

QString ContentMoveOperation::Title()
{
    return QStringLiteral("Moving %1 to %2").arg(DescribeItems(items_), TargetName(target_));
}

bool ContentMoveOperation::IsValid()
{
    return CanMove(items_, target_);
}

int ContentMoveOperation::Run(IFeedback* feedback)
{
    feedback->SetTotal(int(items_.size()));
    int count = 0;
    if (!CanMove(items_, target_))
        return 1;
    StepWalk walk(feedback, flags_ & StopAtFirstFailure);
    for (ContentBase* item : items_) {
        if (!walk.Proceed())
            break;
        int result;
        {
            FeedbackWrapper share(feedback, count, count + 1);
            result = MoveStep(item, target_, &share);
        }
        if (!walk.Record(result))
            break;
        feedback->SetCurrent(++count);
    }
    return walk.Result();
}
