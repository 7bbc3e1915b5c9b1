#include "tests/library/archive/ArchiveTestSupport.h"

#include "library/archive/AesCipher.h"
#include "library/archive/EncryptedRecord.h"
#include "library/archive/StockContentKey.h"
#include "tests/common/TestEnvironment.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QRandomGenerator>

#include <archive.h>
#include <archive_entry.h>

#include <gtest/gtest.h>

namespace archive_test {

void WriteTar(const QString& file, const QList<TarMember>& members, bool gzip)
{
    archive* handle = archive_write_new();
    if (gzip)
        archive_write_add_filter_gzip(handle);
    archive_write_set_format_ustar(handle);
    ASSERT_EQ(archive_write_open_filename(handle, QFile::encodeName(file).constData()), ARCHIVE_OK);
    for (const TarMember& member : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.path.toUtf8().constData());
        archive_entry_set_filetype(entry, member.type == TarMember::Directory ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, member.data.size());
        EXPECT_EQ(archive_write_header(handle, entry), ARCHIVE_OK) << member.path.toStdString();
        if (!member.data.isEmpty())
            archive_write_data(handle, member.data.constData(), size_t(member.data.size()));
        archive_entry_free(entry);
    }
    archive_write_close(handle);
    archive_write_free(handle);
}

void RekeyPackage(const QString& from, const QString& to, const std::array<unsigned char, 16>& key)
{
    using namespace EncryptedRecord;
    AesCipher decrypt;
    decrypt.SetSizes(128, 128);
    decrypt.SetDecryptKey(StockContentKey.data());
    AesCipher encrypt;
    encrypt.SetSizes(128, 128);
    encrypt.SetEncryptKey(key.data());
    QList<TarMember> members;
    for (const ListedMember& listed : ReadTar(from)) {
        QByteArray data = listed.data;
        for (qint64 at = 0; at + kLengthFieldSize <= data.size();) {
            const qint64 padded = PaddedLength(ParseLengthField(data.constData() + at));
            auto* block = reinterpret_cast<unsigned char*>(data.data() + at + kLengthFieldSize);
            ASSERT_LE(at + kLengthFieldSize + padded, data.size()) << listed.path.toStdString();
            if (padded > 0) {
                const int blocks = int(padded / kBlockSize);
                ASSERT_TRUE(decrypt.Decrypt(block, block, blocks, AesCipher::CBC));
                ASSERT_TRUE(encrypt.Encrypt(block, block, blocks, AesCipher::CBC));
            }
            at += kLengthFieldSize + padded;
        }
        members.append({listed.path, listed.directory ? TarMember::Directory : TarMember::File, data});
    }
    WriteTar(to, members);
}

QList<ListedMember> ReadTar(const QString& file)
{
    QList<ListedMember> members;
    archive* handle = archive_read_new();
    archive_read_support_filter_all(handle);
    archive_read_support_format_all(handle);
    if (archive_read_open_filename(handle, QFile::encodeName(file).constData(), 16384) == ARCHIVE_OK) {
        archive_entry* entry = nullptr;
        while (archive_read_next_header(handle, &entry) == ARCHIVE_OK) {
            ListedMember member;
            member.path = QString::fromUtf8(archive_entry_pathname(entry));
            member.directory = archive_entry_filetype(entry) == AE_IFDIR;
            member.data.resize(archive_entry_size(entry));
            if (!member.data.isEmpty())
                archive_read_data(handle, member.data.data(), size_t(member.data.size()));
            members.append(member);
        }
    }
    archive_read_free(handle);
    return members;
}

bool StartsWithGzipMagic(const QString& file)
{
    return FileBytes(file).startsWith("\x1f\x8b");
}

QByteArray FileBytes(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray RandomBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (char& b : bytes)
        b = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QByteArray RunProgram(const QString& program, const QStringList& arguments, int* exitCode)
{
    QProcess process;
    // Tools quote non-ASCII names in the C locale; the tests compare them as UTF-8.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted() || !process.waitForFinished())
        return QByteArray();
    *exitCode = process.exitCode();
    return process.readAllStandardOutput();
}

Folder::Folder() : dir_(testing_env::TemporaryRoot() + QStringLiteral("/archive-XXXXXX")) {}

QString Folder::Path(const QString& name) const
{
    return dir_.path() + QLatin1Char('/') + name;
}

namespace {

QMutex messagesMutex;
QStringList messages;
QtMessageHandler previousHandler = nullptr;

void CollectMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (context.category && QByteArray(context.category) == "velmora.archive.streams") {
        QMutexLocker lock(&messagesMutex);
        messages.append(text);
        return;
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

StreamMessages::StreamMessages(bool enable)
{
    Take();
    previousHandler = qInstallMessageHandler(CollectMessage);
    if (enable)
        QLoggingCategory::setFilterRules(QStringLiteral("velmora.archive.streams.debug=true"));
}

StreamMessages::~StreamMessages()
{
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previousHandler);
}

QStringList StreamMessages::Take()
{
    QMutexLocker lock(&messagesMutex);
    return std::exchange(messages, {});
}

} // namespace archive_test
