#include "tests/common/ScopedFileSizeLimit.h"
#include "tests/mosavra/CreatorTestSupport.h"

#include "mosavra/MosavraCreator.h"
#include "mosavra/TemplateFile.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>

using namespace creator_testing;
using MosavraTypes::Fixture;
using MosavraTypes::Template;
using testing_env::ModalDialogDriver;

namespace {

QStringList Rows(QAbstractItemModel* model, int role = Qt::DisplayRole)
{
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->index(row, 0).data(role).toString();
    return rows;
}

class CreatorTemplatesTest : public CreatorTest
{
protected:
    QAbstractItemModel* Model() { return Widget<QListView>("templateView")->model(); }
    QLabel* AddressLabel() { return Widget<QLabel>("addressLabel"); }
};

} // namespace

TEST_F(CreatorTemplatesTest, TheWindowOpensWithItsControlsInTheirFirstState)
{
    Open();
    EXPECT_EQ(Dialog().windowTitle(), "Mosavra Creator");
    EXPECT_TRUE(Dialog().windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(Canvas()->size(), QSize(320, 320));
    EXPECT_FALSE(Widget<QPushButton>("removeTemplateButton")->isEnabled());
    EXPECT_FALSE(Widget<QPushButton>("addFixtureButton")->isEnabled());
    EXPECT_EQ(Widget<QPushButton>("addFixtureButton")->text(), "Add BREVANT");
    EXPECT_EQ(Widget<QPushButton>("mediaButton")->text(), "Media ...");
    EXPECT_EQ(AddressLabel()->text(), "Selected Mosavra Address: N/A");
    EXPECT_EQ(Widget<QLabel>("mediaNameLabel")->text(), "No Media Loaded");
    EXPECT_EQ(Widget<QLabel>("frameLabel")->text(), "Frame (0/0):");
    EXPECT_EQ(Widget<QLabel>("timeLabel")->text(), "Time: 0.00s/0.00s - Frame Delay: 0.00s");
    EXPECT_EQ(Widget<QPushButton>("createButton")->text(), "Create Mosavra...");
    EXPECT_FALSE(Widget<QPushButton>("createButton")->isEnabled());
    const struct
    {
        const char* name;
        bool checked;
        bool enabled;
    } boxes[] = {{"showMediaBox", true, false},  {"showSamplesBox", true, false}, {"showMaskBox", false, false},
                 {"showNumbersBox", true, false}, {"showGridBox", false, true},   {"snapToGridBox", false, true},
                 {"lockBox", false, false}};
    for (const auto& b : boxes) {
        EXPECT_EQ(Widget<QCheckBox>(b.name)->isChecked(), b.checked) << b.name;
        EXPECT_EQ(Widget<QCheckBox>(b.name)->isEnabled(), b.enabled) << b.name;
    }
    const struct
    {
        const char* name;
        int minimum, maximum, value;
    } sliders[] = {{"sampleSizeSlider", 10, 10, 10},  {"sampleZoomSlider", 1, 256, 32},
                   {"contrastSlider", 0, 255, 128},   {"brightnessSlider", 0, 255, 128},
                   {"luminanceWeightSlider", 0, 255, 0}, {"distanceWeightSlider", 0, 255, 0},
                   {"luminanceCutoffSlider", 0, 255, 0}, {"frameSlider", 0, 0, 0}};
    for (const auto& s : sliders) {
        const QSlider* slider = Widget<QSlider>(s.name);
        EXPECT_EQ(slider->minimum(), s.minimum) << s.name;
        EXPECT_EQ(slider->maximum(), s.maximum) << s.name;
        EXPECT_EQ(slider->value(), s.value) << s.name;
        EXPECT_FALSE(slider->isEnabled()) << s.name;
    }
    EXPECT_TRUE(Widget<QSlider>("sampleSizeSlider")->invertedAppearance());
    const QRect screen = Dialog().screen()->geometry();
    EXPECT_LE(Dialog().width(), screen.width());
    EXPECT_LE(Dialog().height(), screen.height() - 80);
}

TEST_F(CreatorTemplatesTest, TheCreatorOpensModallyAndSavesTheTemplatesWhenClosed)
{
    QWidget parent;
    ModalDialogDriver driver;
    driver.Then<MosavraDialog>([](MosavraDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Mosavra Creator");
        EXPECT_TRUE(d->isModal());
        d->findChild<QPushButton*>("addBrevantTemplateButton")->click();
        d->CurrentTemplate()->name = QStringLiteral("Renamed in memory");
        d->findChild<QPushButton*>("closeButton")->click();
    });
    OpenMosavraCreator(&parent);
    EXPECT_TRUE(driver.Done());
    EXPECT_TRUE(TemplatesText().contains(R"(name="Renamed in memory")"));
}

TEST_F(CreatorTemplatesTest, NewTemplatesTakeTheFirstFreeNumberAndCopyOnlyFromTheirOwnFamily)
{
    WriteTemplatesText(R"(<templates><template name="New Template 1"/><template name="New Template 3"/></templates>)");
    Open();
    QAbstractItemModelTester tester(Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(Rows(Model()), (QStringList{"New Template 1 (Br)", "New Template 3 (Br)"}));

    // Nothing current: no question.
    ClickButton("addBrevantTemplateButton");
    Template* second = Dialog().CurrentTemplate();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->name, "New Template 2");
    EXPECT_EQ(Rows(Model()).last(), "New Template 2 (Br)");
    EXPECT_TRUE(TemplatesText().contains(R"(name="New Template 2")")) << "a new template is saved at once";
    EXPECT_TRUE(Widget<QPushButton>("removeTemplateButton")->isEnabled());

    ClickButton("addFixtureButton");
    ClickButton("addFixtureButton");
    Widget<QSlider>("sampleZoomSlider")->setValue(40);
    Widget<QCheckBox>("lockBox")->setChecked(true);
    second->scale = QRectF(0.1, 0.1, 0.2, 0.2);
    second->sample = 20;

    // Another family: no question either, and nothing is copied.
    {
        ModalDialogDriver driver;
        driver.Then<QMessageBox>([](QMessageBox* box) {
            ADD_FAILURE() << "asked: " << box->text().toStdString();
            box->button(QMessageBox::No)->click();
        });
        ClickButton("addCindralTemplateButton");
    }
    Template* cindral = Dialog().CurrentTemplate();
    EXPECT_EQ(cindral->name, "New Template 4");
    EXPECT_EQ(cindral->fixtureType, MosavraTypes::kCindral);
    EXPECT_TRUE(cindral->fixtures.empty());
    EXPECT_EQ(Rows(Model()).last(), "New Template 4 (Ci)");
    EXPECT_EQ(Widget<QPushButton>("addFixtureButton")->text(), "Add Cindral");

    SelectTemplateRow(2);
    ASSERT_EQ(Dialog().CurrentTemplate(), second);
    for (QMessageBox::StandardButton answer : {QMessageBox::Yes, QMessageBox::No}) {
        ModalDialogDriver copy;
        copy.Then<QMessageBox>([answer](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), "Copy");
            EXPECT_EQ(box->text(), "Do you want to copy the current template into the new one you are creating?");
            box->button(answer)->click();
        });
        SelectTemplateRow(2);
        ClickButton("addBrevantTemplateButton");
        EXPECT_TRUE(copy.Done());
        const Template* made = Dialog().CurrentTemplate();
        ASSERT_NE(made, second);
        if (answer == QMessageBox::Yes) {
            EXPECT_EQ(made->name, "New Template 5");
            EXPECT_EQ(made->zoom, 40);
            EXPECT_EQ(made->sample, second->sample);
            ASSERT_EQ(made->fixtures.size(), 2u);
            EXPECT_EQ(made->fixtures[1]->num, 2);
            EXPECT_EQ(made->fixtures[1]->scale, QSizeF(40 / 256.0, 40 / 256.0));
            EXPECT_FALSE(made->fixtures[0]->selected || made->fixtures[1]->selected) << "copies start unselected";
            EXPECT_NE(made->fixtures[0].get(), second->fixtures[0].get());
        } else {
            EXPECT_EQ(made->name, "New Template 6");
            EXPECT_TRUE(made->fixtures.empty());
            EXPECT_EQ(made->zoom, 32);
        }
        EXPECT_EQ(made->scale, QRectF(0.25, 0.25, 0.5, 0.5)) << "the media rectangle is not copied";
        EXPECT_FALSE(made->locked) << "nor the lock";
    }
}

