#pragma once

#include "content/operations/ContentOperation.h"

class Content;

// Whether a copy of `items` into `target` can do anything: false when target's children are
// read-only; true for no items; otherwise true as soon as one item is acceptable: a folder
// that target accepts and that target does not lie in (a folder is never copied into itself
// or its own sub-tree), or a content that target accepts.
bool CanCopy(const QList<ContentBase*>& items, ContentFolder* target);
// Whether a move of `items` into `target` can do anything: false when target's children are
// read-only or there are no items; otherwise true as soon as one folder passes
// target->CanMoveFolderHere or one content target->CanMoveContentHere.
bool CanMove(const QList<ContentBase*>& items, ContentFolder* target);

// Copies contents and folders (with everything below them) into one folder of any tree:
// library to fixture, fixture to library, fixture to fixture, dropped files to either. Each
// content becomes what the target can hold (its policy's conversion, or a clone), gets a name
// and address that fit the target and is added through the target's AddChild; each folder is
// created in the target (of the kind the target makes for a folder like it) and filled by
// the same walk. What was copied before a failure stays copied.
//
// Progress: a content weighs 100 units, a folder 1.
class ContentCopyOperation : public ContentItemsOperation
{
    Q_OBJECT
public:
    enum Flag {
        // A name or address clash fails the item instead of being made unique.
        FailOnClash = 1,
        // Clashes are not looked for.
        IgnoreClash = 2,
        // The run ends at the first failed item.
        StopAtFirstFailure = 8,
    };

    // Items: what to copy; target: where to; flags: a Flag mask.
    explicit ContentCopyOperation(QObject* parent = nullptr);

    // "Copying %1 to %2": DescribeItems, target name.
    QString Title() override;
    // CanCopy(items, target).
    bool IsValid() override;
    int Run(IFeedback* feedback) override;

private:
    int CopyList(const QList<ContentBase*>& list, ContentFolder* destination, IFeedback* feedback);
    int CopyContent(Content* content, ContentFolder* destination, IFeedback* feedback);
    int CopyFolder(ContentFolder* folder, ContentFolder* destination, IFeedback* feedback);

    // Progress units done so far in the run.
    int count_ = 0;
};

// Moves contents and folders inside one tree into one folder through its MoveHere. One
// progress unit per item.
class ContentMoveOperation : public ContentItemsOperation
{
    Q_OBJECT
public:
    enum Flag {
        // The run ends at the first failed item.
        StopAtFirstFailure = 1,
    };

    // Items: what to move; target: where to; flags: a Flag mask.
    explicit ContentMoveOperation(QObject* parent = nullptr);

    // "Moving %1 to %2": DescribeItems, target name.
    QString Title() override;
    // CanMove(items, target).
    bool IsValid() override;
    int Run(IFeedback* feedback) override;
};
