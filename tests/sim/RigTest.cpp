#include "sim/fixtures/QelFixture.h"
#include "sim/rig/Rig.h"
#include "sim/widget/ProgrammedWidget.h"
#include "sim/widget/UnprogrammedWidget.h"
#include "tests/sim/ScriptedFixture.h"

#include <gtest/gtest.h>

namespace {

sim::FixtureRegistry TestKinds()
{
    sim::FixtureRegistry registry;
    registry.Register("scripted", [](const QJsonObject& settings, QString* error) -> std::shared_ptr<sim::LineFixture> {
        if (!settings.isEmpty()) {
            *error = "scripted: takes no settings";
            return nullptr;
        }
        return std::make_shared<ScriptedFixture>();
    });
    return registry;
}

TEST(Rig, AWidgetWithEverySettingIsRead)
{
    QString error;
    auto rig = sim::ParseRig(R"({"widgets": [{"kind": "programmed", "productId": "0x0011", "serial": "77A",
        "version": [2, 9], "reply23": [1, 2, 3, 4, 5, 6], "reply0A": 7, "wireTiming": true,
        "fixtures": [{"kind": "scripted"}, {"kind": "scripted"}]}]})",
                             TestKinds(), &error);
    ASSERT_TRUE(rig) << error.toStdString();
    ASSERT_EQ(rig->widgets.size(), 1u);
    const sim::WidgetSpec& widget = rig->widgets[0];
    EXPECT_EQ(widget.kind, sim::WidgetSpec::Kind::Programmed);
    EXPECT_EQ(widget.config.productId, 0x0011);
    EXPECT_EQ(widget.config.serial, "77A");
    EXPECT_EQ(widget.config.version, (std::array<quint8, 2>{2, 9}));
    EXPECT_EQ(widget.config.reply23, (std::array<quint8, 6>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(widget.config.reply0A, 7);
    EXPECT_TRUE(widget.wireTiming);
    ASSERT_EQ(widget.fixtures.size(), 2u);

    auto hardware = sim::BuildWidget(widget, TestKinds(), &error);
    ASSERT_TRUE(hardware);
    EXPECT_EQ(hardware->line->Fixtures().size(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<sim::ProgrammedWidget>(hardware->device));
}

TEST(Rig, MistakesAreNamedByTheirPlace)
{
    struct Case
    {
        const char* json;
        const char* error;
    };
    const Case cases[] = {
        {"[1]", "expected an object"},
        {"{", "not JSON"},
        {R"({"widget": []})", "widget: unknown key (allowed: widgets)"},
        {R"({"widgets": [{"kind": "blue"}]})", "widgets[0].kind: expected \"programmed\" or \"unprogrammed\""},
        {R"({"widgets": [{"kind": "programmed", "productId": 70000}]})",
         "widgets[0].productId: expected a whole number from 0 to 65535"},
        {R"({"widgets": [{"kind": "programmed", "productId": 1e300}]})",
         "widgets[0].productId: expected a whole number from 0 to 65535"},
        {R"({"widgets": [{"kind": "programmed", "productId": 2.5}]})",
         "widgets[0].productId: expected a whole number from 0 to 65535"},
        {R"({"widgets": [{"kind": "programmed", "version": [1]}]})",
         "widgets[0].version: expected 2 numbers from 0 to 255"},
        {R"({"widgets": [{"kind": "programmed", "version": [1e20, 1]}]})",
         "widgets[0].version: expected 2 numbers from 0 to 255"},
        {R"({"widgets": [{"kind": "programmed", "colour": 1}]})", "widgets[0].colour: unknown key"},
        {R"({"widgets": [{"kind": "programmed", "fixtures": [{"kind": "lamp"}]}]})",
         "widgets[0].fixtures[0]: unknown fixture kind \"lamp\" (known: scripted)"},
        {R"({"widgets": [{"kind": "programmed", "fixtures": [{"kind": "scripted", "x": 1}]}]})",
         "widgets[0].fixtures[0]: scripted: takes no settings"},
        {R"({"widgets": [{"kind": "programmed", "fixtures": [3]}]})",
         "widgets[0].fixtures[0]: expected an object with a \"kind\""},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(sim::ParseRig(c.json, TestKinds(), &error)) << c.json;
        EXPECT_TRUE(error.startsWith(c.error)) << c.json << " gave: " << error.toStdString();
    }
}

TEST(Rig, TheDemoRigUsesTheStandardFixtureKinds)
{
    QString error;
    auto rig = sim::LoadRig(VELMORA_DEMO_RIG, sim::FixtureRegistry::Standard(), &error);
    ASSERT_TRUE(rig) << error.toStdString();
    ASSERT_EQ(rig->widgets.size(), 1u);
    auto hardware = sim::BuildWidget(rig->widgets[0], sim::FixtureRegistry::Standard(), &error);
    ASSERT_TRUE(hardware) << error.toStdString();
    EXPECT_TRUE(std::dynamic_pointer_cast<sim::UnprogrammedWidget>(hardware->device));
    EXPECT_EQ(hardware->fixtures.size(), 6u);
    // The family fixtures come with content to show.
    auto stageLeft = std::dynamic_pointer_cast<sim::QelFixture>(hardware->fixtures[0]);
    ASSERT_TRUE(stageLeft);
    EXPECT_EQ(stageLeft->Content().folders.size(), 4u);
    EXPECT_EQ(stageLeft->Content().folders[41].files[2].name, "Waves");
    // The wizards name a fixture by its model and address: the two BREVANTs differ.
    auto stageRight = std::dynamic_pointer_cast<sim::QelFixture>(hardware->fixtures[1]);
    ASSERT_TRUE(stageRight);
    EXPECT_NE(stageLeft->State().startAddress, stageRight->State().startAddress);
    EXPECT_FALSE(sim::LoadRig("/nonexistent.json", sim::FixtureRegistry::Standard(), &error));
    EXPECT_TRUE(error.startsWith("/nonexistent.json: "));
}

} // namespace
