#include "library/mosavra/UpdateMosavraContentSyncOperation.h"

#include "content/operations/FeedbackWrapper.h"
#include "content/operations/StepWalk.h"
#include "fixtures/QelRDM.h"
#include "library/containers/ContentContainer.h"
#include "library/mosavra/MosavraContentLibraryPackage.h"

UpdateMosavraContentSyncOperation::UpdateMosavraContentSyncOperation(QObject* parent) : ContentSyncOperation(parent)
{
}

UpdateMosavraContentSyncOperation::~UpdateMosavraContentSyncOperation()
{
    // The synchronisations read the packages: they go first.
    parts_.clear();
    packages_.clear();
}

bool UpdateMosavraContentSyncOperation::Prepare(MosavraContentLibraryPackage* package, const QList<Device*>& fixtures)
{
    prepareFailure_.clear();
    if (!package) {
        prepareFailure_ = QStringLiteral("No Mosavra package was chosen");
        return false;
    }
    // The fixtures' shares are built from what the package shows: what it could not read
    // would be taken off the fixtures.
    if (const ContentFolder* unread = UnreadFolder(package)) {
        prepareFailure_ = QStringLiteral("%1 could not be read, so no fixture is updated from it").arg(unread->GetName());
        return false;
    }
    for (Device* device : fixtures) {
        auto* fixture = qobject_cast<QelRDM*>(device);
        const QString name = device ? QStringLiteral("Device 0x%1").arg(device->GetUniqueId(), 0, 16) : QString();
        if (!fixture) {
            prepareFailure_ = QStringLiteral("%1 holds no Mosavra content").arg(name);
            return false;
        }
        ContentFolder* group = fixture->GetMosavraContentGroup();
        if (!group) {
            prepareFailure_ = QStringLiteral("%1 has no Mosavra content group").arg(name);
            return false;
        }
        packages_.emplace_back(package->BuildDevicePackage(fixture->GetMosavraAddress()));
        auto part = std::make_unique<ContentSyncOperation>();
        part->SetSource(packages_.back().get());
        part->SetTargets({group});
        parts_.push_back(std::move(part));
    }
    return true;
}

QString UpdateMosavraContentSyncOperation::Title()
{
    return QStringLiteral("Updating Mosavra Content..");
}

bool UpdateMosavraContentSyncOperation::IsValid()
{
    return !parts_.empty();
}

int UpdateMosavraContentSyncOperation::Run(IFeedback* feedback)
{
    allUpToDate_ = false;
    if (!IsValid())
        return 1;
    feedback->SetTotal(100);
    StepWalk walk(feedback, false);
    bool upToDate = true;
    const int n = int(parts_.size());
    for (int i = 0; i < n; ++i) {
        if (!walk.Proceed())
            break;
        int result;
        {
            FeedbackWrapper share(feedback, 100 * i / n, 100 * (i + 1) / n);
            result = parts_[size_t(i)]->Run(&share);
        }
        upToDate = upToDate && result == 0 && parts_[size_t(i)]->Succeeded();
        if (!walk.Record(result))
            break;
    }
    allUpToDate_ = upToDate && walk.Result() == 0;
    return walk.Result();
}

bool UpdateMosavraContentSyncOperation::Succeeded()
{
    return allUpToDate_;
}
