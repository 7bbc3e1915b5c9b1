#include "link/devices/ModelTable.h"
#include "link/devices/RDMDevice.h"
#include "link/rdm/RdmDefs.h"

#include <QRegularExpression>
#include <QStandardItemModel>
#include <gtest/gtest.h>

#include <set>

namespace {

QList<QPair<QString, QString>> Rows(const QStandardItemModel& model)
{
    QList<QPair<QString, QString>> rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows.append({model.index(row, 0).data(Qt::EditRole).toString(), model.index(row, 1).data(Qt::EditRole).toString()});
    return rows;
}

TEST(RDMDeviceTable, FreshDeviceShowsTheSixFixedRows)
{
    RDMDevice device;
    device.SetUniqueId(0x01020304, 0x4142);
    QStandardItemModel model;
    device.BuildParameterTable(&model);
    ASSERT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.horizontalHeaderItem(0)->text(), "Parameter");
    EXPECT_EQ(model.horizontalHeaderItem(1)->text(), "Value");
    const QList<QPair<QString, QString>> expected = {
        {"Unique ID", "0x414201020304"}, {"Identify", "Off"}, {"Software Version", ""},
        {"Sensors", "0"},                {"Dmx Start Address", "0"}, {"Channels", "0"},
    };
    EXPECT_EQ(Rows(model), expected);
}

TEST(RDMDeviceTable, SupportedParametersAddTheirRowsInPidOrder)
{
    RDMDevice device;
    for (quint16 pid : std::initializer_list<quint16>{rdm::PidPowerState, rdm::PidDisplayLevel, rdm::PidLampState, rdm::PidFactoryDefaults,
                        rdm::PidDevicePowerCycles, rdm::PidPanInvert, quint16(0x8000)})
        device.AddSupportedParameter(pid, QString(QChar(pid)));
    device.SetDisplayLevel(128);
    device.SetLampState(5);
    device.SetPowerState(3);
    device.SetPowerCycles(4464);
    device.SetPanInvert(true);

    QStandardItemModel model;
    model.setHorizontalHeaderLabels({"parameter", "Value"});  // kept: the header test ignores case
    model.appendRow({new QStandardItem("stale"), new QStandardItem("row")});
    device.BuildParameterTable(&model);
    EXPECT_EQ(model.horizontalHeaderItem(0)->text(), "parameter");
    const QList<QPair<QString, QString>> rows = Rows(model);
    ASSERT_EQ(rows.size(), 6 + 5);
    const QList<QPair<QString, QString>> extra = rows.mid(6);
    const QList<QPair<QString, QString>> expected = {
        {"Lamp State", "CUSTOM"}, {"Power Cycles", "4464"}, {"Display Level", "50%"},
        {"Pan Invert", "Yes"},    {"Power State", "N/A"},
    };
    EXPECT_EQ(extra, expected);

    device.SetDisplayLevel(255);
    device.BuildParameterTable(&model);
    EXPECT_EQ(Rows(model).size(), 11);
    EXPECT_EQ(Rows(model)[8].second, "100%");
}

TEST(RDMDeviceTable, AForeignModelIsClearedFirst)
{
    RDMDevice device;
    QStandardItemModel model(3, 4);
    model.setHorizontalHeaderLabels({"Name", "A", "B", "C"});
    device.BuildParameterTable(&model);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.horizontalHeaderItem(0)->text(), "Parameter");
    EXPECT_EQ(model.rowCount(), 6);
}

