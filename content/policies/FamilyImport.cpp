#include "content/policies/FamilyImport.h"

#include "images/BrevantImage.h"
#include "images/CindralImage.h"

#include <QMutex>

namespace {

QBasicMutex importerMutex;

PictureImporter& InstalledImporter()
{
    static PictureImporter importer;
    return importer;
}

PictureImporter CurrentImporter()
{
    QMutexLocker lock(&importerMutex);
    return InstalledImporter();
}

std::unique_ptr<Content> Convert(std::unique_ptr<CindralImage> image, const BrevantImage*)
{
    return BrevantImage::FromCindralImage(*image);
}

std::unique_ptr<Content> Convert(std::unique_ptr<BrevantImage> image, const CindralImage*)
{
    return CindralImage::FromBrevantImage(*image);
}

// The file suffix of a family's images.
template <class Image>
const QString& SuffixOf()
{
    static const QString suffix = Image().FileExtension();
    return suffix;
}

// The import into a folder of the family of `Own`; `Other` is the other family.
template <class Own, class Other>
std::unique_ptr<Content> ImportInto(QWidget* parent, const QFileInfo& file, bool probe)
{
    if (probe)
        return std::make_unique<Own>();

    const QString suffix = file.suffix();
    if (suffix == SuffixOf<Own>()) {
        std::unique_ptr<Own> own = Own::LoadFile(file.filePath());
        if (!own)
            UnreadableImports::Note(file.filePath());
        return own;
    }
    if (suffix == SuffixOf<Other>()) {
        std::unique_ptr<Other> other = Other::LoadFile(file.filePath());
        if (!other) {
            UnreadableImports::Note(file.filePath());
            return nullptr;
        }
        return Convert(std::move(other), static_cast<const Own*>(nullptr));
    }

    const PictureImporter importer = CurrentImporter();
    if (!importer)
        return nullptr;
    auto image = std::make_unique<Own>();
    switch (importer(parent, file, *image)) {
    case PictureImportResult::Imported:
        return image;
    case PictureImportResult::Unreadable:
        UnreadableImports::Note(file.filePath());
        break;
    case PictureImportResult::Declined:
        break;
    }
    return nullptr;
}

// The innermost collector of this thread.
thread_local UnreadableImports* currentUnreadable = nullptr;

} // namespace

QList<Content*> ImportFamilyFile(int family, QWidget* parent, const QFileInfo& file, bool probe)
{
    std::unique_ptr<Content> image = family == BrevantImage::kFamilyId
                                         ? ImportInto<BrevantImage, CindralImage>(parent, file, probe)
                                         : ImportInto<CindralImage, BrevantImage>(parent, file, probe);
    if (!image)
        return {};
    image->SetName(file.baseName());
    return {image.release()};
}

void SetPictureImporter(PictureImporter importer)
{
    QMutexLocker lock(&importerMutex);
    InstalledImporter() = std::move(importer);
}

UnreadableImports::UnreadableImports() : outer_(currentUnreadable)
{
    currentUnreadable = this;
}

UnreadableImports::~UnreadableImports()
{
    currentUnreadable = outer_;
}

void UnreadableImports::Note(const QString& path)
{
    if (currentUnreadable)
        currentUnreadable->files_.append(path);
}
