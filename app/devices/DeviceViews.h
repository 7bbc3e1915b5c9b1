#pragma once

#include "link/devices/Device.h"
#include <QList>
#include <QPointer>
#include <QStandardItemModel>
#include <QTableView>

class Device;
class DeviceManager;

// The two tables the device rows show: every fixture the registry knows, and the
// parameters of one fixture. Both are read-only, sortable by a click on a column header,
// with alternating row colours. GUI thread.

// What both tables share: the settings, the model, and the user's sort order, which a
// rebuild keeps (until the user clicks a header, rows stay in the order they were made).
class DeviceTable : public QTableView
{
    Q_OBJECT
public:
    QStandardItemModel* Model() const { return model_; }

protected:
    explicit DeviceTable(QWidget* parent);
    // Sorts the rebuilt table again as the user last asked.
    void KeepUserSort();

private:
    QStandardItemModel* model_;
    bool userSorted_ = false;
};

// One row per fixture: unique id, name, protocol, manufacturer, model, version and DMX
// address. The unique ids and addresses sort by number.
class DeviceListView : public DeviceTable
{
    Q_OBJECT
public:
    explicit DeviceListView(QWidget* parent = nullptr);

    // Rebuilds the table from the registry's devices.
    void Refresh(DeviceManager* registry);
    // Rebuilds the table from `devices`, in that order unless the user sorted it.
    void Refresh(const QList<Device*>& devices);
};

// The parameter table of one fixture, as the fixture fills it (Device::BuildParameterTable).
class DeviceView : public DeviceTable
{
    Q_OBJECT
public:
    explicit DeviceView(QWidget* parent = nullptr);

    // Fills the table from `device` and remembers it.
    void Show(Device* device);
    // The unique id of the fixture shown; 0 before the first Show.
    quint64 ShownUid() const { return shownUid_; }
    // The device object shown; null once it has been deleted.
    Device* ShownDevice() const { return shown_; }

private:
    quint64 shownUid_ = 0;
    QPointer<Device> shown_;
};
