#include "app/devices/DeviceViews.h"

#include "link/devices/Device.h"
#include "link/devices/DeviceManager.h"

#include <QFontMetrics>
#include <QHeaderView>

namespace {

// What the list sorts by: numbers for the unique id and the address, text elsewhere.
constexpr int kSortRole = Qt::UserRole + 2;

namespace column {
enum { UniqueId, Name, Protocol, Manufacturer, Model, Version, Address, Count };
}

// The protocol and manufacturer columns are this many "W"s wide.
constexpr int kProtocolWidthW = 10;
constexpr int kManufacturerWidthW = 20;

QStandardItem* Cell(const QString& text, const QVariant& sortKey)
{
    auto* cell = new QStandardItem(text);
    cell->setEditable(false);
    cell->setData(sortKey, kSortRole);
    return cell;
}

QStandardItem* Cell(const QString& text)
{
    return Cell(text, text);
}

} // namespace

// ---- DeviceTable ----

DeviceTable::DeviceTable(QWidget* parent) : QTableView(parent), model_(new QStandardItemModel(this))
{
    setModel(model_);
    // Rows stay in the order they were made until the user asks for another.
    horizontalHeader()->setSortIndicator(column::UniqueId, Qt::AscendingOrder);
    setSortingEnabled(true);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this] { userSorted_ = true; });
    setShowGrid(true);
    setAlternatingRowColors(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::MinimumExpanding);
    setAutoFillBackground(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    verticalHeader()->hide();
}

void DeviceTable::KeepUserSort()
{
    if (userSorted_)
        sortByColumn(horizontalHeader()->sortIndicatorSection(), horizontalHeader()->sortIndicatorOrder());
}

// ---- DeviceListView ----

DeviceListView::DeviceListView(QWidget* parent) : DeviceTable(parent)
{
    Model()->setSortRole(kSortRole);
    Model()->setHorizontalHeaderLabels({QStringLiteral("Unique ID"), QStringLiteral("Device Name"),
                                        QStringLiteral("Protocol"), QStringLiteral("Manufacturer"),
                                        QStringLiteral("Model"), QStringLiteral("Version"),
                                        QStringLiteral("Dmx Address")});
    const int w = QFontMetrics(font()).horizontalAdvance(QLatin1Char('W'));
    horizontalHeader()->resizeSection(column::Protocol, kProtocolWidthW * w);
    horizontalHeader()->resizeSection(column::Manufacturer, kManufacturerWidthW * w);
}

void DeviceListView::Refresh(DeviceManager* registry)
{
    Refresh(registry ? registry->Devices() : QList<Device*>());
}

void DeviceListView::Refresh(const QList<Device*>& devices)
{
    QStandardItemModel* model = Model();
    model->setRowCount(0);
    model->setRowCount(int(devices.size()));
    model->setColumnCount(column::Count);
    for (int row = 0; row < devices.size(); ++row) {
        const Device* device = devices[row];
        const quint64 uid = device->GetUniqueId();
        const quint16 address = device->GetDmxAddress();
        model->setItem(row, column::UniqueId, Cell(QStringLiteral("%1").arg(uid, 0, 16), QVariant::fromValue(uid)));
        model->setItem(row, column::Name, Cell(device->GetDeviceName()));
        model->setItem(row, column::Protocol,
                       Cell(device->GetProtocolType() != 0 ? QStringLiteral("RDM") : QStringLiteral("QRV")));
        model->setItem(row, column::Manufacturer, Cell(device->GetManufacturer()));
        model->setItem(row, column::Model, Cell(device->GetModelName()));
        model->setItem(row, column::Version, Cell(device->GetSoftwareVersion()));
        model->setItem(row, column::Address, Cell(QString::number(address), int(address)));
    }
    KeepUserSort();
}

// ---- DeviceView ----

DeviceView::DeviceView(QWidget* parent) : DeviceTable(parent)
{
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void DeviceView::Show(Device* device)
{
    shownUid_ = device->GetUniqueId();
    shown_ = device;
    device->BuildParameterTable(Model());
    KeepUserSort();
}
