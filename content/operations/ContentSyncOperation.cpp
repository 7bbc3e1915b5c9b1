#include "content/operations/ContentSyncOperation.h"

#include "content/ContentFolder.h"
#include "content/ContentFolderAggregator.h"
#include "content/ContentMutex.h"
#include "content/operations/FeedbackWrapper.h"
#include "content/operations/StepWalk.h"
#include "content/policies/ContentPolicy.h"

#include <QSet>

#include <algorithm>

namespace {

void CollectContentsInto(ContentFolder* folder, QList<Content*>& list)
{
    for (ContentBase* child : ChildrenOf(folder)) {
        if (auto* sub = qobject_cast<ContentFolder*>(child))
            CollectContentsInto(sub, list);
        else if (auto* content = qobject_cast<Content*>(child))
            list.append(content);
    }
}

bool HoldsFolder(ContentFolder* folder)
{
    const QList<ContentBase*> children = ChildrenOf(folder);
    return std::any_of(children.begin(), children.end(),
                       [](ContentBase* child) { return qobject_cast<ContentFolder*>(child) != nullptr; });
}

bool HoldsContent(ContentFolder* folder)
{
    const QList<ContentBase*> children = ChildrenOf(folder);
    return std::any_of(children.begin(), children.end(),
                       [](ContentBase* child) { return qobject_cast<Content*>(child) != nullptr; });
}

void CollectLeafFoldersInto(ContentFolder* folder, QList<ContentFolder*>& list)
{
    for (ContentBase* child : ChildrenOf(folder)) {
        auto* sub = qobject_cast<ContentFolder*>(child);
        if (!sub)
            continue;
        if (HoldsFolder(sub))
            CollectLeafFoldersInto(sub, list);
        else
            list.append(sub);
    }
}

// The paths of every folder below `folder`.
void CollectFolderPathsInto(ContentFolder* root, ContentFolder* folder, QList<ContentPathList>& paths)
{
    for (ContentBase* child : ChildrenOf(folder)) {
        if (auto* sub = qobject_cast<ContentFolder*>(child)) {
            paths.append(ContentPath(root, sub));
            CollectFolderPathsInto(root, sub, paths);
        }
    }
}

Content* FindByKey(quint32 key, const QList<Content*>& list)
{
    for (Content* content : list) {
        if (content->Key() == key)
            return content;
    }
    return nullptr;
}

ContentFolder* FindByPath(const ContentPathList& path, const ContentFolder* root, const QList<ContentFolder*>& list)
{
    for (ContentFolder* folder : list) {
        if (ContentPath(root, folder) == path)
            return folder;
    }
    return nullptr;
}

// Afterwards `sourceLeaves` holds the leaf folders the target lacks, `targetLeaves` those the
// source lacks.
void DropMatchedFolders(const ContentFolder* sourceRoot, QList<ContentFolder*>& sourceLeaves,
                        const ContentFolder* targetRoot, QList<ContentFolder*>& targetLeaves)
{
    for (ContentFolder* folder : QList<ContentFolder*>(sourceLeaves)) {
        if (ContentFolder* match = FindByPath(ContentPath(sourceRoot, folder), targetRoot, targetLeaves)) {
            sourceLeaves.removeOne(folder);
            targetLeaves.removeOne(match);
        }
    }
}

ContentPathList WithoutLast(ContentPathList path)
{
    if (!path.isEmpty())
        path.removeLast();
    return path;
}

// Runs `step` for each item as one unit of the phase [low, high] of `feedback`.
template <class Item, class Step>
int RunPhase(IFeedback* feedback, int low, int high, const QList<Item>& items, bool stopAtFirstFailure, Step step)
{
    FeedbackWrapper phase(feedback, low, high);
    phase.SetTotal(int(items.size()));
    StepWalk walk(&phase, stopAtFirstFailure);
    int count = 0;
    for (const Item& item : items) {
        if (!walk.Proceed())
            break;
        int result;
        {
            FeedbackWrapper unit(&phase, count, count + 1);
            result = step(item, &unit);
        }
        if (!walk.Record(result))
            break;
        phase.SetCurrent(++count);
    }
    return walk.Result();
}

// An address free in both folders (ignoring `item`), inside both ranges; -1 when none.
int AddressFreeInBoth(ContentFolder* a, ContentFolder* b, const ContentBase* item)
{
    const int low = std::max(a->MinAddress(), b->MinAddress());
    const int high = std::min(a->MaxAddress(), b->MaxAddress());
    for (int address = std::max(low, 1); address <= high; ++address) {
        if (!AddressInUse(a, item, address) && !AddressInUse(b, item, address))
            return address;
    }
    return -1;
}

// Before `item` moves from its folder into `folder`, where the place it is meant for is
// already free: its present name or address may still be another child's there, and a move
// keeps both (a fixture keeps the file number), so the two would collide. It is first given a
// name and address that are free in both folders: the ones it is meant to have when its own
// folder allows, else numbered or free ones.
int ClearWayForMove(ContentBase* item, ContentFolder* folder, const QString& name, int address, IFeedback* feedback)
{
    ContentFolder* from = item->GetParent();
    if (!from)
        return 0;
    const QString currentName = item->GetName();
    if (currentName != name && NameInUse(folder, item, currentName)) {
        QString free = name;
        for (int number = 2; NameInUse(from, item, free) || NameInUse(folder, item, free); ++number)
            free = NumberedName(name, number);
        if (const int result = RenameStep(item, free, feedback))
            return result;
    }
    const int currentAddress = item->GetAddress();
    if (currentAddress != 0 && currentAddress != address && AddressInUse(folder, item, currentAddress)) {
        int free = address;
        if (address == 0 || AddressInUse(from, item, address))
            free = AddressFreeInBoth(from, folder, item);
        if (free == -1) {
            feedback->AddString(
                QStringLiteral("No free address left in %1 for %2").arg(folder->GetName(), currentName), FeedbackError);
            return 1;
        }
        if (const int result = RenumberStep(item, free, feedback))
            return result;
    }
    return 0;
}

// One run of the synchronisation: what the phases share.
class SyncRun
{
public:
    SyncRun(ContentFolder* source, bool stopAtFirstFailure) : source_(source), stop_(stopAtFirstFailure)
    {
        contents_ = CollectContents(source);
        leaves_ = CollectLeafFolders(source);
        CollectFolderPathsInto(source, source, folderPaths_);
    }

