#pragma once

#include <QByteArray>
#include <QtGlobal>

class AesCipher;

// The unit of encrypted member data in stock-content packages. A member is a plain run of
// records, each:
//
//   8 bytes   L, the length of the record's plain data, signed little-endian, 0..16384
//   P bytes   AES-128-CBC (zero IV, restarted per record) of the L plain bytes followed
//             by P - L pad bytes of value P - L, where P is L rounded up to a multiple
//             of 16 (no extra pad block when L already is one; L = 0 has no ciphertext)
//
// There is no checksum: a wrong key gives wrong bytes, and pad bytes are not checked.
namespace EncryptedRecord {

inline constexpr qint64 kMaxPlainLength = 16384;
inline constexpr int kLengthFieldSize = 8;
inline constexpr int kBlockSize = 16;

// P for a plain length L.
inline qint64 PaddedLength(qint64 plainLength)
{
    return plainLength + (kBlockSize - plainLength % kBlockSize) % kBlockSize;
}

// One whole record (length field and ciphertext) for at most kMaxPlainLength plain bytes,
// encrypted with a cipher holding the encryption key. Empty when the length is out of
// range or the cipher fails.
QByteArray Encode(AesCipher& cipher, const char* plain, qint64 length);

// The little-endian length field.
QByteArray LengthField(qint64 length);
qint64 ParseLengthField(const char* field);

} // namespace EncryptedRecord
