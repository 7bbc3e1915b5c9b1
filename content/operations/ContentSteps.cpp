#include "content/operations/ContentSteps.h"

#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "content/operations/FeedbackWrapper.h"
#include "content/policies/ContentPolicy.h"
#include "content/policies/PolicyFolder.h"
#include "link/devices/DeviceManager.h"

#include <QSet>

#include <memory>

namespace {

// Stands in for a missing feedback, so that a caller without one still gets the steps'
// answers.
class NoFeedback : public IFeedback
{
public:
    void AddString(QString, FeedbackStatus) override {}
    void SetTotal(int) override {}
    void SetCurrent(int) override {}
    void Finished(FeedbackResult) override {}
    bool IsCancelled() override { return false; }
};

IFeedback* Usable(IFeedback* feedback)
{
    static NoFeedback none;
    return feedback ? feedback : &none;
}

QString NameOrNone(const ContentBase* node)
{
    return node ? node->GetName() : QStringLiteral("(none)");
}

// Runs one asynchronous folder change through a 0..100 wrapper on `feedback` and waits for
// its outcome. `change` gets the feedback to hand to the folder and answers whether the
// folder took the change on; a refusal costs `failure` as an error text.
template <class Change>
int RunChange(IFeedback* feedback, const ContentFolder* folder, const QString& failure, Change change)
{
    // Its fixture has gone: nothing there would carry the change out.
    if (IsOfRemovedFixture(folder)) {
        feedback->AddString(SkippedFixtureText(folder), FeedbackError);
        return 1;
    }
    FeedbackWrapper wrapper(feedback);
    bool started = false;
    {
        FeedbackWrapper::Lease lease(wrapper, folder);
        started = change(lease.Feedback());
        if (!started)
            lease.Refused();
    }
    if (!started) {
        feedback->AddString(failure, FeedbackError);
        return 1;
    }
    return wrapper.WaitForCompletion(folder);
}

// The item's folder, after the "No parent" text when it has none.
ContentFolder* ParentOrComplain(ContentBase* item, IFeedback* feedback)
{
    ContentFolder* parent = item->GetParent();
    if (!parent)
        feedback->AddString(QStringLiteral("No parent for %1").arg(item->GetName()), FeedbackError);
    return parent;
}

bool NoFreeAddress(IFeedback* feedback, const ContentFolder* folder, const QString& name)
{
    if (feedback) {
        feedback->AddString(QStringLiteral("No free address left in %1 for %2").arg(folder->GetName(), name),
                            FeedbackError);
    }
    return false;
}

} // namespace

bool IsOfRemovedFixture(const ContentFolder* folder)
{
    if (!folder)
        return false;
    ContentLocker lock(&ContentMutex);
    return DeviceManager::RemovalHold::IsRemovedContent(folder->GetRoot());
}

QString SkippedFixtureText(const ContentFolder* folder)
{
    return QStringLiteral("Skipped %1: its fixture has left the line").arg(NameOrNone(folder));
}

int MoveStep(ContentBase* item, ContentFolder* target, IFeedback* feedback)
{
    feedback = Usable(feedback);
    const QString name = item->GetName();
    const QString targetName = NameOrNone(target);
    feedback->AddString(QStringLiteral("Moving %1 from %2 to %3").arg(name, NameOrNone(item->GetParent()), targetName),
                        FeedbackNormal);
    const QString failure = QStringLiteral("Can't move %1 to %2").arg(name, targetName);
    return RunChange(feedback, target, failure,
                     [&](IFeedback* lease) { return target && target->MoveHere(item, lease); });
}

int CreateFolderStep(ContentFolder* folder, const QString& name, int address, int kind, ContentFolder*& created,
                     IFeedback* feedback)
{
    feedback = Usable(feedback);
    const QString folderName = folder->GetName();
    feedback->AddString(QStringLiteral("Creating folder %1 in %2").arg(name, folderName), FeedbackNormal);
    const int result = RunChange(feedback, folder, QStringLiteral("Can't create folder %1 in %2").arg(name, folderName),
                                 [&](IFeedback* lease) { return folder->CreateFolder(name, address, kind, lease); });
    if (result != 0)
        return result;

    {
        ContentLocker lock(&ContentMutex);
        for (int i = 0, count = folder->ChildCount(); i < count; ++i) {
            auto* child = qobject_cast<ContentFolder*>(folder->Child(i));
            if (child && child->GetAddress() == address && child->GetName() == name) {
                created = child;
                return 0;
            }
        }
    }
    feedback->AddString(QStringLiteral("Newly created folder %1 not available in %2").arg(name, folderName),
                        FeedbackError);
    return 1;
}

