#include "library/archive/EncryptedRecord.h"

#include "library/archive/AesCipher.h"

#include <QtEndian>

namespace EncryptedRecord {

QByteArray LengthField(qint64 length)
{
    QByteArray field(kLengthFieldSize, '\0');
    qToLittleEndian<qint64>(length, field.data());
    return field;
}

qint64 ParseLengthField(const char* field)
{
    return qFromLittleEndian<qint64>(field);
}

QByteArray Encode(AesCipher& cipher, const char* plain, qint64 length)
{
    if (length < 0 || length > kMaxPlainLength)
        return QByteArray();
    const qint64 padded = PaddedLength(length);
    const char pad = char(padded - length);
    QByteArray record = LengthField(length);
    if (padded == 0)
        return record;
    QByteArray block(plain, length);
    block.append(padded - length, pad);
    record.resize(kLengthFieldSize + padded);
    auto* in = reinterpret_cast<const unsigned char*>(block.constData());
    auto* out = reinterpret_cast<unsigned char*>(record.data() + kLengthFieldSize);
    if (!cipher.Encrypt(in, out, int(padded / kBlockSize), AesCipher::CBC))
        return QByteArray();
    return record;
}

} // namespace EncryptedRecord
