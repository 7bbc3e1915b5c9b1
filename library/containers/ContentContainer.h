#pragma once

#include "content/ContentFolder.h"
#include "library/common/WholeNameNode.h"

// In-memory folders for content trees that live only as long as one operation (the package
// the Mosavra library builds for one fixture): no disk, no policy, no fixture behind them.
// Both hold pointers they do not own, refuse every change but adding, and answer the other
// questions with ContentFolder's defaults. Built with no parent, an empty name and address
// 0; the builder sets name, address and parent, and each item's parent before adding it.
//
// Threads: built and read within one operation; ChildCount and Child take no lock.

// What the two share: an unowned list of `Item` pointers in insertion order, the address
// range 0..0, refusals of CreateFolder, ModifyChild, MoveHere and RemoveChild, and a name
// kept whole (it names an in-memory package, never a file).
template <class Item>
class ContentContainerT : public WholeNameNode<ContentFolder>
{
public:
    int ChildCount() const override { return int(children_.size()); }
    ContentBase* Child(int index) override { return children_.value(index); }
    const ContentBase* Child(int index) const override { return children_.value(index); }
    int MinAddress() override { return 0; }
    int MaxAddress() override { return 0; }
    bool CreateFolder(const QString&, int, int, IFeedback* feedback) override { return Unchanged(feedback); }
    bool ModifyChild(ContentBase*, const QString&, int, IFeedback* feedback) override { return Unchanged(feedback); }
    bool MoveHere(ContentBase*, IFeedback* feedback) override { return Unchanged(feedback); }
    bool RemoveChild(ContentBase*, IFeedback* feedback) override { return Unchanged(feedback); }

protected:
    bool Unchanged(IFeedback* feedback)
    {
        return this->Refuse(feedback, QStringLiteral("%1 can't be changed").arg(this->GetName()));
    }

    QList<Item*> children_;
};

// A folder of content items.
class ContentContainer : public ContentContainerT<ContentBase>
{
    Q_OBJECT
public:
    ContentContainer();

    bool AcceptsContent(const Content* content) override;
    // Appends every item in order, unchecked and without signals, and finishes at once; true.
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
};

// A folder of folders.
class ContentContainerFolder : public ContentContainerT<ContentFolder>
{
    Q_OBJECT
public:
    ContentContainerFolder();

    // Appends `folder` (no signal, no parent set).
    void AddFolder(ContentFolder* folder);

    bool AcceptsContent(const Content* content) override;
    // Folders come only through AddFolder: false.
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
};
