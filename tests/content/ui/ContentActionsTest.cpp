// The content actions over a user library, their dialogs driven by the tests.
#include "content/ContentSource.h"
#include "content/policies/NamedPolicies.h"
#include "content/ui/ContentActions.h"
#include "library/mosavra/MosavraContentLibraryPackage.h"
#include "link/ui/NameDialog.h"
#include "link/ui/NumberDialog.h"
#include "link/ui/Preferences.h"
#include "tests/common/ModalDialogDriver.h"
#include "tests/common/ScopedFileSizeLimit.h"
#include "tests/common/TestEnvironment.h"
#include "tests/content/ui/ContentUiTestSupport.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>

using namespace content_ui_test;
using library_test::ChildNamed;
using library_test::Describe;
using testing_env::ModalDialogDriver;

namespace {

// The library of a temporary folder: the BREVANT package "Show" with "Shows" (45: Sky at
// 1, Rain at 2) and "Trees" (46).
class ContentActionsTest : public ::testing::Test
{
protected:
    ContentActionsTest()
    {
        Preferences::SetFolder(dir_.path());
        QDir().mkpath(dir_.filePath("lib"));
        library_ = std::make_unique<ContentLibraryRoot>(dir_.filePath("lib"));
        EXPECT_TRUE(library_->CreateFolder("Show", 0, 0, nullptr));
        show_ = qobject_cast<ContentLibraryPackage*>(ChildNamed(library_.get(), "Show"));
        EXPECT_TRUE(show_->CreateFolder("Shows", 45, 0, nullptr));
        EXPECT_TRUE(show_->CreateFolder("Trees", 46, 0, nullptr));
        shows_ = static_cast<ContentFolder*>(ChildNamed(show_, "Shows"));
        trees_ = static_cast<ContentFolder*>(ChildNamed(show_, "Trees"));
        for (const char* name : {"Sky", "Rain"}) {
            auto image = library_test::MakeImage<BrevantImage>(QString::fromLatin1(name), 0, 2);
            image->SetAddress(shows_->ChildCount() + 1);
            EXPECT_TRUE(shows_->AddChild({image.get()}, nullptr));
            image.release();
        }
        sky_ = ChildNamed(shows_, "Sky");
        rain_ = ChildNamed(shows_, "Rain");
    }
    ~ContentActionsTest() override
    {
        QGuiApplication::clipboard()->clear();
        library_.reset();
        library_test::DeleteLaterNodes();
        Preferences::SetFolder(QString());
    }

    // Triggers `action`; the boxes it shows (title, text) are answered with `button`.
    QStringList Boxes(QAction& action, QMessageBox::StandardButton button = QMessageBox::Ok)
    {
        QStringList shown;
        ModalDialogDriver dialogs;
        dialogs.Then<QMessageBox>([&](QMessageBox* box) {
            shown << box->windowTitle() << box->text();
            if (box->button(QMessageBox::Cancel) && box->defaultButton())
                shown << QStringLiteral("default ") + box->defaultButton()->text();
            box->button(button) ? box->button(button)->click() : box->accept();
        });
        action.trigger();
        return shown;
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }

    QWidget window_;
    QTemporaryDir dir_;
    std::unique_ptr<ContentLibraryRoot> library_;
    ContentLibraryPackage* show_ = nullptr;
    ContentFolder* shows_ = nullptr;
    ContentFolder* trees_ = nullptr;
    ContentBase* sky_ = nullptr;
    ContentBase* rain_ = nullptr;
};

// Picks `path` in the next file dialog (confirming a replacement), or cancels it.
void ChooseFile(ModalDialogDriver& dialogs, const QString& path)
{
    dialogs.Then<QFileDialog>([path](QFileDialog* dialog) {
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(path);
        // Later: the accept may ask about replacing the file, a modal box of its own that
        // the next step answers.
        QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
    });
}

// Triggers `action` (an export or an import), picking `path` in its file dialog.
void TriggerWithFile(QAction& action, const QString& path)
{
    ModalDialogDriver dialogs;
    ChooseFile(dialogs, path);
    action.trigger();
}

// Exports `package` through its action to `archive`, making the archive's folder first.
void ExportTo(QWidget* window, ContentFolder* package, const QString& archive)
{
    QDir().mkpath(QFileInfo(archive).path());
    ContentFolderExportAction exportPackage(window, package);
    TriggerWithFile(exportPackage, archive);
}

} // namespace

