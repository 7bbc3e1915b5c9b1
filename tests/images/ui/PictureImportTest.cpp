#include "content/policies/FamilyImport.h"
#include "content/policies/NamedPolicies.h"
#include "content/ui/ContentDrop.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ImageFrames.h"
#include "images/ImageStore.h"
#include "images/LEDImageImporter.h"
#include "images/ui/ImageImportDialog.h"
#include "images/ui/PictureImport.h"
#include "tests/common/ModalDialogDriver.h"
#include "tests/content/MemoryFolders.h"
#include "tests/images/FFmpegTool.h"
#include "tests/images/ui/DialogTestSupport.h"

#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using testing_env::ModalDialogDriver;

namespace {

// A user library with a BREVANT package and a CINDRAL package, each holding a folder that
// takes dropped files, and the picture import installed as the program installs it.
class PictureImport : public ::testing::Test
{
protected:
    PictureImport()
    {
        InstallPictureImport();
        brevant_ = root_.AddFolder(QStringLiteral("Show"), 0, BREVANTContentPackagePolicy::Instance())
                       ->AddFolder(QStringLiteral("Shows"), 45);
        cindral_ = root_.AddFolder(QStringLiteral("Night"), 0, CINDRALContentPackagePolicy::Instance())
                       ->AddFolder(QStringLiteral("Stars"), 46);
    }
    ~PictureImport() override { SetPictureImporter({}); }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    QString SavePicture(const QString& name, const QImage& picture) const
    {
        const QString path = Path(name);
        EXPECT_TRUE(picture.save(path));
        return path;
    }

    // The file dropped on the folder as a view drops it: the folder's import, then the new
    // contents copied in. Answers the folder's new children.
    QList<Content*> Drop(MemoryFolder* folder, const QString& path)
    {
        const int before = folder->ChildCount();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const bool dropped = ContentDrop::Drop(&window_, folder, &data, Qt::CopyAction);
        QList<Content*> added;
        for (int i = before; i < folder->ChildCount(); ++i)
            added << qobject_cast<Content*>(folder->Child(i));
        EXPECT_EQ(dropped, !added.isEmpty());
        return added;
    }

    static QPushButton* Button(QWidget* dialog, const QString& text) { return WithText<QPushButton>(dialog, text); }
    static QRadioButton* Radio(QWidget* dialog, const QString& text) { return WithText<QRadioButton>(dialog, text); }

    QTemporaryDir dir_;
    QWidget window_;
    MemoryFolder root_{RootContentPolicy::Instance()};
    MemoryFolder* brevant_ = nullptr;
    MemoryFolder* cindral_ = nullptr;
};

} // namespace