int RenameStep(ContentBase* item, const QString& name, IFeedback* feedback)
{
    feedback = Usable(feedback);
    const QString oldName = item->GetName();
    feedback->AddString(QStringLiteral("Renaming %1 in %2 to %3").arg(oldName, NameOrNone(item->GetParent()), name),
                        FeedbackNormal);
    ContentFolder* parent = ParentOrComplain(item, feedback);
    if (!parent)
        return 1;
    const int address = item->GetAddress();
    return RunChange(feedback, parent, QStringLiteral("Can't rename %1 to %2").arg(oldName, name),
                     [&](IFeedback* lease) { return parent->ModifyChild(item, name, address, lease); });
}

int RenumberStep(ContentBase* item, int address, IFeedback* feedback)
{
    feedback = Usable(feedback);
    const QString name = item->GetName();
    feedback->AddString(QStringLiteral("Renumbering %1 in %2 from %3 to %4")
                            .arg(name, NameOrNone(item->GetParent()), QString::number(item->GetAddress()),
                                 QString::number(address)),
                        FeedbackNormal);
    ContentFolder* parent = ParentOrComplain(item, feedback);
    if (!parent)
        return 1;
    return RunChange(feedback, parent, QStringLiteral("Can't renumber %1 to %2").arg(name, QString::number(address)),
                     [&](IFeedback* lease) { return parent->ModifyChild(item, name, address, lease); });
}

int DeleteStep(ContentBase* item, IFeedback* feedback)
{
    feedback = Usable(feedback);
    const QString name = item->GetName();
    feedback->AddString(QStringLiteral("Deleting %1 in %2").arg(name, NameOrNone(item->GetParent())), FeedbackNormal);
    ContentFolder* parent = ParentOrComplain(item, feedback);
    if (!parent)
        return 1;
    return RunChange(feedback, parent, QStringLiteral("Can't delete %1").arg(name),
                     [&](IFeedback* lease) { return parent->RemoveChild(item, lease); });
}

int CopyStep(Content* item, ContentFolder* target, const QString& name, int address, IFeedback* feedback)
{
    feedback = Usable(feedback);
    const QString itemName = item->GetName();
    const QString targetName = NameOrNone(target);
    feedback->AddString(
        QStringLiteral("Copying %1 from %2 to %3").arg(itemName, NameOrNone(item->GetParentFolder()), targetName),
        FeedbackNormal);
    if (item->IsNotLoaded()) {
        // A fixture lists its contents before their data arrives: a copy now would be a
        // blank image under the real image's key, and a move (a copy, then a delete) would
        // lose the image.
        feedback->AddString(QStringLiteral("Can't copy %1: its data has not been loaded yet").arg(itemName),
                            FeedbackError);
        return 1;
    }

    std::unique_ptr<Content> copy;
    if (PolicyBase* policy = PolicyOf(target))
        copy.reset(policy->ConvertContent(target, item));
    if (!copy)
        copy.reset(item->Clone());
    if (!copy) {
        feedback->AddString(QStringLiteral("Can't clone %1").arg(itemName), FeedbackError);
        return 1;
    }
    copy->SetName(name);
    copy->SetAddress(address);

    return RunChange(feedback, target, QStringLiteral("Can't copy %1 to %2").arg(itemName, targetName),
                     [&](IFeedback* lease) {
                         if (!target || !target->AddChild({copy.get()}, lease))
                             return false;
                         copy.release(); // the target owns it now
                         return true;
                     });
}

bool FitNameAndAddress(ContentFolder* folder, int flags, QString& name, int& address, IFeedback* feedback)
{
    if (!folder)
        return false;
    name = ContentBase::CutName(name);
    const int minAddress = folder->MinAddress();
    const int maxAddress = folder->MaxAddress();
    if (address < minAddress || address > maxAddress) {
        address = folder->DefaultAddress();
        if (address == -1)
            return NoFreeAddress(feedback, folder, name);
    }
    if ((flags & FitIgnoreClash) || !folder->Conflicts(name, address))
        return true;
    if (flags & FitFailOnClash)
        return false;

    const int wanted = address;
    folder->MakeUnique(name, address);
    // The make-unique rules move an address up without looking at the range: 255 in a full
    // 1-255 folder would become 256, and in the library root, whose packages all stand at its
    // only address 0, any bump leaves the range. Where the new name alone settles the clash,
    // the address asked for stays.
    if (address < minAddress || address > maxAddress) {
        address = folder->Conflicts(name, wanted) ? folder->NextFreeAddress(minAddress) : wanted;
        if (address == -1)
            return NoFreeAddress(feedback, folder, name);
    }
    if (folder->Conflicts(name, address)) {
        if (feedback) {
            feedback->AddString(QStringLiteral("%1 can't be given a unique name in %2").arg(name, folder->GetName()),
                                FeedbackError);
        }
        return false;
    }
    return true;
}

