#include "content/operations/ContentDeleteOperation.h"

#include "content/ContentFolder.h"
#include "content/operations/ContentSteps.h"
#include "content/operations/FeedbackWrapper.h"
#include "content/operations/StepWalk.h"

ContentDeleteOperation::ContentDeleteOperation(QObject* parent) : ContentItemsOperation(parent) {}

QString ContentDeleteOperation::Title()
{
    return QStringLiteral("Deleting %1").arg(DescribeItems(items_));
}

bool ContentDeleteOperation::IsValid()
{
    return true;
}

int ContentDeleteOperation::Run(IFeedback* feedback)
{
    // A folder and something inside it, both selected: deleting the folder takes the inner
    // item with it, so visiting that item afterwards would touch a node that is gone.
    const QList<ContentBase*> items = TopmostItems(items_);
    feedback->SetTotal(CountItems(items, 1, 1));
    count_ = 0;
    StepWalk walk(feedback, flags_ & StopAtFirstFailure);
    DeleteTree(items, feedback, walk);
    return walk.Result();
}

void ContentDeleteOperation::DeleteTree(const QList<ContentBase*>& items, IFeedback* feedback, StepWalk& walk)
{
    for (ContentBase* item : items) {
        if (!walk.Proceed())
            return;
        if (auto* folder = qobject_cast<ContentFolder*>(item)) {
            DeleteTree(ChildrenOf(folder), feedback, walk);
            if (walk.Ended())
                return;
        }
        int result;
        {
            FeedbackWrapper share(feedback, count_, count_ + 1);
            result = DeleteStep(item, &share);
        }
        if (!walk.Record(result))
            return;
        feedback->SetCurrent(++count_);
    }
}

ContentAddressOperation::ContentAddressOperation(QObject* parent) : ContentItemsOperation(parent)
{
    SetFlags(Autoset);
}

QString ContentAddressOperation::Title()
{
    return QStringLiteral("Addressing %1").arg(DescribeItems(items_));
}

bool ContentAddressOperation::IsValid()
{
    return true;
}

int ContentAddressOperation::Run(IFeedback* feedback)
{
    feedback->SetTotal(int(items_.size()));
    int count = 0;
    StepWalk walk(feedback, flags_ & StopAtFirstFailure);
    for (ContentBase* item : items_) {
        if (!walk.Proceed())
            break;
        int result = 0;
        ContentFolder* parent = item->GetParent();
        const int address = item->GetAddress();
        {
            FeedbackWrapper share(feedback, count, count + 1);
            if (parent && (flags_ & Autoset)) {
                const int lowest = parent->NextFreeAddress(1);
                if (lowest != -1 && (address < parent->MinAddress() || lowest < address))
                    result = RenumberStep(item, lowest, &share);
            } else if (parent && (flags_ & Reset)) {
                if (address > 0)
                    result = RenumberStep(item, 0, &share);
            }
        }
        if (!walk.Record(result))
            break;
        feedback->SetCurrent(++count);
    }
    return walk.Result();
}
