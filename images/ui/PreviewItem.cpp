#include "images/ui/PreviewItem.h"

#include "content/Content.h"
#include "content/ContentFolder.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ui/FormattedTextItem.h"
#include "images/ui/ImageViewDialog.h"
#include "images/ui/LEDImageAccess.h"
#include "images/ui/PreviewMenus.h"
#include "platform/system/Clock.h"

#include <QAction>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGraphicsPixmapItem>
#include <QMenu>
#include <QPainter>
#include <QRadialGradient>
#include <QStyleOptionGraphicsItem>
#include <QWidget>

#include <array>

namespace {

constexpr int kBadgeSide = 24;
constexpr qreal kBadgeZ = 100;
constexpr qreal kGreyOutZ = 110;
const QColor kTileColour(232, 232, 232);

QFont TileFont()
{
    QFont font(QStringLiteral("Helvetica"), 8);
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    return font;
}

// The pictures of image tiles without frames, one per family, made once per application
// and gone with it (a pixmap may not outlive the application that made it).
class Placeholders : public QObject
{
public:
    static QPixmap Of(int family)
    {
        static QPointer<Placeholders> instance;
        if (!instance)
            instance = new Placeholders(QCoreApplication::instance());
        return instance->pictures_[std::size_t(family == 0 ? 0 : 1)];
    }

private:
    explicit Placeholders(QObject* parent) : QObject(parent)
    {
        const QPixmap unknown(QStringLiteral(":/Resources/content-unknown.png"));
        for (QPixmap& picture : pictures_)
            picture = unknown.scaled(PreviewItem::kPictureSide, PreviewItem::kPictureSide, Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation);
    }

    std::array<QPixmap, 2> pictures_;
};

} // namespace

// ---- PreviewItem ------------------------------------------------------------------------

PreviewItem::PreviewItem(int side, ContentBase* content)
    : content_(content),
      picture_(new QGraphicsPixmapItem(this)),
      name_(new FormattedTextItem(this)),
      badge_(new QGraphicsPixmapItem(this)),
      badgeNumber_(new FormattedTextItem(badge_)),
      greyOut_(new QGraphicsRectItem(0, 0, side, side, this))
{
    setRect(0, 0, side, side);
    setFlags(ItemIsSelectable | ItemIsFocusable);
    setAcceptHoverEvents(true);

    picture_->setPos(4, 4);
    picture_->setShapeMode(QGraphicsPixmapItem::BoundingRectShape);

    const QFont font = TileFont();
    name_->SetFont(font);
    name_->SetRect(QRect(0, side, side, QFontMetrics(font).height()));
    name_->SetFlags(Qt::AlignHCenter | Qt::AlignTop);
    name_->SetColorGroup(QPalette::Text);

    badge_->setPixmap(QPixmap(QStringLiteral(":/Resources/address-background.png")));
    badge_->setZValue(kBadgeZ);
    badgeNumber_->SetRect(QRect(0, 0, kBadgeSide, kBadgeSide));
    badgeNumber_->SetFlags(Qt::AlignCenter);
    badgeNumber_->SetFont(font);
    badgeNumber_->SetBrush(QBrush(Qt::white));

    greyOut_->setZValue(kGreyOutZ);
    greyOut_->setPen(Qt::NoPen);
    const int half = side / 2;
    QRadialGradient gradient(half, half, half, half, half);
    gradient.setColorAt(0, QColor(255, 255, 255, 96));
    gradient.setColorAt(1, QColor(255, 255, 255, 224));
    greyOut_->setBrush(gradient);
    greyOut_->hide();

    UpdateName();
    UpdateAddress();
    if (content) {
        connect(content, &ContentBase::NameChanged, this, &PreviewItem::UpdateName);
        connect(content, &ContentBase::AddressChanged, this, &PreviewItem::UpdateAddress);
    }
}

PreviewItem::~PreviewItem() = default;

bool PreviewItem::HoverAnimates() const
{
    return hoverAnimates_;
}

void PreviewItem::SetHoverAnimates(bool on)
{
    hoverAnimates_ = on;
}

bool PreviewItem::IsAnimated() const
{
    return false;
}

bool PreviewItem::SetAnimated(bool)
{
    return false;
}

void PreviewItem::ContextMenu(QWidget* widget, const QPoint& position)
{
    if (!content_ || !widget)
        return;
    QMenu menu(widget);
    AddMenuEntries(menu, widget);
    if (HasMenuEntries(menu))
        menu.exec(widget->mapToGlobal(position));
    // The entries were made for this one menu; the tile itself may be gone by now (a
    // deletion chosen from it), so only the menu is looked at.
    const QList<QAction*> entries = menu.actions();
    for (QAction* entry : entries) {
        if (entry->parent() != &menu)
            delete entry;
    }
}

void PreviewItem::SetHighlighted(bool on)
{
    if (highlighted_ == on)
        return;
    highlighted_ = on;
    update();
}

void PreviewItem::SetGreyedOut(bool on)
{
    greyOut_->setVisible(on);
}

bool PreviewItem::IsGreyedOut() const
{
    return greyOut_->isVisible();
}

QPixmap PreviewItem::Picture() const
{
    return picture_->pixmap();
}

void PreviewItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*)
{
    painter->setPen(Qt::NoPen);
    const bool marked = highlighted_ || (option->state & QStyle::State_Selected);
    painter->setBrush(marked ? option->palette.brush(QPalette::Current, QPalette::Highlight) : QBrush(kTileColour));
    painter->drawRect(rect());
}

void PreviewItem::UpdateName()
{
    if (content_)
        name_->SetText(content_->GetName());
}

