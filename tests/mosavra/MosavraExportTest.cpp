#include "tests/mosavra/CreatorTestSupport.h"

#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "link/ui/NameDialog.h"

#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

using namespace creator_testing;
using testing_env::ModalDialogDriver;

namespace {

// Fixture 1 over the red left half of the media, fixture 2 over the blue right half.
const QPointF kLeftFixture{120, 160};
const QPointF kRightFixture{200, 160};

// The creator over a Mosavra library of its own.
class CreatorExportTest : public CreatorTest
{
protected:
    CreatorExportTest()
    {
        QDir::setSearchPaths(QStringLiteral("MosavraContentLibraryRoot"), {mosavra_.path()});
        MosavraContentLibraryRoot::DestroyInstance();
    }
    ~CreatorExportTest() override
    {
        dialog_.reset();
        MosavraContentLibraryRoot::DestroyInstance();
    }

    // The collage `name` of the family's package, or null.
    static ContentFolder* Collage(int family, const QString& name)
    {
        ContentFolder* package = MosavraContentLibraryRoot::Instance()->Package(family);
        for (int i = 0; package && i < package->ChildCount(); ++i) {
            if (package->Child(i)->GetName() == name)
                return qobject_cast<ContentFolder*>(package->Child(i));
        }
        return nullptr;
    }

    QStringList CollageFiles(const char* package, const QString& name) const
    {
        return QDir(mosavra_.filePath(QLatin1String(package) + QLatin1Char('/') + name))
            .entryList({QStringLiteral("*.bvi"), QStringLiteral("*.cdli")}, QDir::Files, QDir::Name);
    }

    // A template of `family` with a fixture dragged over each half of the media.
    void LayOutTwoFixtures(MosavraTypes::FixtureFamily family)
    {
        AddTemplate(family);
        ClickButton("addFixtureButton");
        Drag(Canvas(), {160, 160}, kLeftFixture);
        ClickButton("addFixtureButton");
        Drag(Canvas(), {160, 160}, kRightFixture);
    }

    // Answers the next name dialog with `name`, checking its title and proposal.
    static void Name(ModalDialogDriver& driver, const QString& name, const QString& proposed,
                     const QString& title = QStringLiteral("Create BREVANT Mosavra"),
                     std::function<void()> meanwhile = {})
    {
        driver.Then<NameDialog>([=](NameDialog* d) {
            EXPECT_EQ(d->windowTitle(), title);
            EXPECT_EQ(d->GetName(), proposed);
            if (meanwhile)
                meanwhile();
            d->findChild<QLineEdit*>("lineEdit")->setText(name);
            d->accept();
        });
    }

    static void Box(ModalDialogDriver& driver, const QString& title, const QString& text)
    {
        driver.Then<QMessageBox>([=](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), title);
            EXPECT_EQ(box->text(), text);
            box->accept();
        });
    }

    QTemporaryDir mosavra_;
};

// Every LED of every frame of the image shows `colour`.
template <class Image>
void ExpectEveryLed(const ContentBase* item, QRgb colour)
{
    const auto* image = qobject_cast<const Image*>(item);
    ASSERT_NE(image, nullptr) << "an image of the wrong family";
    ASSERT_GE(image->FrameCount(), 1);
    for (int f = 0; f < image->FrameCount(); ++f) {
        for (quint8 index : image->GetFrame(f)->indices)
            ASSERT_EQ(image->GetPaletteColor(index).ToRgb(), colour) << item->GetName().toStdString();
    }
}

} // namespace

