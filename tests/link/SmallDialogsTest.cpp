#include "link/ui/NameDialog.h"
#include "link/ui/NumberDialog.h"
#include "link/ui/OverrideCursorHelper.h"
#include "tests/common/ModalDialogDriver.h"
#include "tests/link/TitleBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using testing_env::ModalDialogDriver;

namespace {

template <typename T>
T* Child(QWidget* dialog, const char* name)
{
    T* child = dialog->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QLineEdit* Edit(QWidget* dialog) { return Child<QLineEdit>(dialog, "lineEdit"); }
QPushButton* Ok(QWidget* dialog) { return Child<QPushButton>(dialog, "okButton"); }

// Types `text` into an emptied field, key by key, as a person would: the validator
// stops keys that could never lead to an acceptable text.
void Type(QWidget* dialog, const QString& text)
{
    Edit(dialog)->clear();
    QTest::keyClicks(Edit(dialog), text);
}

} // namespace

TEST(NumberDialogTest, AddressDialogOpensWithTheValueSelectedAndAcceptsOnlyAnAddressInRange)
{
    QWidget parent;
    AddressDialog dialog(1, &parent, 512);
    ModalDialogDriver driver;
    driver.Then<AddressDialog>([](AddressDialog* d) {
        EXPECT_EQ(Child<QLabel>(d, "captionLabel")->text(), "Address:");
        EXPECT_EQ(Ok(d)->text(), "OK");
        EXPECT_EQ(Child<QPushButton>(d, "cancelButton")->text(), "Cancel");
        EXPECT_EQ(d->windowTitle(), "");
        EXPECT_EQ(d->focusWidget(), Edit(d));
        EXPECT_EQ(Edit(d)->selectedText(), "1");
        EXPECT_TRUE(Ok(d)->isEnabled());

        QTest::keyClicks(Edit(d), "600"); // replaces the selection
        EXPECT_EQ(Edit(d)->text(), "600");
        EXPECT_FALSE(Ok(d)->isEnabled());
        QTest::keyClick(Edit(d), Qt::Key_Return);
        EXPECT_TRUE(d->isVisible()) << "Return does not accept an address out of range";

        QTest::keyClick(Edit(d), Qt::Key_Backspace);
        EXPECT_TRUE(Ok(d)->isEnabled());
        QTest::keyClick(Edit(d), Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(dialog.GetNumber(), 60);
}

TEST(NumberDialogTest, OkFollowsWhetherTheTypedTextIsANumberInRange)
{
    struct Case
    {
        quint16 maximum;
        const char* typed;
        const char* shown; // keys the validator stops are missing
        bool acceptable;
    } const cases[] = {
        {512, "512", "512", true},
        {512, "0", "0", true},
        {512, "513", "513", false},
        {512, "5000", "500", true},
        {512, "", "", false},
        {512, "-1", "1", true},
        {512, "1a", "1", true},
        {65535, "65535", "65535", true},
        {65535, "99999", "99999", false}, // would wrap to 34463 in 16 bits
        {65535, "655350", "65535", true},
        {0, "0", "0", true},
        {0, "1", "1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.typed << " of " << c.maximum);
        NumberDialog dialog(0, "Number:", nullptr, c.maximum);
        Type(&dialog, c.typed);
        EXPECT_EQ(Edit(&dialog)->text(), c.shown);
        EXPECT_EQ(Ok(&dialog)->isEnabled(), c.acceptable);
        dialog.accept();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.acceptable) << "accept() holds to the same rule";
        if (c.acceptable) {
            EXPECT_EQ(dialog.GetNumber(), QString(c.shown).toInt());
        }
    }
}

TEST(NumberDialogTest, AnEmptyFieldIsZeroAndCannotBeAccepted)
{
    NumberDialog dialog(7, "Number:", nullptr, 512);
    Edit(&dialog)->clear();
    EXPECT_EQ(dialog.GetNumber(), 0);
    EXPECT_FALSE(Ok(&dialog)->isEnabled());
}

TEST(NumberDialogTest, AStartValueOutOfRangeStartsWithOkDisabled)
{
    NumberDialog dialog(600, "Number:", nullptr, 512);
    EXPECT_EQ(Edit(&dialog)->text(), "600");
    EXPECT_FALSE(Ok(&dialog)->isEnabled());
}

// The number is read as plain digits, so no separator of any locale may be typed: with
// "." as the group separator, "1.000" would be admitted and then read as 0.
TEST(NumberDialogTest, SeparatorsCannotBeTypedWhateverTheLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const char* typed : {"1.000", "1,000", "1 000"}) {
        SCOPED_TRACE(typed);
        NumberDialog dialog(0, "Number:", nullptr, 65535);
        Type(&dialog, typed);
        EXPECT_EQ(Edit(&dialog)->text(), "1000");
        EXPECT_TRUE(Ok(&dialog)->isEnabled());
        EXPECT_EQ(dialog.GetNumber(), 1000);
    }
    QLocale::setDefault(previous);
}

TEST(NumberDialogTest, CancelAndEscapeReject)
{
    for (bool escape : {false, true}) {
        NumberDialog dialog(5, "Number:", nullptr, 512);
        ModalDialogDriver driver;
        driver.Then<NumberDialog>([escape](NumberDialog* d) {
            if (escape)
                QTest::keyClick(Edit(d), Qt::Key_Escape);
            else
                QTest::mouseClick(Child<QPushButton>(d, "cancelButton"), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    }
}

TEST(NameDialogTest, ShowsAtMostSixteenCharactersSelectedUnderItsTitle)
{
    NameDialog dialog("ABCDEFGHIJKLMNOPQRST", nullptr, "Rename");
    ModalDialogDriver driver;
    driver.Then<NameDialog>([](NameDialog* d) {
        EXPECT_EQ(Child<QLabel>(d, "captionLabel")->text(), "Name:");
        EXPECT_EQ(d->windowTitle(), "Rename");
        EXPECT_EQ(d->focusWidget(), Edit(d));
        EXPECT_EQ(Edit(d)->selectedText(), "ABCDEFGHIJKLMNOP");

        QTest::keyClicks(Edit(d), "Sunrise over the sea");
        EXPECT_EQ(Edit(d)->text(), "Sunrise over the");
        QTest::mouseClick(Ok(d), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetName(), "Sunrise over the");
}

TEST(NameDialogTest, AnEmptyTitleKeepsTheDefaultTitle)
{
    QWidget parent;
    parent.setWindowTitle("Velmora");
    NameDialog dialog("Sky", &parent, "");
    EXPECT_EQ(dialog.windowTitle(), "");
    EXPECT_EQ(Edit(&dialog)->text(), "Sky");
}

// The window manager shows the whole title, up to the screen's width.
TEST(NameDialogTest, IsAsWideAsItsTitleBarNeedsUpToTheScreen)
{
    for (const QString& title : {QString("New BREVANT Package"), QString("Rename"), QString(200, 'W')}) {
        SCOPED_TRACE(title.left(40).toStdString());
        NameDialog dialog(QString(), nullptr, title);
        dialog.show();
        QCoreApplication::sendPostedEvents();
        // The title bar spans the window's frame.
        const int frame = dialog.frameGeometry().width();
        EXPECT_GE(frame, std::min(link_ui_test::TitleBarNeeds(title), link_ui_test::AvailableWidth()));
        EXPECT_LE(frame, link_ui_test::AvailableWidth());
    }
    AddressDialog untitled(1, nullptr, 512);
    untitled.show();
    QCoreApplication::sendPostedEvents();
    EXPECT_GE(untitled.frameGeometry().width(), link_ui_test::TitleBarNeeds(QString())) << "the title bar's buttons";
}

TEST(OverrideCursorHelperTest, ShowsTheWaitCursorAndRestoresTheOneBefore)
{
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    {
        const OverrideCursorHelper outer;
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QApplication::setOverrideCursor(Qt::CrossCursor);
        {
            const OverrideCursorHelper inner;
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
        QApplication::restoreOverrideCursor();
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
