#include "library/mosavra/MosavraContentImport.h"

#include "content/operations/ContentSteps.h"
#include "content/operations/StepWalk.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"

namespace {

// Copies of the collage's images, for a collage that owns them once it is made.
QList<Content*> CloneImages(ContentFolder* collage)
{
    QList<Content*> images;
    for (ContentBase* child : ChildrenOf(collage)) {
        if (auto* content = qobject_cast<Content*>(child))
            images.append(content->Clone());
    }
    return images;
}

} // namespace

MosavraContentImport::MosavraContentImport(QObject* parent) : ContentOperation(parent) {}

bool MosavraContentImport::IsValid()
{
    return source_ != nullptr;
}

int MosavraContentImport::Run(IFeedback* feedback)
{
    if (!source_)
        return 1;
    QList<MosavraContentLibraryFolder*> collages;
    for (ContentBase* child : ChildrenOf(source_)) {
        auto* collage = qobject_cast<MosavraContentLibraryFolder*>(child);
        if (collage && collage->ChildCount() > 0)
            collages.append(collage);
    }
    feedback->SetTotal(int(collages.size()));
    StepWalk walk(feedback, true);
    int count = 0;
    for (MosavraContentLibraryFolder* collage : collages) {
        if (!walk.Proceed())
            break;
        QString name = collage->GetName();
        int address = collage->GetAddress();
        ContentFolder* package = FamilyPackage();
        if (package && FitNameAndAddress(package, name, address)) {
            QList<Content*> images = CloneImages(collage);
            if (!CreateCollage(name, address, images, feedback)) {
                qDeleteAll(images);
                feedback->AddString(QStringLiteral("Can't import collage %1").arg(collage->GetName()), FeedbackError);
                walk.Record(1);
                break;
            }
        }
        feedback->SetCurrent(++count);
    }
    return walk.Result();
}

QString BrevantMosavraContentImport::Title()
{
    return QStringLiteral("Importing BREVANT Collage");
}

bool BrevantMosavraContentImport::CreateCollage(const QString& name, int address, const QList<Content*>& images,
                                                IFeedback* feedback)
{
    return CreateMosavraPackage(0, name, address, images, feedback);
}

ContentFolder* BrevantMosavraContentImport::FamilyPackage()
{
    return qobject_cast<ContentFolder*>(MosavraContentLibraryRoot::Instance()->Child(0));
}

QString CindralMosavraContentImport::Title()
{
    return QStringLiteral("Importing Cindral Collage");
}

bool CindralMosavraContentImport::CreateCollage(const QString& name, int address, const QList<Content*>& images,
                                                IFeedback* feedback)
{
    return CreateMosavraPackage(1, name, address, images, feedback);
}

ContentFolder* CindralMosavraContentImport::FamilyPackage()
{
    return qobject_cast<ContentFolder*>(MosavraContentLibraryRoot::Instance()->Child(1));
}
