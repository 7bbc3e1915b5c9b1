#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Intel HEX as the widget firmware uses it: 16-bit addresses, data records of at most 16
// bytes, one end record.
namespace widget_firmware {

struct HexRecord
{
    std::uint16_t address = 0;
    std::uint8_t type = 0; // 0 data, 1 end of file
    std::vector<std::uint8_t> data;
};

constexpr std::uint8_t kDataRecord = 0;
constexpr std::uint8_t kEndRecord = 1;
constexpr std::size_t kMaxRecordData = 16;

// One ":LLAAAATT<data>CC" line per record, upper-case hex, each ending in "\n".
std::string WriteIntelHex(const std::vector<HexRecord>& records);

// Parses the text back into records, end record included. False, with the line and the
// reason in `error`, for a line that is not a record, a bad checksum, a record type other
// than data and end, more than 16 data bytes, anything after the end record or no end
// record at all.
bool ParseIntelHex(const std::string& text, std::vector<HexRecord>* records, std::string* error);

// The widget firmware image: deterministic, the same bytes every time it is made.
std::vector<HexRecord> MakeWidgetFirmwareRecords();

} // namespace widget_firmware
