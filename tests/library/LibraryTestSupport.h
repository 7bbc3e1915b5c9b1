#pragma once

#include "content/ContentFolder.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "tests/content/MemoryFolders.h"

#include <QByteArray>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace library_test {

// A new image of family `Image` named `name` with `frames` frames of `durationMs` each
// (every LED a colour of its own, so that frames and images differ), Mosavra number `id`.
template <class Image>
std::unique_ptr<Image> MakeImage(const QString& name, quint16 id = 0, int frames = 1, int durationMs = 100)
{
    auto image = std::make_unique<Image>();
    image->SetName(name);
    image->SetMosavraID(id);
    for (int c = 1; c < 8; ++c)
        image->SetPaletteColor(c, LEDColor::FromRgb(qRgb(30 * c, 255 - 30 * c, (name.size() * 40 + c) % 256)));
    for (int f = 0; f < frames; ++f) {
        typename Image::Frame frame;
        frame.duration = durationMs;
        for (int led = 0; led < Image::kLedCount; ++led)
            frame.indices[size_t(led)] = quint8(1 + (led + f + int(id)) % 7);
        image->AddFrame(frame);
    }
    return image;
}

// Writes an image file of family `Image` at `path`; answers its key.
template <class Image>
quint32 WriteImage(const QString& path, const QString& name = QStringLiteral("image"), int frames = 1)
{
    auto image = MakeImage<Image>(name, 0, frames);
    EXPECT_TRUE(image->Save(path)) << path.toStdString();
    return image->Key();
}

QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
// The names in a directory of the disk (files and directories, sorted).
QStringList Entries(const QString& dir);
// Deletes the nodes handed to deleteLater on this thread.
void DeleteLaterNodes();

// The child of `folder` named `name`; null when none.
ContentBase* ChildNamed(ContentFolder* folder, const QString& name);
// "name@address" of every child, in child order.
QStringList Describe(ContentFolder* folder);

// Registers `dir` as the only folder of a search-path prefix while it lives, and puts
// back what was there.
class ScopedSearchPath
{
public:
    ScopedSearchPath(const QString& prefix, const QString& dir);
    ~ScopedSearchPath();
    ScopedSearchPath(const ScopedSearchPath&) = delete;
    ScopedSearchPath& operator=(const ScopedSearchPath&) = delete;

private:
    QString prefix_;
    QStringList saved_;
};

// A fresh folder for each test.
class LibraryFolder : public ::testing::Test
{
protected:
    LibraryFolder();
    ~LibraryFolder() override { DeleteLaterNodes(); }

    QString Path(const QString& name = QString()) const { return name.isEmpty() ? dir_.path() : dir_.filePath(name); }
    // Makes the folder `name` (and its parents) and answers its path.
    QString Folder(const QString& name) const
    {
        QDir().mkpath(Path(name));
        return Path(name);
    }

private:
    QTemporaryDir dir_;
};

} // namespace library_test
