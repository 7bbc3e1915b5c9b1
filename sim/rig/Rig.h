#pragma once

#include "platform/usb/UsbDeviceModel.h"
#include "sim/line/DmxLine.h"
#include "sim/rig/FixtureRegistry.h"
#include "sim/widget/WidgetConfig.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace sim {

// What a rig file says. The file is a JSON object:
//
//   { "widgets": [ {
//       "kind": "programmed" | "unprogrammed",   the unprogrammed widget needs the firmware loader
//       "productId": 2 | "0x0002",               default 0x0002
//       "serial": "00421907",                    the serial-number string; "" for none
//       "version": [1, 4],                       the answer to the version query
//       "reply23": [0, 0, 0, 0, 0, 0],           optional
//       "reply0A": 0,                            optional
//       "wireTiming": false,                     charge E1.20 wire time on its line
//       "fixtures": [ { "kind": "rdm-responder", ...the kind's own settings... } ]
//   } ] }
//
// Numbers may be written in decimal or as "0x" texts. Unknown keys, values of the wrong
// type or range and fixtures the registry cannot make are refused with a message that
// names the place ("widgets[0].fixtures[1]: ...").
struct FixtureSpec
{
    QString kind;
    QJsonObject settings; // the fixture's object without "kind"
};

struct WidgetSpec
{
    enum class Kind { Programmed, Unprogrammed };
    Kind kind = Kind::Programmed;
    WidgetConfig config;
    bool wireTiming = false;
    std::vector<FixtureSpec> fixtures;
};

struct Rig
{
    std::vector<WidgetSpec> widgets;
};

// Reads a rig; every fixture is made once through `registry` to check it. Nullopt, with
// the reason in `error`, for anything the format above does not allow.
std::optional<Rig> ParseRig(const QByteArray& json, const FixtureRegistry& registry, QString* error);
// The same from a file; the error begins with the file's path.
std::optional<Rig> LoadRig(const QString& path, const FixtureRegistry& registry, QString* error);

// One widget of a rig made real: its line with the fixtures on it, and the USB device to
// plug in.
struct WidgetHardware
{
    std::shared_ptr<DmxLine> line;
    std::vector<std::shared_ptr<LineFixture>> fixtures;
    std::shared_ptr<platform::usb::UsbDeviceModel> device;
};

std::optional<WidgetHardware> BuildWidget(const WidgetSpec& spec, const FixtureRegistry& registry, QString* error);

} // namespace sim
