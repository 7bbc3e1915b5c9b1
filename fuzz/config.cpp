// config.xml of every node form (a root, a package and a folder of the user library; the
// root, a package and a collage of the Mosavra library): the reader applies what it can to
// a library on disk, and what the library then saves reads back to the same files.
#include "fuzz/FuzzSupport.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/user/ContentLibraryRoot.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>

namespace fuzz_target {
namespace {

// The folders whose config.xml an input may be, in the order of the selector byte.
const QStringList kPlaces = {QStringLiteral("lib"),         QStringLiteral("lib/P"),
                             QStringLiteral("lib/P/F"),     QStringLiteral("lib/Q/H"),
                             QStringLiteral("mos"),         QStringLiteral("mos/BREVANT"),
                             QStringLiteral("mos/BREVANT/Night")};

// Every config.xml below the scratch folder, by path.
using Files = QMap<QString, QByteArray>;
Files configs;

Files Snapshot()
{
    Files files;
    QDirIterator it(fuzz::Scratch(), {QStringLiteral("config.xml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        fuzz::Require(file.open(QIODevice::ReadOnly), "a config.xml reads");
        files.insert(file.fileName(), file.readAll());
    }
    return files;
}

void Restore(const Files& files)
{
    for (const QString& path : Snapshot().keys())
        QFile::remove(path);
    for (auto it = files.begin(); it != files.end(); ++it)
        fuzz::WriteFile(it.key(), it.value());
}

template <class Image>
void SaveImage(const QString& place, quint16 mosavraId = 0)
{
    Image image;
    image.Clear();
    image.SetMosavraID(mosavraId);
    typename Image::Frame frame;
    image.AddFrame(frame);
    fuzz::Require(image.Save(fuzz::ScratchPath(place)), "a library image saves");
}

// Saves both libraries' files and answers them.
Files SaveLibraries()
{
    {
        ContentLibraryRoot user(fuzz::ScratchPath(QStringLiteral("lib")));
        user.SaveConfig(true);
        MosavraContentLibraryRoot mosavra(fuzz::ScratchPath(QStringLiteral("mos")));
        mosavra.SaveConfig(true);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Snapshot();
}

} // namespace

void Setup()
{
    for (const QString& dir : {QStringLiteral("lib/P/F"), QStringLiteral("lib/P/G"), QStringLiteral("lib/Q/H"),
                               QStringLiteral("mos/BREVANT/Night"), QStringLiteral("mos/Cindral")})
        QDir().mkpath(fuzz::ScratchPath(dir));
    SaveImage<BrevantImage>(QStringLiteral("lib/P/F/Sunrise.bvi"));
    SaveImage<BrevantImage>(QStringLiteral("lib/P/F/Waves.bvi"));
    SaveImage<CindralImage>(QStringLiteral("lib/Q/H/Rain.cdli"));
    SaveImage<BrevantImage>(QStringLiteral("mos/BREVANT/Night/Night_7.bvi"), 7);
    // The files the libraries write of themselves, as the starting point of every input.
    SaveLibraries();
    const Files written = Snapshot();
    configs = written;
    // Addresses and policies for the seeds to carry.
    fuzz::WriteFile(fuzz::ScratchPath(QStringLiteral("lib/P/F/config.xml")),
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<objects policy=\"BREVANTContentFolderPolicy\">\n"
                    "    <content name=\"Sunrise\" address=\"42\"/>\n    <content name=\"waves\" address=\"7\"/>\n"
                    "</objects>\n");
    configs = SaveLibraries();
    Restore(configs);
}

void WriteSeeds()
{
    for (int i = 0; i < kPlaces.size(); ++i) {
        const QString path = fuzz::ScratchPath(kPlaces.at(i) + QStringLiteral("/config.xml"));
        fuzz::Seed(QStringLiteral("place-%1").arg(i), QByteArray(1, char(i)) + configs.value(path));
    }
    fuzz::Seed(QStringLiteral("odd-names"),
               QByteArray(1, char(2)) + "<objects policy='cindralcontentfolderpolicy'><content name='SUNRISE' "
                                        "address='300'/><content name='Waves' address='-1' mosavraID='70000'/>"
                                        "<content name='R&amp;&#x1F600;' address='5'/></objects>");
}

void Run(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const QString place = kPlaces.at(input.Byte() % kPlaces.size());
    Restore(configs);
    fuzz::WriteFile(fuzz::ScratchPath(place + QStringLiteral("/config.xml")), input.Rest());
    const Files saved = SaveLibraries();
    fuzz::Require(SaveLibraries() == saved, "what the libraries saved reads back the same");
}

} // namespace fuzz_target
