#include "tests/mosavra/CreatorTestSupport.h"

#include "link/ui/NumberDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

using namespace creator_testing;
using MosavraTypes::Fixture;
using MosavraTypes::Template;
using testing_env::ModalDialogDriver;

namespace {

// Fixture 1 at (0.5, 0.5) and fixture 2 at (0.55, 0.5) overlap by most of their width;
// fixture 7 stands apart at (0.25, 0.25). All 40 pixels wide on the 320-pixel canvas.
const QByteArray kThreeFixtures = R"(<templates><template name="A" scale="0.25 0.25 0.5 0.5">
    <fixture pos="0.5 0.5" scale="0.125 0.125" num="1"/>
    <fixture pos="0.55 0.5" scale="0.125 0.125" num="2"/>
    <fixture pos="0.25 0.25" scale="0.125 0.125" num="7"/>
  </template></templates>)";

const QPointF kOverlap{168, 160};
const QPointF kOnlyFirst{145, 160};
const QPointF kSeventh{80, 80};
const QPointF kEmpty{300, 20};

class CreatorCanvasTest : public CreatorTest
{
protected:
    void SetUp() override
    {
        WriteTemplatesText(kThreeFixtures);
        Open();
        SelectTemplateRow(0);
        t_ = Dialog().CurrentTemplate();
        ASSERT_NE(t_, nullptr);
    }

    Fixture* F(int i) const { return t_->fixtures[std::size_t(i)].get(); }
    QString Address() { return Widget<QLabel>("addressLabel")->text(); }
    std::vector<Fixture*> Selected() const { return dialog_->Selection(); }

    Template* t_ = nullptr;
};

} // namespace

TEST_F(CreatorCanvasTest, APressPicksTheSelectedFixtureWhereTwoOverlap)
{
    Click(Canvas(), kOnlyFirst);
    EXPECT_EQ(Selected(), std::vector<Fixture*>{F(0)});
    // Without a selection the first in the list wins; with one, the selected.
    Click(Canvas(), kEmpty);
    EXPECT_TRUE(Selected().empty());
    Click(Canvas(), {190, 160}); // only the second
    Click(Canvas(), kOverlap);
    EXPECT_EQ(Selected(), std::vector<Fixture*>{F(1)});
    EXPECT_EQ(Address(), "Selected Mosavra Address: 2");
}

TEST_F(CreatorCanvasTest, CtrlBuildsAGroupThatAPlainPressKeepsUntilAReleaseWithoutDrag)
{
    Click(Canvas(), kOnlyFirst);
    Click(Canvas(), kSeventh, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (std::vector<Fixture*>{F(0), F(2)}));
    EXPECT_EQ(Address(), "Multiple Fixtures Selected");

    Press(Canvas(), kSeventh);
    EXPECT_EQ(Selected().size(), 2u) << "the group stays while the button is down";
    EXPECT_EQ(Dialog().CurrentFixture(), F(2));
    Release(Canvas(), kSeventh);
    EXPECT_EQ(Selected(), std::vector<Fixture*>{F(2)}) << "a release without drag keeps only that one";
    EXPECT_EQ(Address(), "Selected Mosavra Address: 7");

    Click(Canvas(), kOnlyFirst, Qt::ControlModifier);
    Click(Canvas(), kOnlyFirst, Qt::ControlModifier);
    EXPECT_EQ(Selected(), std::vector<Fixture*>{F(2)}) << "a Ctrl-press on a selected fixture unselects it";
    EXPECT_FALSE(F(0)->selected);
    EXPECT_EQ(Dialog().CurrentFixture(), nullptr);

    Click(Canvas(), kEmpty);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(Address(), "Selected Mosavra Address: N/A");
}

TEST_F(CreatorCanvasTest, ADragMovesTheWholeSelectionAndSavesIt)
{
    Click(Canvas(), kOnlyFirst);
    Click(Canvas(), kSeventh, Qt::ControlModifier);
    Drag(Canvas(), kSeventh, kSeventh + QPointF(32, 16));
    EXPECT_EQ(F(0)->pos, QPointF(0.6, 0.55));
    EXPECT_EQ(F(2)->pos, QPointF(0.35, 0.3));
    EXPECT_EQ(F(1)->pos, QPointF(double(0.55f), 0.5)) << "unselected fixtures stay";
    EXPECT_EQ(Selected().size(), 2u) << "a drag keeps the group";
    EXPECT_TRUE(TemplatesText().contains(R"(pos="0.350000 0.300000")"));

    // With Ctrl held a press only selects: no drag follows.
    Press(Canvas(), {160, 145}, Qt::LeftButton, Qt::ControlModifier); // only the second
    MoveHeld(Canvas(), {250, 250}, Qt::ControlModifier);
    Release(Canvas(), {250, 250}, Qt::ControlModifier);
    EXPECT_EQ(F(1)->pos, QPointF(double(0.55f), 0.5));
    EXPECT_EQ(Selected().size(), 3u);
}