bool FitNameAndAddress(ContentFolder* folder, QString& name, int& address)
{
    return FitNameAndAddress(folder, 0, name, address);
}

int KindIndex(ContentFolder* folder, const ContentBase* node)
{
    // No policy names more kinds than this; the bound keeps a policy that never answers
    // null from spinning.
    constexpr int kMaxKinds = 16;
    PolicyBase* folderPolicy = PolicyOf(folder);
    PolicyBase* nodePolicy = PolicyOf(qobject_cast<const ContentFolder*>(node));
    if (!folderPolicy || !nodePolicy)
        return 0;
    for (int kind = 0; kind < kMaxKinds; ++kind) {
        PolicyBase* childPolicy = folderPolicy->NewChildPolicy(folder, kind);
        if (!childPolicy)
            break;
        if (childPolicy == nodePolicy)
            return kind;
    }
    return 0;
}

ContentBase* FindChildByName(ContentFolder* folder, const QString& name)
{
    ContentLocker lock(&ContentMutex);
    for (int i = 0, count = folder->ChildCount(); i < count; ++i) {
        ContentBase* child = folder->Child(i);
        if (child->GetName() == name)
            return child;
    }
    return nullptr;
}

int MakeRoom(ContentFolder* folder, const QString& name, int address, const ContentBase* skip, IFeedback* feedback)
{
    feedback = Usable(feedback);
    for (ContentBase* child : ChildrenOf(folder)) {
        if (child == skip)
            continue;
        if (child->GetName() == name) {
            // Shortened like the unique-name rule: an uncut "name (n)" would be cut to 16
            // characters when stored and could then meet a sibling's name after all.
            QString candidate;
            for (int number = 2;; ++number) {
                candidate = NumberedName(name, number);
                if (candidate != name && !FindChildByName(folder, candidate))
                    break;
            }
            if (const int result = RenameStep(child, candidate, feedback))
                return result;
        }
        if (address != 0 && child->GetAddress() == address) {
            int free = folder->NextFreeAddress(address + 1);
            if (free == -1)
                free = folder->NextFreeAddress(folder->MinAddress());
            if (free == -1) {
                NoFreeAddress(feedback, folder, name);
                return 1;
            }
            if (const int result = RenumberStep(child, free, feedback))
                return result;
        }
    }
    return 0;
}

ContentPathList ContentPath(const ContentFolder* root, const ContentBase* node)
{
    ContentLocker lock(&ContentMutex);
    ContentPathList path;
    while (node && node != root) {
        ContentFolder* parent = node->GetParentFolder();
        path.prepend({node->GetName(), node->GetAddress(), KindIndex(parent, node)});
        node = parent;
    }
    return path;
}

int CountItems(const QList<ContentBase*>& items, int folderWeight, int contentWeight)
{
    ContentLocker lock(&ContentMutex);
    int count = 0;
    for (ContentBase* item : items) {
        if (auto* folder = qobject_cast<ContentFolder*>(item))
            count += folderWeight + CountItems(ChildrenOf(folder), folderWeight, contentWeight);
        else if (item)
            count += contentWeight;
    }
    return count;
}

QString DescribeItems(const QList<ContentBase*>& items)
{
    if (items.size() == 1 && items.first())
        return items.first()->GetName();
    return QStringLiteral("%1 files").arg(CountItems(items, 1, 1));
}

QList<ContentBase*> ChildrenOf(ContentFolder* folder)
{
    ContentLocker lock(&ContentMutex);
    QList<ContentBase*> children;
    for (int i = 0, count = folder->ChildCount(); i < count; ++i)
        children.append(folder->Child(i));
    return children;
}

QList<ContentBase*> TopmostItems(const QList<ContentBase*>& items)
{
    ContentLocker lock(&ContentMutex);
    const QSet<ContentBase*> listed(items.begin(), items.end());
    QSet<ContentBase*> taken;
    QList<ContentBase*> topmost;
    for (ContentBase* item : items) {
        if (!item || taken.contains(item))
            continue;
        bool inside = false;
        for (ContentFolder* folder = item->GetParentFolder(); folder && !inside; folder = folder->GetParentFolder())
            inside = listed.contains(folder);
        if (inside)
            continue;
        taken.insert(item);
        topmost.append(item);
    }
    return topmost;
}
