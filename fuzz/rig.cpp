// Rig files: the JSON reader of sim/rig and every fixture kind's settings, then the
// hardware a rig that was accepted describes.
#include "fuzz/FuzzSupport.h"
#include "sim/rig/Rig.h"

#include <QDir>
#include <QFile>

namespace fuzz_target {

void Setup() {}

void WriteSeeds()
{
    QFile demo(QStringLiteral(VELMORA_SOURCE_DIR "/sim/rigs/demo.json"));
    fuzz::Require(demo.open(QIODevice::ReadOnly), "the demo rig");
    fuzz::Seed(QStringLiteral("demo.json"), demo.readAll());
    fuzz::Seed(QStringLiteral("numbers.json"),
               R"({"widgets": [{"kind": "programmed", "productId": "0x0011", "serial": "77A", "version": [2, 9],
                   "reply23": [1, 2, 3, 4, 5, 6], "reply0A": 7, "wireTiming": true, "fixtures": [
                   {"kind": "rdm-responder", "uid": "4142:00000001", "startAddress": 1e300, "deviceHours": 4294967295,
                    "personalities": [{"footprint": 16, "description": "Standard"}], "parameters": [130, 4096],
                    "faults": [{"kind": "nack", "reason": 6, "pid": 130, "times": -1, "after": 2}]},
                   {"kind": "tarvo-lamp", "id": "1", "flashPackets": 8192}]}]})");
}

void Run(const std::uint8_t* data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto rig = sim::ParseRig(json, sim::FixtureRegistry::Standard(), &error);
    fuzz::Require(rig.has_value() == error.isEmpty(), "a rig is refused with a reason, or accepted without one");
    if (!rig)
        return;
    for (const sim::WidgetSpec& widget : rig->widgets) {
        const auto hardware = sim::BuildWidget(widget, sim::FixtureRegistry::Standard(), &error);
        fuzz::Require(hardware.has_value(), "an accepted rig builds");
    }
}

} // namespace fuzz_target