TEST_F(PictureImport, APictureOnAFamilyFolderIsImportedThroughTheDialogOfItsFamily)
{
    const QString path = SavePicture(QStringLiteral("pic.png"), QuadrantPicture({640, 480}));

    ModalDialogDriver driver;
    int imports = 0;
    driver.Then<BrevantImageImportDialog>([&](BrevantImageImportDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Brevant Image Import - pic.png"));
        EXPECT_EQ(dialog->parentWidget(), &window_);
        EXPECT_EQ(dialog->Store().FrameCount(), 1);
        EXPECT_EQ(dialog->Store().Frame(0).image.size(), QSize(512, 384));
        EXPECT_EQ(Shown(dialog, "original").size(), QSize(200, 150));
        QSlider* sampleSize = Child<QSlider>(dialog, "sampleSize");
        EXPECT_EQ(sampleSize->minimum(), 10);
        EXPECT_EQ(sampleSize->maximum(), 100);
        EXPECT_EQ(sampleSize->value(), 50);
        EXPECT_EQ(Child<QSlider>(dialog, "frame")->maximum(), 0);
        EXPECT_EQ(dialog->CurrentLayout(), (ImportLayout{68, 4, 443, 379, 8, 8}));

        QSignalSpy updates(dialog, &ImageImportDialog::ImportUpdated);
        Click(Radio(dialog, QStringLiteral("Ignore")));
        EXPECT_EQ(dialog->CurrentLayout(), (ImportLayout{5, 4, 506, 379, 10, 8}));
        Click(Radio(dialog, QStringLiteral("Keep")));
        imports = int(updates.count());
        Click(Button(dialog, QStringLiteral("OK")));
    });
    const QList<Content*> imported = Drop(brevant_, path);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(imports, 4) << "each switch imports twice";

    ASSERT_EQ(imported.size(), 1);
    auto* image = qobject_cast<BrevantImage*>(imported[0]);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetName(), QStringLiteral("pic"));

    // The same as the importer run by hand over the same frames with the dialog's settings.
    ImageStore store(255, 512, 512);
    ASSERT_TRUE(ReadImageFrames(path, 255, 0, store));
    LEDImageImporter<BrevantImage> importer(68, 4, 443, 379, 8, 8, 1, 0, 0, 0, 0, false, 0, 30, 0, 0);
    store.Replay(importer);
    BrevantImage expected;
    ASSERT_TRUE(importer.Finish(expected));
    ExpectSameImage(*image, expected);

    ASSERT_EQ(brevant_->ChildCount(), 1);
    EXPECT_EQ(brevant_->Child(0)->GetName(), QStringLiteral("pic"));
    EXPECT_EQ(typeid(*brevant_->Child(0)), typeid(BrevantImage));
}

TEST_F(PictureImport, CancelImportsNothing)
{
    const QString path = SavePicture(QStringLiteral("pic.png"), QuadrantPicture({640, 480}));
    ModalDialogDriver driver;
    driver.Then<BrevantImageImportDialog>([&](BrevantImageImportDialog* dialog) {
        Click(Button(dialog, QStringLiteral("Cancel")));
    });
    EXPECT_TRUE(Drop(brevant_, path).isEmpty());
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(brevant_->ChildCount(), 0);
}

TEST_F(PictureImport, TheSecondFamilysFolderUsesItsOwnDialog)
{
    const QString path = SavePicture(QStringLiteral("pic.png"), QuadrantPicture({640, 480}));
    ModalDialogDriver driver;
    driver.Then<CindralImageImportDialog>([&](CindralImageImportDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Cindral Image Import - pic.png"));
        // Return accepts, wherever the focus is.
        QTest::keyClick(Child<QSlider>(dialog, "brightness"), Qt::Key_Return);
    });
    const QList<Content*> imported = Drop(cindral_, path);
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(imported.size(), 1);
    auto* image = qobject_cast<CindralImage*>(imported[0]);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetName(), QStringLiteral("pic"));
    EXPECT_EQ(image->FrameCount(), 1);
    ASSERT_EQ(cindral_->ChildCount(), 1);
    EXPECT_EQ(typeid(*cindral_->Child(0)), typeid(CindralImage));
}

TEST_F(PictureImport, AClipGivesOneStoredFramePerVideoFrame)
{
    QString error;
    ASSERT_TRUE(MakeTestClip(Path("clip.mp4"), 64, 48, 10, 1.5, &error)) << error.toStdString();
    ModalDialogDriver driver;
    driver.Then<BrevantImageImportDialog>([&](BrevantImageImportDialog* dialog) {
        EXPECT_EQ(dialog->Store().FrameCount(), 15);
        QSlider* frame = Child<QSlider>(dialog, "frame");
        EXPECT_EQ(frame->minimum(), 0);
        EXPECT_EQ(frame->maximum(), 14);
        frame->setValue(14);
        EXPECT_FALSE(Shown(dialog, "import").isNull());
        Click(Button(dialog, QStringLiteral("OK")));
    });
    const QList<Content*> imported = Drop(brevant_, Path("clip.mp4"));
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(imported.size(), 1);
    auto* image = qobject_cast<BrevantImage*>(imported[0]);
    ASSERT_NE(image, nullptr);
    int total = 0;
    for (int f = 0; f < image->FrameCount(); ++f)
        total += image->GetFrame(f)->duration;
    EXPECT_EQ(total, 1500);
}

