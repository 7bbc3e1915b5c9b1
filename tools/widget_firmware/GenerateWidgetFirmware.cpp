// Build-time generator of the widget firmware.
//   widget_firmware_gen hex <out.hex>             writes the image as Intel HEX
//   widget_firmware_gen table <in.hex> <out.cpp>  turns the HEX file into the record table
//                                                 the firmware loader carries, one record
//                                                 per HEX record, end record included

#include "tools/widget_firmware/IntelHex.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

bool WriteFile(const char* path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        std::fprintf(stderr, "widget_firmware_gen: cannot write %s\n", path);
        return false;
    }
    return true;
}

std::string Table(const std::vector<widget_firmware::HexRecord>& records)
{
    std::string text = "// Made by widget_firmware_gen from the firmware's Intel HEX file. Do not edit.\n"
                       "#include \"tools/widget_firmware/WidgetFirmware.h\"\n\n"
                       "const WidgetFirmwareRecord kWidgetFirmwareImage[] = {\n";
    char field[64];
    for (const widget_firmware::HexRecord& record : records) {
        std::snprintf(field, sizeof field, "    {%u, 0, 0x%04X, %u, {", unsigned(record.data.size()),
                      unsigned(record.address), unsigned(record.type));
        text += field;
        for (size_t i = 0; i < record.data.size(); ++i) {
            std::snprintf(field, sizeof field, "%s0x%02X", i ? ", " : "", unsigned(record.data[i]));
            text += field;
        }
        text += "}, 0},\n";
    }
    text += "};\n\nconst std::size_t kWidgetFirmwareRecordCount = sizeof kWidgetFirmwareImage / sizeof "
            "kWidgetFirmwareImage[0];\n";
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hex" && argc == 3)
        return WriteFile(argv[2], widget_firmware::WriteIntelHex(widget_firmware::MakeWidgetFirmwareRecords())) ? 0 : 1;
    if (mode == "table" && argc == 4) {
        std::ifstream input(argv[2], std::ios::binary);
        std::stringstream text;
        text << input.rdbuf();
        std::vector<widget_firmware::HexRecord> records;
        std::string error;
        if (!input || !widget_firmware::ParseIntelHex(text.str(), &records, &error)) {
            std::fprintf(stderr, "widget_firmware_gen: %s: %s\n", argv[2], input ? error.c_str() : "cannot read");
            return 1;
        }
        return WriteFile(argv[3], Table(records)) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: widget_firmware_gen hex <out.hex> | table <in.hex> <out.cpp>\n");
    return 2;
}
