// Package archives (tar and gzip-compressed tar) through the archive index and the file
// layer: every folder listed, every member read, plain or as encrypted records
// ("decode#").
#include "fuzz/FuzzSupport.h"
#include "library/archive/ArchiveIndex.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/archive/EncryptedRecord.h"
#include "library/archive/FileLayer.h"

#include <QFile>

using ArchiveLibInterface::ArchiveIndex;
using ArchiveLibInterface::ArchiveIndexCache;
using Handler = CustomFileSystemEngineHandler;

namespace fuzz_target {
namespace {

// One member of an uncompressed ustar archive: a 512-byte header and the data in blocks.
QByteArray UstarMember(const QByteArray& name, const QByteArray& data, char type = '0')
{
    QByteArray header(512, '\0');
    header.replace(0, name.size(), name);
    header.replace(100, 7, "0000644");
    header.replace(108, 7, "0000000");
    header.replace(116, 7, "0000000");
    const QByteArray size = QByteArray::number(data.size(), 8).rightJustified(11, '0');
    header.replace(124, 11, size);
    header.replace(136, 11, "14000000000");
    header[156] = type;
    header.replace(257, 6, QByteArray("ustar\0", 6));
    header.replace(263, 2, "00");
    header.replace(148, 8, "        ");
    unsigned sum = 0;
    for (char c : header)
        sum += quint8(c);
    header.replace(148, 7, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0');
    QByteArray padded = data;
    padded.append(QByteArray((512 - data.size() % 512) % 512, '\0'));
    return header + padded;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A package written by the program's own archive writer.
QByteArray WrittenPackage(Handler::MemberEncoding encoding)
{
    const QString package = fuzz::ScratchPath(QStringLiteral("seed.qelpkg"));
    QFile::remove(package);
    Handler::ArchiveWriterEnabler writing(package, encoding);
    FileLayer::MakeDir(package + QStringLiteral("/Shows"));
    FileLayer::MakeDir(package + QStringLiteral("/Shows/Evening"));
    const QList<QPair<QString, QByteArray>> files = {
        {QStringLiteral("config.xml"), "<objects policy=\"BREVANTContentPackagePolicy\"/>"},
        {QStringLiteral("Shows/Evening/a.bvi"), QByteArray(900, 'a')},
        {QStringLiteral("Shows/b.cdli"), QByteArray(20000, 'b')},
    };
    for (const auto& [name, bytes] : files) {
        FileLayer::File file(package + QLatin1Char('/') + name);
        fuzz::Require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.Close().Ok(),
                      "a seed member written");
    }
    fuzz::Require(writing.Commit().Ok(), "a seed package written");
    return ReadFile(package);
}

// Walks a folder of the package: every entry's kind and size asked, every file read.
void Walk(const QString& dir, int depth)
{
    if (depth > 8)
        return;
    for (const QString& name : FileLayer::EntryList(dir, {}, QDir::AllEntries | QDir::NoDotAndDotDot)) {
        const QString path = FileLayer::FilePath(dir, name);
        fuzz::Require(!(FileLayer::IsDir(path) && FileLayer::IsFile(path)), "an entry is a folder or a file");
        if (FileLayer::IsDir(path)) {
            Walk(path, depth + 1);
            continue;
        }
        FileLayer::Size(path);
        FileLayer::File file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            fuzz::Require(bytes.size() <= 64 * 1024 * 1024, "a member read is bounded");
        }
    }
}

} // namespace

void Setup() {}

void WriteSeeds()
{
    fuzz::Seed(QStringLiteral("plain.tar.gz"), QByteArray(1, '\0') + WrittenPackage(Handler::MemberEncoding::Plain));
    fuzz::Seed(QStringLiteral("encrypted.tar.gz"),
               QByteArray(1, '\1') + WrittenPackage(Handler::MemberEncoding::EncryptedRecords));
    // Uncompressed archives of every header kind the index meets.
    fuzz::Seed(QStringLiteral("ustar.tar"),
               QByteArray(1, '\0') + UstarMember("Shows/", {}, '5') + UstarMember("Shows/a.bvi", "hello")
                   + UstarMember("./Shows/../b.bvi", "x") + UstarMember("link", {}, '2')
                   + UstarMember("Shows/Deep/c.cdli", QByteArray(1500, 'c')) + QByteArray(1024, '\0'));
    fuzz::Seed(QStringLiteral("records.tar"),
               QByteArray(1, '\1') + UstarMember("f/a.bvi", EncryptedRecord::LengthField(4) + QByteArray(16, 'k')
                                                                 + EncryptedRecord::LengthField(0))
                   + QByteArray(1024, '\0'));
}

void Run(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const bool decode = input.Byte() & 1;
    const QString package = fuzz::ScratchPath(QStringLiteral("in.qelpkg"));
    fuzz::WriteFile(package, input.Rest());
    ArchiveIndexCache::Clear();

    if (const auto index = ArchiveIndex::Build(package)) {
        for (const auto& member : index->Members()) {
            fuzz::Require(!member.path.startsWith(QLatin1Char('/')) && !member.path.split(QLatin1Char('/')).contains(QStringLiteral("..")),
                          "no member climbs out of its package");
            fuzz::Require(!member.held || member.offset + member.size <= index->HeldBytes(),
                          "a held member lies within what the index set aside");
        }
    }
    Walk(decode ? QStringLiteral("decode#") + package : package, 0);
}

} // namespace fuzz_target
