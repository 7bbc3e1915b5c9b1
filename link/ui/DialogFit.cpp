#include "link/ui/DialogFit.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QSpacerItem>
#include <QWidget>

#include <algorithm>

namespace {

// The window icon and the minimise, maximise and close buttons.
constexpr int kTitleBarSquares = 4;
// Round the title's line in the bar, and round the bar's row at either end.
constexpr int kTitleBarPadding = 8;

QRect AvailableGeometry(const QWidget* window)
{
    const QScreen* screen = window ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// What the window's frame adds to its width: known once the window has been shown.
int FrameWidth(const QWidget* window)
{
    return window ? std::max(0, window->frameGeometry().width() - window->width()) : 0;
}

// The width a title bar needs to show `title` whole: the title in the title bar's font
// beside the window icon and the bar's three buttons (minimise, maximise, close). The
// window manager draws the bar in a way this program cannot ask about, so the icon and each
// button are allowed a square as high as the bar's line of text with a padding round it.
int TitleBarWidth(const QString& title)
{
    const QFontMetrics metrics(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    const int square = metrics.height() + kTitleBarPadding;
    return metrics.horizontalAdvance(title) + kTitleBarSquares * square + 2 * kTitleBarPadding;
}

} // namespace

int AvailableContentWidth(const QWidget* window, const QBoxLayout* layout)
{
    const QMargins margins = layout ? layout->contentsMargins() : QMargins();
    return std::max(0, AvailableGeometry(window).width() - FrameWidth(window) - margins.left() - margins.right());
}

void KeepOnScreen(QWidget* window)
{
    if (!window || !window->isVisible())
        return;
    if (window->layout())
        window->layout()->activate();
    const QRect available = AvailableGeometry(window);
    if (available.isEmpty())
        return;
    const int frame = FrameWidth(window);
    if (window->width() + frame > available.width())
        window->resize(available.width() - frame, window->height());
    QRect placed = window->frameGeometry();
    if (placed.right() > available.right())
        placed.moveRight(available.right());
    if (placed.bottom() > available.bottom())
        placed.moveBottom(available.bottom());
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    if (placed.topLeft() != window->frameGeometry().topLeft())
        window->move(placed.topLeft());
}

WidthFloor::WidthFloor(QWidget* window, QBoxLayout* layout)
    : QObject(window),
      window_(window),
      layout_(layout),
      spacer_(new QSpacerItem(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed))
{
    layout_->addItem(spacer_);
    window_->installEventFilter(this);
    Update();
}

void WidthFloor::SetContentWidth(int width)
{
    contentWidth_ = width;
    Update();
}

int WidthFloor::Width() const
{
    return spacer_->sizeHint().width();
}

bool WidthFloor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::WindowTitleChange)
        Update();
    if (watched == window_ && event->type() == QEvent::Show) {
        // Only a window that shows knows its frame, which takes a part of the screen.
        Update();
        KeepOnScreen(window_);
    }
    return QObject::eventFilter(watched, event);
}

void WidthFloor::Update()
{
    const QMargins margins = layout_->contentsMargins();
    const int forTitle = TitleBarWidth(window_->windowTitle()) - FrameWidth(window_) - margins.left() - margins.right();
    // Never wider than the screen has room for.
    const int width = std::min(std::max(forTitle, contentWidth_), AvailableContentWidth(window_, layout_));
    if (width == Width())
        return;
    spacer_->changeSize(width, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
    layout_->invalidate();
}
