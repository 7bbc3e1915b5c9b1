#pragma once

#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "content/policies/PolicyBase.h"
#include "library/LibraryNames.h"
#include "library/common/LibraryNode.h"
#include "library/config/ConfigFile.h"

#include <QList>
#include <QStringList>

#include <algorithm>

// The child folders of one library node and the disk work behind them: one sub-directory per
// child. Shared by the user library's root (packages) and packages (folders) and by the
// Mosavra library's packages (collage folders). `Node` is the owning node's class, `Child`
// the class of its children.
//
// `Node` gives: FindDir(dir, feedback), SaveConfig(bool), ConflictsFor, Conflicts,
// MinAddress, MaxAddress, Policy(), MakeChild(name, policy) (a new child, scanned, parent
// the node), and the folder signals. `Child` gives: DirPath(), SaveConfig() (its own file
// only), Rename(name) (SetName and whatever a rename means below it), SetAddress and the
// child accessors.
//
// The change operations follow content/ContentFolder.h: a refusal is one error text and
// false with nothing changed; a change carried out finishes at once.
//
// Threads: every member runs under ContentMutex.
template <class Node, class Child>
class LibraryFolderList
{
public:
    explicit LibraryFolderList(Node& node) : node_(node) {}
    ~LibraryFolderList() { qDeleteAll(children_); }
    LibraryFolderList(const LibraryFolderList&) = delete;
    LibraryFolderList& operator=(const LibraryFolderList&) = delete;

    int Count() const
    {
        ContentLocker lock(&ContentMutex);
        return int(children_.size());
    }
    Child* At(int index) const
    {
        ContentLocker lock(&ContentMutex);
        return index >= 0 && index < children_.size() ? children_.at(index) : nullptr;
    }
    QList<Child*> Children() const
    {
        ContentLocker lock(&ContentMutex);
        return children_;
    }