    // The phases of one target, reported on `feedback` (total 100).
    void SyncTarget(ContentFolder* target, IFeedback* feedback, StepWalk& walk);
    // The copies of every content some targets lack.
    void CopyMissing(IFeedback* feedback, StepWalk& walk);
    bool AnythingMissing() const { return !missing_.isEmpty(); }
    // Whether `folder` is in the tree of a fixture announced removed; says so once per
    // fixture.
    bool Gone(ContentFolder* folder, IFeedback* feedback);

private:
    int SyncContents(ContentFolder* target, QList<Content*>& lacking, QList<Content*>& unmatched, IFeedback* feedback);
    int PlaceContent(Content* source, Content* target, ContentFolder* targetRoot, IFeedback* feedback);
    int CopyToTargets(Content* content, const QList<ContentFolder*>& targets, IFeedback* feedback);
    bool KeepStaleFolder(ContentFolder* target, ContentFolder* folder) const;

    ContentFolder* source_;
    const bool stop_;
    QSet<const ContentFolder*> gone_;  // content roots of the fixtures reported removed
    QList<Content*> contents_;
    QList<ContentFolder*> leaves_;
    QList<ContentPathList> folderPaths_;
    // The source contents some targets lack, in source order, with those targets.
    QList<QPair<Content*, QList<ContentFolder*>>> missing_;
};

bool SyncRun::Gone(ContentFolder* folder, IFeedback* feedback)
{
    if (!IsOfRemovedFixture(folder))
        return false;
    const ContentFolder* root = folder->GetRoot();
    if (!gone_.contains(root)) {
        gone_.insert(root);
        feedback->AddString(SkippedFixtureText(folder), FeedbackError);
    }
    return true;
}

void SyncRun::SyncTarget(ContentFolder* target, IFeedback* feedback, StepWalk& walk)
{
    // Each phase may wait long enough for a discovery to drop the fixture: it is looked
    // at before each.
    const auto skip = [&] {
        if (!Gone(target, feedback))
            return false;
        walk.Record(1);
        return true;
    };
    if (skip())
        return;
    // a. Matched contents into place.
    QList<Content*> lacking = contents_;
    QList<Content*> unmatched = CollectContents(target);
    {
        FeedbackWrapper phase(feedback, 0, 25);
        if (!walk.Record(SyncContents(target, lacking, unmatched, &phase)))
            return;
    }
    // b. Stale contents.
    if (skip() || !walk.Proceed()
        || !walk.Record(RunPhase(feedback, 25, 50, unmatched, stop_,
                                 [](Content* content, IFeedback* unit) { return DeleteStep(content, unit); })))
        return;
    // c. What the target lacks, to be copied at the end.
    for (Content* content : lacking) {
        auto entry = std::find_if(missing_.begin(), missing_.end(), [&](const auto& e) { return e.first == content; });
        if (entry == missing_.end())
            missing_.append({content, {target}});
        else
            entry->second.append(target);
    }
    // d. Leaf folders on one side only.
    QList<ContentFolder*> sourceLeaves = leaves_;
    QList<ContentFolder*> targetLeaves = CollectLeafFolders(target);
    DropMatchedFolders(source_, sourceLeaves, target, targetLeaves);
    // e. Stale leaf folders, the last collected first.
    QList<ContentFolder*> stale;
    for (auto it = targetLeaves.crbegin(); it != targetLeaves.crend(); ++it) {
        if (!KeepStaleFolder(target, *it))
            stale.append(*it);
    }
    if (skip() || !walk.Proceed()
        || !walk.Record(RunPhase(feedback, 50, 75, stale, stop_,
                                 [](ContentFolder* folder, IFeedback* unit) { return DeleteStep(folder, unit); })))
        return;
    // f. Missing folders.
    if (skip() || !walk.Proceed())
        return;
    walk.Record(RunPhase(feedback, 75, 100, sourceLeaves, stop_, [&](ContentFolder* folder, IFeedback* unit) {
        ContentFolder* reached = nullptr;
        return EnsurePath(target, ContentPath(source_, folder), reached, unit);
    }));
}

// A leaf the source lacks as a leaf may still be one of its folders (one that holds
// sub-folders in the source), and it may still hold contents matched in place or whose
// move failed: deleting it would take them along.
bool SyncRun::KeepStaleFolder(ContentFolder* target, ContentFolder* folder) const
{
    return folderPaths_.contains(ContentPath(target, folder)) || HoldsContent(folder);
}

int SyncRun::SyncContents(ContentFolder* target, QList<Content*>& lacking, QList<Content*>& unmatched,
                          IFeedback* feedback)
{
    feedback->SetTotal(int(lacking.size()));
    StepWalk walk(feedback, stop_);
    int count = 0;
    for (Content* source : QList<Content*>(lacking)) {
        if (!walk.Proceed())
            break;
        Content* match = FindByKey(source->Key(), unmatched);
        if (!match)
            continue;
        lacking.removeOne(source);
        unmatched.removeOne(match);
        if (ContentPath(source_, source) != ContentPath(target, match)) {
            int result;
            {
                FeedbackWrapper unit(feedback, count, count + 1);
                result = PlaceContent(source, match, target, &unit);
            }
            if (!walk.Record(result))
                break;
        }
        feedback->SetCurrent(++count);
    }
    return walk.Result();
}

int SyncRun::PlaceContent(Content* source, Content* target, ContentFolder* targetRoot, IFeedback* feedback)
{
    ContentFolder* folder = nullptr;
    if (const int result = EnsurePath(targetRoot, WithoutLast(ContentPath(source_, source)), folder, feedback))
        return result;
    const QString name = source->GetName();
    const int address = source->GetAddress();
    const bool inPlace = target->GetParent() == folder && target->GetName() == name && target->GetAddress() == address;
    if (!inPlace) {
        if (const int result = MakeRoom(folder, name, address, target, feedback))
            return result;
    }
    if (target->GetParent() != folder) {
        if (const int result = ClearWayForMove(target, folder, name, address, feedback))
            return result;
        if (const int result = MoveStep(target, folder, feedback))
            return result;
    }
    if (target->GetName() != name) {
        if (const int result = RenameStep(target, name, feedback))
            return result;
    }
    if (target->GetAddress() != address)
        return RenumberStep(target, address, feedback);
    return 0;
}

void SyncRun::CopyMissing(IFeedback* feedback, StepWalk& walk)
{
    const int m = int(missing_.size());
    for (int j = 0; j < m; ++j) {
        if (!walk.Proceed())
            return;
        int result;
        {
            FeedbackWrapper share(feedback, 75 * j / m + 25, 75 * (j + 1) / m + 25);
            result = CopyToTargets(missing_[j].first, missing_[j].second, &share);
        }
        if (!walk.Record(result))
            return;
    }
}

int SyncRun::CopyToTargets(Content* content, const QList<ContentFolder*>& targets, IFeedback* feedback)
{
    const ContentPathList path = WithoutLast(ContentPath(source_, content));
    StepWalk walk(feedback, stop_);
    QList<ContentFolder*> destinations;
    ContentFolderAggregator* aggregator = nullptr;
    for (ContentFolder* target : targets) {
        if (!walk.Proceed())
            return walk.Result();
        if (Gone(target, feedback)) {
            if (!walk.Record(1))
                return walk.Result();
            continue;
        }
        ContentFolder* folder = nullptr;
        const int result = EnsurePath(target, path, folder, feedback);
        if (result == 0) {
            destinations.append(folder);
            if (!aggregator)
                aggregator = folder->Aggregator();
        }
        if (!walk.Record(result))
            return walk.Result();
    }

    QList<ContentFolder*> folders;
    if (!aggregator || !aggregator->Aggregate(destinations, folders)) {
        aggregator = nullptr;
        folders = destinations;
    }
    // The aggregates are released however the copies end.
    struct Release {
        ContentFolderAggregator* aggregator;
        QList<ContentFolder*>& folders;
        ~Release()
        {
            if (aggregator)
                aggregator->Release(folders);
        }
    } release{aggregator, folders};

    feedback->SetTotal(100);
    const int d = int(folders.size());
    const QString name = content->GetName();
    const int address = content->GetAddress();
    for (int i = 0; i < d; ++i) {
        if (!walk.Proceed())
            break;
        // A fixture may have left while the copies before this one ran.
        if (Gone(folders[i], feedback)) {
            if (!walk.Record(1))
                break;
            continue;
        }
        int result;
        {
            FeedbackWrapper share(feedback, 100 * i / d, 100 * (i + 1) / d);
            result = CopyStep(content, folders[i], name, address, &share);
        }
        if (!walk.Record(result))
            break;
    }
    return walk.Result();
}

} // namespace

