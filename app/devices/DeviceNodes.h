#pragma once

#include "link/devices/DeviceManager.h"
#include "app/tree/Node.h"

#include <QList>
#include <QPointer>

class ContentFolder;
class Device;
class DeviceManager;

// The "Devices" row of the navigation tree and one row per fixture below it (its name,
// its DMX address), following the device registry: a row for every device registered when
// it is made and for each one added later, kept sorted by model name; a device's row goes
// when the registry announces it removed, before the device itself goes. GUI thread.

// The "Devices" top row.
class DeviceManagerNode : public Node
{
    Q_OBJECT
public:
    explicit DeviceManagerNode(DeviceManager* registry);

    DeviceManager* Registry() const { return registry_; }

public slots:
    void AddDeviceNode(Device* pDevice);
    // Inserts a fixture row before the first row of an equal or greater model name (so a
    // new row goes above those of the same model).
    void InsertRowSorted(QList<QStandardItem*> item);
    void RemoveDeviceNode(Device* pDevice);

private:
    QPointer<DeviceManager> registry_;
};

// A cell of a fixture row. It does not own its device; the pointer is null once the
// device has been deleted.
class DeviceNode : public Node
{
    Q_OBJECT
public:
    explicit DeviceNode(Device* device);

    Device* GetDevice() const { return device_; }
    // Whether the cell was made for `device` (compared by address, so `device` may have died).
    bool IsFor(const Device* device) const { return key_ == device; }

    // The cell as a DeviceNode; null when it is another kind of item.
    static DeviceNode* From(QStandardItem* item) { return dynamic_cast<DeviceNode*>(item); }

private:
    const Device* key_;
    QPointer<Device> device_;
};

// The name cell: "<model> (<label>)", the label being the unique id when the fixture has
// none, kept up to date as discoveries refresh the device. A fixture with content has the
// rows of its content groups below.
class DeviceNameNode : public DeviceNode
{
    Q_OBJECT
public:
    explicit DeviceNameNode(Device* device);

public slots:
    void AddFolderNode(const ContentFolder* parent, ContentFolder* added);
    void RemoveFolderNode(const ContentFolder* parent, const ContentFolder* removed);
    void NameChanged();

private:
    QPointer<ContentFolder> root_;
};

// The address cell: the DMX start address on a grey badge, none for address 0.
class DeviceAddressNode : public DeviceNode
{
    Q_OBJECT
public:
    explicit DeviceAddressNode(Device* device);

public slots:
    void AddressChanged();
};