TEST_F(ContentActionsTest, TheMenusOfferWhatTheTargetsAllow)
{
    EXPECT_TRUE(ContentBaseRenumberAction::IsApplicable(sky_));
    EXPECT_FALSE(ContentBaseRenumberAction::IsApplicable(show_)) << "the library root has no addresses";
    EXPECT_TRUE(ContentBaseRenameAction::IsApplicable(show_));
    EXPECT_FALSE(ContentBaseRenameAction::IsApplicable(library_.get()));
    EXPECT_FALSE(ContentBaseAutosetAction::IsApplicable({}));
    EXPECT_TRUE(ContentBaseResetAction::IsApplicable({sky_}));
    EXPECT_FALSE(ContentBaseResetAction::IsApplicable({show_}));

    ASSERT_TRUE(ContentBaseCopyAction::IsApplicable({}));
    ContentBaseCopyAction copy(&window_, {});
    copy.trigger();
    ContentMimeSource payload(ContentSource::CutToClipboard, {sky_});
    ASSERT_TRUE(payload.FromMimeData(QGuiApplication::clipboard()->mimeData()));
    EXPECT_EQ(payload.Mode(), 2);
    EXPECT_TRUE(payload.Items().isEmpty());
    EXPECT_FALSE(ContentFolderPasteAction::IsApplicable(trees_)) << "an empty payload pastes nothing";

    EXPECT_TRUE(ContentFolderExportAction::IsApplicable(show_));
    EXPECT_FALSE(ContentFolderExportAction::IsApplicable(library_.get()));
    EXPECT_FALSE(ContentFolderExportAction::IsApplicable(shows_));
    EXPECT_TRUE(ContentFolderImportAction::IsApplicable(library_.get()));
    EXPECT_FALSE(ContentFolderImportAction::IsApplicable(show_));

    EXPECT_EQ(ContentFolderNewAction(&window_, library_.get(), 0).text(), "New BREVANT Package");
    EXPECT_EQ(ContentFolderNewAction(&window_, library_.get(), 1).text(), "New Cindral Package");
    EXPECT_TRUE(ContentFolderNewAction::IsApplicable(library_.get(), 1));
    EXPECT_FALSE(ContentFolderNewAction::IsApplicable(library_.get(), 2));
    EXPECT_EQ(ContentFolderNewAction(&window_, show_, 0).text(), "New BREVANT Folder");

    // A Mosavra package offers New only with a creator, which then runs instead.
    BrevantMosavraContentLibraryPackage mosavra(BREVANTMOSAVRAContentPackagePolicy::Instance(), nullptr, "BREVANT",
                                                Path("mosavra/BREVANT"));
    EXPECT_FALSE(ContentFolderNewAction::IsApplicable(&mosavra, 0));
    EXPECT_TRUE(ContentFolderImportAction::IsApplicable(&mosavra));
    EXPECT_TRUE(ContentFolderExportAction::IsApplicable(&mosavra));
    QWidget* createdOver = nullptr;
    ContentFolderNewAction::SetMosavraCreator([&](QWidget* parent) { createdOver = parent; });
    EXPECT_TRUE(ContentFolderNewAction::IsApplicable(&mosavra, 0));
    ContentFolderNewAction(&window_, &mosavra, 0).trigger();
    EXPECT_EQ(createdOver, &window_);
    ContentFolderNewAction::SetMosavraCreator({});
}

TEST_F(ContentActionsTest, ACutPastedIntoAnotherFolderMovesAndLeavesTheClipboard)
{
    OperationConfirmer confirmer;
    ASSERT_TRUE(ContentBaseCutAction::IsApplicable({sky_}));
    ContentBaseCutAction(&window_, {sky_}).trigger();
    ASSERT_TRUE(ContentFolderPasteAction::IsApplicable(trees_));
    EXPECT_FALSE(ContentFolderPasteAction::IsApplicable(library_.get())) << "an image does not go into the root";
    ContentFolderPasteAction(&window_, trees_).trigger();
    EXPECT_EQ(Describe(shows_), QStringList{"Rain@2"});
    EXPECT_EQ(Describe(trees_), QStringList{"Sky@1"});
    const QMimeData* left = QGuiApplication::clipboard()->mimeData();
    EXPECT_FALSE(left && left->hasFormat(ContentSourceMimeType)) << "the moved original took its payload along";
    EXPECT_EQ(confirmer.confirmed, 0);
}

