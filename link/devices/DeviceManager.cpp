#include "link/devices/DeviceManager.h"

#include "link/commands/CommManager.h"
#include "link/commands/Command.h"
#include "link/commands/DiscoveryCommand.h"
#include "link/devices/Device.h"
#include "link/rdm/RDMProtocol.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

DeviceManager* instance = nullptr;

// The holds of DeviceManager::RemovalHold and the devices they keep, process-wide.
class RemovalHolds
{
public:
    static RemovalHolds& Instance()
    {
        static RemovalHolds holds;
        return holds;
    }

    void Take()
    {
        std::lock_guard lock(mutex_);
        ++count_;
    }

    void Release()
    {
        std::vector<Kept> released;
        {
            std::lock_guard lock(mutex_);
            if (--count_ > 0)
                return;
            released.swap(kept_);
        }
        for (const Kept& kept : released)
            kept.device->deleteLater();
    }

    // Keeps `device` (removed and announced) when a hold lives; false when none does.
    bool Keep(Device* device, const ContentFolder* contentRoot)
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0)
            return false;
        kept_.push_back({device, contentRoot});
        return true;
    }

    bool IsKept(const Device* device) const
    {
        std::lock_guard lock(mutex_);
        return std::any_of(kept_.begin(), kept_.end(), [device](const Kept& kept) { return kept.device == device; });
    }

    bool IsKeptContent(const ContentFolder* root) const
    {
        std::lock_guard lock(mutex_);
        return root && std::any_of(kept_.begin(), kept_.end(), [root](const Kept& kept) { return kept.root == root; });
    }

private:
    struct Kept
    {
        Device* device;
        const ContentFolder* root;  // its content root when it was removed
    };
    mutable std::mutex mutex_;
    int count_ = 0;
    std::vector<Kept> kept_;
};

QString KindName(DeviceManager::UpgradeKind kind)
{
    switch (kind) {
    case DeviceManager::UpgradeKind::Brevant:
        return QStringLiteral("Brevant");
    case DeviceManager::UpgradeKind::Cindral:
        return QStringLiteral("Cindral");
    case DeviceManager::UpgradeKind::Lamp:
        break;
    }
    return QStringLiteral("lamp");
}

} // namespace

DeviceManager* DeviceManager::Instance()
{
    if (!instance) {
        instance = new DeviceManager();
        // Should the program not tear it down itself, the registry goes with the
        // application object (before the command queue, which it stops first).
        static const bool teardownRegistered = (qAddPostRoutine(&DeviceManager::DestroyInstance), true);
        Q_UNUSED(teardownRegistered);
    }
    return instance;
}

void DeviceManager::DestroyInstance()
{
    if (!instance)
        return;
    CommManager::DestroyInstance();
    delete std::exchange(instance, nullptr);
}

DeviceManager::DeviceManager()
{
    // Lamp fixtures come first once their protocol is there; see SetDiscoveryProtocols.
    protocols_ = {RDMProtocol::Instance()};
    Queue();
}

DeviceManager::~DeviceManager()
{
    // Commands first: a command may still refer to a device by its unique id, never by
    // pointer, but nothing of ours should outlive the registry.
    commands_.clear();
    devices_.clear();
}

CommManager* DeviceManager::Queue()
{
    CommManager* manager = CommManager::Instance();
    if (manager != manager_) {
        manager_ = manager;
        connect(manager, &CommManager::CommandQueueIdle, this, &DeviceManager::OnCommandQueueIdle);
        connect(manager, &CommManager::CommandCompleted, this, &DeviceManager::OnCommandCompleted);
        connect(manager, &QObject::destroyed, this, &DeviceManager::OnQueueGone);
    }
    return manager;
}

void DeviceManager::QueueOwned(std::unique_ptr<Command> command)
{
    CommManager* manager = Queue();
    Command* queued = command.get();
    commands_[queued->GetId()] = std::move(command);
    manager->QueueCommand(queued);
}

QList<Device*> DeviceManager::Devices() const
{
    QList<Device*> devices;
    devices.reserve(qsizetype(devices_.size()));
    for (const auto& [uid, device] : devices_)
        devices.append(device.get());
    return devices;
}

Device* DeviceManager::FindDevice(quint64 uniqueId) const
{
    const auto it = devices_.find(uniqueId);
    return it != devices_.end() ? it->second.get() : nullptr;
}

void DeviceManager::SetDiscoveryProtocols(const QList<IDiscoveryProtocol*>& protocols)
{
    protocols_ = protocols;
}

QList<IDiscoveryProtocol*> DeviceManager::DiscoveryProtocols() const
{
    return protocols_;
}

bool DeviceManager::Discover()
{
    auto command = std::make_unique<DiscoveryCommand>();
    command->SetProtocols(protocols_);
    connect(command.get(), &DiscoveryCommand::FinishedDiscovery, this, &DeviceManager::OnFinishedDiscovery);
    QueueOwned(std::move(command));
    return true;
}

void DeviceManager::OnFinishedDiscovery(QUuid id)
{
    const auto it = commands_.find(id);
    if (it == commands_.end())
        return;
    auto* discovery = qobject_cast<DiscoveryCommand*>(it->second.get());
    if (!discovery)
        return;
    mergedDiscoveries_.insert(id);
    Merge(discovery->TakeDevices());
}