TEST_F(CreatorCanvasTest, SnappedDragsPutTheFirstSelectedCentreOnTheGridThenStepByLines)
{
    Widget<QCheckBox>("snapToGridBox")->setChecked(true);
    Widget<QComboBox>("gridCombo")->setCurrentIndex(1); // 1:8, lines every 40 pixels
    Click(Canvas(), {190, 160});                       // fixture 2, centre at 176
    Press(Canvas(), {190, 160});
    MoveHeld(Canvas(), {191, 160});
    EXPECT_EQ(F(1)->pos, QPointF(0.5, 0.5)) << "176 goes to the line at 160";
    MoveHeld(Canvas(), {215, 160});
    EXPECT_EQ(F(1)->pos, QPointF(0.5, 0.5)) << "less than half a step from the last line";
    MoveHeld(Canvas(), {235, 171});
    EXPECT_EQ(F(1)->pos, QPointF(0.625, 0.5)) << "one line on";
    Release(Canvas(), {235, 171});
}

TEST_F(CreatorCanvasTest, DeleteRemovesTheSelectionAndRenumberTheFixtureUnderThePointer)
{
    Click(Canvas(), kOnlyFirst);
    PopupMenuDriver menus;
    menus.Choose("Renumber");
    ModalDialogDriver driver;
    driver.Then<NumberDialog>([](NumberDialog* d) {
        EXPECT_EQ(d->findChild<QLabel*>("captionLabel")->text(), "Mosavra Address:");
        auto* edit = d->findChild<QLineEdit*>("lineEdit");
        EXPECT_EQ(edit->text(), "7");
        QTest::keyClicks(edit, "513");
        EXPECT_EQ(edit->text(), "513");
        d->accept();
        EXPECT_TRUE(d->isVisible()) << "512 is the highest number";
        edit->setText("12");
        d->accept();
    });
    Press(Canvas(), kSeventh, Qt::RightButton);
    Release(Canvas(), kSeventh);
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(menus.Seen().size(), 1u);
    EXPECT_EQ(menus.Seen()[0], (QStringList{"Delete", "Renumber"}));
    EXPECT_EQ(F(2)->num, 12) << "the fixture under the pointer, not the selected one";
    EXPECT_EQ(F(0)->num, 1);

    Click(Canvas(), kSeventh, Qt::ControlModifier);
    menus.Choose("Delete");
    Press(Canvas(), {190, 160}, Qt::RightButton); // over the unselected second fixture
    Release(Canvas(), {190, 160});
    ASSERT_EQ(menus.Seen().size(), 2u);
    EXPECT_EQ(menus.Seen()[1], QStringList{"Delete"}) << "no Renumber with two selected";
    ASSERT_EQ(t_->fixtures.size(), 1u) << "the selection went, not the fixture under the pointer";
    EXPECT_EQ(t_->fixtures[0]->num, 2);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(Dialog().CurrentFixture(), nullptr);
    EXPECT_EQ(Canvas()->CurrentFixture(), nullptr);
    EXPECT_EQ(Address(), "Selected Mosavra Address: N/A");
}

// Every fixture keeps a number of its own from 1 to 512: the export names its images
// after them. A number that another fixture has is refused with a message naming it.
TEST_F(CreatorCanvasTest, RenumberOffersOneTo512AndRefusesANumberInUse)
{
    Click(Canvas(), kSeventh);
    for (const char* typed : {"2", "7", "512"}) {
        SCOPED_TRACE(typed);
        const bool taken = QByteArray(typed) == "2";
        PopupMenuDriver menus;
        menus.Choose("Renumber");
        ModalDialogDriver driver;
        driver.Then<NumberDialog>([typed](NumberDialog* d) {
            auto* edit = d->findChild<QLineEdit*>("lineEdit");
            edit->setText("0");
            d->accept();
            EXPECT_TRUE(d->isVisible()) << "0 is no Mosavra address";
            edit->setText(typed);
            d->accept();
        });
        if (taken) {
            driver.Then<QMessageBox>([](QMessageBox* box) {
                EXPECT_EQ(box->windowTitle(), "Renumber");
                EXPECT_EQ(box->text(), "Another fixture of this template already has the Mosavra address 2.");
                box->accept();
            });
        }
        Press(Canvas(), kSeventh, Qt::RightButton);
        Release(Canvas(), kSeventh);
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(F(2)->num, taken ? 7 : QByteArray(typed).toInt());
    }
    EXPECT_EQ(F(1)->num, 2);
    EXPECT_EQ(Address(), "Selected Mosavra Address: 512");
}

