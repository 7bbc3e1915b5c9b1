#include "mosavra/MosavraTypes.h"

#include "content/Content.h"

#include <algorithm>
#include <map>

namespace MosavraTypes {
namespace {

// The element that is `wanted`, or end().
template <class T>
auto FindOwned(const std::vector<std::unique_ptr<T>>& owned, const T* wanted)
{
    return std::find_if(owned.begin(), owned.end(), [wanted](const auto& held) { return held.get() == wanted; });
}

// Removes and destroys the element that is `victim`; false when none is.
template <class T>
bool EraseOwned(std::vector<std::unique_ptr<T>>& owned, const T* victim)
{
    const auto it = FindOwned(owned, victim);
    if (it == owned.end())
        return false;
    owned.erase(it);
    return true;
}

} // namespace

FixtureFamily FamilyOf(int type)
{
    return type == kCindral ? kCindral : kBrevant;
}

Fixture::Fixture() = default;
Fixture::~Fixture() = default;

void Fixture::Assign(const Fixture& other)
{
    pos = other.pos;
    scale = other.scale;
    num = other.num;
    type = other.type;
    selected = false;
    stamp = kStaleStamp;
    previewImage.reset();
    framePixmaps.clear();
    maskPixmap = QPixmap();
}

int Template::NextFixtureNumber() const
{
    int highest = 0;
    for (const auto& fixture : fixtures)
        highest = std::max(highest, fixture->num);
    return highest + 1;
}

bool Template::NumberTakenByOther(const Fixture* fixture, int num) const
{
    return std::any_of(fixtures.begin(), fixtures.end(),
                       [&](const auto& other) { return other.get() != fixture && other->num == num; });
}

std::vector<int> Template::SharedNumbers() const
{
    std::map<int, int> counts;
    for (const auto& fixture : fixtures)
        ++counts[fixture->num];
    std::vector<int> shared;
    for (const auto& [num, count] : counts) {
        if (count > 1)
            shared.push_back(num);
    }
    return shared;
}

bool Template::Holds(const Fixture* fixture) const
{
    return FindOwned(fixtures, fixture) != fixtures.end();
}

void Template::CopyFixturesFrom(const Template& other)
{
    for (const auto& fixture : other.fixtures) {
        auto copy = std::make_unique<Fixture>();
        copy->Assign(*fixture);
        fixtures.push_back(std::move(copy));
    }
}

bool Template::DeleteFixture(const Fixture* fixture)
{
    return EraseOwned(fixtures, fixture);
}

bool DeleteTemplate(TemplateList& templates, const Template* victim)
{
    return EraseOwned(templates, victim);
}

QString NewTemplateName(const TemplateList& templates)
{
    for (int i = 1;; ++i) {
        const QString name = QStringLiteral("New Template %1").arg(i);
        if (!HasTemplateNamed(templates, name))
            return name;
    }
}

bool HasTemplateNamed(const TemplateList& templates, const QString& name)
{
    return std::any_of(templates.begin(), templates.end(),
                       [&name](const auto& t) { return t->name == name; });
}

} // namespace MosavraTypes
