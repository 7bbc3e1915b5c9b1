#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>

class Command;
class CommManager;
class ContentFolder;
class Device;
class IDiscoveryProtocol;

// The registry of the fixtures found on the line. It queues discoveries, merges what they
// find into its map (one Device per unique id: a fixture it already knows keeps the object
// it has, so pointers and views stay valid across discoveries, and takes over the values the
// discovery read: TakeValuesFrom), announces devices that come and go, and queues firmware
// upgrades. A fixture that a discovery now makes an object of another class (a plain RDM
// fixture now recognised as a family fixture) is removed and the new object added.
//
// Thread: the GUI thread only; both device signals and DiscoveryCompleted are emitted
// there. Discoveries run on the command thread and hand their devices over, already moved
// to this thread, through DiscoveryCommand.
//
// Ownership: the registry owns every Device in its map. A device that a discovery no
// longer reports is taken out of the map, announced with DeviceRemoved and then deleted
// with deleteLater (once no RemovalHold lives), so a slot of DeviceRemoved may still use it
// but must drop it. Whoever holds a Device across a queued command or a modal dialog holds
// its unique id or a QPointer. The registry deletes its own commands after
// CommandCompleted.
class DeviceManager : public QObject
{
    Q_OBJECT
public:
    // The registry, made on first call (from the GUI thread); it lives until
    // DestroyInstance(), or until the application object goes.
    static DeviceManager* Instance();
    // Stops the command queue (CommManager::DestroyInstance), so that none of the registry's
    // commands is running, then deletes the registry with its commands and devices. Call
    // from the GUI thread when quitting; tests call it between machines.
    static void DestroyInstance();

    class RemovalHold;

    // The registered devices in ascending unique id.
    QList<Device*> Devices() const;
    // The registered device with that unique id, or null.
    Device* FindDevice(quint64 uniqueId) const;

    // Queues a discovery with the current protocol list. Always true.
    bool Discover();

    // The discovery protocols, in the order they run. The RDM engine alone until the lamp
    // fixtures' Tarvo protocol is set in front of it (by the library that has it, at
    // start-up). Not owned; they live for the rest of the process.
    void SetDiscoveryProtocols(const QList<IDiscoveryProtocol*>& protocols);
    QList<IDiscoveryProtocol*> DiscoveryProtocols() const;

    // Firmware upgrades: the model name of the first device chooses the kind ("BREVANT"
    // and "Cindral", either in any letter case, are the LED families; anything else is a
    // lamp fixture).
    enum class UpgradeKind { Lamp, Brevant, Cindral };
    static UpgradeKind UpgradeKindOf(const QString& modelName);
    // Makes the command that upgrades `devices` from `file`. Called on the GUI thread at
    // once; the command must keep unique ids or QPointers, not the pointers.
    using UpgradeCommandFactory =
        std::function<std::unique_ptr<Command>(const QList<Device*>& devices, const QString& file)>;
    // Set by the library that has the upgrade commands of that kind; null unsets.
    void SetUpgradeCommandFactory(UpgradeKind kind, UpgradeCommandFactory factory);
    // Queues the upgrade of `devices` (all of one kind) from `file`. False, with the reason
    // in `error`, when the list is empty or no upgrade of that kind is available; each call
    // gets a command of its own, which the registry deletes once it has completed.
    bool UpgradeDevices(const QList<Device*>& devices, const QString& file, QString* error = nullptr);

signals:
    void DeviceAdded(Device* pDevice);
    void DeviceRemoved(Device* pDevice);
    // A discovery queued by Discover() has ended: with `success`, the registry now shows
    // what it found; without, it failed before searching (no widget, widget not ready, the
    // queue stopped) and the registry is as it was.
    void DiscoveryCompleted(bool success);

public slots:
    void OnFinishedDiscovery(QUuid id);
    void OnCommandQueueIdle();
    void OnCommandCompleted(QUuid commandId);

private:
    DeviceManager();
    ~DeviceManager() override;

    // Announces `device`, already out of the map, as removed and deletes it, or keeps it
    // for the holds.
    void Retire(std::unique_ptr<Device> device);

    // The current command queue, connected to this registry.
    CommManager* Queue();
    void QueueOwned(std::unique_ptr<Command> command);
    // The queue went away: its thread has stopped, so none of our commands runs any more.
    void OnQueueGone();
    // Takes the result of one discovery into the map.
    void Merge(const QList<Device*>& found);

    QPointer<CommManager> manager_;
    std::map<quint64, std::unique_ptr<Device>> devices_;
    std::map<QUuid, std::unique_ptr<Command>> commands_;
    QSet<QUuid> mergedDiscoveries_;  // discoveries whose result has been taken
    QList<IDiscoveryProtocol*> protocols_;
    std::map<UpgradeKind, UpgradeCommandFactory> upgradeFactories_;
};

// Keeps the devices the registry removes alive while it lives. Work that holds pointers to
// devices or into their content trees across a long run (the content operations over
// fixture folders, from the wizard that chose the fixtures to the end of the run) takes
// one, so that a discovery meanwhile cannot free what it points at.
//
// While any hold lives, a device that a discovery drops is taken out of the registry and
// announced with DeviceRemoved at once, as always, but is deleted only when the last hold
// ends (on its own thread, with deleteLater). Meanwhile the holder asks IsRemoved or
// IsRemovedContent before it touches a device or a fixture folder, and skips what has
// been announced removed: its fixture is gone from the line.
//
// Threads: take, copy (another hold), end a hold and ask on any thread; the devices kept
// are the same for every hold, so anyone may ask. No registry need exist; a hold does not
// keep the registry itself alive.
class DeviceManager::RemovalHold
{
public:
    RemovalHold();
    RemovalHold(const RemovalHold& other);
    RemovalHold& operator=(const RemovalHold& other);
    ~RemovalHold();

    // Whether `device` was announced removed and is kept only by the holds.
    static bool IsRemoved(const Device* device);
    // Whether `contentRoot` is the content root (Device::GetContentRoot) of such a device.
    static bool IsRemovedContent(const ContentFolder* contentRoot);
};
