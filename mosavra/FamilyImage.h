#pragma once

#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "mosavra/MosavraTypes.h"

#include <type_traits>

// Runs `fn` with a std::type_identity of the image class of `family` (BrevantImage or
// CindralImage), so that family-generic code is written once.
template <class Fn>
decltype(auto) WithFamilyImage(MosavraTypes::FixtureFamily family, Fn&& fn)
{
    if (family == MosavraTypes::kCindral)
        return fn(std::type_identity<CindralImage>{});
    return fn(std::type_identity<BrevantImage>{});
}

// Runs `fn` with the family image that `content` is, or returns `otherwise` when it is
// none of the two families.
template <class Result, class Fn>
Result WithImageOf(const Content& content, Result otherwise, Fn&& fn)
{
    if (const auto* brevant = qobject_cast<const BrevantImage*>(&content))
        return fn(*brevant);
    if (const auto* cindral = qobject_cast<const CindralImage*>(&content))
        return fn(*cindral);
    return otherwise;
}