void PreviewItem::UpdateAddress()
{
    if (!content_)
        return;
    const int address = content_->GetAddress();
    badge_->setVisible(address != 0);
    badgeNumber_->SetText(QString::number(address));
}

void PreviewItem::SetPicture(const QPixmap& picture)
{
    picture_->setPixmap(picture);
}

QPixmap PreviewItem::IconPicture() const
{
    return content_ ? content_->Icon().pixmap(kPictureSide, QIcon::Normal, QIcon::Off) : QPixmap();
}

void PreviewItem::hoverEnterEvent(QGraphicsSceneHoverEvent* event)
{
    if (hoverAnimates_)
        SetAnimated(true);
    QGraphicsRectItem::hoverEnterEvent(event);
}

void PreviewItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    if (hoverAnimates_)
        SetAnimated(false);
    QGraphicsRectItem::hoverLeaveEvent(event);
}

// ---- FolderItem -------------------------------------------------------------------------

FolderItem::FolderItem(ContentFolder* folder) : PreviewItem(kSide, folder)
{
    SetPicture(IconPicture());
}

ContentFolder* FolderItem::Folder() const
{
    return qobject_cast<ContentFolder*>(GetContent());
}

void FolderItem::Activate(QWidget*)
{
    if (ContentFolder* folder = Folder())
        emit activated(folder);
}

void FolderItem::AddMenuEntries(QMenu& menu, QWidget* widget)
{
    if (ContentFolder* folder = Folder())
        AddFolderTileEntries(menu, widget, folder);
}

// ---- LEDImageItem -----------------------------------------------------------------------

LEDImageItem::LEDImageItem(ContentBase* content, std::unique_ptr<LEDImageAccess> image, int family)
    : PreviewItem(kSide, content), image_(std::move(image)), family_(family)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &LEDImageItem::NextFrameCycle);
    LoadFrames();
    if (auto* item = qobject_cast<Content*>(content))
        connect(item, &Content::ContentChanged, this, &LEDImageItem::ReloadContent);
    // A tile whose image died shows the placeholder and stops.
    if (content)
        connect(content, &QObject::destroyed, this, &LEDImageItem::ReloadContent);
}

LEDImageItem::~LEDImageItem() = default;

bool LEDImageItem::SetAnimated(bool on)
{
    if (!on)
        timer_.stop();
    else if (!timer_.isActive() && frames_.size() > 1)
        timer_.start(platform::Clock::TimerIntervalMs(frames_[std::size_t(onShow_)].durationMs));
    animated_ = on;
    return true;
}

int LEDImageItem::FrameOnShow() const
{
    return onShow_;
}

void LEDImageItem::NextFrameCycle()
{
    // One frame, or none, has nothing to step to.
    if (frames_.size() < 2)
        return;
    ShowFrame((onShow_ + 1) % int(frames_.size()));
    timer_.start(platform::Clock::TimerIntervalMs(frames_[std::size_t(onShow_)].durationMs));
}

void LEDImageItem::ReloadContent()
{
    // The old records and a pending step belong to frames that may be gone.
    timer_.stop();
    LoadFrames();
    SetAnimated(animated_);
}

void LEDImageItem::LoadFrames()
{
    frames_.clear();
    onShow_ = -1;
    const std::vector<int> durations = image_->FrameDurations();
    if (durations.empty()) {
        SetPicture(Placeholders::Of(family_));
        return;
    }
    frames_.resize(durations.size());
    for (std::size_t i = 0; i < durations.size(); ++i) {
        frames_[i].durationMs = durations[i];
        frames_[i].index = int(i);
    }
    ShowFrame(0);
}

void LEDImageItem::ShowFrame(int index)
{
    FrameRecord& record = frames_[std::size_t(index)];
    if (!record.rendered) {
        record.picture = QPixmap::fromImage(image_->RenderFrameDefault(record.index, QSize(kPictureSide, kPictureSide)));
        record.rendered = true;
    }
    onShow_ = index;
    SetPicture(record.picture);
}

void LEDImageItem::AddMenuEntries(QMenu& menu, QWidget* widget)
{
    if (auto* image = qobject_cast<Content*>(GetContent()))
        AddImageTileEntries(menu, widget, image);
}

// ---- the family image tiles -------------------------------------------------------------

namespace {

template <class Dialog, class Image>
void OpenViewDialog(QWidget* parent, ContentBase* content)
{
    auto* image = qobject_cast<Image*>(content);
    // An image without frames has nothing to view.
    if (!image || image->FrameCount() == 0)
        return;
    Dialog dialog(parent, image);
    dialog.exec();
}

} // namespace

BrevantImageItem::BrevantImageItem(BrevantImage* image)
    : LEDImageItem(image, std::make_unique<LEDImageAccessFor<BrevantImage>>(image), 0)
{
}

void BrevantImageItem::Activate(QWidget* parent)
{
    OpenViewDialog<BrevantImageViewDialog, BrevantImage>(parent, GetContent());
}

CindralImageItem::CindralImageItem(CindralImage* image)
    : LEDImageItem(image, std::make_unique<LEDImageAccessFor<CindralImage>>(image), 1)
{
}

void CindralImageItem::Activate(QWidget* parent)
{
    OpenViewDialog<CindralImageViewDialog, CindralImage>(parent, GetContent());
}

// ---- UnknownItem ------------------------------------------------------------------------

UnknownItem::UnknownItem(ContentBase* content) : PreviewItem(kSide, content)
{
    SetPicture(IconPicture());
}

void UnknownItem::Activate(QWidget*) {}

void UnknownItem::AddMenuEntries(QMenu& menu, QWidget* widget)
{
    if (ContentBase* content = GetContent())
        AddItemTileEntries(menu, widget, content);
}
