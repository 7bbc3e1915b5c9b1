#include "app/devices/DeviceNodes.h"

#include "app/tree/ContentNodes.h"
#include "app/views/ContentQueries.h"
#include "content/ContentFolder.h"
#include "link/devices/Device.h"
#include "link/devices/DeviceManager.h"

#include <QColor>
#include <QFont>
#include <QIcon>

// ---- DeviceManagerNode ----

DeviceManagerNode::DeviceManagerNode(DeviceManager* registry) : Node(QStringLiteral("Devices")), registry_(registry)
{
    setIcon(QIcon(QStringLiteral(":/Resources/truss-16.png")));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    if (!registry)
        return;
    for (Device* device : registry->Devices())
        AddDeviceNode(device);
    connect(registry, &DeviceManager::DeviceAdded, this, &DeviceManagerNode::AddDeviceNode);
    connect(registry, &DeviceManager::DeviceRemoved, this, &DeviceManagerNode::RemoveDeviceNode);
}

void DeviceManagerNode::AddDeviceNode(Device* pDevice)
{
    if (!pDevice)
        return;
    InsertRowSorted({new DeviceNameNode(pDevice), new DeviceAddressNode(pDevice)});
}

void DeviceManagerNode::InsertRowSorted(QList<QStandardItem*> item)
{
    const DeviceNode* added = item.isEmpty() ? nullptr : DeviceNode::From(item.first());
    if (!added || !added->GetDevice()) {
        qDeleteAll(item);
        return;
    }
    const QString key = added->GetDevice()->GetModelName();
    int row = 0;
    for (; row < rowCount(); ++row) {
        const DeviceNode* existing = DeviceNode::From(child(row, 0));
        if (existing && existing->GetDevice()
            && QString::compare(existing->GetDevice()->GetModelName(), key, Qt::CaseSensitive) >= 0)
            break;
    }
    insertRow(row, item);
}

void DeviceManagerNode::RemoveDeviceNode(Device* pDevice)
{
    for (int row = 0; row < rowCount();) {
        const DeviceNode* cell = DeviceNode::From(child(row, 0));
        if (cell && cell->IsFor(pDevice))
            removeRow(row);
        else
            ++row;
    }
}

// ---- DeviceNode ----

DeviceNode::DeviceNode(Device* device) : key_(device), device_(device) {}

// ---- DeviceNameNode ----

DeviceNameNode::DeviceNameNode(Device* device) : DeviceNode(device)
{
    setIcon(QIcon(QStringLiteral(":/Resources/fixture-16.png")));
    NameChanged();
    connect(device, &Device::ValuesChanged, this, &DeviceNameNode::NameChanged);
    ContentFolder* root = device->GetContentRoot();
    if (!root)
        return;
    root_ = root;
    // Connected before the groups are read, so that none added in between is missed.
    connect(root, &ContentFolder::FolderAdded, this, &DeviceNameNode::AddFolderNode);
    connect(root, &ContentFolder::FolderRemoved, this, &DeviceNameNode::RemoveFolderNode);
    for (ContentFolder* group : content_queries::ChildFolders(root))
        AddFolderNode(root, group);
}

void DeviceNameNode::NameChanged()
{
    const Device* device = GetDevice();
    if (!device)
        return;
    QString name = device->GetDeviceName();
    if (name.isEmpty())
        name = QStringLiteral("0x%1").arg(device->GetUniqueId(), 0, 16);
    setText(QStringLiteral("%1 (%2)").arg(device->GetModelName(), name));
}

void DeviceNameNode::AddFolderNode(const ContentFolder* parent, ContentFolder* added)
{
    if (root_ && parent == root_)
        AddFolderRow(this, root_, added);
}

void DeviceNameNode::RemoveFolderNode(const ContentFolder* parent, const ContentFolder* removed)
{
    if (root_ && parent == root_)
        RemoveFolderRows(this, removed);
}

// ---- DeviceAddressNode ----

DeviceAddressNode::DeviceAddressNode(Device* device) : DeviceNode(device)
{
    setData(int(Qt::AlignRight), Qt::TextAlignmentRole);
    setData(QColor(96, 96, 96), Qt::UserRole);
    setData(QColor(Qt::black), Qt::UserRole + 1);
    setData(QColor(Qt::white), Qt::ForegroundRole);
    AddressChanged();
    connect(device, &Device::AddressChanged, this, &DeviceAddressNode::AddressChanged);
}

void DeviceAddressNode::AddressChanged()
{
    const Device* device = GetDevice();
    const quint16 address = device ? device->GetDmxAddress() : 0;
    setText(address != 0 ? QString::number(address) : QString());
}
