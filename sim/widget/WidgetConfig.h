#pragma once

#include "platform/usb/WidgetIds.h"

#include <QString>
#include <array>

namespace sim {

// What makes one widget itself: the identity and answers its firmware gives.
struct WidgetConfig
{
    quint16 productId = widget_ids::kWidgetProductId;
    QString serial = QStringLiteral("00000001"); // the serial-number string; empty: none
    std::array<quint8, 2> version{1, 0};          // answer to widget command 0x07
    std::array<quint8, 6> reply23{};              // answer to widget command 0x23
    quint8 reply0A = 0;                           // answer to widget command 0x0A
};

} // namespace sim
