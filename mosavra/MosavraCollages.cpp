#include "mosavra/MosavraCollages.h"

#include "content/ContentMutex.h"
#include "library/LibraryNames.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"

namespace MosavraCollages {
namespace {

// Keeps the first error line of a refusal.
class ErrorCollector : public IFeedback
{
public:
    void AddString(QString text, FeedbackStatus status) override
    {
        if (status == FeedbackError && error.isEmpty())
            error = text;
    }
    void SetTotal(int) override {}
    void SetCurrent(int) override {}
    void Finished(FeedbackResult) override {}
    bool IsCancelled() override { return false; }

    QString error;
};

// The library chooses the collage's address.
constexpr int kAnyAddress = 0;

} // namespace

bool Exists(MosavraTypes::FixtureFamily family, const QString& name)
{
    const MosavraContentLibraryPackage* package = MosavraContentLibraryRoot::Instance()->Package(family);
    if (!package)
        return false;
    // Compared as the collage would keep it.
    const QString kept = LibraryNames::Kept(name);
    ContentLocker lock(&ContentMutex);
    for (int i = 0; i < package->ChildCount(); ++i) {
        const ContentBase* collage = package->Child(i);
        if (collage && collage->GetName() == kept)
            return true;
    }
    return false;
}

bool Create(MosavraTypes::FixtureFamily family, const QString& name, std::vector<std::unique_ptr<Content>>& images,
            QString* error)
{
    QList<Content*> handed;
    for (const auto& image : images)
        handed.append(image.get());
    ErrorCollector feedback;
    if (!CreateMosavraPackage(family, name, kAnyAddress, handed, &feedback)) {
        if (error)
            *error = feedback.error;
        return false;
    }
    // The collage owns them now.
    for (auto& image : images)
        image.release();
    images.clear();
    return true;
}

} // namespace MosavraCollages