TEST_F(ContentActionsTest, AFolderCutFromOnePackagePastedIntoAnotherOfItsFamilyMoves)
{
    OperationConfirmer confirmer;
    ASSERT_TRUE(library_->CreateFolder("Other", 0, 0, nullptr));
    auto* other = static_cast<ContentFolder*>(ChildNamed(library_.get(), "Other"));
    ContentBaseCutAction(&window_, {shows_}).trigger();
    ASSERT_TRUE(ContentFolderPasteAction::IsApplicable(other));
    ContentFolderPasteAction(&window_, other).trigger();
    library_test::DeleteLaterNodes();

    EXPECT_EQ(Describe(show_), QStringList{"Trees@46"});
    EXPECT_EQ(Describe(other), QStringList{"Shows@45"});
    EXPECT_EQ(Describe(static_cast<ContentFolder*>(ChildNamed(other, "Shows"))), (QStringList{"Sky@1", "Rain@2"}));
    EXPECT_EQ(library_test::Entries(Path("lib/Show")), (QStringList{"Trees", "config.xml"}));
    EXPECT_EQ(library_test::Entries(Path("lib/Other/Shows")), (QStringList{"Rain.bvi", "Sky.bvi", "config.xml"}));
    const QMimeData* left = QGuiApplication::clipboard()->mimeData();
    EXPECT_FALSE(left && left->hasFormat(ContentSourceMimeType)) << "the moved folder took its payload along";
    EXPECT_EQ(confirmer.confirmed, 0);
}

TEST_F(ContentActionsTest, DeleteAsksFirstAndCancelIsTheDefault)
{
    ContentBaseRemoveAction one(&window_, {sky_});
    EXPECT_EQ(Boxes(one, QMessageBox::Cancel),
              (QStringList{"Delete Item", "Are you sure you want to delete this item and ALL items it contains?",
                           "default Cancel"}));
    EXPECT_EQ(Describe(shows_), (QStringList{"Sky@1", "Rain@2"}));

    ContentBaseRemoveAction two(&window_, {sky_, rain_});
    EXPECT_EQ(Boxes(two, QMessageBox::Ok),
              (QStringList{"Delete Items", "Are you sure you want to delete these items and ALL items they contain?",
                           "default Cancel"}));
    EXPECT_TRUE(Describe(shows_).isEmpty());
}

TEST_F(ContentActionsTest, RefusedChangesAreReportedAndAGoneTargetChangesNothing)
{
    ContentBaseRenameAction rename(&window_, sky_);
    ModalDialogDriver names;
    names.Then<NameDialog>([](NameDialog* dialog) {
        dialog->findChild<QLineEdit*>()->setText("Rain");
        dialog->accept();
    });
    EXPECT_EQ(Boxes(rename), (QStringList{"Rename Failed", "The item could not be renamed"}));

    ContentBaseRenumberAction renumber(&window_, sky_);
    ModalDialogDriver addresses;
    addresses.Then<AddressDialog>([](AddressDialog* dialog) {
        dialog->findChild<QLineEdit*>()->setText("300");
        dialog->accept();
    });
    EXPECT_EQ(Boxes(renumber), (QStringList{"Edit DMX Failed", "The item address could not be changed"}));

    ContentFolderNewAction create(&window_, show_, 0);
    ModalDialogDriver folders;
    folders.Then<NameDialog>([](NameDialog* dialog) {
        dialog->findChild<QLineEdit*>()->setText("Trees");
        dialog->accept();
    });
    EXPECT_EQ(Boxes(create), (QStringList{"New BREVANT Folder Failed", "The folder could not be created"}));
    EXPECT_EQ(Describe(shows_), (QStringList{"Sky@1", "Rain@2"}));

    // The item goes while its name is asked for.
    ContentBaseRenameAction late(&window_, rain_);
    ModalDialogDriver dying;
    dying.Then<NameDialog>([&](NameDialog* dialog) {
        ASSERT_TRUE(shows_->RemoveChild(rain_, nullptr));
        library_test::DeleteLaterNodes();
        dialog->findChild<QLineEdit*>()->setText("Hail");
        dialog->accept();
    });
    EXPECT_TRUE(Boxes(late).isEmpty());
    EXPECT_EQ(Describe(shows_), QStringList{"Sky@1"});
}

