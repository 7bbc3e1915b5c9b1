#include "tools/widget_firmware/IntelHex.h"
#include "tools/widget_firmware/WidgetFirmware.h"

#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>

using namespace widget_firmware;

namespace {

std::string GeneratedHexFile()
{
    QFile file(QStringLiteral(VELMORA_WIDGET_FIRMWARE_HEX));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll().toStdString();
}

TEST(WidgetFirmware, TheImageHasTheStatedShape)
{
    std::vector<HexRecord> records;
    std::string error;
    ASSERT_TRUE(ParseIntelHex(GeneratedHexFile(), &records, &error)) << error;
    ASSERT_EQ(records.size(), 409u);
    EXPECT_EQ(records.back().type, kEndRecord);
    size_t bytes = 0;
    unsigned lowest = 0xFFFF, highest = 0;
    for (size_t i = 0; i + 1 < records.size(); ++i) {
        const HexRecord& record = records[i];
        ASSERT_EQ(record.type, kDataRecord);
        ASSERT_LE(record.data.size(), 16u);
        ASSERT_FALSE(record.data.empty());
        bytes += record.data.size();
        lowest = std::min<unsigned>(lowest, record.address);
        highest = std::max<unsigned>(highest, record.address + unsigned(record.data.size()) - 1);
        if (i > 0) { // in address order, never overlapping
            EXPECT_GE(record.address, records[i - 1].address + records[i - 1].data.size());
        }
    }
    EXPECT_EQ(bytes, 6432u);
    EXPECT_EQ(lowest, 0x0000u);
    EXPECT_EQ(highest, 0x1943u);
    // Nothing lies where the loader would skip it.
    EXPECT_LE(highest, 0x1B3Fu);
}

TEST(WidgetFirmware, TheBuildMakesTheSameBytesEveryTime)
{
    EXPECT_EQ(WriteIntelHex(MakeWidgetFirmwareRecords()), GeneratedHexFile());
}

TEST(WidgetFirmware, TheTableKeepsEveryRecordOfTheHexFile)
{
    std::vector<HexRecord> records;
    std::string error;
    ASSERT_TRUE(ParseIntelHex(GeneratedHexFile(), &records, &error)) << error;
    ASSERT_EQ(kWidgetFirmwareRecordCount, records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        const WidgetFirmwareRecord& entry = kWidgetFirmwareImage[i];
        EXPECT_EQ(entry.Length, records[i].data.size());
        EXPECT_EQ(entry.Address, records[i].address);
        EXPECT_EQ(entry.Type, records[i].type);
        EXPECT_TRUE(std::equal(records[i].data.begin(), records[i].data.end(), entry.Data));
    }
}

TEST(WidgetFirmware, BrokenHexIsRefusedWithTheLineAndTheReason)
{
    struct Case
    {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {":03000000020030CC\n:00000001FF\n", "line 1 has a bad checksum"},
        {"03000000020030CB\n", "line 1 does not start with ':'"},
        {":04000000020030CB\n:00000001FF\n", "line 1 has a length byte that does not match the record"},
        {":020000040000FA\n:00000001FF\n", "line 1 has a record type other than data or end"},
        {":00000001FF\n:03000000020030CB\n", "line 2 follows the end record"},
        {":03000000020030CB\n", "no end record"},
        {":03000000020G30CB\n", "line 1 holds a character that is not hexadecimal"},
    };
    for (const Case& c : cases) {
        std::vector<HexRecord> records;
        std::string error;
        EXPECT_FALSE(ParseIntelHex(c.text, &records, &error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
    std::vector<HexRecord> records;
    std::string error;
    EXPECT_TRUE(ParseIntelHex(":03000000020030CB\r\n:00000001FF\r\n", &records, &error)) << error;
}

} // namespace
