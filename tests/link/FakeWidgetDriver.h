#pragma once

#include "platform/kernel/Kernel.h"

#include <QByteArray>
#include <QList>

#include <functional>

// A stand-in for the widget driver, for the transport's own tests: the device map and one
// widget device (slot 0) with the driver's device names and pipe controls, whose packets
// the test scripts. Pipe writes and DMX writes are recorded; the responder sees each pipe
// write before it completes (as the real widget queues its answer before the write ends)
// and may push packets onto the IN pipes. Reads wait until a packet is pushed, the pipe is
// failed, or the read is cancelled. Faults: a status for pipe writes or DMX writes,
// writes held until cancelled, a failed read pipe, and the widget unplugged.
//
// All functions are thread-safe. Load it with platform::kernel::LoadDriver.
namespace fake_widget {

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

struct PipeWrite
{
    quint8 pipe;
    QByteArray data;
};

// Called on the writer's thread for each successful pipe write.
using Responder = std::function<void(quint8 pipe, const QByteArray& data)>;

// Forgets everything: an empty map, no responder, no faults, nothing recorded.
void Reset();
// The map controls answer these bytes (raw, so tests can make them malformed).
void SetMap(const QByteArray& header, const QByteArray& records);
// A well-formed map of 32 slots of 28 bytes; each record: slot, vendor, product, serial.
struct MapRecord
{
    int slot;
    quint32 vendor;
    quint32 product;
    quint32 serial;
};
void SetMapRecords(const QList<MapRecord>& records);

void SetResponder(Responder responder);
void Push(quint8 pipe, const QByteArray& packet);
// Reads on the pipe, pending and later, fail with `status`.
void FailReads(quint8 pipe, NTSTATUS status);
// Pipe writes (or DMX writes) complete with `status`; with `hold`, they stay pending
// until cancelled.
void SetPipeWriteResult(NTSTATUS status, bool hold = false);
void SetDmxWriteResult(NTSTATUS status, bool hold = false);
// Every request pending fails and every new one is refused with STATUS_DELETE_PENDING.
void Unplug();

QList<PipeWrite> PipeWrites();
// The pipe writes on one pipe.
QList<QByteArray> PipeWrites(quint8 pipe);
QList<QByteArray> DmxFrames();
int PendingReads();
int CancelledRequests();

} // namespace fake_widget
