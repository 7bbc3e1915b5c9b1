#pragma once

#include <QObject>

class QBoxLayout;
class QSpacerItem;
class QWidget;

// How wide dialogs must be for what they show. GUI thread.

// The width that the contents of `window` may take at most: the available width of its
// screen less the window's frame (once shown) and the margins of `layout`.
int AvailableContentWidth(const QWidget* window, const QBoxLayout* layout);

// Brings the shown `window` inside its screen's available area: no wider than that, then
// moved in where it sticks out.
void KeepOnScreen(QWidget* window);

// Keeps `window` at least as wide as its title bar needs to show the title whole (following
// every change of the title) and as a content width its owner sets, up to the available
// width of its screen, by an item of `layout` that is only a width. The window is brought
// inside its screen as it shows (KeepOnScreen). A child of `window`; GUI thread.
class WidthFloor : public QObject
{
    Q_OBJECT
public:
    WidthFloor(QWidget* window, QBoxLayout* layout);

    // The contents are never narrower than `width`, whatever is hidden (a dialog keeps
    // the width it ran at when its progress bar goes).
    void SetContentWidth(int width);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int Width() const;
    void Update();

    QWidget* window_;
    QBoxLayout* layout_;
    QSpacerItem* spacer_;
    int contentWidth_ = 0;
};