TEST_F(CreatorCanvasTest, ALockedTemplateOffersNoMenuAndNoDrag)
{
    Widget<QCheckBox>("lockBox")->setChecked(true);
    EXPECT_TRUE(t_->locked);
    PopupMenuDriver menus;
    Press(Canvas(), kSeventh, Qt::RightButton);
    Release(Canvas(), kSeventh);
    Drag(Canvas(), kSeventh, {200, 200});
    QCoreApplication::processEvents();
    EXPECT_TRUE(menus.Seen().empty());
    EXPECT_EQ(F(2)->pos, QPointF(0.25, 0.25));
    EXPECT_EQ(Selected(), std::vector<Fixture*>{F(2)}) << "selecting still works";
}

TEST_F(CreatorCanvasTest, TheMediaRectangleIsGrabbedByItsHandlesAndSavedOnRelease)
{
    Widget<QCheckBox>("showMediaBox")->setChecked(true);
    const struct
    {
        QPointF at;
        CanvasGeometry::MediaHandle handle;
    } cases[] = {{{83, 84}, CanvasGeometry::kTopLeft},     {{86, 86}, CanvasGeometry::kInside},
                 {{238, 150}, CanvasGeometry::kRightEdge}, {{160, 83}, CanvasGeometry::kTopEdge},
                 {{238, 238}, CanvasGeometry::kBottomRight}, {{50, 50}, CanvasGeometry::kOutside}};
    for (const auto& c : cases)
        EXPECT_EQ(Canvas()->MediaHandleAt(c.at), c.handle);

    Drag(Canvas(), {81, 120}, {300, 120});
    EXPECT_EQ(t_->scale, QRectF(0.75, 0.25, 0, 0.5));
    EXPECT_TRUE(TemplatesText().contains(R"(scale="0.750000 0.250000 0.000000 0.500000")"));
    EXPECT_EQ(Canvas()->MediaHandleAt({240, 160}), CanvasGeometry::kLeftEdge) << "still within reach";

    Drag(Canvas(), {240, 120}, {100, 120}); // and out again
    EXPECT_EQ(t_->scale, QRectF(100 / 320.0, 0.25, 0.4375, 0.5));

    // Snapped to 1:8, a moved rectangle's corner lands on the 40-pixel lines.
    Widget<QCheckBox>("snapToGridBox")->setChecked(true);
    Widget<QComboBox>("gridCombo")->setCurrentIndex(1);
    Press(Canvas(), {120, 220});
    MoveHeld(Canvas(), {137, 201});
    MoveHeld(Canvas(), {163, 163});
    Release(Canvas(), {163, 163});
    EXPECT_EQ(CanvasGeometry::ToPixels(t_->scale, QSize(320, 320)), QRect(160, 40, 140, 160));
    EXPECT_TRUE(TemplatesText().contains(R"(scale="0.500000 0.125000 0.437500 0.500000")"));
}

TEST_F(CreatorCanvasTest, HoveringAnEdgeShowsItsResizeCursorUntilThePointerLeaves)
{
    dialog_->show(); // laid out, so the group box knows where its children are
    Hover(Canvas(), {81, 160});
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::SizeHorCursor);
    Hover(Canvas(), {238, 238});
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::SizeFDiagCursor);
    Hover(Canvas(), kSeventh);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "none over a fixture";
    Hover(Canvas(), {81, 160});
    Hover(Widget<QWidget>("mosavraGroup"), {2, 2}); // the group box around the canvas, off its children
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Hover(Canvas(), {81, 160});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Canvas(), &leave);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Hover(Canvas(), {81, 160});
    Widget<QCheckBox>("showMediaBox")->setChecked(false);
    Hover(Canvas(), {81, 160});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "only while the media is shown";
    Hover(Canvas(), {81, 160});
    dialog_.reset();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "a closed window leaves no cursor behind";
}