TEST_F(ContentActionsTest, ExportWritesAPackageThatImportBringsBack)
{
    OperationConfirmer confirmer;
    QDir().mkpath(Path("out"));
    const QString archive = Path("out/Show.qelpkg");
    ContentFolderExportAction exportShow(&window_, show_);

    // Cancelled: nothing written, nothing remembered.
    {
        ModalDialogDriver dialogs;
        ChooseFile(dialogs, QString());
        exportShow.trigger();
    }
    EXPECT_FALSE(QFile::exists(archive));
    EXPECT_TRUE(ScopedPreferences()->LastPath(Preferences::kContentExport).isEmpty());

    {
        ModalDialogDriver dialogs;
        ChooseFile(dialogs, archive);
        exportShow.trigger();
    }
    QProcess tar;
    tar.start("tar", {"-tzf", archive});
    ASSERT_TRUE(tar.waitForFinished());
    const QString listing = QString::fromUtf8(tar.readAllStandardOutput());
    EXPECT_TRUE(listing.contains("Shows/")) << listing.toStdString();
    EXPECT_EQ(ScopedPreferences()->LastPath(Preferences::kContentExport), Path("out"));
    EXPECT_EQ(confirmer.confirmed, 0);

    // A second export that cannot be written leaves the first whole.
    const QByteArray before = library_test::ReadBytes(archive);
    {
        ModalDialogDriver dialogs;
        ChooseFile(dialogs, archive);
        dialogs.Then<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        QStringList failure;
        dialogs.Then<QMessageBox>([&](QMessageBox* box) {
            failure << box->windowTitle();
            box->accept();
        });
        testing_env::ScopedFileSizeLimit limit(64);
        exportShow.trigger();
        EXPECT_EQ(failure, QStringList{"Export Failed"});
    }
    EXPECT_EQ(library_test::ReadBytes(archive), before);

    // Imported into a library without it.
    QDir().mkpath(Path("second"));
    ContentLibraryRoot second(Path("second"));
    ContentFolderImportAction import(&window_, &second);
    {
        ModalDialogDriver dialogs;
        ChooseFile(dialogs, archive);
        import.trigger();
    }
    EXPECT_EQ(Describe(&second), QStringList{"Show@0"});
    EXPECT_EQ(Describe(static_cast<ContentFolder*>(second.Child(0))), (QStringList{"Shows@45", "Trees@46"}));
    EXPECT_EQ(ScopedPreferences()->LastPath(Preferences::kContentFolderImport), Path("out"));
}

TEST_F(ContentActionsTest, APackageImportedUnderATakenNameComesInUnderTheNextFreeName)
{
    OperationConfirmer confirmer;
    const QString archive = Path("out/Show.qelpkg");
    ExportTo(&window_, show_, archive);
    ASSERT_TRUE(QFile::exists(archive));

    ContentFolderImportAction import(&window_, library_.get());
    TriggerWithFile(import, archive);
    TriggerWithFile(import, archive);
    EXPECT_EQ(confirmer.confirmed, 0) << "both imports succeeded";
    const QStringList packages{"Show@0", "Show (2)@0", "Show (3)@0"};
    ASSERT_EQ(Describe(library_.get()), packages);
    for (const QString name : {"Show (2)", "Show (3)"}) {
        EXPECT_EQ(Describe(static_cast<ContentFolder*>(ChildNamed(library_.get(), name))),
                  (QStringList{"Shows@45", "Trees@46"}));
        EXPECT_EQ(library_test::Entries(Path("lib/" + name)), (QStringList{"Shows", "Trees", "config.xml"}));
        EXPECT_EQ(library_test::Entries(Path("lib/" + name + "/Shows")),
                  (QStringList{"Rain.bvi", "Sky.bvi", "config.xml"}));
    }
    ContentLibraryRoot again(Path("lib"));
    EXPECT_EQ(Describe(&again), packages);
}

