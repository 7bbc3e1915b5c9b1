#pragma once

#include "content/Content.h"

#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>
#include <vector>

// The records of the Mosavra creator's layouts. Positions and sizes are in canvas units:
// fractions of the canvas side, 0 .. 1 from the left and top edges.
namespace MosavraTypes {

// The two fixture families a layout can be made of.
enum FixtureFamily { kBrevant = 0, kCindral = 1 };

// A stored family number as a family: anything but kCindral is the first family.
FixtureFamily FamilyOf(int type);

// One fixture placed on the canvas. Owned by its template.
struct Fixture
{
    Fixture();
    ~Fixture();
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;

    // Copies the placement, number and family. A copy starts unselected and without
    // preview image or pixmaps, with a stale stamp, so that it samples an image of its
    // own at its next refresh.
    void Assign(const Fixture& other);

    // Centre.
    QPointF pos{0, 0};
    // Width and height.
    QSizeF scale{-1, -1};
    // The Mosavra number the exported image carries.
    int num = 0;
    // The family (equal to the template's).
    FixtureFamily type = kBrevant;
    bool selected = false;
    // The dialog's settings counter when the preview image was built; kStaleStamp forces
    // a rebuild.
    int stamp = kStaleStamp;
    // The fixture's sampled content, of its family; none until media is sampled.
    std::unique_ptr<Content> previewImage;
    // The preview image's frames rendered for the canvas, one slot per media frame
    // (null until drawn), and the rendered sample mask.
    std::vector<QPixmap> framePixmaps;
    QPixmap maskPixmap;

    static constexpr int kStaleStamp = -1;
};

// One layout: placed fixtures of one family over the media rectangle. Owned by the
// creator's template list.
struct Template
{
    QString name;
    // The media rectangle: x, y, width, height.
    QRectF scale{0.25, 0.25, 0.5, 0.5};
    std::vector<std::unique_ptr<Fixture>> fixtures;
    FixtureFamily fixtureType = kBrevant;
    // The Sample Zoom (1 .. 256) and Sample Size slider values of this layout.
    int zoom = kDefaultZoom;
    int sample = kDefaultSample;
    // Fixtures can be neither dragged nor deleted nor renumbered from the canvas.
    bool locked = false;

    static constexpr int kDefaultZoom = 32;
    static constexpr int kDefaultSample = 50;

    // One more than the highest fixture number; 1 for a template without fixtures.
    int NextFixtureNumber() const;
    // Whether a fixture of this template other than `fixture` has the number `num`.
    bool NumberTakenByOther(const Fixture* fixture, int num) const;
    // The numbers that more than one fixture has, ascending. An export names each image
    // after its fixture's number, so these would make images that replace each other.
    std::vector<int> SharedNumbers() const;
    // Whether `fixture` is one of this template's.
    bool Holds(const Fixture* fixture) const;
    // Appends an unselected copy of every fixture of `other`, in order.
    void CopyFixturesFrom(const Template& other);
    // Removes and destroys `fixture` (with its preview image); false when it is not one
    // of this template's.
    bool DeleteFixture(const Fixture* fixture);
};

using TemplateList = std::vector<std::unique_ptr<Template>>;

// Removes `victim` from `templates` and destroys it with its fixtures and their images.
// False, nothing changed, when it is not in the list.
bool DeleteTemplate(TemplateList& templates, const Template* victim);

// "New Template %d" with the least number from 1 up that no template of the list bears.
QString NewTemplateName(const TemplateList& templates);

// Whether a template of the list has exactly `name` (case-sensitive).
bool HasTemplateNamed(const TemplateList& templates, const QString& name);

} // namespace MosavraTypes
