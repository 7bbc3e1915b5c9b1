#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

class ContentFolder;
class QStandardItemModel;
struct ModelTableRow;

// A fixture as the program knows it: a 48-bit unique id (ESTA manufacturer id in bits
// 32-47, device id in bits 0-31) and the questions every kind of fixture answers. RDM
// fixtures are RDMDevice, the lamp fixtures of the Tarvo protocol TarvoDevice.
//
// Made by a discovery on the command thread, then owned by the device registry, which
// hands it to the GUI thread. Values are written on the command thread and read on the
// GUI thread without a lock (each is a single value).
class Device : public QObject
{
    Q_OBJECT
public:
    explicit Device(QObject* parent = nullptr);
    ~Device() override = 0;

    quint64 GetUniqueId() const { return uniqueId_; }
    // `high` keeps its low 16 bits.
    void SetUniqueId(quint32 low, quint32 high);

    // The upgrade wizard offers only upgradable devices.
    bool IsUpgradable() const { return upgradable_; }
    void SetUpgradable(bool upgradable) { upgradable_ = upgradable; }
    // True when the model index names a row of the model table (ModelTable.h).
    bool UsesModelTable() const { return usesModelTable_; }
    void SetUsesModelTable(bool uses) { usesModelTable_ = uses; }

    // Virtual milliseconds (platform::Clock) since the registry last saw the device.
    void RestartLastSeen();
    qint64 MsSinceLastSeen() const;

    // Takes over the values a later discovery read of the same fixture into `fresh`, an
    // object of the same class: the registry keeps the object that views hold and
    // refreshes it. Emits AddressChanged when the address changed and ValuesChanged when
    // anything did. On the device's thread (the GUI thread).
    void TakeValuesFrom(const Device& fresh);

    // The model-table name of row GetDeviceModelId(); empty unless the device uses the
    // model table and the row exists.
    QString GetModelTableName() const;

    virtual int GetProtocolType() const = 0;  // 1 RDM, 0 Tarvo
    virtual void SetModelIndex(quint16 index) = 0;
    virtual quint16 GetModelIndex() const = 0;
    virtual QString GetModelName() const = 0;
    virtual quint16 GetDeviceModelId() const = 0;
    virtual void SetDeviceModelId(quint16 id) = 0;
    virtual QString GetManufacturer() const = 0;
    virtual quint16 GetDmxAddress() const = 0;
    virtual QString GetSoftwareVersion() const = 0;

    // Firmware answers; the defaults read the model-table row GetModelIndex() and give
    // false, 0 and "" when the device has no valid row.
    virtual bool SkipBlankFirmwarePackets() const;
    virtual quint32 GetFirmwarePacketCount() const;
    virtual QString GetDefaultFirmwareFile() const;
    virtual QString GetFirmwareFileFilter() const;
    virtual QString GetFirmwareFileVersion(const QString& file) const;
    virtual bool AcceptsFirmwareFile(const QString& file) const;

    // Fills the device view's two-column "Parameter"/"Value" table. GUI thread.
    virtual void BuildParameterTable(QStandardItemModel* model) = 0;
    virtual QString GetDeviceName() const = 0;

    // The fixture's content tree: a root whose children are its user, stock and Mosavra
    // groups. Null for fixtures that hold no content.
    virtual ContentFolder* GetContentRoot();
    // The content tree when it has been built already, else null: never builds one (a
    // device on its way out must not start reading the fixture's content).
    virtual ContentFolder* ExistingContentRoot();
    virtual ContentFolder* GetUserContentGroup();
    virtual ContentFolder* GetStockContentGroup();
    virtual ContentFolder* GetMosavraContentGroup();

    // Texts of the parameter tables.
    static QString LampStateText(quint32 state);
    static QString LampOnModeText(quint32 mode);
    static QString PowerStateText(quint32 state);
    static QString DisplayInvertText(quint32 invert);

signals:
    // Emitted by the subclasses when the DMX start address is stored.
    void AddressChanged();
    // Values were refreshed by a later discovery (TakeValuesFrom).
    void ValuesChanged();

protected:
    // Copies every value of `fresh` (same class) that the class keeps; true when any
    // differed. Subclasses copy their own and call their base.
    virtual bool CopyValues(const Device& fresh);
    // One value of CopyValues: true when it differed.
    template <class T>
    static bool TakeValue(T& mine, const T& theirs)
    {
        if (mine == theirs)
            return false;
        mine = theirs;
        return true;
    }

    // Gives `model` the "Parameter" and "Value" columns unless its first header already
    // reads "Parameter" (any case), then removes every row.
    static void ResetParameterTable(QStandardItemModel* model);
    static void AppendParameterRow(QStandardItemModel* model, const QString& caption, const QString& value);

private:
    // The model-table row of GetModelIndex(), or null.
    const ModelTableRow* FirmwareRow() const;

    qint64 lastSeenMs_;
    quint64 uniqueId_ = 0;
    bool upgradable_ = false;
    bool usesModelTable_ = false;
};
