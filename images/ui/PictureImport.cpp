#include "images/ui/PictureImport.h"

#include "content/policies/FamilyImport.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ImageFrames.h"
#include "images/ui/ImageImportDialog.h"
#include "images/video/VideoFrames.h"
#include "link/ui/OverrideCursorHelper.h"

#include <QFileInfo>

namespace {

// The most frames an import keeps: what an LED image holds.
constexpr int kImportFrames = 255;
// A still picture's frame carries no time of its own.
constexpr int kStillFrameMs = 0;

template <class Dialog, class Image>
PictureImportResult RunImportDialog(QWidget* parent, const QFileInfo& file, Image& image)
{
    Dialog dialog(kImportFrames, &image, parent);
    dialog.SetTitle(file.fileName());
    {
        // A long video takes a while to decode.
        OverrideCursorHelper waitCursor;
        const QString path = file.filePath();
        if (!ReadImageFrames(path, kImportFrames, kStillFrameMs, dialog.Store()))
            ReadVideoFrames(path, kImportFrames, dialog.Store());
    }
    // A video may open yet yield no frame: there is nothing to import then.
    if (dialog.Store().FrameCount() == 0)
        return PictureImportResult::Unreadable;
    return dialog.exec() == QDialog::Accepted ? PictureImportResult::Imported : PictureImportResult::Declined;
}

} // namespace

PictureImportResult ImportPicture(QWidget* parent, const QFileInfo& file, Content& image)
{
    if (auto* brevant = qobject_cast<BrevantImage*>(&image))
        return RunImportDialog<BrevantImageImportDialog>(parent, file, *brevant);
    if (auto* cindral = qobject_cast<CindralImage*>(&image))
        return RunImportDialog<CindralImageImportDialog>(parent, file, *cindral);
    return PictureImportResult::Declined;
}

void InstallPictureImport()
{
    SetPictureImporter(&ImportPicture);
}
