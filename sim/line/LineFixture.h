#pragma once

#include <QByteArray>

namespace sim {

// One device on the simulated DMX line: an RDM responder, an LED-family fixture, a lamp
// that speaks its own protocol. The line hands every packet the widget puts on it to
// every fixture; what the fixtures send back decides what the widget hears (nothing, one
// answer, or a collision).
//
// The line calls a fixture from whatever thread drives the widget, one call at a time.
class LineFixture
{
public:
    virtual ~LineFixture() = default;

    // A packet the widget put on the line, start code first (0xCC for RDM; other
    // protocols have start codes of their own). Returns the bytes this fixture sends
    // back on the line, exactly as they go on the wire, or an empty array for none.
    virtual QByteArray OnRequest(const QByteArray& packet) = 0;

    // The DMX slots of the frame the line now repeats (without the start code).
    virtual void OnDmxFrame(const QByteArray& frame) { Q_UNUSED(frame); }
};

} // namespace sim
