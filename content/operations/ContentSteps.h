#pragma once

#include <QList>
#include <QString>

class Content;
class ContentBase;
class ContentFolder;
class IFeedback;

// The steps from which every content operation is built, and the small routines they share.
//
// A step routine sends its progress text (FeedbackNormal) to the feedback it is given, builds
// a 0..100 FeedbackWrapper on it (so the feedback's total becomes 100), calls one
// asynchronous change operation of the folder concerned and waits for its outcome. It answers
// a step result: 0 success, 1 failure, 2 cancelled. A refusal costs one error text and
// answers 1; a change that fails later reports its own texts. Texts (the placeholders are
// names unless said otherwise; a missing parent is "(none)"):
//
// | step             | progress text                        | failure text                    |
// | MoveStep         | "Moving %1 from %2 to %3"            | "Can't move %1 to %2"           |
// | CreateFolderStep | "Creating folder %1 in %2"           | "Can't create folder %1 in %2"  |
// | RenameStep       | "Renaming %1 in %2 to %3"            | "Can't rename %1 to %2"         |
// | RenumberStep     | "Renumbering %1 in %2 from %3 to %4" | "Can't renumber %1 to %2"       |
// | DeleteStep       | "Deleting %1 in %2"                  | "Can't delete %1"               |
// | CopyStep         | "Copying %1 from %2 to %3"           | "Can't copy %1 to %2"           |
//
// Threads: the operation's worker thread. The steps take no lock of their own and hold none
// while they wait; the folders guard the trees with ContentMutex.

// Moves `item` into `target` (target->MoveHere).
int MoveStep(ContentBase* item, ContentFolder* target, IFeedback* feedback);
// Creates a folder of `kind` named `name` at `address` in `folder` and stores it in
// `created`: the first child folder with exactly that name and address after the change.
// "Newly created folder %1 not available in %2" when there is none (answer 1). On any
// non-zero answer `created` is left untouched.
int CreateFolderStep(ContentFolder* folder, const QString& name, int address, int kind, ContentFolder*& created,
                     IFeedback* feedback);
// Renames `item` in its folder (parent->ModifyChild with its current address).
// "No parent for %1" (answer 1) when it has no folder.
int RenameStep(ContentBase* item, const QString& name, IFeedback* feedback);
// Gives `item` a new address in its folder (parent->ModifyChild with its current name).
// "No parent for %1" (answer 1) when it has no folder.
int RenumberStep(ContentBase* item, int address, IFeedback* feedback);
// Deletes `item` from its folder (parent->RemoveChild). "No parent for %1" (answer 1) when
// it has no folder. The item may be gone when this returns.
int DeleteStep(ContentBase* item, IFeedback* feedback);
// Adds a copy of `item` named `name` at `address` to `target` (target->AddChild with the
// copy). The copy is the target policy's conversion of the item when there is one, else the
// item's clone (which keeps its key); "Can't clone %1" when there is neither. A content whose
// data has not been loaded from its fixture is refused with "Can't copy %1: its data has not
// been loaded yet": its copy would be blank under the original's key. A refused copy is
// destroyed; an accepted one belongs to the target.
int CopyStep(Content* item, ContentFolder* target, const QString& name, int address, IFeedback* feedback);

// Whether `folder` lies in the content tree of a fixture the registry has announced removed
// while a DeviceManager::RemovalHold kept it (every ContentOperation holds one). Every step
// routine asks before it changes a folder, and refuses with "Skipped %1: its fixture has
// left the line" (the folder's name; answer 1). Any thread.
bool IsOfRemovedFixture(const ContentFolder* folder);
// That refusal's text, for operations that skip a whole fixture at once.
QString SkippedFixtureText(const ContentFolder* folder);

// Flags of FitNameAndAddress (and of the copy operation).
enum FitFlags {
    // A clash fails instead of being made unique.
    FitFailOnClash = 1,
    // Clashes are not looked for at all.
    FitIgnoreClash = 2,
};

// Makes `name` and `address` fit `folder`: an address outside the folder's range is replaced
// by its DefaultAddress; a clash (unless FitIgnoreClash) fails with FitFailOnClash, else is
// resolved by the folder's MakeUnique. When MakeUnique leaves the range, the address asked
// for is kept if the new name alone settles the clash, else the lowest free address of the
// folder is taken. False when no address is left or the clash remains; with a
// feedback, then "No free address left in %1 for %2" or "%2 can't be given a unique name
// in %1" (error). The name is first cut to the 16 characters a node keeps.
bool FitNameAndAddress(ContentFolder* folder, int flags, QString& name, int& address, IFeedback* feedback = nullptr);
bool FitNameAndAddress(ContentFolder* folder, QString& name, int& address);

// The folder kind (the `kind` of CreateFolder) under which `folder` creates a folder like
// `node`: the first k whose NewChildPolicy(folder, k) is the very policy `node` holds; 0 when
// none is, or when either is not a policy folder.
int KindIndex(ContentFolder* folder, const ContentBase* node);
// The first child of `folder` named exactly `name`; null when none.
ContentBase* FindChildByName(ContentFolder* folder, const QString& name);
// Moves the children of `folder` (other than `skip`) out of the way of an item that is to bear
// `name` and `address`: a child of that name is renamed "name (n)" (shortened like the
// unique-name rule, free in the folder), a child at that non-zero address is renumbered to
// the next free address above it, or the lowest free one when none is above. "No free
// address left in %1 for %2" when the folder is full (answer 1).
int MakeRoom(ContentFolder* folder, const QString& name, int address, const ContentBase* skip, IFeedback* feedback);

// One step of a path from a root down to a node. Equal when names (case-sensitive) and
// addresses are; the kind takes no part.
struct ContentPathElement {
    QString name;
    int address = 0;
    // KindIndex(parent, node): the kind under which the node's folder made it.
    int kind = 0;

    friend bool operator==(const ContentPathElement& a, const ContentPathElement& b)
    {
        return a.name == b.name && a.address == b.address;
    }
};
using ContentPathList = QList<ContentPathElement>;

// The path from just below `root` down to `node` (node last). A node that is not below root
// gives the path up to its topmost folder.
ContentPathList ContentPath(const ContentFolder* root, const ContentBase* node);
// Folders weigh `folderWeight` plus their children's count, contents `contentWeight`.
int CountItems(const QList<ContentBase*>& items, int folderWeight, int contentWeight);
// The single item's name, else "%1 files" with every folder and content below counted.
QString DescribeItems(const QList<ContentBase*>& items);
// A snapshot of the children of `folder`, in child order.
QList<ContentBase*> ChildrenOf(ContentFolder* folder);
// `items` without repeats and without the items that lie inside another listed folder (they
// go with that folder), in their order.
QList<ContentBase*> TopmostItems(const QList<ContentBase*>& items);
