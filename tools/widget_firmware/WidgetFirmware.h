#pragma once

#include <cstddef>
#include <cstdint>

// The widget firmware image as the firmware loader carries it: the records of the
// firmware's Intel HEX file in load order, every record boundary kept, the end record
// last. Generated at build time (tools/widget_firmware); the simulated widget recognises
// the firmware by comparing what was loaded with these records.

// One record, 22 bytes, laid out as the loader's table stores it.
struct WidgetFirmwareRecord
{
    std::uint8_t Length;   // data bytes used, 0 to 16
    std::uint8_t Padding0;
    std::uint16_t Address; // target address in the microcontroller's memory
    std::uint8_t Type;     // 0 data; anything else ends the image
    std::uint8_t Data[16];
    std::uint8_t Padding1;
};
static_assert(sizeof(WidgetFirmwareRecord) == 22);

extern const WidgetFirmwareRecord kWidgetFirmwareImage[];
extern const std::size_t kWidgetFirmwareRecordCount; // the end record included
