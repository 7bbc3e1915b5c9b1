// The LED families' content store over RDM: FOLDER_INFO and FILE_INFO record lists (with
// their ACK_OVERFLOW continuations) and bulk downloads of a file, packet by packet, into
// an image record, all answered from the input.
#include "fixtures/QelParameters.h"
#include "fixtures/QelProtocol.h"
#include "fixtures/QelRDM.h"
#include "fuzz/FuzzRdmLink.h"
#include "images/QelRDMImage.h"

#include <QCoreApplication>

namespace fuzz_target {
namespace {

FuzzRdmLink* current = nullptr;
IRdmLink* CurrentLink()
{
    return current;
}

QByteArray Name(const char* text)
{
    QByteArray name(text);
    name.resize(qel::kNameSize, '\0');
    return name;
}

} // namespace

void Setup()
{
    BrevantRDM brevant;
    CindralRDM cindral;
    QelProtocol::Instance(&brevant)->SetLinkProvider(&CurrentLink);
    QelProtocol::Instance(&cindral)->SetLinkProvider(&CurrentLink);
}

void WriteSeeds()
{
    // Folders, in two parts.
    RdmAnswers folders;
    folders.Byte(0).Byte(0);
    folders.Ack(char(41) + Name("Shows") + char(42) + Name("Late"), 3).Ack(char(43) + Name("Rain"));
    fuzz::Seed(QStringLiteral("folders"), folders.Data());

    RdmAnswers files;
    files.Byte(1).Byte(41).Byte(0);
    files.Ack(QByteArray::fromHex("2901341200") + Name("Sunrise") + QByteArray::fromHex("2902785634") + Name("Waves"));
    fuzz::Seed(QStringLiteral("files"), files.Data());

    // A one-frame download: the packets numbered from 0.
    CindralRDMImage record;
    QByteArray indices(CindralRDMImage::kLedCount, '\x07');
    record.AppendFrame(0, 100, reinterpret_cast<const quint8*>(indices.constData()));
    const QByteArray flat = record.Flatten();
    RdmAnswers download;
    download.Byte(2).Byte(41).Byte(1);
    for (int packet = 0, at = 0; at < flat.size(); ++packet, at += 200)
        download.Ack(QByteArray(1, char(packet >> 8)) + char(packet) + flat.mid(at, 200));
    fuzz::Seed(QStringLiteral("download"), download.Data());
}

void Run(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    FuzzRdmLink link(input);
    current = &link;
    const quint8 selector = input.Byte();
    const int folder = input.Byte();
    std::unique_ptr<QelRDM> fixture;
    if (selector & 0x80)
        fixture = std::make_unique<BrevantRDM>();
    else
        fixture = std::make_unique<CindralRDM>();
    fixture->SetUniqueId(0x00000102, 0x7FF0);
    QelProtocol* protocol = QelProtocol::Instance(fixture.get());
    switch (selector % 3) {
    case 0: {
        QList<FolderInfo> folders;
        if (protocol->DiscoverFolders(fixture.get(), folder, &folders, nullptr))
            for (const FolderInfo& info : folders)
                fuzz::Require(info.name.size() <= qel::kNameSize, "a folder name is at most 16 characters");
        break;
    }
    case 1: {
        QList<FileInfo> files;
        if (protocol->DiscoverContent(fixture.get(), folder, input.Byte(), &files, nullptr))
            for (const FileInfo& info : files)
                fuzz::Require(info.name.size() <= qel::kNameSize, "a file name is at most 16 characters");
        break;
    }
    default: {
        const int file = input.Byte();
        BrevantRDMImage brevant;
        CindralRDMImage cindral;
        QelRDMImage& record = selector & 0x80 ? static_cast<QelRDMImage&>(brevant) : cindral;
        if (protocol->DownloadContent(fixture.get(), folder, file, &record, nullptr))
            fuzz::Require(record.FrameCount() <= QelRDMImage::kMaxFrames, "a download holds at most 255 frames");
        break;
    }
    }
    current = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace fuzz_target
