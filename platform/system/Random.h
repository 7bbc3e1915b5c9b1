#pragma once

#include <QtGlobal>
#include <cstddef>

// Random values from the operating system's cryptographic generator, for content keys
// and other fresh identifiers.

// Fills `size` bytes; false only if the generator failed (the buffer is then filled from
// Qt's system generator instead, so it never holds predictable bytes).
bool FillRandom(void* buffer, std::size_t size);

// One 32-bit value.
quint32 GenerateRandom();
