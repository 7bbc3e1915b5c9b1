#pragma once

#include "link/devices/Device.h"
#include <QAction>
#include <QPointer>

#include <optional>

class Device;
class DeviceDelegate;
class DeviceNode;

// The entries of a fixture row's context menu. Each asks for what it needs, builds its
// command and hands it to the row's controller, which queues it.
//
// An action keeps the fixture's unique id and a guarded pointer, never the row: the row
// and the device may go while the menu or a dialog is open (a discovery that no longer
// finds the fixture). Once the user has answered, the action looks the fixture up again
// and queues nothing unless the registry still holds that same device. GUI thread.
class DeviceAction : public QAction
{
    Q_OBJECT
public:
    // `parent` is the widget dialogs open over (the tree).
    DeviceAction(const QString& text, QObject* parent, DeviceNode* row, DeviceDelegate* controller);

    quint64 DeviceUid() const { return uid_; }

public slots:
    virtual void execute() = 0;

protected:
    // The device the action was made for, while the registry still holds it; else null.
    Device* LiveDevice() const;
    // Asks for an address from 0 to `maximum`, starting at `current`; the answer, or
    // nothing when the user cancelled or the device went meanwhile.
    std::optional<quint16> AskAddress(int current, quint16 maximum) const;
    DeviceDelegate* Controller() const { return controller_; }

private:
    quint64 uid_ = 0;
    QPointer<Device> device_;
    QPointer<DeviceDelegate> controller_;
};

class DeviceChangeAddressAction : public DeviceAction
{
    Q_OBJECT
public:
    static constexpr quint16 kMaximum = 512;

    DeviceChangeAddressAction(QObject* parent, DeviceNode* row, DeviceDelegate* controller);

public slots:
    void execute() override;
};

// "Enable Identify" or "Disable Identify" as the fixture last reported its identify
// state; the command toggles whatever state it finds when it runs.
class DeviceIdentifyAction : public DeviceAction
{
    Q_OBJECT
public:
    DeviceIdentifyAction(QObject* parent, DeviceNode* row, DeviceDelegate* controller);

public slots:
    void execute() override;
};

// The Mosavra address of a fixture of the LED families.
class QelDeviceSetMosavraIdAction : public DeviceAction
{
    Q_OBJECT
public:
    static constexpr quint16 kMaximum = 65535;

    QelDeviceSetMosavraIdAction(QObject* parent, DeviceNode* row, DeviceDelegate* controller);

public slots:
    void execute() override;
};
