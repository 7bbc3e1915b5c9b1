#pragma once

#include <QModelIndex>
#include <Qt>

class QMimeData;
class QWidget;

// Runs a drag of `data` (the drag takes it) from `source` with the allowed `actions`. The
// drag shows the icon of `first` at 24 x 24, held at its centre, when it has one. Nothing
// is removed from the source afterwards: the views follow the content tree's signals.
void RunItemDrag(QWidget* source, QMimeData* data, const QModelIndex& first, Qt::DropActions actions);
