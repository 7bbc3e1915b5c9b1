// The AES wrapper, the record format, and the record reader and writer engines.

#include "library/archive/AesCipher.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/archive/EncryptedRecord.h"
#include "library/archive/FileLayer.h"
#include "library/archive/StockContentKey.h"
#include "tests/library/archive/ArchiveTestSupport.h"

#include <gtest/gtest.h>

using Handler = CustomFileSystemEngineHandler;
using archive_test::TarMember;

namespace {

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

const unsigned char* Bytes(const QByteArray& bytes)
{
    return reinterpret_cast<const unsigned char*>(bytes.constData());
}

TEST(AesCipher, EncryptsTheFips197Example)
{
    // FIPS-197 appendix C.1: AES-128.
    const QByteArray key = Hex("000102030405060708090a0b0c0d0e0f");
    const QByteArray plain = Hex("00112233445566778899aabbccddeeff");
    const QByteArray expected = Hex("69c4e0d86a7b0430d8cdb78070b4c55a");

    AesCipher encrypt;
    encrypt.SetSizes(128, 128);
    EXPECT_EQ(encrypt.Rounds(), 10);
    encrypt.SetEncryptKey(Bytes(key));
    QByteArray out(16, '\0');
    ASSERT_TRUE(encrypt.Encrypt(Bytes(plain), reinterpret_cast<unsigned char*>(out.data()), 1, AesCipher::ECB));
    EXPECT_EQ(out.toHex(), expected.toHex());

    // CBC from a zero vector: the first block is the ECB block.
    QByteArray chained(32, '\0');
    const QByteArray twoBlocks = plain + plain;
    ASSERT_TRUE(encrypt.Encrypt(Bytes(twoBlocks), reinterpret_cast<unsigned char*>(chained.data()), 2, AesCipher::CBC));
    EXPECT_EQ(chained.left(16).toHex(), expected.toHex());
    EXPECT_NE(chained.mid(16).toHex(), expected.toHex());

    AesCipher decrypt;
    decrypt.SetSizes(128, 128);
    decrypt.SetDecryptKey(Bytes(key));
    QByteArray back(32, '\0');
    ASSERT_TRUE(decrypt.Decrypt(Bytes(chained), reinterpret_cast<unsigned char*>(back.data()), 2, AesCipher::CBC));
    EXPECT_EQ(back, twoBlocks);
}

TEST(AesCipher, RefusesWhatItCannotDo)
{
    const QByteArray key(16, 'k');
    QByteArray block(16, 'b');
    auto* data = reinterpret_cast<unsigned char*>(block.data());
    AesCipher cipher;
    EXPECT_FALSE(cipher.Encrypt(data, data, 1, AesCipher::ECB)); // no sizes, no key
    cipher.SetSizes(128, 192);                                    // Rijndael's wider blocks
    EXPECT_EQ(cipher.KeyBits(), 0);
    cipher.SetSizes(128, 128);
    cipher.SetEncryptKey(Bytes(key));
    EXPECT_FALSE(cipher.Encrypt(data, data, 1, 2)); // no such mode
    EXPECT_FALSE(cipher.Encrypt(data, data, 0, AesCipher::CBC));
    EXPECT_FALSE(cipher.Decrypt(data, data, 1, AesCipher::CBC)); // keyed for the other direction
    EXPECT_EQ(block, QByteArray(16, 'b'));
}

// ---------------------------------------------------------------------------------------

QByteArray Record(const QByteArray& plain)
{
    AesCipher cipher;
    cipher.SetSizes(128, 128);
    cipher.SetEncryptKey(StockContentKey.data());
    return EncryptedRecord::Encode(cipher, plain.constData(), plain.size());
}

QByteArray DecryptBody(const QByteArray& record)
{
    AesCipher cipher;
    cipher.SetSizes(128, 128);
    cipher.SetDecryptKey(StockContentKey.data());
    QByteArray body = record.mid(EncryptedRecord::kLengthFieldSize);
    cipher.Decrypt(Bytes(body), reinterpret_cast<unsigned char*>(body.data()), int(body.size() / 16), AesCipher::CBC);
    return body;
}

TEST(EncryptedRecords, LayoutPadsToTheBlockSize)
{
    const QByteArray seventeen = Record(QByteArray(17, 'x'));
    ASSERT_EQ(seventeen.size(), 8 + 32);
    EXPECT_EQ(seventeen.left(8), Hex("1100000000000000"));
    EXPECT_EQ(DecryptBody(seventeen), QByteArray(17, 'x') + QByteArray(15, '\x0f'));

    const QByteArray sixteen = Record(QByteArray(16, 'y'));
    ASSERT_EQ(sixteen.size(), 8 + 16); // no extra pad block
    EXPECT_EQ(DecryptBody(sixteen), QByteArray(16, 'y'));

    EXPECT_EQ(Record(QByteArray()), Hex("0000000000000000"));
    EXPECT_TRUE(Record(QByteArray(16385, 'z')).isEmpty());
    // The chain restarts in every record.
    EXPECT_EQ(Record(QByteArray(16, 'y')), sixteen);
}

class RecordReading : public testing::Test
{
protected:
    // A stock-style package whose one member holds `data` as stored.
    QString Package(const QByteArray& data)
    {
        const QString package = folder.Path(QStringLiteral("p%1.qelpkg").arg(++count));
        archive_test::WriteTar(package, {{QStringLiteral("f/a.bvi"), TarMember::File, data}});
        return QStringLiteral("decode#") + package + QStringLiteral("/f/a.bvi");
    }

