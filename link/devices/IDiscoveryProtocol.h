#pragma once

#include <QList>
#include <QObject>

class Device;
class IFeedback;

// A way of finding the fixtures on the line. The discovery command runs every protocol
// in turn on one shared list; each appends the devices it found (heap objects that the
// list's owner takes over) and may merge with or replace what earlier protocols put
// there. Runs on the command thread.
class IDiscoveryProtocol
{
public:
    virtual ~IDiscoveryProtocol() = default;
    virtual void Discover(QList<Device*>* devices, IFeedback* feedback) = 0;
};

// Protocol objects that are QObjects answer qobject_cast to this interface by name.
Q_DECLARE_INTERFACE(IDiscoveryProtocol, "IDiscoveryProtocol")
