#pragma once

#include "content/operations/ContentOperation.h"

class StepWalk;

// Deletes a selection of contents and folders, each folder with everything below it: the
// contents and sub-folders of a folder go first, then the folder itself (asked even when
// some of its contents could not be deleted: its folder decides). An item that lies inside
// another selected folder goes with that folder and is not visited on its own. One progress
// unit per content and folder at any depth.
class ContentDeleteOperation : public ContentItemsOperation
{
    Q_OBJECT
public:
    enum Flag {
        // The run ends at the first failed item.
        StopAtFirstFailure = 1,
    };

    // Items: what to delete; flags: a Flag mask; no target.
    explicit ContentDeleteOperation(QObject* parent = nullptr);

    // "Deleting %1": DescribeItems.
    QString Title() override;
    bool IsValid() override;
    int Run(IFeedback* feedback) override;

private:
    void DeleteTree(const QList<ContentBase*>& items, IFeedback* feedback, StepWalk& walk);

    int count_ = 0;
};

// Gives a selection new addresses inside their folders: autoset moves each item down to the
// lowest free address of its folder when one lies below it (and any item below the folder's
// minimum up to it), in selection order; reset takes every item's address away (0). One
// progress unit per item, also for an item left alone.
class ContentAddressOperation : public ContentItemsOperation
{
    Q_OBJECT
public:
    enum Mode {
        Autoset = 1,
        Reset = 2,
        // The run ends at the first failed item.
        StopAtFirstFailure = 4,
    };

    // Items: what to address; the mode (the flags) Autoset unless set; no target.
    explicit ContentAddressOperation(QObject* parent = nullptr);

    void SetMode(int mode) { SetFlags(mode); }
    int Mode() const { return Flags(); }

    // "Addressing %1": DescribeItems.
    QString Title() override;
    bool IsValid() override;
    int Run(IFeedback* feedback) override;
};
