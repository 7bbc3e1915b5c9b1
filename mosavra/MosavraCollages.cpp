#include "mosavra/MosavraCollages.h"

#include "content/Content.h"

namespace MosavraCollages {

bool Exists(MosavraTypes::FixtureFamily, const QString&)
{
    return false;
}

bool Create(MosavraTypes::FixtureFamily, const QString&, std::vector<std::unique_ptr<Content>>&, QString* error)
{
    if (error)
        *error = QStringLiteral("The Mosavra library is not available.");
    return false;
}

} // namespace MosavraCollages