    // Fills the empty list from the directory: a child for every sub-directory whose name a
    // node can keep whole (others would be bound to a directory of another name). What
    // cannot be read is noted in the node's read state.
    void Scan()
    {
        ContentLocker lock(&ContentMutex);
        FileLayer::Dir dir;
        if (!LibraryNode::ListableDir(node_, dir))
            return;
        PolicyBase* policy = ChildPolicy(0);
        const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& name : names) {
            if (LibraryNames::KeptWhole(name))
                children_.append(node_.MakeChild(name, policy));
        }
    }

    // A new child of `kind` named `name` (cut to what a node keeps) at `address`. Range and
    // clashes are tested before the directory is made.
    bool Create(const QString& newName, int address, int kind, IFeedback* feedback)
    {
        ContentLocker lock(&ContentMutex);
        const QString name = LibraryNames::Kept(newName);
        PolicyBase* policy = ChildPolicy(kind);
        if (!policy)
            return LibraryNode::Refuse(feedback, QStringLiteral("Can't create folder"));
        if (!MakeDir(name, address, feedback))
            return false;
        Child* child = node_.MakeChild(name, policy);
        child->SetAddress(address);
        Append(child);
        // A package's own file names its family, so it is written even while it is empty.
        const ArchiveResult saved = LibraryNode::FirstFailure(child->SaveConfig(), node_.SaveConfig(false));
        return LibraryNode::Conclude(feedback, saved);
    }

    // The directory of a new child `name` (a name a node keeps whole) at `address`, after
    // the name, the range and clashes have been tested. False, with nothing made, after a
    // refusal text.
    bool MakeDir(const QString& name, int address, IFeedback* feedback)
    {
        ContentLocker lock(&ContentMutex);
        const QString problem = LibraryNames::Problem(name);
        if (!problem.isEmpty())
            return LibraryNode::Refuse(feedback, problem);
        if (!InRange(address))
            return LibraryNode::Refuse(feedback, LibraryNode::AddressOutOfRangeText());
        if (node_.ConflictsFor(nullptr, name, address))
            return LibraryNode::Refuse(feedback, LibraryNode::ConflictText());
        FileLayer::Dir dir;
        if (!node_.FindDir(dir, feedback))
            return false;
        if (!dir.mkdir(name))
            return LibraryNode::Refuse(feedback, QStringLiteral("Can't create folder"));
        FileLayer::Dir made = dir;
        if (!made.cd(name)) {
            dir.rmdir(name);
            return LibraryNode::Refuse(feedback, QStringLiteral("Can't change to new folder"));
        }
        return true;
    }

    // Removes an empty child and its directory. An empty child may still have a config.xml
    // (a package's names its family): it goes first, and is written again when the
    // directory cannot be removed (it holds files that are no items).
    bool Remove(ContentBase* node, IFeedback* feedback)
    {
        ContentLocker lock(&ContentMutex);
        const int index = IndexOf(node);
        if (index < 0)
            return NotHere(node, feedback);
        Child* child = children_.at(index);
        // A child that could not be read whole may hold more than it shows.
        if (!child->ChildrenRead())
            return LibraryNode::Refuse(feedback, QStringLiteral("Can't delete folder"));
        FileLayer::Dir dir;
        if (!node_.FindDir(dir, feedback))
            return false;
        const QString name = child->GetName();
        const bool empty = child->ChildCount() == 0;
        if (empty)
            FileLayer::Remove(FileLayer::FilePath(child->DirPath(), LibraryConfig::kFileName));
        if (!dir.rmdir(name)) {
            if (empty)
                child->SaveConfig();
            return LibraryNode::Refuse(feedback, QStringLiteral("Can't delete folder"));
        }
        children_.removeAt(index);
        emit node_.FolderRemoved(&node_, child);
        child->deleteLater();
        return LibraryNode::Conclude(feedback, node_.SaveConfig(false));
    }

    bool Modify(ContentBase* node, const QString& newName, int address, IFeedback* feedback)
    {
        ContentLocker lock(&ContentMutex);
        const int index = IndexOf(node);
        if (index < 0)
            return NotHere(node, feedback);
        Child* child = children_.at(index);
        const QString name = LibraryNames::Kept(newName);
        const QString problem = LibraryNames::Problem(name);
        if (!problem.isEmpty())
            return LibraryNode::Refuse(feedback, problem);
        if (!InRange(address))
            return LibraryNode::Refuse(feedback, LibraryNode::AddressOutOfRangeText());
        if (node_.ConflictsFor(child, name, address))
            return LibraryNode::Refuse(feedback, LibraryNode::ConflictText());
        FileLayer::Dir dir;
        if (!node_.FindDir(dir, feedback))
            return false;
        const QString oldName = child->GetName();
        if (name != oldName) {
            if (dir.exists(name) || !dir.rename(oldName, name))
                return LibraryNode::Refuse(feedback, QStringLiteral("Can't rename folder"));
        }
        const ArchiveResult renamed = name != oldName ? child->Rename(name) : ArchiveResult::Success();
        child->SetAddress(address);
        return LibraryNode::Conclude(feedback, LibraryNode::FirstFailure(renamed, node_.SaveConfig(false)));
    }

    // Moves a child of `source` (another node of the same kind) in, directory and all.
    bool MoveIn(ContentBase* node, LibraryFolderList* source, IFeedback* feedback)
    {
        ContentLocker lock(&ContentMutex);
        auto* child = qobject_cast<Child*>(node);
        if (!child || !source || source == this || IndexOf(child) >= 0 || source->IndexOf(child) < 0) {
            return LibraryNode::Refuse(feedback, QStringLiteral("%1 can't be moved to %2")
                                                     .arg(node ? node->GetName() : QString(), node_.GetName()));
        }
        const QString name = child->GetName();
        const int address = child->GetAddress();
        if (!InRange(address))
            return LibraryNode::Refuse(feedback, LibraryNode::AddressOutOfRangeText());
        if (node_.Conflicts(name, address))
            return LibraryNode::Refuse(feedback, LibraryNode::ConflictText());
        FileLayer::Dir dir;
        if (!node_.FindDir(dir, feedback))
            return false;
        const QString target = dir.absoluteFilePath(name);
        if (FileLayer::Exists(target) || !FileLayer::Rename(child->DirPath(), target))
            return LibraryNode::Refuse(feedback, QStringLiteral("Can't move folder"));
        ArchiveResult sourceSaved = ArchiveResult::Success();
        source->Take(child, &sourceSaved);
        child->SetParent(&node_);
        LibraryNode::MoveToOwnerThread(child, &node_);
        children_.append(child);
        emit node_.FolderAdded(&node_, child);
        return LibraryNode::Conclude(feedback, LibraryNode::FirstFailure(sourceSaved, node_.SaveConfig(false)));
    }

    // Takes `node` out without touching its directory; the node's file is rewritten into
    // `saved`.
    bool Take(ContentBase* node, ArchiveResult* saved)
    {
        ContentLocker lock(&ContentMutex);
        const int index = IndexOf(node);
        if (index < 0)
            return false;
        Child* child = children_.takeAt(index);
        emit node_.FolderRemoved(&node_, child);
        child->SetParent(nullptr);
        const ArchiveResult result = node_.SaveConfig(false);
        if (saved)
            *saved = result;
        return true;
    }

    // Appends a child made by the node itself and announces it.
    void Append(Child* child)
    {
        ContentLocker lock(&ContentMutex);
        LibraryNode::MoveToOwnerThread(child, &node_);
        children_.append(child);
        emit node_.FolderAdded(&node_, child);
    }

    // Takes a child the node made back out, announces it, and removes its directory (which
    // must be empty); the child is deleted later.
    void Withdraw(Child* child)
    {
        ContentLocker lock(&ContentMutex);
        if (!children_.removeOne(child))
            return;
        emit node_.FolderRemoved(&node_, child);
        FileLayer::Dir dir;
        if (node_.FindDir(dir, nullptr))
            dir.rmdir(child->GetName());
        child->deleteLater();
    }

    void SortByAddress()
    {
        ContentLocker lock(&ContentMutex);
        std::stable_sort(children_.begin(), children_.end(),
                         [](const Child* a, const Child* b) { return a->GetAddress() < b->GetAddress(); });
    }

private:
    int IndexOf(const ContentBase* node) const
    {
        for (int i = 0; i < children_.size(); ++i) {
            if (children_.at(i) == node)
                return i;
        }
        return -1;
    }

    bool InRange(int address) const
    {
        return address == 0 || (address >= node_.MinAddress() && address <= node_.MaxAddress());
    }

    PolicyBase* ChildPolicy(int kind) const
    {
        PolicyBase* policy = node_.Policy();
        return policy ? policy->NewChildPolicy(&node_, kind) : nullptr;
    }

    bool NotHere(const ContentBase* node, IFeedback* feedback) const
    {
        return LibraryNode::Refuse(
            feedback, QStringLiteral("%1 is not in %2").arg(node ? node->GetName() : QString(), node_.GetName()));
    }

    Node& node_;
    QList<Child*> children_;
};
