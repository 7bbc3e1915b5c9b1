#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <initializer_list>

// Bytes the tests of the widget, its drivers and the machine build alike.

QByteArray Bytes(std::initializer_list<int> values);
// `size` bytes that differ from one `seed` to another.
QByteArray Pattern(int size, int seed = 0);
// A little-endian u32, as a pipe index travels.
QByteArray U32(quint32 value);

// A DMX image in the packets the widget takes for `product`, written out from the packet
// format itself rather than by the driver's packing: product 0x0002 has a header byte
// (0x30, or 0x31 on the packet with the last byte) and the frame offset, then up to 61
// bytes; the others one header byte (0x30 first, 0x32 on the last, 0x31 between), then up
// to 63 bytes.
QByteArray DmxPackets(quint16 product, const QByteArray& image);
