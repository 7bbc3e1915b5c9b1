#include "drivers/components/usb/qex_usb/DmxPacking.h"

#include <algorithm>
#include <cstring>

namespace qex_usb {

std::uint32_t PackDmxImage(const WidgetProductLayout& layout, const std::uint8_t* data, std::uint32_t length,
                           std::uint8_t* out, std::uint32_t capacity)
{
    const std::uint32_t total = PackedWriteLength(layout, length);
    if (total == 0 || length == 0 || !data || total > capacity)
        return 0;
    std::uint32_t written = 0;
    for (std::uint32_t offset = 0, packet = 0; offset < length; offset += layout.dataPerPacket, ++packet) {
        const std::uint32_t count = std::min(layout.dataPerPacket, length - offset);
        const bool last = offset + count == length;
        if (layout.headerBytes == 3) {
            out[written++] = last ? kPacketLastOfOffsetForm : kPacketFirst;
            out[written++] = std::uint8_t(offset & 0xFF);
            out[written++] = std::uint8_t(offset >> 8);
        } else {
            out[written++] = packet == 0 ? kPacketFirst : (last ? kPacketLast : kPacketMiddle);
        }
        std::memcpy(out + written, data + offset, count);
        written += count;
    }
    return written;
}

} // namespace qex_usb