TEST_F(PictureImport, AFileWithoutAFrameOpensNoImportDialogAndTheDropSaysItCouldNotBeImported)
{
    // An mp4 whose header (moved to the front) is whole but whose frames are cut away.
    QString error;
    ASSERT_TRUE(RunFFmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=10:duration=1", "-c:v", "mpeg4",
                           "-movflags", "+faststart", Path("whole.mp4")},
                          &error))
        << error.toStdString();
    QFile whole(Path("whole.mp4"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const qsizetype media = bytes.indexOf("mdat");
    const qsizetype header = bytes.indexOf("moov");
    ASSERT_GT(media, header) << "the header comes first";
    QFile cut(Path("cut.mp4"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(media + 4));
    cut.close();
    QFile text(Path("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();

    QFile damaged(Path("damaged.bvi"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("no image record");
    damaged.close();

    // Every dialog that opens: its kind, title and text. Only the drop's warning may.
    QStringList opened;
    const auto record = [&](QDialog* dialog) {
        const auto* box = qobject_cast<QMessageBox*>(dialog);
        opened << (box ? QStringLiteral("warning %1: %2").arg(box->windowTitle(), box->text())
                       : QStringLiteral("dialog ") + dialog->windowTitle());
        dialog->reject();
    };
    for (const char* name : {"cut.mp4", "notes.txt", "missing.png", "damaged.bvi"}) {
        opened.clear();
        ModalDialogDriver driver;
        driver.Then<QDialog>(record);
        EXPECT_TRUE(Drop(brevant_, Path(QString::fromLatin1(name))).isEmpty()) << name;
        EXPECT_EQ(opened, QStringList{QStringLiteral("warning Import Failed: \"%1\" could not be imported: the file is "
                                                     "of a kind that can't be read, or it is damaged.")
                                          .arg(QString::fromLatin1(name))});
    }
    EXPECT_EQ(brevant_->ChildCount(), 0);

    // Dropped together: one warning names them all.
    opened.clear();
    ModalDialogDriver driver;
    driver.Then<QDialog>(record);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path("notes.txt")), QUrl::fromLocalFile(Path("cut.mp4"))});
    EXPECT_FALSE(ContentDrop::Drop(&window_, brevant_, &data, Qt::CopyAction));
    EXPECT_EQ(opened, QStringList{"warning Import Failed: These files could not be imported: they are of a kind that "
                                  "can't be read, or they are damaged.\n\ncut.mp4\nnotes.txt"});
    EXPECT_EQ(brevant_->ChildCount(), 0);
}

TEST_F(PictureImport, APictureOfTwoPixelsStillImports)
{
    const QString path = SavePicture(QStringLiteral("tiny.png"), QuadrantPicture({2, 2}));
    ModalDialogDriver driver;
    driver.Then<BrevantImageImportDialog>([&](BrevantImageImportDialog* dialog) {
        QSlider* sampleSize = Child<QSlider>(dialog, "sampleSize");
        EXPECT_EQ(sampleSize->minimum(), 1);
        EXPECT_EQ(sampleSize->maximum(), 1);
        Click(Button(dialog, QStringLiteral("OK")));
    });
    const QList<Content*> imported = brevant_->ImportFileFor(&window_, path);
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(imported.size(), 1);
    EXPECT_EQ(qobject_cast<BrevantImage*>(imported[0])->FrameCount(), 1);
    qDeleteAll(imported);
}

TEST_F(PictureImport, OnlyImagesOfTheTwoFamiliesAreFilled)
{
    const QString path = SavePicture(QStringLiteral("pic.png"), QuadrantPicture({64, 64}));
    MemoryContent other;
    ModalDialogDriver driver;
    bool opened = false;
    driver.Then<QDialog>([&](QDialog* dialog) {
        opened = true;
        dialog->reject();
    });
    EXPECT_EQ(ImportPicture(&window_, QFileInfo(path), other), PictureImportResult::Declined);
    EXPECT_FALSE(opened);
}
