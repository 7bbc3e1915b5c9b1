#include "tools/content_tool/SamplePackage.h"

#include "images/CindralImage.h"
#include "library/user/ContentLibraryRoot.h"
#include "tools/content_tool/CommandSupport.h"

#include <QRandomGenerator>

#include <memory>

namespace SamplePackage {
namespace {

using ContentToolCommands::ChildFolderNamed;

constexpr int kSecondFamily = 1;
constexpr int kFirstFolderAddress = 41;
constexpr int kFrameMilliseconds = 40;
constexpr quint32 kSeed = 5;

std::unique_ptr<CindralImage> RandomImage(int number, QRandomGenerator& random)
{
    auto image = std::make_unique<CindralImage>();
    image->SetName(QStringLiteral("image %1").arg(number));
    image->SetAddress(number);
    for (int c = 1; c < CindralImage::kPaletteSize; ++c)
        image->SetPaletteColor(c, LEDColor::FromRgb(random.generate()));
    for (int n = 0; n < kFrames; ++n) {
        CindralImage::Frame frame;
        frame.duration = kFrameMilliseconds;
        for (auto& index : frame.indices)
            index = quint8(random.bounded(256));
        image->AddFrame(frame);
    }
    return image;
}

} // namespace

ContentFolder* Make(ContentLibraryRoot* root, IFeedback* feedback)
{
    if (!root->CreateFolder(kName, 0, kSecondFamily, feedback))
        return nullptr;
    ContentFolder* package = ChildFolderNamed(root, kName);
    if (!package)
        return nullptr;
    QRandomGenerator random(kSeed);
    for (int f = 0; f < kFolders; ++f) {
        const QString name = QStringLiteral("F%1").arg(f + 1, 2, 10, QLatin1Char('0'));
        if (!package->CreateFolder(name, kFirstFolderAddress + f, 0, feedback))
            return nullptr;
        ContentFolder* folder = ChildFolderNamed(package, name);
        if (!folder)
            return nullptr;
        for (int i = 0; i < kImagesPerFolder; ++i) {
            std::unique_ptr<CindralImage> image = RandomImage(i + 1, random);
            if (!folder->AddChild({image.get()}, feedback))
                return nullptr;
            image.release();
        }
    }
    return package;
}

} // namespace SamplePackage