void DeviceManager::Merge(const QList<Device*>& found)
{
    // Every unique id reported, collected before any duplicate object is deleted.
    QSet<quint64> reported;
    for (Device* device : found)
        if (device)
            reported.insert(device->GetUniqueId());

    for (Device* device : found) {
        if (!device)
            continue;
        std::unique_ptr<Device> owned(device);
        try {
            if (owned->thread() != thread())
                qWarning("DeviceManager: device 0x%llx arrived from another thread", owned->GetUniqueId());
            const quint64 uid = owned->GetUniqueId();
            const auto known = devices_.find(uid);
            if (known != devices_.end() && known->second->metaObject() == owned->metaObject()) {
                // The registered object stays, as views hold it; it takes over what was
                // just read, and the new one, only its sighting, goes.
                known->second->TakeValuesFrom(*owned);
                known->second->RestartLastSeen();
                continue;
            }
            if (known != devices_.end()) {
                // Now an object of another class: the old one goes, the new one comes.
                auto node = devices_.extract(known);
                Retire(std::move(node.mapped()));
            }
            owned->RestartLastSeen();
            Device* added = owned.get();
            devices_.emplace(uid, std::move(owned));
            emit DeviceAdded(added);
        } catch (...) {
            // One device's trouble must not cost the others their place.
        }
    }

    std::vector<quint64> gone;
    for (const auto& [uid, device] : devices_)
        if (!reported.contains(uid))
            gone.push_back(uid);
    for (quint64 uid : gone) {
        try {
            auto node = devices_.extract(uid);
            Retire(std::move(node.mapped()));
        } catch (...) {
        }
    }
}

void DeviceManager::Retire(std::unique_ptr<Device> device)
{
    Device* removed = device.release();
    const ContentFolder* root = removed->ExistingContentRoot();
    emit DeviceRemoved(removed);
    if (!RemovalHolds::Instance().Keep(removed, root))
        removed->deleteLater();
}

void DeviceManager::OnCommandQueueIdle() {}

void DeviceManager::OnCommandCompleted(QUuid commandId)
{
    auto node = commands_.extract(commandId);
    if (node.empty() || !node.mapped())
        return;
    Command* command = node.mapped().release();
    const bool discovery = qobject_cast<DiscoveryCommand*>(command) != nullptr;
    command->deleteLater();
    if (discovery)
        emit DiscoveryCompleted(mergedDiscoveries_.remove(commandId));
}

void DeviceManager::OnQueueGone()
{
    // Commands it had not run yet will not run; they are ours to delete.
    int discoveries = 0;
    for (const auto& [id, command] : commands_)
        discoveries += qobject_cast<DiscoveryCommand*>(command.get()) != nullptr;
    commands_.clear();
    mergedDiscoveries_.clear();
    for (int i = 0; i < discoveries; ++i)
        emit DiscoveryCompleted(false);
}

DeviceManager::UpgradeKind DeviceManager::UpgradeKindOf(const QString& modelName)
{
    if (modelName.compare(QLatin1String("BREVANT"), Qt::CaseInsensitive) == 0)
        return UpgradeKind::Brevant;
    if (modelName.compare(QLatin1String("Cindral"), Qt::CaseInsensitive) == 0)
        return UpgradeKind::Cindral;
    return UpgradeKind::Lamp;
}

void DeviceManager::SetUpgradeCommandFactory(UpgradeKind kind, UpgradeCommandFactory factory)
{
    if (factory)
        upgradeFactories_[kind] = std::move(factory);
    else
        upgradeFactories_.erase(kind);
}

bool DeviceManager::UpgradeDevices(const QList<Device*>& devices, const QString& file, QString* error)
{
    const auto refuse = [error](const QString& reason) {
        qWarning("DeviceManager: %s", qPrintable(reason));
        if (error)
            *error = reason;
        return false;
    };
    QList<Device*> targets;
    for (Device* device : devices)
        if (device)
            targets.append(device);
    if (targets.isEmpty())
        return refuse(QStringLiteral("No devices were chosen for the firmware upgrade."));

    const UpgradeKind kind = UpgradeKindOf(targets.first()->GetModelName());
    const auto factory = upgradeFactories_.find(kind);
    // The upgrade commands come with the firmware library; until it registers them there is
    // nothing to queue.
    if (factory == upgradeFactories_.end())
        return refuse(QStringLiteral("Firmware upgrades of %1 fixtures are not available in this version.")
                          .arg(KindName(kind)));
    std::unique_ptr<Command> command = factory->second(targets, file);
    if (!command)
        return refuse(QStringLiteral("The firmware upgrade of %1 fixtures could not be prepared.").arg(KindName(kind)));
    QueueOwned(std::move(command));
    return true;
}

DeviceManager::RemovalHold::RemovalHold()
{
    RemovalHolds::Instance().Take();
}

DeviceManager::RemovalHold::RemovalHold(const RemovalHold&)
{
    RemovalHolds::Instance().Take();
}

DeviceManager::RemovalHold& DeviceManager::RemovalHold::operator=(const RemovalHold&)
{
    // Each object is one hold whatever it was copied from.
    return *this;
}

DeviceManager::RemovalHold::~RemovalHold()
{
    RemovalHolds::Instance().Release();
}

bool DeviceManager::RemovalHold::IsRemoved(const Device* device)
{
    return RemovalHolds::Instance().IsKept(device);
}

bool DeviceManager::RemovalHold::IsRemovedContent(const ContentFolder* contentRoot)
{
    return RemovalHolds::Instance().IsKeptContent(contentRoot);
}
