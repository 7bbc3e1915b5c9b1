#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>

class Node;
class NodeTree;
class QContextMenuEvent;
class QKeyEvent;
class QWidget;

// The controller of a kind of tree row: its keys, its context menu and the widget the view
// stack shows while the row is current. A controller that returns a widget keeps owning
// it; the stack only shows it. Owned by the tree. GUI thread.
class Delegate : public QObject
{
    Q_OBJECT
public:
    explicit Delegate(NodeTree* tree) : tree_(tree) {}

    // Claims a key by accepting the event; an ignored event goes on to the tree.
    virtual void KeyPressEvent(NodeTree* tree, QKeyEvent* event, Node* node);
    virtual void ContextMenuEvent(NodeTree* tree, QContextMenuEvent* event, Node* node);
    // The widget to show for `node`; null keeps the widget shown now.
    virtual QWidget* View(Node* node);

    NodeTree* Tree() const { return tree_; }

private:
    NodeTree* tree_;
};

// The view a controller owns. Once the view stack shows it, the stack is its parent and
// may delete it first; otherwise it goes with its owner.
template <class View>
class OwnedView
{
public:
    OwnedView() = default;
    explicit OwnedView(View* view) : view_(view) {}
    ~OwnedView() { delete view_.data(); }
    OwnedView(const OwnedView&) = delete;
    OwnedView& operator=(const OwnedView&) = delete;

    View* get() const { return view_; }
    View* operator->() const { return view_; }
    explicit operator bool() const { return !view_.isNull(); }
    void reset(View* view)
    {
        delete view_.data();
        view_ = view;
    }

private:
    QPointer<View> view_;
};

// What a row without a controller of its own shows.
class DefaultView : public QLabel
{
    Q_OBJECT
public:
    DefaultView();
};

class DefaultDelegate : public Delegate
{
    Q_OBJECT
public:
    explicit DefaultDelegate(NodeTree* tree);

    QWidget* View(Node* node) override;

private:
    OwnedView<DefaultView> view_;
};
