#pragma once

#include "link/commands/Command.h"

#include <QList>
#include <QPointer>
#include <QThread>

class Device;
class IDiscoveryProtocol;

// Finds the fixtures on the line: wakes them with ten seconds of DMX, then runs every
// discovery protocol in turn on one shared device list (the lamp fixtures' Tarvo protocol
// first, when there is one, then RDM, which merges with what the first found).
//
// Set up on the thread that makes the command (the GUI thread) before it is queued. When
// Execute has searched, every device found has been moved to that thread, is kept by the
// command, and FinishedDiscovery(id) is emitted; the receiver takes the devices over with
// TakeDevices(). Without a widget, or with one that is not usable, it ends with one error
// line and result 2 and emits no FinishedDiscovery. When the command queue stops meanwhile
// (the program is closing), it gives up at once wherever it is, drops what it found, ends
// with result 3 and emits no FinishedDiscovery.
//
// The command owns the devices it found until they are taken; whatever is left goes with
// the command.
class DiscoveryCommand : public Command
{
    Q_OBJECT
public:
    explicit DiscoveryCommand(QObject* parent = nullptr);
    ~DiscoveryCommand() override;

    // The protocols to run, in order (not owned; they must outlive the execution).
    void SetProtocols(const QList<IDiscoveryProtocol*>& protocols);
    // The devices found, which the caller owns from now on (living in the thread that made
    // the command); empty before the search has ended and after the first call. Any thread.
    QList<Device*> TakeDevices();

    bool Execute() override;
    bool InterruptsSafely() const override { return true; }

    // The fixtures need DMX on the line for a while before they answer RDM.
    static constexpr int kWakeUpMs = 10000;

signals:
    // The search has ended and its devices wait to be taken. Emitted on the command thread.
    void FinishedDiscovery(QUuid commandId);

private:
    // Hands each device to the thread that made the command (the one that will own it).
    void MoveToHome(const QList<Device*>& devices) const;
    // The queue is stopping: ends the discovery without a result. Always false.
    bool GiveUp(QList<Device*>& found);

    QList<Device*> devices_;  // under mutex_, owned
    QList<IDiscoveryProtocol*> protocols_;  // under mutex_
    const QPointer<QThread> home_;
};