const ContentFolder* UnreadFolder(ContentFolder* root)
{
    ContentLocker lock(&ContentMutex);
    if (!root->ChildrenRead())
        return root;
    for (ContentBase* child : ChildrenOf(root)) {
        if (auto* folder = qobject_cast<ContentFolder*>(child)) {
            if (const ContentFolder* unread = UnreadFolder(folder))
                return unread;
        }
    }
    return nullptr;
}

QList<Content*> CollectContents(ContentFolder* folder)
{
    ContentLocker lock(&ContentMutex);
    QList<Content*> list;
    CollectContentsInto(folder, list);
    return list;
}

QList<ContentFolder*> CollectLeafFolders(ContentFolder* folder)
{
    ContentLocker lock(&ContentMutex);
    QList<ContentFolder*> list;
    CollectLeafFoldersInto(folder, list);
    return list;
}

int EnsurePath(ContentFolder* root, const ContentPathList& path, ContentFolder*& folder, IFeedback* feedback)
{
    ContentFolder* current = root;
    for (const ContentPathElement& element : path) {
        ContentFolder* next = nullptr;
        for (ContentBase* child : ChildrenOf(current)) {
            auto* sub = qobject_cast<ContentFolder*>(child);
            if (sub && sub->GetName() == element.name && sub->GetAddress() == element.address) {
                next = sub;
                break;
            }
        }
        if (!next) {
            if (const int result = MakeRoom(current, element.name, element.address, nullptr, feedback))
                return result;
            if (const int result =
                    CreateFolderStep(current, element.name, element.address, element.kind, next, feedback))
                return result;
        }
        current = next;
    }
    folder = current;
    return 0;
}

