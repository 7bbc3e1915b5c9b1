#pragma once

#include <QList>
#include <QObject>
#include <QString>

class Device;
class IFeedback;

// A way of writing a firmware image into fixtures. Runs on the command thread and blocks
// it for the whole upload.
class IFirmwareProtocol
{
public:
    virtual ~IFirmwareProtocol() = default;

    // Writes the image `file` into every device of `devices` at once, reporting every step
    // to `feedback` (may be null). The list is rewritten as the upload goes to the devices
    // still taking part, and holds those that verified the image at the end. True when at
    // least one device verified it.
    virtual bool UploadFirmware(const QString& file, QList<Device*>& devices, IFeedback* feedback) = 0;
};

Q_DECLARE_INTERFACE(IFirmwareProtocol, "IFirmwareProtocol")
