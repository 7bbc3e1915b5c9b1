#pragma once

#include <QAbstractItemView>
#include <QColor>
#include <QStringList>

class QTreeWidget;
class QTreeWidgetItem;

// What the wizards' fixture lists share: the list's looks, the badge cells that OvalDelegate
// paints, and the place (LiveDevices) a fixture row keeps, by which rows go when their
// fixture does.
class QBoxLayout;

namespace wizard_rows {

// Column 0 of a fixture row: the fixture's place in the wizard's LiveDevices.
constexpr int kPlaceRole = Qt::UserRole + 2;

inline QColor AddressLight() { return QColor(96, 96, 96, 255); }
inline QColor AddressDark() { return QColor(Qt::black); }
inline QColor MosavraLight() { return QColor(Qt::red); }
inline QColor MosavraDark() { return QColor(Qt::darkRed); }

// Icon size 24 x 16, no root decoration, `selection`, focus across all columns, no word
// wrap, the header labels.
void SetUpList(QTreeWidget* list, const QStringList& headers, QAbstractItemView::SelectionMode selection);
// `column` of `row` shows `number` as a badge from `light` (top) to `dark`, white digits.
void SetBadge(QTreeWidgetItem* row, int column, int number, const QColor& light, const QColor& dark);
// The fixture place of `row`; -1 for headings, notes and package rows.
int PlaceOf(const QTreeWidgetItem* row);
void SetPlace(QTreeWidgetItem* row, int place);
// Removes every row, at any depth, of the fixture at `place`.
void RemoveRowsOf(QTreeWidget* list, int place);
// Checks or unchecks column 0 of every top-level row that can be checked.
void CheckAll(QTreeWidget* list, bool checked);
// Adds to `layout` the "Select All" and "Clear All" buttons that check or uncheck every
// row of `list`.
void AddCheckAllButtons(QBoxLayout* layout, QTreeWidget* list);
// The places of the checked fixture rows below `parent`, depth first, a row before its
// children.
QList<int> CheckedPlaces(const QTreeWidgetItem* parent);

} // namespace wizard_rows
