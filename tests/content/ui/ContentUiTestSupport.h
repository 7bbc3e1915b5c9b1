#pragma once

#include "content/ContentFolder.h"
#include "fixtures/QelRDM.h"
#include "fixtures/tree/QelRDMContentFolder.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "fixtures/tree/QelRDMContentRoot.h"
#include "images/BrevantImage.h"
#include "library/user/ContentLibraryFolder.h"
#include "library/user/ContentLibraryPackage.h"
#include "library/user/ContentLibraryRoot.h"
#include "link/rdm/RdmDefs.h"
#include "link/ui/OperationDialog.h"
#include "sim/fixtures/QelFixture.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/library/LibraryTestSupport.h"
#include "tests/link/PollUntil.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace content_ui_test {

constexpr quint64 k101 = 0x7FF0'0000'0101ull;

// Brevant fixture 7ff0:00000101 whose user group holds "Lamps" (47) with one file.
constexpr const char* kRig = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
    { "kind": "brevant", "uid": "7ff0:00000101", "content": { "folders": [
        { "number": 47, "name": "Lamps", "files": [ { "number": 1, "name": "L1" } ] } ] } } ] } ] })";

// Confirms every operation dialog that asks for it (a run that failed or was slow) and
// counts them; polls from the dialogs' own event loops.
class OperationConfirmer
{
public:
    OperationConfirmer()
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<OperationDialog*>(QApplication::activeModalWidget());
            auto* ok = dialog ? dialog->findChild<QPushButton*>(QStringLiteral("okButton")) : nullptr;
            if (ok && ok->isVisible()) {
                ++confirmed;
                ok->click();
            }
        });
        timer_.start();
    }
    int confirmed = 0;

private:
    QTimer timer_;
};

// The user library of a temporary folder holding the BREVANT package "Show" with "Shows"
// (45: Sky at 1, Rain at 2) and "Trees" (46, empty); and fixture 101 of kRig on the
// simulated line, its tree read.
class LibraryAndFixture : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        BootRig(kRig);
        library_ = MakeLibrary(QStringLiteral("lib"));
        show_ = Package(library_.get(), QStringLiteral("Show"));
        shows_ = Folder(show_, QStringLiteral("Shows"));
        trees_ = Folder(show_, QStringLiteral("Trees"));
        fixture_ = std::make_unique<BrevantRDM>();
        fixture_->SetUniqueId(rdm::UidLow(k101), rdm::UidHigh(k101));
        root_ = fixture_->ContentRoot();
        ASSERT_TRUE(PollUntil([&] { return root_->ChildrenRead() && UserFolder(47); }, 60000));
    }
    void TearDown() override
    {
        fixture_.reset();
        library_.reset();
        library_test::DeleteLaterNodes();
        WidgetRigTest::TearDown();
    }

    std::unique_ptr<ContentLibraryRoot> MakeLibrary(const QString& name)
    {
        QDir().mkpath(dir_.filePath(name));
        auto root = std::make_unique<ContentLibraryRoot>(dir_.filePath(name));
        EXPECT_TRUE(root->CreateFolder(QStringLiteral("Show"), 0, 0, nullptr));
        auto* show = Package(root.get(), QStringLiteral("Show"));
        EXPECT_TRUE(show->CreateFolder(QStringLiteral("Shows"), 45, 0, nullptr));
        EXPECT_TRUE(show->CreateFolder(QStringLiteral("Trees"), 46, 0, nullptr));
        auto* shows = Folder(show, QStringLiteral("Shows"));
        for (const char* name : {"Sky", "Rain"}) {
            auto image = library_test::MakeImage<BrevantImage>(QString::fromLatin1(name), 0, 2);
            image->SetAddress(shows->ChildCount() + 1);
            EXPECT_TRUE(shows->AddChild({image.get()}, nullptr));
            image.release();
        }
        return root;
    }
    static ContentLibraryPackage* Package(ContentFolder* root, const QString& name)
    {
        return qobject_cast<ContentLibraryPackage*>(library_test::ChildNamed(root, name));
    }
    static ContentLibraryFolder* Folder(ContentFolder* package, const QString& name)
    {
        return qobject_cast<ContentLibraryFolder*>(library_test::ChildNamed(package, name));
    }
    ContentBase* Item(ContentFolder* folder, const QString& name) { return library_test::ChildNamed(folder, name); }
    ContentFolder* UserFolder(int number) { return root_->UserGroup()->FolderNumbered(number); }
    QString Path(const QString& name) const { return dir_.filePath(name); }

    sim::QelFixture& Sim() { return *std::dynamic_pointer_cast<sim::QelFixture>(RigResponder(0)); }

    QTemporaryDir dir_;
    std::unique_ptr<ContentLibraryRoot> library_;
    ContentLibraryPackage* show_ = nullptr;
    ContentLibraryFolder* shows_ = nullptr;
    ContentLibraryFolder* trees_ = nullptr;
    std::unique_ptr<QelRDM> fixture_;
    QelRDMContentRoot* root_ = nullptr;
};

} // namespace content_ui_test
