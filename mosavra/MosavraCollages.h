#pragma once

#include "mosavra/MosavraTypes.h"

#include <QString>

#include <memory>
#include <vector>

class Content;

// The creator's door to the Mosavra library: the collages of a family's package.
// GUI thread.
namespace MosavraCollages {

// Whether the family's package already holds a collage named `name`.
bool Exists(MosavraTypes::FixtureFamily family, const QString& name);

// Makes the collage `name` in the family's package with `images` (the library chooses
// its address). On success the library has taken the images and `images` is empty; on
// failure the caller still owns every image and `error` says why.
bool Create(MosavraTypes::FixtureFamily family, const QString& name, std::vector<std::unique_ptr<Content>>& images,
            QString* error);

} // namespace MosavraCollages
