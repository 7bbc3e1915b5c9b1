#include "tools/widget_firmware/IntelHex.h"

#include <cstdio>
#include <sstream>

namespace widget_firmware {

std::string WriteIntelHex(const std::vector<HexRecord>& records)
{
    std::string text;
    for (const HexRecord& record : records) {
        char field[16];
        unsigned sum = unsigned(record.data.size()) + (record.address >> 8) + (record.address & 0xFF) + record.type;
        std::snprintf(field, sizeof field, ":%02X%04X%02X", unsigned(record.data.size()), unsigned(record.address),
                      unsigned(record.type));
        text += field;
        for (std::uint8_t byte : record.data) {
            std::snprintf(field, sizeof field, "%02X", unsigned(byte));
            text += field;
            sum += byte;
        }
        std::snprintf(field, sizeof field, "%02X\n", unsigned((0x100 - (sum & 0xFF)) & 0xFF));
        text += field;
    }
    return text;
}

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ParseLine(const std::string& line, HexRecord* record, std::string* reason)
{
    if (line.empty() || line[0] != ':') {
        *reason = "does not start with ':'";
        return false;
    }
    if ((line.size() - 1) % 2 != 0 || line.size() < 11) {
        *reason = "is not a whole record";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    for (size_t i = 1; i < line.size(); i += 2) {
        const int high = HexValue(line[i]);
        const int low = HexValue(line[i + 1]);
        if (high < 0 || low < 0) {
            *reason = "holds a character that is not hexadecimal";
            return false;
        }
        bytes.push_back(std::uint8_t(high * 16 + low));
    }
    const size_t length = bytes[0];
    if (bytes.size() != length + 5) {
        *reason = "has a length byte that does not match the record";
        return false;
    }
    unsigned sum = 0;
    for (std::uint8_t byte : bytes)
        sum += byte;
    if ((sum & 0xFF) != 0) {
        *reason = "has a bad checksum";
        return false;
    }
    record->address = std::uint16_t(bytes[1] << 8 | bytes[2]);
    record->type = bytes[3];
    record->data.assign(bytes.begin() + 4, bytes.begin() + 4 + std::ptrdiff_t(length));
    if (record->type != kDataRecord && record->type != kEndRecord) {
        *reason = "has a record type other than data or end";
        return false;
    }
    if (record->data.size() > kMaxRecordData) {
        *reason = "holds more than 16 data bytes";
        return false;
    }
    return true;
}

} // namespace

bool ParseIntelHex(const std::string& text, std::vector<HexRecord>* records, std::string* error)
{
    records->clear();
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    bool ended = false;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::string reason;
        HexRecord record;
        if (ended)
            reason = "follows the end record";
        else if (ParseLine(line, &record, &reason))
            ended = record.type == kEndRecord;
        if (!reason.empty()) {
            *error = "line " + std::to_string(number) + " " + reason;
            return false;
        }
        records->push_back(record);
    }
    if (!ended) {
        *error = "no end record";
        return false;
    }
    return true;
}

namespace {

// A 32-bit linear congruential generator: fixed seeds give the same image on every build.
class Bytes
{
public:
    explicit Bytes(std::uint32_t seed) : state_(seed) {}
    std::uint8_t Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return std::uint8_t(state_ >> 24);
    }

private:
    std::uint32_t state_;
};

void AddSegment(std::vector<HexRecord>* records, std::uint16_t address, const std::vector<std::uint8_t>& bytes)
{
    for (size_t offset = 0; offset < bytes.size(); offset += kMaxRecordData) {
        HexRecord record;
        record.address = std::uint16_t(address + offset);
        record.type = kDataRecord;
        const size_t count = std::min(kMaxRecordData, bytes.size() - offset);
        record.data.assign(bytes.begin() + std::ptrdiff_t(offset), bytes.begin() + std::ptrdiff_t(offset + count));
        records->push_back(record);
    }
}

std::vector<std::uint8_t> LongJump(std::uint16_t target)
{
    return {0x02, std::uint8_t(target >> 8), std::uint8_t(target & 0xFF)}; // 8051 LJMP
}

} // namespace

std::vector<HexRecord> MakeWidgetFirmwareRecords()
{
    // The layout of a small 8051 program: jumps at the reset and three interrupt
    // vectors, then four code modules, each written out from its own start in 16-byte
    // records (the last one shorter). 408 data records, 6,432 bytes, 0x0000 to 0x1943.
    struct Module
    {
        std::uint16_t address;
        std::uint16_t length;
    };
    const Module modules[] = {{0x0030, 1923}, {0x07B3, 1447}, {0x0D5A, 1762}, {0x143C, 1288}};
    const std::uint16_t vectors[] = {0x0000, 0x000B, 0x0013, 0x0023};

    std::vector<HexRecord> records;
    for (int i = 0; i < 4; ++i)
        AddSegment(&records, vectors[i], LongJump(modules[i].address));
    static const char banner[] = "Velmora DMX/RDM widget firmware 1.0";
    for (int i = 0; i < 4; ++i) {
        Bytes source(0x5EED0000u + std::uint32_t(i));
        std::vector<std::uint8_t> bytes(modules[i].length);
        for (std::uint8_t& byte : bytes)
            byte = source.Next();
        if (i == 3) // constant tables at the end of the image
            std::copy(banner, banner + sizeof banner, bytes.end() - std::ptrdiff_t(sizeof banner));
        AddSegment(&records, modules[i].address, bytes);
    }
    HexRecord end;
    end.type = kEndRecord;
    records.push_back(end);
    return records;
}

} // namespace widget_firmware
