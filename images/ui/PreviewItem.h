#pragma once

#include "content/ContentBase.h"

#include <QGraphicsRectItem>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

class BrevantImage;
class CindralImage;
class ContentFolder;
class FormattedTextItem;
class LEDImageAccess;
class QMenu;

// One tile of a folder's preview: a square with a picture of a child of the folder, its
// name below and its DMX address in a badge at the corner. Tiles of LED images play their
// animation, tiles of sub-folders open the folder, every tile offers the content menu.
//
// A tile holds its content by QPointer: a tile whose content died shows what it shows for
// nothing (image tiles: the placeholder, and they stop), and its activation and menu do
// nothing. The scene places the tiles and switches their animation, highlight and
// grey-out. GUI thread.
class PreviewItem : public QObject, public QGraphicsRectItem
{
    Q_OBJECT
public:
    // The side of every tile's square, and of the picture inside it.
    static constexpr int kSide = 100;
    static constexpr int kPictureSide = 92;

    ~PreviewItem() override;

    // The content; null once it died.
    ContentBase* GetContent() const { return content_; }

    virtual bool HoverAnimates() const;
    // While set, hovering the tile animates it.
    virtual void SetHoverAnimates(bool on);
    virtual bool IsAnimated() const;
    // Starts or stops the animation; false for tiles that have none.
    virtual bool SetAnimated(bool on);
    // What a double click on the tile does; dialogs get `parent`.
    virtual void Activate(QWidget* parent) = 0;
    // Shows the tile's menu at `position` (in `widget`'s coordinates) unless it would be
    // empty; the menu and its actions get `widget` as parent, so that the actions' dialogs
    // open over it. The actions go with the menu.
    virtual void ContextMenu(QWidget* widget, const QPoint& position);

    // The drop-target mark; repaints only on a change.
    void SetHighlighted(bool on);
    bool IsHighlighted() const { return highlighted_; }
    // The mark of content cut to the clipboard.
    void SetGreyedOut(bool on);
    bool IsGreyedOut() const;

    // The picture on show (for tests and the scene's hit tests).
    QPixmap Picture() const;
    // The badge with the address; hidden for address 0.
    const QGraphicsPixmapItem* Badge() const { return badge_; }
    const FormattedTextItem* NameText() const { return name_; }
    const FormattedTextItem* BadgeText() const { return badgeNumber_; }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

public slots:
    void UpdateName();
    void UpdateAddress();

protected:
    PreviewItem(int side, ContentBase* content);

    void SetPicture(const QPixmap& picture);
    // The content's icon as a picture of the tile's size.
    QPixmap IconPicture() const;
    // Adds the tile's entries to its menu (parent `widget`); those that do not apply are
    // left out.
    virtual void AddMenuEntries(QMenu& menu, QWidget* widget) = 0;

    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    QPointer<ContentBase> content_;
    bool hoverAnimates_ = false;
    bool highlighted_ = false;
    QGraphicsPixmapItem* picture_;
    FormattedTextItem* name_;
    QGraphicsPixmapItem* badge_;
    FormattedTextItem* badgeNumber_;
    QGraphicsRectItem* greyOut_;
};

// The tile of a sub-folder: its icon; activating it asks to show the folder.
class FolderItem : public PreviewItem
{
    Q_OBJECT
public:
    explicit FolderItem(ContentFolder* folder);

    // Null once the folder died.
    virtual ContentFolder* Folder() const;
    void Activate(QWidget* parent) override;

signals:
    void activated(ContentFolder* folder);

protected:
    void AddMenuEntries(QMenu& menu, QWidget* widget) override;
};

// The tile of an LED image: its frames, rendered one at a time as the animation reaches
// them and kept until the image changes. An image without frames shows the family's
// placeholder and never animates; one of a single frame shows it and never animates
// either. The twins are BrevantImageItem and CindralImageItem.
class LEDImageItem : public PreviewItem
{
    Q_OBJECT
public:
    ~LEDImageItem() override;

    bool IsAnimated() const override { return animated_; }
    bool SetAnimated(bool on) override;

    // The index of the frame on show; -1 with none.
    int FrameOnShow() const;
    int FrameCount() const { return int(frames_.size()); }
    // Whether the next step is scheduled.
    bool IsStepping() const { return timer_.isActive(); }
    const QTimer& StepTimer() const { return timer_; }

public slots:
    // The next frame, the first after the last; it stays for its own time.
    void NextFrameCycle();
    // Loads the frames again from the first and keeps the animated state.
    void ReloadContent();

protected:
    // `family`: 0 first family, 1 second (each has a placeholder of its own).
    LEDImageItem(ContentBase* content, std::unique_ptr<LEDImageAccess> image, int family);

    LEDImageAccess& Image() const { return *image_; }
    void AddMenuEntries(QMenu& menu, QWidget* widget) override;

private:
    struct FrameRecord
    {
        bool rendered = false;
        int durationMs = 0;
        QPixmap picture;
        int index = 0;
    };

    void LoadFrames();
    void ShowFrame(int index);

    std::unique_ptr<LEDImageAccess> image_;
    int family_;
    int onShow_ = -1;
    std::vector<FrameRecord> frames_;
    QTimer timer_;
    bool animated_ = false;
};

class BrevantImageItem : public LEDImageItem
{
    Q_OBJECT
public:
    explicit BrevantImageItem(BrevantImage* image);
    // Opens the image's view dialog, modally; nothing once the image died or without frames.
    void Activate(QWidget* parent) override;
};

class CindralImageItem : public LEDImageItem
{
    Q_OBJECT
public:
    explicit CindralImageItem(CindralImage* image);
    void Activate(QWidget* parent) override;
};

// The tile of any other content: its icon; activating it does nothing.
class UnknownItem : public PreviewItem
{
    Q_OBJECT
public:
    explicit UnknownItem(ContentBase* content);
    void Activate(QWidget* parent) override;

protected:
    void AddMenuEntries(QMenu& menu, QWidget* widget) override;
};