    std::unique_ptr<ArchiveEngine> OpenReader(const QString& path)
    {
        auto engine = Handler::create(path);
        EXPECT_TRUE(engine && engine->EngineKind() == ArchiveEngine::Kind::EncryptedReader);
        EXPECT_TRUE(engine && engine->open(QIODevice::ReadOnly));
        return engine;
    }

    archive_test::Folder folder;
    int count = 0;
};

TEST_F(RecordReading, ReadsNeverSpanTwoRecords)
{
    const QByteArray first = archive_test::RandomBytes(1000);
    const QByteArray second = archive_test::RandomBytes(500);
    const QString path = Package(Record(first) + Record(second));
    auto engine = OpenReader(path);
    char buffer[5000];
    QByteArray got;
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(engine->read(buffer, 100), 100);
        got.append(buffer, 100);
    }
    EXPECT_EQ(got, first);
    EXPECT_EQ(engine->read(buffer, 5000), 500);
    EXPECT_EQ(QByteArray(buffer, 500), second);
    EXPECT_EQ(engine->read(buffer, 5000), 0);

    // A fresh open starts from the first record; nothing decrypted before is left over.
    auto again = OpenReader(path);
    ASSERT_EQ(again->read(buffer, 100), 100);
    again->close();
    ASSERT_TRUE(again->open(QIODevice::ReadOnly));
    ASSERT_EQ(again->read(buffer, 5000), 1000);
    EXPECT_EQ(QByteArray(buffer, 1000), first);
}

TEST_F(RecordReading, RefusedRecordsEndTheMemberForGood)
{
    char buffer[100];
    const QByteArray good = Record("good");
    // Each case is followed by bytes that would parse as a good record: once the member
    // has ended, none of them is read as a length.
    const struct
    {
        const char* what;
        QByteArray data;
        qint64 result;
    } cases[] = {
        {"length above 16384", EncryptedRecord::LengthField(16385) + good + good, -1},
        {"negative length", EncryptedRecord::LengthField(-1) + good + good, -1},
        {"short ciphertext", good.left(good.size() - 1), -1},
        {"short length field", QByteArray(5, '\0'), -1},
        {"empty record", Record(QByteArray()) + good, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto engine = OpenReader(Package(c.data));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(engine->read(buffer, 100), c.result);
    }

    // The end is the open member's: a new open reads from the start again.
    auto engine = OpenReader(Package(good + EncryptedRecord::LengthField(99999) + good));
    EXPECT_EQ(engine->read(buffer, 100), 4);
    EXPECT_EQ(engine->read(buffer, 100), -1);
    EXPECT_EQ(engine->read(buffer, 100), -1);
    engine->close();
    ASSERT_TRUE(engine->open(QIODevice::ReadOnly));
    EXPECT_EQ(engine->read(buffer, 100), 4);
}

TEST_F(RecordReading, TheFileLayerDecodesWholeMembers)
{
    const QByteArray plain = archive_test::RandomBytes(40000);
    const QByteArray stored = Record(plain.left(16384)) + Record(plain.mid(16384, 16384)) + Record(plain.mid(32768));
    const QString path = Package(stored);
    FileLayer::File decoded(path);
    ASSERT_TRUE(decoded.open(QIODevice::ReadOnly));
    EXPECT_EQ(decoded.readAll(), plain);
    // Folders of a decoded package list as the plain package's do.
    EXPECT_EQ(FileLayer::Dir(FileLayer::FilePath(path, QStringLiteral(".."))).entryList({QStringLiteral("*.bvi")}, QDir::Files),
              QStringList{QStringLiteral("a.bvi")});
    // The size of a decoded member is what is stored, as its header says.
    EXPECT_EQ(FileLayer::Size(path), stored.size());
    FileLayer::File raw(ArchivePaths::StripDecodePrefix(path));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_EQ(raw.readAll(), stored);
}

TEST(RecordWriting, EachWriteMakesOneRecordOfAtMost16384Bytes)
{
    archive_test::Folder folder;
    const QString package = folder.Path(QStringLiteral("stock.qelpkg"));
    const QByteArray plain = archive_test::RandomBytes(40000);
    {
        Handler::ArchiveWriterEnabler writing(package, Handler::MemberEncoding::EncryptedRecords);
        {
            auto engine = Handler::create(package + QStringLiteral("/f/a.bvi"));
            ASSERT_EQ(engine->EngineKind(), ArchiveEngine::Kind::EncryptedWriter);
            EXPECT_EQ(engine->write(plain.constData(), plain.size()), 0); // not open: no record stored
            ASSERT_TRUE(engine->open(QIODevice::WriteOnly));
            EXPECT_EQ(engine->write(plain.constData(), 0), 0); // an empty record would end the member
            EXPECT_EQ(engine->write(plain.constData(), plain.size()), 16384);
            engine->close();
        }
        // The file layer writes the rest as further records.
        FileLayer::File file(package + QStringLiteral("/f/b.bvi"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(plain), plain.size());
        ASSERT_TRUE(file.Close().Ok());
        ASSERT_TRUE(writing.Commit().Ok());
    }
    const auto members = archive_test::ReadTar(package);
    ASSERT_EQ(members.size(), 2);
    EXPECT_EQ(members[0].data, Record(plain.left(16384)));
    EXPECT_EQ(members[1].data.size(), 2 * (8 + 16384) + 8 + 7232);

    FileLayer::File decoded(QStringLiteral("decode#") + package + QStringLiteral("/f/b.bvi"));
    ASSERT_TRUE(decoded.open(QIODevice::ReadOnly));
    EXPECT_EQ(decoded.readAll(), plain);
}

} // namespace
