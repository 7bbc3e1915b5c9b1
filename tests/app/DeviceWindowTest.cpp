#include "app/DeviceWindow.h"
#include "fixtures/QelFamilies.h"
#include "fixtures/QelRDM.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "link/devices/DeviceManager.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/link/PollUntil.h"

#include <QAction>
#include <QListWidget>
#include <QStandardItemModel>
#include <QTableView>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

// Two responders on the simulated line, and the window on top of the program's link.
class DeviceWindowTest : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        BootRig(R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
            { "kind": "rdm-responder", "uid": "4142:01020304", "label": "Dimmer rack", "startAddress": 100 },
            { "kind": "rdm-responder", "uid": "4142:0a000001", "label": "Fog machine", "startAddress": 7 } ] } ] })");
        window_ = std::make_unique<DeviceWindow>();
    }
    void TearDown() override
    {
        window_.reset();
        Quit();
        WidgetRigTest::TearDown();
    }

    QListWidget* List() const { return window_->findChild<QListWidget*>("devices"); }
    QAbstractItemModel* Parameters() const { return window_->findChild<QTableView*>("parameters")->model(); }
    QAction* Action(const QString& text) const
    {
        for (QAction* action : window_->findChildren<QAction*>())
            if (action->text() == text)
                return action;
        return nullptr;
    }
    // The parameter table's value for `caption`, or a null string.
    QString Parameter(const QString& caption) const
    {
        for (int row = 0; row < Parameters()->rowCount(); ++row)
            if (Parameters()->index(row, 0).data().toString() == caption)
                return Parameters()->index(row, 1).data().toString();
        return QString();
    }

    std::unique_ptr<DeviceWindow> window_;
};

} // namespace

TEST_F(DeviceWindowTest, DiscoveryListsTheFixturesAndShowsTheSelectedOnesParameters)
{
    window_->OnDiscover();
    ASSERT_TRUE(PollUntil([&] { return List()->count() == 2; }, 30000));
    EXPECT_TRUE(List()->item(0)->text().contains("4142:01020304")) << List()->item(0)->text().toStdString();
    EXPECT_TRUE(List()->item(0)->text().contains("(DMX 100)"));
    EXPECT_TRUE(List()->item(1)->text().contains("4142:0A000001"));
    // The discovery's progress reached the log.
    EXPECT_TRUE(window_->findChild<QTextEdit*>("log")->toPlainText().contains("RDM Discovery: Finished!"));

    List()->setCurrentRow(1);
    EXPECT_EQ(window_->SelectedUid(), 0x4142'0a00'0001ull);
    EXPECT_GT(Parameters()->rowCount(), 0);
    EXPECT_EQ(Parameter("Label"), "Fog machine");
}

TEST_F(DeviceWindowTest, IdentifyReachesTheSelectedFixture)
{
    window_->OnDiscover();
    ASSERT_TRUE(PollUntil([&] { return List()->count() == 2; }, 30000));
    QAction* identify = Action("&Identify");
    ASSERT_NE(identify, nullptr);
    EXPECT_FALSE(identify->isEnabled()) << "nothing selected yet";

    List()->setCurrentRow(0);
    ASSERT_TRUE(identify->isEnabled());
    identify->trigger();
    ASSERT_TRUE(PollUntil([&] { return RigResponder(0)->State().identify; }));
    EXPECT_FALSE(RigResponder(1)->State().identify);
}

namespace {

// A Brevant fixture with 200 user and 60 Mosavra items, and a plain one.
QString ContentRig()
{
    const auto files = [](int count) {
        QStringList list;
        for (int file = 1; file <= count; ++file)
            list << QStringLiteral(R"({ "number": %1, "name": "I%1" })").arg(file);
        return list.join(QLatin1Char(','));
    };
    return QStringLiteral(R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
        { "kind": "brevant", "uid": "7ff0:00000101", "mosavraAddress": 300, "content": { "folders": [
            { "number": 41, "name": "Shows", "files": [ %1 ] },
            { "number": 42, "name": "Logos", "files": [ %1 ] },
            { "number": 251, "name": "Wall", "files": [ %2 ] } ] } },
        { "kind": "rdm-responder", "uid": "7ff0:00000301" } ] } ] })")
        .arg(files(100), files(60));
}

class DeviceWindowContentTest : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        RegisterQelFamilies();
        BootRig(ContentRig().toUtf8().constData());
        window_ = std::make_unique<DeviceWindow>();
    }
    void TearDown() override
    {
        window_.reset();
        Quit();
        WidgetRigTest::TearDown();
    }

    std::unique_ptr<DeviceWindow> window_;
};

} // namespace

TEST_F(DeviceWindowContentTest, AFamilyFixturesTableEndsWithItsContentRows)
{
    window_->OnDiscover();
    auto* list = window_->findChild<QListWidget*>("devices");
    ASSERT_TRUE(PollUntil([&] { return list->count() == 2; }, 30000));
    auto* fixture = qobject_cast<QelRDM*>(DeviceManager::Instance()->FindDevice(0x7FF0'0000'0101ull));
    ASSERT_TRUE(fixture);

    // Showing the fixture builds its content tree, which then reads the fixture's content.
    list->setCurrentRow(0);
    ASSERT_TRUE(PollUntil([&] { return fixture->UserGroup()->ContentCount() == 200 &&
                                       fixture->MosavraGroup()->ContentCount() == 60; }, 60000));
    list->setCurrentRow(1);
    list->setCurrentRow(0);

    QAbstractItemModel* table = window_->findChild<QTableView*>("parameters")->model();
    const int rows = table->rowCount();
    ASSERT_GE(rows, 6);
    QStringList lastRows;
    for (int row = rows - 6; row < rows; ++row)
        lastRows << table->index(row, 0).data().toString() + "=" + table->index(row, 1).data().toString();
    EXPECT_EQ(lastRows, (QStringList{"Mosavra Address=300", "GE Unique Id=0x4e000101", "GE Boot Code Changed=0",
                                     "User Content Remaining=0", "User Content Used=200", "Mosavra Content Used=60"}));
}

