#pragma once

#include "mosavra/MosavraTypes.h"

#include <QListView>
#include <QStringListModel>

class QContextMenuEvent;

// The creator's template list as rows: a template's name with its family, " (Br)" or
// " (Ci)", for display; the bare name for editing. Renaming through the model refuses a
// name another template (or the same one) already has, and an empty name. Row i is
// template i of the list; Refill after every change of the list.
class QMosavraTemplateListModel : public QStringListModel
{
    Q_OBJECT
public:
    QMosavraTemplateListModel(MosavraTypes::TemplateList& templates, QObject* parent = nullptr);

    // The rows anew from the template list.
    void Refill();
    // The template of `row`, or null.
    MosavraTypes::Template* TemplateAt(int row) const;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    MosavraTypes::TemplateList& templates_;
};

// The list of templates; hands its context menu requests to the creator.
class MosavraTemplateListView : public QListView
{
    Q_OBJECT
public:
    using QListView::QListView;

signals:
    void onContextMenu(QContextMenuEvent* event);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};