TEST_F(CreatorExportTest, TheFixturesImagesBecomeACollageOfTheirFamilysPackage)
{
    Open();
    ASSERT_TRUE(Dialog().OpenMedia(MakePicture(MediaFolder(), QStringLiteral("sunset.png"), QSize(400, 200))));
    LayOutTwoFixtures(MosavraTypes::kBrevant);
    const auto& fixtures = Dialog().CurrentTemplate()->fixtures;
    ASSERT_EQ(fixtures[0]->pos, QPointF(0.375, 0.5));
    ASSERT_EQ(fixtures[1]->pos, QPointF(0.625, 0.5));
    EXPECT_EQ(Widget<QPushButton>("createButton")->text(), "Create BREVANT Mosavra...");

    ModalDialogDriver driver;
    Name(driver, QStringLiteral("Sunset"), QStringLiteral("sunset"));
    Box(driver, QStringLiteral("Success"), QStringLiteral("Mosavra export complete."));
    ClickButton("createButton");
    ASSERT_TRUE(driver.Done());

    for (bool rescanned : {false, true}) {
        SCOPED_TRACE(rescanned ? "after a rescan" : "as made");
        if (rescanned)
            MosavraContentLibraryRoot::DestroyInstance();
        ContentFolder* collage = Collage(0, QStringLiteral("Sunset"));
        ASSERT_NE(collage, nullptr);
        ASSERT_EQ(collage->ChildCount(), 2);
        ContentLocker lock(&ContentMutex);
        EXPECT_EQ(collage->Child(0)->GetName(), "Sunset_1");
        EXPECT_EQ(collage->Child(0)->GetMosavraID(), 1);
        ExpectEveryLed<BrevantImage>(collage->Child(0), qRgb(255, 0, 0));
        EXPECT_EQ(collage->Child(1)->GetName(), "Sunset_2");
        EXPECT_EQ(collage->Child(1)->GetMosavraID(), 2);
        ExpectEveryLed<BrevantImage>(collage->Child(1), qRgb(0, 0, 255));
    }
    EXPECT_EQ(CollageFiles("BREVANT", QStringLiteral("Sunset")), (QStringList{"Sunset_1.bvi", "Sunset_2.bvi"}));

    // A taken name asks again; the images sampled for the first try serve the next: the
    // fixtures moved off the media meanwhile would give none.
    ModalDialogDriver again;
    Name(again, QStringLiteral("Sunset"), QStringLiteral("sunset"));
    Box(again, QStringLiteral("Error"), QStringLiteral("There is already a collage with that name."));
    Name(again, QStringLiteral("Dusk"), QStringLiteral("Sunset"), QStringLiteral("Create BREVANT Mosavra"), [&] {
        for (const auto& f : fixtures)
            f->pos = QPointF(0.01, 0.01);
    });
    Box(again, QStringLiteral("Success"), QStringLiteral("Mosavra export complete."));
    ClickButton("createButton");
    ASSERT_TRUE(again.Done());
    ContentFolder* dusk = Collage(0, QStringLiteral("Dusk"));
    ASSERT_NE(dusk, nullptr);
    ASSERT_EQ(dusk->ChildCount(), 2);
    ExpectEveryLed<BrevantImage>(dusk->Child(0), qRgb(255, 0, 0));
    EXPECT_EQ(Collage(0, QStringLiteral("Sunset"))->ChildCount(), 2) << "the taken collage is untouched";
}

TEST_F(CreatorExportTest, EachFamilyFillsItsOwnPackageWhateverAFixtureSays)
{
    WriteTemplatesText(R"(<templates><template name="Mixed" scale="0.25 0.25 0.5 0.5">
        <fixture pos="0.375 0.5" scale="0.125 0.125" num="5" type="1"/></template></templates>)");
    Open();
    ASSERT_TRUE(Dialog().OpenMedia(MakePicture(MediaFolder(), QStringLiteral("wave.png"), QSize(400, 200))));
    SelectTemplateRow(0);
    ModalDialogDriver driver;
    Name(driver, QStringLiteral("Mixed"), QStringLiteral("wave"));
    Box(driver, QStringLiteral("Success"), QStringLiteral("Mosavra export complete."));
    ClickButton("createButton");
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(CollageFiles("BREVANT", QStringLiteral("Mixed")), QStringList{"Mixed_5.bvi"});
    ExpectEveryLed<BrevantImage>(Collage(0, QStringLiteral("Mixed"))->Child(0), qRgb(255, 0, 0));

    LayOutTwoFixtures(MosavraTypes::kCindral);
    EXPECT_EQ(Widget<QPushButton>("createButton")->text(), "Create Cindral Mosavra...");
    ModalDialogDriver cindral;
    Name(cindral, QStringLiteral("Wave"), QStringLiteral("wave"), QStringLiteral("Create Cindral Mosavra"));
    Box(cindral, QStringLiteral("Success"), QStringLiteral("Mosavra export complete."));
    ClickButton("createButton");
    ASSERT_TRUE(cindral.Done());
    EXPECT_EQ(CollageFiles("Cindral", QStringLiteral("Wave")), (QStringList{"Wave_1.cdli", "Wave_2.cdli"}));
    ExpectEveryLed<CindralImage>(Collage(1, QStringLiteral("Wave"))->Child(1), qRgb(0, 0, 255));
    EXPECT_EQ(Collage(0, QStringLiteral("Wave")), nullptr);
}

