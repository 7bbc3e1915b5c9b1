#pragma once

#include <QtGlobal>

#include <array>

// The lamp-fixture models that answer the Tarvo protocol. A Tarvo fixture reports its
// row number as its device type; an RDM fixture takes the row of the Tarvo fixture it
// was merged with. The firmware upgrade reads the row to pick and cut the firmware file.
struct ModelTableRow
{
    const char* firmwarePattern;  // file-name glob of the row's firmware images, "prefix*.bin"
    const char* modelName;
    quint32 packetCount;          // 256-byte packets in one firmware image
    quint8 skipBlank;             // non-zero: all-0xFF packets need not be sent
};

constexpr int kModelTableRows = 34;

extern const std::array<ModelTableRow, kModelTableRows> kModelTable;
