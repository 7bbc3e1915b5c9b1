#include "firmware/TarvoDevice.h"
#include "link/devices/ModelTable.h"

#include <QStandardItemModel>

#include <gtest/gtest.h>

namespace {

QStringList Captions(const QStandardItemModel& model)
{
    QStringList captions;
    for (int row = 0; row < model.rowCount(); ++row)
        captions.append(model.data(model.index(row, 0)).toString());
    return captions;
}

QString ValueOf(const QStandardItemModel& model, const QString& caption)
{
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.data(model.index(row, 0)).toString() == caption)
            return model.data(model.index(row, 1)).toString();
    return QStringLiteral("<no row>");
}

// A lamp that reported nothing shows its fixed rows and hides every value it did not
// report: no temperatures, electrical values, fans, lens type or fast mode.
TEST(TarvoDevice, ALampThatReportedNothingShowsItsFixedRows)
{
    TarvoDevice lamp;
    lamp.SetUniqueId(0x00C0FFEE, 0);
    QStandardItemModel model;
    lamp.BuildParameterTable(&model);
    const QStringList expected = {
        "Manufacturer", "Model", "Unique ID", "Mode", "Address", "Software Version", "Build Status", "Channels",
        "Lamp Status", "Lamp Hours", "Lamp Strikes", "Device Hours", "Pan Tilt Swap", "Pan Invert", "Tilt Invert",
        "Display Invert", "Display On", "Lamp Limit", "Lamp On/Off", "Preset Playing", "Shutdown Time", "Data Loss",
        "Encoder Disable"};
    EXPECT_EQ(Captions(model), expected);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Parameter");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Value");
    EXPECT_EQ(ValueOf(model, "Manufacturer"), "Quorvane");
    EXPECT_EQ(ValueOf(model, "Model"), "Unknown");
    EXPECT_EQ(ValueOf(model, "Unique ID"), "0xc0ffee");
    EXPECT_EQ(ValueOf(model, "Software Version"), "N/A");
    EXPECT_EQ(ValueOf(model, "Build Status"), "Unknown");
    EXPECT_EQ(ValueOf(model, "Display On"), "Dim");
    EXPECT_TRUE(lamp.IsUpgradable());
    EXPECT_TRUE(lamp.UsesModelTable());
    EXPECT_EQ(lamp.GetProtocolType(), 0);
}

TEST(TarvoDevice, ReportedValuesShowTheirRows)
{
    TarvoDevice lamp;
    lamp.SetHead1Temp(-5);
    lamp.SetPcb2MaxTemp(0);
    lamp.SetPcb1Temp(-1);  // -1 is "not reported"
    lamp.SetVoltage(230);
    lamp.SetFrequency(0);
    lamp.SetOpticsFanSpeed(7);
    lamp.SetLensType(1);
    lamp.SetFastMode(0);
    lamp.SetDisplayInvert(2);
    lamp.SetBuildStatus(4);
    QStandardItemModel model;
    model.setHorizontalHeaderLabels({"Parameter", "Value", "Kept"});
    lamp.BuildParameterTable(&model);
    EXPECT_EQ(model.columnCount(), 3) << "a table that already has its header keeps its columns";
    EXPECT_EQ(ValueOf(model, "Head1 Temp"), "-5 C");
    EXPECT_EQ(ValueOf(model, "PCB2 Max Temp"), "0 C");
    EXPECT_EQ(ValueOf(model, "PCB1 Temp"), "<no row>");
    EXPECT_EQ(ValueOf(model, "Voltage"), "230");
    EXPECT_EQ(ValueOf(model, "Frequency"), "0");
    EXPECT_EQ(ValueOf(model, "Current"), "<no row>");
    EXPECT_EQ(ValueOf(model, "Optics Fan Speed"), "7 r/s");
    EXPECT_EQ(ValueOf(model, "Lens Type"), "Narrow");
    EXPECT_EQ(ValueOf(model, "Fast Mode"), "On");
    EXPECT_EQ(ValueOf(model, "Display Invert"), "No");
    EXPECT_EQ(ValueOf(model, "Build Status"), "Beta");
    EXPECT_EQ(model.rowCount(), 23 + 7);
}

TEST(TarvoDevice, TheDeviceTypeNamesTheModelAndItsFirmware)
{
    TarvoDevice lamp;
    lamp.SetDeviceModelId(28);
    EXPECT_EQ(lamp.GetModelName(), QString::fromLatin1(kModelTable[28].modelName));
    EXPECT_EQ(lamp.GetModelIndex(), 28);
    EXPECT_EQ(lamp.GetFirmwarePacketCount(), kModelTable[28].packetCount);
    EXPECT_EQ(lamp.SkipBlankFirmwarePackets(), kModelTable[28].skipBlank != 0);
    EXPECT_EQ(lamp.GetFirmwareFileFilter(), QString::fromLatin1(kModelTable[28].firmwarePattern));
    lamp.SetModelIndex(34);
    EXPECT_EQ(lamp.GetModelName(), "");
    EXPECT_EQ(lamp.GetFirmwarePacketCount(), 0u);
}

} // namespace

// A later discovery's reading of the same lamp refreshes the object the registry keeps.
TEST(TarvoDevice, TakesOverWhatALaterDiscoveryRead)
{
    TarvoDevice registered;
    registered.SetDmxAddress(10);
    registered.SetDeviceName("Front");
    TarvoDevice fresh;
    fresh.SetDmxAddress(20);
    fresh.SetDeviceName("Back");
    fresh.SetTemperature(TarvoDevice::Sensor::Head2, TarvoDevice::Reading::Maximum, 61);
    fresh.SetFanSpeed(TarvoDevice::Fan::Optics, 40);
    QStringList events;
    QObject::connect(&registered, &Device::AddressChanged, [&] { events.append("address"); });
    QObject::connect(&registered, &Device::ValuesChanged, [&] { events.append("values"); });

    registered.TakeValuesFrom(fresh);
    EXPECT_EQ(events, QStringList({"address", "values"}));
    EXPECT_EQ(registered.GetDmxAddress(), 20);
    EXPECT_EQ(registered.GetDeviceName(), "Back");
    EXPECT_EQ(registered.GetTemperature(TarvoDevice::Sensor::Head2, TarvoDevice::Reading::Maximum), 61);
    EXPECT_EQ(registered.GetFanSpeed(TarvoDevice::Fan::Optics), 40);

    events.clear();
    registered.TakeValuesFrom(fresh);
    EXPECT_TRUE(events.isEmpty()) << "nothing changed, nothing said";
}
