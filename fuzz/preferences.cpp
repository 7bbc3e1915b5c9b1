// Preferences.xml, the memory of the last folders picked: whatever file is found, what the
// program then saves reads back to the same entries (load, save, load, save gives the same
// file).
#include "fuzz/FuzzSupport.h"
#include "link/ui/Preferences.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace fuzz_target {
namespace {

const QStringList kKeys = {QLatin1StringView(Preferences::kContentExport),
                           QLatin1StringView(Preferences::kContentFolderImport),
                           QLatin1StringView(Preferences::kFirmwareUpgrade),
                           QLatin1StringView(Preferences::kMosavraMediaSelection), QStringLiteral("_my-key.2")};

QString FilePath()
{
    return Preferences::Folder() + QLatin1Char('/') + QLatin1StringView(Preferences::kFileName);
}

// The whole file; empty when there is none.
QByteArray ReadWhole()
{
    QFile file(FilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Values(const Preferences& preferences)
{
    QStringList values;
    for (const QString& key : kKeys)
        values.append(preferences.LastPath(key));
    return values;
}

struct Entry {
    const char* key;
    QString path;
};

// The file the program writes for `entries`, set one by one as the file dialogs do.
QByteArray Saved(const QString& name, const QList<Entry>& entries)
{
    Preferences::SetFolder(fuzz::ScratchPath(name));
    QDir().mkpath(Preferences::Folder());
    ScopedPreferences preferences;
    for (const Entry& entry : entries)
        fuzz::Require(preferences->SetLastPath(QString::fromUtf8(entry.key), entry.path), "a seed entry is stored");
    return ReadWhole();
}

} // namespace

void Setup() {}

void WriteSeeds()
{
    const QString odd = QString::fromUtf8("/tmp/a&b <c> \"q\" 'x'/Ünïcödé 漢字 😀/tab\there/line\r\nbreak");
    fuzz::Seed(QStringLiteral("one.xml"), Saved(QStringLiteral("one"), {{Preferences::kContentExport, "/home/u/out"}}));
    fuzz::Seed(QStringLiteral("every-key.xml"),
               Saved(QStringLiteral("every"), {{Preferences::kContentExport, "/home/u/shows"},
                                               {Preferences::kContentFolderImport, "/media/usb/Library"},
                                               {Preferences::kFirmwareUpgrade, "/opt/velmora/firmware"},
                                               {Preferences::kMosavraMediaSelection, "/home/u/Videos"}}));
    fuzz::Seed(QStringLiteral("markup.xml"), Saved(QStringLiteral("markup"), {{Preferences::kFirmwareUpgrade, odd},
                                                                              {"_my-key.2", QString()},
                                                                              {Preferences::kContentExport, "/"}}));
    fuzz::Seed(QStringLiteral("replaced.xml"), Saved(QStringLiteral("replaced"), {{Preferences::kContentExport, "/a"},
                                                                                  {Preferences::kContentExport, "/b"},
                                                                                  {"z.9-_", QString(300, 'p')}}));
    Preferences::SetFolder(QString());
}

void Run(const std::uint8_t* data, std::size_t size)
{
    Preferences::SetFolder(fuzz::Scratch());
    fuzz::WriteFile(FilePath(), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    ScopedPreferences preferences; // loads the input
    const QStringList read = Values(*preferences);

    // Whatever was read, and only that, is written.
    fuzz::Require(preferences->Save(), "the entries that were read are saved");
    const QByteArray first = ReadWhole();
    fuzz::Require(preferences->Load() == !first.isEmpty(), "a saved file loads (an empty list leaves none)");
    fuzz::Require(Values(*preferences) == read, "the saved entries read back to the same paths");
    fuzz::Require(preferences->Save() && ReadWhole() == first, "loaded, saved, loaded and saved again gives the same file");

    // A change after such a file keeps it readable with the new entry.
    fuzz::Require(preferences->SetLastPath(QLatin1StringView(Preferences::kContentExport), QStringLiteral("/fuzz")),
                  "an entry is stored after any file");
    fuzz::Require(preferences->Load() && preferences->LastPath(QLatin1StringView(Preferences::kContentExport)) == "/fuzz",
                  "a stored entry reads back");
}

} // namespace fuzz_target