TEST_F(CreatorTemplatesTest, ARenameToANameInUseIsRefused)
{
    WriteTemplatesText(R"(<templates><template name="Stage"/><template name="Wall" fixtureType="1"/></templates>)");
    Open();
    QAbstractItemModelTester tester(Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QModelIndex wall = Model()->index(1, 0);
    EXPECT_EQ(wall.data(Qt::EditRole).toString(), "Wall");
    EXPECT_TRUE(Model()->flags(wall) & Qt::ItemIsEditable);
    EXPECT_FALSE(Model()->setData(wall, "Stage")) << "another template's name";
    EXPECT_FALSE(Model()->setData(wall, "Wall")) << "its own";
    EXPECT_FALSE(Model()->setData(wall, "")) << "no name";
    EXPECT_TRUE(Model()->setData(wall, "Dusk"));
    EXPECT_EQ(Rows(Model()), (QStringList{"Stage (Br)", "Dusk (Ci)"}));
    EXPECT_EQ(Dialog().Templates()[1]->name, "Dusk");
    EXPECT_EQ(Rows(Model(), Qt::EditRole), (QStringList{"Stage", "Dusk"}));
}

TEST_F(CreatorTemplatesTest, ASelectedTemplateIsOnTheCanvasAtOnceAndADeletedOneLeavesIt)
{
    WriteTemplatesText(R"(<templates>
        <template name="A"><fixture pos="0.5 0.5" scale="0.125 0.125" num="4"/></template>
        <template name="B" fixtureType="1"><fixture pos="0.25 0.25" scale="0.125 0.125" num="9"/></template>
      </templates>)");
    Open();
    SelectTemplateRow(0);
    Template* a = Dialog().CurrentTemplate();
    ASSERT_EQ(a->name, "A");
    EXPECT_EQ(Canvas()->GetTemplate(), a);
    EXPECT_EQ(Widget<QLabel>("familyLabel")->text(), "BREVANT Mosavra");
    Click(Canvas(), {160, 160});
    EXPECT_EQ(Dialog().CurrentFixture(), a->fixtures[0].get()) << "clickable at once";
    EXPECT_EQ(AddressLabel()->text(), "Selected Mosavra Address: 4");

    SelectTemplateRow(1);
    Template* b = Dialog().CurrentTemplate();
    EXPECT_EQ(Canvas()->GetTemplate(), b);
    EXPECT_EQ(Canvas()->CurrentFixture(), nullptr) << "no fixture of another template stays current";
    EXPECT_EQ(Dialog().CurrentFixture(), nullptr);
    EXPECT_FALSE(a->fixtures[0]->selected) << "nor selected";
    EXPECT_EQ(Widget<QLabel>("familyLabel")->text(), "Cindral Mosavra");
    EXPECT_EQ(AddressLabel()->text(), "Selected Mosavra Address: N/A");
    Click(Canvas(), {80, 80});
    EXPECT_EQ(Dialog().CurrentFixture(), b->fixtures[0].get());

    ClickButton("removeTemplateButton");
    EXPECT_EQ(Dialog().CurrentTemplate(), nullptr);
    EXPECT_EQ(Canvas()->GetTemplate(), nullptr);
    EXPECT_EQ(Canvas()->CurrentFixture(), nullptr);
    EXPECT_EQ(Rows(Model()), QStringList{"A (Br)"});
    EXPECT_FALSE(TemplatesText().contains(R"(name="B")")) << "the deletion is saved";
    EXPECT_FALSE(Widget<QPushButton>("addFixtureButton")->isEnabled());
    EXPECT_FALSE(Widget<QCheckBox>("lockBox")->isEnabled());
    EXPECT_EQ(Widget<QLabel>("familyLabel")->text(), "");
    // Presses and paints find no template, not a destroyed one.
    Click(Canvas(), {80, 80});
    EXPECT_FALSE(Canvas()->grab().isNull());

    // The list's own menu deletes the row it was opened on.
    PopupMenuDriver menus;
    menus.Choose("Delete");
    auto* view = Widget<QListView>("templateView");
    const QPoint row = view->visualRect(Model()->index(0, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, row, view->viewport()->mapToGlobal(row));
    QApplication::sendEvent(view->viewport(), &event);
    ASSERT_EQ(menus.Seen().size(), 1u);
    EXPECT_EQ(menus.Seen()[0], (QStringList{"Rename", "Delete"}));
    EXPECT_TRUE(Dialog().Templates().empty());
    EXPECT_TRUE(TemplatesText().contains("<templates/>"));
}

TEST_F(CreatorTemplatesTest, ANewFixtureTakesTheNextNumberAtTheCentre)
{
    WriteTemplatesText(R"(<templates><template name="A">
        <fixture pos="0.1 0.1" scale="0.125 0.125" num="1"/><fixture pos="0.2 0.2" scale="0.125 0.125" num="2"/>
        <fixture pos="0.3 0.3" scale="0.125 0.125" num="7"/></template></templates>)");
    Open();
    SelectTemplateRow(0);
    Widget<QSlider>("sampleZoomSlider")->setValue(32);
    ClickButton("addFixtureButton");
    const Template* t = Dialog().CurrentTemplate();
    ASSERT_EQ(t->fixtures.size(), 4u);
    const Fixture& added = *t->fixtures.back();
    EXPECT_EQ(added.num, 8);
    EXPECT_EQ(added.pos, QPointF(0.5, 0.5));
    EXPECT_EQ(added.scale, QSizeF(0.125, 0.125));
    EXPECT_EQ(added.type, MosavraTypes::kBrevant);
    EXPECT_EQ(Canvas()->FixtureRect(added), (CanvasGeometry::EdgeRect{140, 140, 180, 180}));
    EXPECT_EQ(Dialog().Selection(), std::vector<Fixture*>{t->fixtures.back().get()}) << "selected alone";
    EXPECT_EQ(AddressLabel()->text(), "Selected Mosavra Address: 8");
    EXPECT_TRUE(TemplatesText().contains(R"(num="8")")) << "saved at once";
}

TEST_F(CreatorTemplatesTest, AFailedSaveIsReportedOncePerWindowAndKeepsTheOldFile)
{
    WriteTemplatesText(R"(<templates><template name="A"/></templates>)");
    Open();
    SelectTemplateRow(0);
    const QByteArray before = TemplatesText();
    int boxes = 0;
    {
        ModalDialogDriver driver;
        for (int i = 0; i < 2; ++i) {
            driver.Then<QMessageBox>([&boxes](QMessageBox* box) {
                ++boxes;
                EXPECT_EQ(box->windowTitle(), "Error");
                EXPECT_EQ(box->text(), "The templates could not be saved.");
                box->accept();
            });
        }
        testing_env::ScopedFileSizeLimit limit(16);
        ClickButton("addFixtureButton");
        Drag(Canvas(), {160, 160}, {200, 200}); // a save at every step
        ClickButton("addFixtureButton");
    }
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(TemplatesText(), before);
    ClickButton("addFixtureButton");
    EXPECT_TRUE(TemplatesText().contains(R"(num="3")")) << "saves work again once the disk has room";
}

TEST_F(CreatorTemplatesTest, ClosingSavesWhatWasChangedSinceTheLastSave)
{
    Open();
    AddTemplate(MosavraTypes::kBrevant);
    ClickButton("addFixtureButton");
    Dialog().CurrentTemplate()->fixtures[0]->num = 42; // as a renumber does, without a save
    EXPECT_FALSE(TemplatesText().contains(R"(num="42")"));
    ClickButton("closeButton");
    EXPECT_TRUE(TemplatesText().contains(R"(num="42")"));
}
