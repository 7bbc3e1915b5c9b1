#include "tools/screenshots/ShowcaseFolder.h"

#include "content/ContentMutex.h"
#include "images/BrevantImage.h"

#include <QColor>

#include <cmath>
#include <numbers>

ShowcaseFolder::ShowcaseFolder(const QString& name, int address, PolicyBase* policy, ShowcaseFolder* parent)
    : ContentPolicyFolder(policy, parent)
{
    SetName(name);
    SetAddress(address);
}

ShowcaseFolder::~ShowcaseFolder()
{
    const ContentLocker lock(&ContentMutex);
    children_.clear();
}

void ShowcaseFolder::Adopt(ContentBase* child)
{
    const ContentLocker lock(&ContentMutex);
    child->SetParent(this);
    children_.emplace_back(child);
    if (auto* folder = qobject_cast<ContentFolder*>(child))
        emit FolderAdded(this, folder);
    else
        emit ContentAdded(this, static_cast<Content*>(child));
}

ShowcaseFolder* ShowcaseFolder::AddFolder(const QString& name, int address)
{
    auto* folder = new ShowcaseFolder(name, address, Policy(), nullptr);
    Adopt(folder);
    return folder;
}

int ShowcaseFolder::ChildCount() const
{
    const ContentLocker lock(&ContentMutex);
    return int(children_.size());
}

ContentBase* ShowcaseFolder::Child(int index)
{
    const ContentLocker lock(&ContentMutex);
    return index >= 0 && index < int(children_.size()) ? children_[std::size_t(index)].get() : nullptr;
}

const ContentBase* ShowcaseFolder::Child(int index) const
{
    return const_cast<ShowcaseFolder*>(this)->Child(index);
}

bool ShowcaseFolder::CreateFolder(const QString&, int, int, IFeedback*)
{
    return false;
}

bool ShowcaseFolder::AddChild(QList<ContentBase*>, IFeedback*)
{
    return false;
}

bool ShowcaseFolder::ModifyChild(ContentBase*, const QString&, int, IFeedback*)
{
    return false;
}

bool ShowcaseFolder::MoveHere(ContentBase*, IFeedback*)
{
    return false;
}

bool ShowcaseFolder::RemoveChild(ContentBase*, IFeedback*)
{
    return false;
}

std::unique_ptr<BrevantImage> ShowcaseImage(const QString& name, int address, int frames, int durationMs, int seed)
{
    constexpr int kBands = 6;
    auto image = std::make_unique<BrevantImage>();
    image->SetName(name);
    image->SetAddress(address);
    for (int band = 0; band < kBands; ++band) {
        const QColor colour = QColor::fromHsv((seed * 67 + band * 360 / kBands) % 360, 255, band % 2 ? 255 : 120);
        image->SetPaletteColor(band + 1, LEDColor::FromRgb(colour.rgb()));
    }
    for (int f = 0; f < frames; ++f) {
        BrevantImage::Frame frame;
        frame.duration = durationMs;
        for (int led = 0; led < BrevantImage::kLedCount; ++led) {
            const QPointF at = BrevantImage::LedPosition(led);
            const double turn = (std::atan2(at.y(), at.x()) + std::numbers::pi) / (2 * std::numbers::pi);
            const int step = int(turn * kBands * 2 + std::hypot(at.x(), at.y()) * (seed % 3 + 1)) + f;
            frame.indices[std::size_t(led)] = quint8(1 + step % kBands);
        }
        image->AddFrame(frame);
    }
    return image;
}
