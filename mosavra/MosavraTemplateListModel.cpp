#include "mosavra/MosavraTemplateListModel.h"

#include <QContextMenuEvent>

QMosavraTemplateListModel::QMosavraTemplateListModel(MosavraTypes::TemplateList& templates, QObject* parent)
    : QStringListModel(parent), templates_(templates)
{
    Refill();
}

void QMosavraTemplateListModel::Refill()
{
    QStringList names;
    for (const auto& t : templates_)
        names << t->name;
    setStringList(names);
}

MosavraTypes::Template* QMosavraTemplateListModel::TemplateAt(int row) const
{
    return row >= 0 && row < int(templates_.size()) ? templates_[std::size_t(row)].get() : nullptr;
}

QVariant QMosavraTemplateListModel::data(const QModelIndex& index, int role) const
{
    const MosavraTypes::Template* t = index.isValid() ? TemplateAt(index.row()) : nullptr;
    if (t && role == Qt::DisplayRole)
        return t->name + (t->fixtureType == MosavraTypes::kCindral ? QStringLiteral(" (Ci)") : QStringLiteral(" (Br)"));
    if (t && role == Qt::EditRole)
        return t->name;
    return QStringListModel::data(index, role);
}

Qt::ItemFlags QMosavraTemplateListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return QStringListModel::flags(index);
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
}

bool QMosavraTemplateListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    MosavraTypes::Template* t = index.isValid() ? TemplateAt(index.row()) : nullptr;
    if (!t || role != Qt::EditRole)
        return QStringListModel::setData(index, value, role);
    const QString name = value.toString();
    if (name.trimmed().isEmpty() || MosavraTypes::HasTemplateNamed(templates_, name))
        return false;
    t->name = name;
    return QStringListModel::setData(index, name, role);
}

void MosavraTemplateListView::contextMenuEvent(QContextMenuEvent* event)
{
    emit onContextMenu(event);
}