TEST_F(ContentActionsTest, ExportReplacesAFileNamedWithoutItsSuffixOnlyWhenTheUserAgrees)
{
    OperationConfirmer confirmer;
    const QString archive = Path("out/Show.qelpkg");
    ExportTo(&window_, show_, archive);
    const QByteArray first = library_test::ReadBytes(archive);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_TRUE(show_->CreateFolder("Extra", 47, 0, nullptr));
    ContentFolderExportAction exportShow(&window_, show_);

    // "Show" typed: the file it means exists, and the user keeps it.
    QStringList asked;
    const auto answer = [&](QMessageBox::StandardButton button) {
        return [&asked, button](QMessageBox* box) {
            asked << box->text();
            box->button(button)->click();
        };
    };
    {
        ModalDialogDriver dialogs;
        ChooseFile(dialogs, Path("out/Show"));
        dialogs.Then<QMessageBox>(answer(QMessageBox::No));
        dialogs.Then<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        exportShow.trigger();
        EXPECT_TRUE(dialogs.Done());
    }
    EXPECT_EQ(asked, QStringList{"Show.qelpkg already exists.\nDo you want to replace it?"});
    EXPECT_EQ(library_test::ReadBytes(archive), first);
    EXPECT_FALSE(QFile::exists(Path("out/Show")));

    // Agreed: replaced.
    asked.clear();
    {
        ModalDialogDriver dialogs;
        ChooseFile(dialogs, Path("out/Show"));
        dialogs.Then<QMessageBox>(answer(QMessageBox::Yes));
        exportShow.trigger();
        EXPECT_TRUE(dialogs.Done());
    }
    EXPECT_EQ(asked.size(), 1);
    QProcess tar;
    tar.start("tar", {"-tzf", archive});
    ASSERT_TRUE(tar.waitForFinished());
    EXPECT_TRUE(QString::fromUtf8(tar.readAllStandardOutput()).contains("Extra/"));

    // A name with a dot of its own gets the suffix too, and is asked about as well.
    asked.clear();
    ASSERT_TRUE(QFile::copy(archive, Path("out/My.Show.qelpkg")));
    const QByteArray kept = library_test::ReadBytes(Path("out/My.Show.qelpkg"));
    {
        ModalDialogDriver dialogs;
        ChooseFile(dialogs, Path("out/My.Show"));
        dialogs.Then<QMessageBox>(answer(QMessageBox::No));
        exportShow.trigger();
        EXPECT_TRUE(dialogs.Done());
    }
    EXPECT_EQ(asked, QStringList{"My.Show.qelpkg already exists.\nDo you want to replace it?"});
    EXPECT_EQ(library_test::ReadBytes(Path("out/My.Show.qelpkg")), kept);
    EXPECT_FALSE(QFile::exists(Path("out/My.Show")));
    EXPECT_EQ(confirmer.confirmed, 0);
}

TEST_F(ContentActionsTest, AnImageExportsToAGifOrSaysItCannot)
{
    ASSERT_TRUE(ExportToGIFAction::IsApplicable(static_cast<Content*>(sky_)));
    ExportToGIFAction gif(&window_, static_cast<Content*>(sky_));
    {
        ModalDialogDriver dialogs;
        ChooseFile(dialogs, Path("sky.gif"));
        gif.trigger();
    }
    EXPECT_EQ(library_test::ReadBytes(Path("sky.gif")).left(6), "GIF89a");
    EXPECT_EQ(QImageReader(Path("sky.gif")).size(), QSize(256, 256));

    ModalDialogDriver dialogs;
    ChooseFile(dialogs, Path("missing/sky.gif"));
    EXPECT_EQ(Boxes(gif), (QStringList{"Error", "Unable to export image"}));
}

// The image goes while its file is chosen: that is no failure to tell, and nothing is written.
TEST_F(ContentActionsTest, AnImageGoneWhileItsGifIsPlacedEndsTheExportSilently)
{
    ExportToGIFAction gif(&window_, static_cast<Content*>(rain_));
    ModalDialogDriver dialogs;
    dialogs.Then<QFileDialog>([&](QFileDialog* dialog) {
        ASSERT_TRUE(shows_->RemoveChild(rain_, nullptr));
        library_test::DeleteLaterNodes();
        dialog->selectFile(Path("rain.gif"));
        QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
    });
    EXPECT_TRUE(Boxes(gif).isEmpty());
    EXPECT_TRUE(dialogs.Done());
    EXPECT_FALSE(QFile::exists(Path("rain.gif")));
}