ContentSyncOperation::ContentSyncOperation(QObject* parent) : ContentOperation(parent) {}

void ContentSyncOperation::SetSource(ContentFolder* source)
{
    source_ = source;
}

void ContentSyncOperation::SetTargets(const QList<ContentFolder*>& targets)
{
    targets_ = targets;
}

bool ContentSyncOperation::Succeeded()
{
    return upToDate_;
}

QString ContentSyncOperation::Title()
{
    return QStringLiteral("Cloning %1 to %2 location(s)")
        .arg(source_ ? source_->GetName() : QStringLiteral("(none)"), QString::number(TargetsApartFromSource().size()));
}

bool ContentSyncOperation::Overlaps(const ContentFolder* target) const
{
    return target && source_ && (target->IsInside(source_) || source_->IsInside(target));
}

QList<ContentFolder*> ContentSyncOperation::TargetsApartFromSource() const
{
    QList<ContentFolder*> apart;
    for (ContentFolder* target : targets_) {
        if (!Overlaps(target))
            apart.append(target);
    }
    return apart;
}

bool ContentSyncOperation::IsValid()
{
    return source_ && !targets_.isEmpty();
}

int ContentSyncOperation::Run(IFeedback* feedback)
{
    if (!IsValid())
        return 1;
    const QString sourceName = source_->GetName();
    if (const ContentFolder* unread = UnreadFolder(source_)) {
        feedback->AddString(QStringLiteral("Can't clone %1: %2 could not be read").arg(sourceName, unread->GetName()),
                            FeedbackError);
        return 1;
    }
    if (targets_.contains(nullptr)) {
        feedback->AddString(QStringLiteral("Can't clone %1: a target is missing").arg(sourceName), FeedbackError);
        return 1;
    }
    // Either way round, a run would match the source's contents with themselves. A fixture
    // chosen as both the source and a destination is left out; the others are cloned.
    const QList<ContentFolder*> targets = TargetsApartFromSource();
    if (targets.isEmpty()) {
        feedback->AddString(QStringLiteral("Can't clone %1 into itself").arg(sourceName), FeedbackError);
        return 1;
    }
    for (ContentFolder* target : targets_) {
        if (!targets.contains(target)) {
            feedback->AddString(
                QStringLiteral("Left out %1: the source of a clone can't also be its destination").arg(target->GetName()),
                FeedbackWarning);
        }
    }

    SyncRun run(source_, flags_ & StopAtFirstFailure);
    feedback->SetTotal(100);
    StepWalk walk(feedback, flags_ & StopAtFirstFailure);
    const int n = int(targets.size());
    for (int k = 0; k < n; ++k) {
        if (!walk.Proceed())
            break;
        ContentFolder* target = targets[k];
        // What it seems to lack it may hold: nothing is changed there.
        if (const ContentFolder* unread = UnreadFolder(target)) {
            feedback->AddString(QStringLiteral("Can't clone %1 to %2: %3 could not be read")
                                    .arg(sourceName, target->GetName(), unread->GetName()),
                                FeedbackError);
            if (!walk.Record(1))
                break;
            continue;
        }
        FeedbackWrapper share(feedback, 25 * k / n, 25 * (k + 1) / n);
        share.SetTotal(100);
        run.SyncTarget(target, &share, walk);
    }
    run.CopyMissing(feedback, walk);
    if (walk.Result() == 0 && !run.AnythingMissing())
        upToDate_ = true;
    return walk.Result();
}
