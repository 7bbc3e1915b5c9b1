#include "app/tree/Delegate.h"

void Delegate::KeyPressEvent(NodeTree*, QKeyEvent*, Node*) {}

void Delegate::ContextMenuEvent(NodeTree*, QContextMenuEvent*, Node*) {}

QWidget* Delegate::View(Node*)
{
    return nullptr;
}

DefaultView::DefaultView() : QLabel(QStringLiteral("The selected item cannot be viewed"))
{
    setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

DefaultDelegate::DefaultDelegate(NodeTree* tree) : Delegate(tree), view_(new DefaultView) {}

QWidget* DefaultDelegate::View(Node*)
{
    return view_.get();
}