TEST_F(CreatorExportTest, NothingIsMadeWhenNoFixtureLiesOnTheMediaOrTheLibraryRefuses)
{
    WriteTemplatesText(R"(<templates><template name="Off" scale="0.25 0.25 0.5 0.5">
        <fixture pos="0.05 0.05" scale="0.05 0.05" num="1"/></template></templates>)");
    Open();
    ASSERT_TRUE(Dialog().OpenMedia(MakePicture(MediaFolder(), QStringLiteral("night.png"), QSize(400, 200))));
    SelectTemplateRow(0);
    ModalDialogDriver driver;
    Name(driver, QStringLiteral("Night"), QStringLiteral("night"));
    Box(driver, QStringLiteral("Error"), QStringLiteral("No fixture lies on the media: nothing was exported."));
    ClickButton("createButton");
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(Collage(0, QStringLiteral("Night")), nullptr);

    // A refusal other than a taken name is told in the library's words, once: no retry.
    Dialog().CurrentTemplate()->fixtures[0]->pos = QPointF(0.5, 0.5);
    {
        ModalDialogDriver refused;
        Name(refused, QStringLiteral(".."), QStringLiteral("night"));
        refused.Then<QMessageBox>([](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), "Error");
            EXPECT_FALSE(box->text().isEmpty());
            EXPECT_NE(box->text(), "There is already a collage with that name.");
            box->accept();
        });
        Name(refused, QStringLiteral("Never"), QStringLiteral("..")); // must not come
        ClickButton("createButton");
        EXPECT_FALSE(refused.Done()) << "no second name dialog";
    }
    EXPECT_EQ(MosavraContentLibraryRoot::Instance()->Package(0)->ChildCount(), 0);

    // Cancel ends the export too; the images sampled so far go with it.
    ModalDialogDriver cancelled;
    cancelled.Then<NameDialog>([](NameDialog* d) { d->reject(); });
    ClickButton("createButton");
    EXPECT_TRUE(cancelled.Done());
    EXPECT_EQ(MosavraContentLibraryRoot::Instance()->Package(0)->ChildCount(), 0);
}

// A templates file may give two fixtures one number; their images would replace each other
// in the collage. The export refuses, naming the numbers, before it asks for a name.
TEST_F(CreatorExportTest, AnExportRefusesFixturesThatShareANumber)
{
    const struct
    {
        const char* nums;
        const char* message;
    } cases[] = {
        {"3 3 7", "More than one fixture has the Mosavra address 3. Give each fixture an address of its own "
                  "(Renumber); nothing was exported."},
        {"5 3 5 7 3", "More than one fixture has each of the Mosavra addresses 3, 5. Give each fixture an address "
                      "of its own (Renumber); nothing was exported."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nums);
        QByteArray fixtures;
        for (const QByteArray& num : QByteArray(c.nums).split(' '))
            fixtures += R"(<fixture pos="0.5 0.5" scale="0.125 0.125" num=")" + num + R"("/>)";
        WriteTemplatesText(R"(<templates><template name="Shared" scale="0.25 0.25 0.5 0.5">)" + fixtures
                           + "</template></templates>");
        Open();
        // A name of its own per case: a taken name would ask again.
        const QString media = QString::fromLatin1(c.nums).remove(' ') + QStringLiteral(".png");
        ASSERT_TRUE(Dialog().OpenMedia(MakePicture(MediaFolder(), media, QSize(400, 200))));
        SelectTemplateRow(0);
        // Whatever opens is recorded and closed, so that a wrong turn cannot block.
        QStringList opened;
        ModalDialogDriver driver;
        for (int i = 0; i < 3; ++i) {
            driver.Then<QDialog>([&opened](QDialog* d) {
                auto* box = qobject_cast<QMessageBox*>(d);
                opened << d->windowTitle() + ": " + (box ? box->text() : QString());
                d->accept();
            });
        }
        ClickButton("createButton");
        EXPECT_EQ(opened.join(" | ").toStdString(), std::string("Error: ") + c.message);
        EXPECT_EQ(MosavraContentLibraryRoot::Instance()->Package(0)->ChildCount(), 0);
        EXPECT_TRUE(QDir(mosavra_.filePath("BREVANT")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    }
}
