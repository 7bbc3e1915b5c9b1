#pragma once

#include "content/operations/ContentSyncOperation.h"

#include <memory>
#include <vector>

class ContentFolder;
class Device;
class MosavraContentLibraryPackage;

// The Mosavra update: brings the "Mosavra Content" group of each chosen fixture in line
// with its share of one Mosavra package (the items of its Mosavra address, one per collage;
// MosavraContentLibraryPackage::BuildDevicePackage), one synchronisation per fixture, in
// the order given. The operation owns those synchronisations and the packages built for
// them.
//
// Made and prepared on the GUI thread, run once on the operation's worker thread. The
// fixtures' Mosavra groups are written only while the program's Mosavra flag is lowered:
// the caller lowers it around the run.
class UpdateMosavraContentSyncOperation : public ContentSyncOperation
{
    Q_OBJECT
public:
    explicit UpdateMosavraContentSyncOperation(QObject* parent = nullptr);
    ~UpdateMosavraContentSyncOperation() override;

    // Builds one synchronisation per fixture: each must be a family fixture (QelRDM) with a
    // Mosavra content group, and the package must have been read whole
    // (ContentFolder::ChildrenRead). False at the first thing amiss, with the reason in
    // PrepareFailure(); the operation is then not to be run. Call once.
    bool Prepare(MosavraContentLibraryPackage* package, const QList<Device*>& fixtures);
    // Why Prepare answered false; empty after a Prepare that worked.
    QString PrepareFailure() const { return prepareFailure_; }

    // "Updating Mosavra Content..".
    QString Title() override;
    // Prepare built at least one synchronisation.
    bool IsValid() override;
    // Runs the fixtures' synchronisations in order, each on its share of the progress. A
    // failed fixture does not stop the others; a cancel does: 2, or 1 when a fixture failed
    // before it. 0 when every fixture succeeded.
    int Run(IFeedback* feedback) override;
    // True when every fixture's synchronisation ran and found its fixture up to date.
    bool Succeeded() override;

private:
    std::vector<std::unique_ptr<ContentFolder>> packages_;
    std::vector<std::unique_ptr<ContentSyncOperation>> parts_;
    QString prepareFailure_;
    bool allUpToDate_ = false;
};