TEST(RDMDeviceValues, DefaultsAndRecordedParameters)
{
    RDMDevice device;
    EXPECT_EQ(device.GetProtocolType(), 1);
    EXPECT_EQ(device.GetManufacturer(), "Unknown");
    EXPECT_EQ(device.GetModelName(), "Unknown");
    EXPECT_EQ(device.GetPersonalityDescription(), "N/A");
    EXPECT_TRUE(device.GetFactoryDefaults());
    EXPECT_TRUE(device.GetDeviceName().isEmpty());
    EXPECT_FALSE(device.IsUpgradable());
    EXPECT_EQ(device.GetContentRoot(), nullptr);

    EXPECT_TRUE(device.AddSupportedParameter(0x0401, "first"));
    EXPECT_TRUE(device.AddSupportedParameter(0x0080, "x"));
    EXPECT_TRUE(device.AddSupportedParameter(0x0401, "second"));
    EXPECT_EQ(device.SupportedParameters(), (QList<quint16>{0x0080, 0x0401}));

    device.SetModelDescription("  Wash 7 ");
    EXPECT_EQ(device.GetModelName(), "Wash 7");
    device.SetUniqueId(0xFFFFFFFF, 0x12345);
    EXPECT_EQ(device.GetUniqueId(), 0x2345FFFFFFFFull);
}

struct TextCase
{
    QString (*text)(quint32);
    quint32 value;
    const char* expected;
};

TEST(DeviceTexts, NamedValuesAndEverythingElse)
{
    const TextCase cases[] = {
        {Device::LampStateText, 0, "OFF"},       {Device::LampStateText, 4, "NOT PRESENT"},
        {Device::LampStateText, 0x7F, "ERROR"},  {Device::LampStateText, 5, "CUSTOM"},
        {Device::LampOnModeText, 1, "ON DMX"},   {Device::LampOnModeText, 3, "ON HOME"},
        {Device::LampOnModeText, 0x80, "CUSTOM"}, {Device::LampOnModeText, 4, "N/A"},
        {Device::PowerStateText, 1, "SHUTDOWN"}, {Device::PowerStateText, 0xFF, "NORMAL"},
        {Device::PowerStateText, 3, "N/A"},      {Device::DisplayInvertText, 2, "AUTO"},
        {Device::DisplayInvertText, 0xFF, "NORMAL"}, {Device::DisplayInvertText, 0x100, "N/A"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(c.text(c.value), QString::fromLatin1(c.expected)) << c.value;
}

TEST(ModelTable, RowsAreDistinctFirmwareModels)
{
    const QRegularExpression pattern("^[a-z0-9]+\\*\\.bin$");
    std::set<std::string> names;
    std::set<std::string> patterns;
    for (const ModelTableRow& row : kModelTable) {
        EXPECT_TRUE(pattern.match(QString::fromLatin1(row.firmwarePattern)).hasMatch()) << row.firmwarePattern;
        EXPECT_GT(row.packetCount, 0u) << row.modelName;
        names.insert(row.modelName);
        patterns.insert(row.firmwarePattern);
    }
    EXPECT_EQ(names.size(), size_t(kModelTableRows));
    EXPECT_EQ(patterns.size(), size_t(kModelTableRows));
}

TEST(ModelTable, DeviceReadsItsRowOnlyWhenItUsesTheTable)
{
    RDMDevice device;
    device.SetModelIndex(3);
    device.SetDeviceModelId(4);
    EXPECT_EQ(device.GetFirmwarePacketCount(), 0u);
    EXPECT_FALSE(device.SkipBlankFirmwarePackets());
    EXPECT_TRUE(device.GetFirmwareFileFilter().isEmpty());
    EXPECT_TRUE(device.GetModelTableName().isEmpty());

    device.SetUsesModelTable(true);
    EXPECT_EQ(device.GetFirmwarePacketCount(), kModelTable[3].packetCount);
    EXPECT_EQ(device.SkipBlankFirmwarePackets(), kModelTable[3].skipBlank != 0);
    EXPECT_EQ(device.GetFirmwareFileFilter(), kModelTable[3].firmwarePattern);
    EXPECT_EQ(device.GetModelTableName(), kModelTable[4].modelName);  // by device model id
    EXPECT_EQ(device.GetFirmwareFileVersion("any.bin"), "Unknown");
    EXPECT_TRUE(device.AcceptsFirmwareFile("any.bin"));

    device.SetModelIndex(kModelTableRows);
    device.SetDeviceModelId(kModelTableRows);
    EXPECT_EQ(device.GetFirmwarePacketCount(), 0u);
    EXPECT_TRUE(device.GetFirmwareFileFilter().isEmpty());
    EXPECT_TRUE(device.GetModelTableName().isEmpty());
}

} // namespace
