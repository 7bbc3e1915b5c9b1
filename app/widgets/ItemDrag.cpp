#include "app/widgets/ItemDrag.h"

#include <QDrag>
#include <QIcon>
#include <QMimeData>
#include <QWidget>

void RunItemDrag(QWidget* source, QMimeData* data, const QModelIndex& first, Qt::DropActions actions)
{
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    const QIcon icon = first.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull()) {
        const QPixmap pixmap = icon.pixmap(QSize(24, 24), QIcon::Normal, QIcon::Off);
        drag->setPixmap(pixmap);
        drag->setHotSpot(pixmap.rect().center());
    }
    drag->exec(actions);
}
