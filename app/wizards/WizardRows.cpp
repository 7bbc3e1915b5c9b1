#include "app/wizards/WizardRows.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

namespace wizard_rows {

void SetUpList(QTreeWidget* list, const QStringList& headers, QAbstractItemView::SelectionMode selection)
{
    list->setIconSize(QSize(24, 16));
    list->setRootIsDecorated(false);
    list->setSelectionMode(selection);
    list->setAllColumnsShowFocus(true);
    list->setWordWrap(false);
    list->setColumnCount(static_cast<int>(headers.size()));
    list->setHeaderLabels(headers);
}

void SetBadge(QTreeWidgetItem* row, int column, int number, const QColor& light, const QColor& dark)
{
    row->setText(column, QString::number(number, 10));
    row->setData(column, Qt::UserRole, light);
    row->setData(column, Qt::UserRole + 1, dark);
    row->setData(column, Qt::ForegroundRole, QColor(Qt::white));
}

int PlaceOf(const QTreeWidgetItem* row)
{
    const QVariant place = row->data(0, kPlaceRole);
    return place.isValid() ? place.toInt() : -1;
}

void SetPlace(QTreeWidgetItem* row, int place)
{
    row->setData(0, kPlaceRole, place);
}

namespace {

void RemoveBelow(QTreeWidgetItem* parent, int place)
{
    for (int i = parent->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = parent->child(i);
        if (PlaceOf(child) == place)
            delete child;
        else
            RemoveBelow(child, place);
    }
}

} // namespace

void RemoveRowsOf(QTreeWidget* list, int place)
{
    if (place >= 0)
        RemoveBelow(list->invisibleRootItem(), place);
}

void CheckAll(QTreeWidget* list, bool checked)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        if (row->flags() & Qt::ItemIsUserCheckable)
            row->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
}

void AddCheckAllButtons(QBoxLayout* layout, QTreeWidget* list)
{
    auto* buttons = new QHBoxLayout;
    // The layout gives the buttons to the page that holds it.
    auto* all = new QPushButton(QStringLiteral("Select All"));
    auto* none = new QPushButton(QStringLiteral("Clear All"));
    buttons->addWidget(all);
    buttons->addWidget(none);
    layout->addLayout(buttons);
    QObject::connect(all, &QPushButton::clicked, list, [list] { CheckAll(list, true); });
    QObject::connect(none, &QPushButton::clicked, list, [list] { CheckAll(list, false); });
}

QList<int> CheckedPlaces(const QTreeWidgetItem* parent)
{
    QList<int> places;
    for (int i = 0; i < parent->childCount(); ++i) {
        const QTreeWidgetItem* child = parent->child(i);
        if (PlaceOf(child) >= 0 && child->checkState(0) == Qt::Checked)
            places.append(PlaceOf(child));
        places += CheckedPlaces(child);
    }
    return places;
}

} // namespace wizard_rows
