#include "mosavra/TemplateFile.h"
#include "tests/common/ScopedFileSizeLimit.h"
#include "tests/mosavra/GermanLocale.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace MosavraTypes;

namespace {

class TemplateFileTest : public testing::Test
{
protected:
    QString Path() const { return dir_.filePath(QStringLiteral("templates.xml")); }

    void WriteText(const QByteArray& text) const
    {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray ReadText() const
    {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
};

std::unique_ptr<Template> MakeTemplate(const QString& name, FixtureFamily family)
{
    auto t = std::make_unique<Template>();
    t->name = name;
    t->fixtureType = family;
    return t;
}

Fixture& AddFixture(Template& t, QPointF pos, double side, int num)
{
    auto f = std::make_unique<Fixture>();
    f->pos = pos;
    f->scale = QSizeF(side, side);
    f->num = num;
    f->type = t.fixtureType;
    t.fixtures.push_back(std::move(f));
    return *t.fixtures.back();
}

} // namespace

TEST_F(TemplateFileTest, ATemplateWithOnlyANameTakesTheDefaults)
{
    WriteText(R"(<templates><template name="Stage"/></templates>)");
    const TemplateList templates = TemplateFile::Read(Path());
    ASSERT_EQ(templates.size(), 1u);
    const Template& t = *templates[0];
    EXPECT_EQ(t.name, "Stage");
    EXPECT_EQ(t.zoom, 32);
    EXPECT_EQ(t.sample, 50);
    EXPECT_FALSE(t.locked);
    EXPECT_EQ(t.fixtureType, kBrevant);
    EXPECT_EQ(t.scale, QRectF(0.5, 0.5, 0.25, 0.25));
    EXPECT_TRUE(t.fixtures.empty());
}

TEST_F(TemplateFileTest, FixturesAreReadWithTheirTemplatesFamilyAndNumbersFromOne)
{
    WriteText(R"(<templates>
        <fixture pos="0.1 0.1" scale="0.1 0.1" num="9" type="0"/>
        <template name="Wall" zoom="64" sample="20" locked="1" fixtureType="1" scale="0.1 0.2 0.3 0.4">
          <fixture pos="0.25 0.75" scale="0.125 0.125" num="0" type="0"/>
          <fixture pos="0.5 0.5" scale="0.25 0.25" num="-3" type="1"/>
          <fixture pos="0.5 0.5" scale="0.25 0.25" num="7" type="5"/>
        </template>
        <template name="Odd" fixtureType="7"><fixture pos="0.3" num="2"/></template>
      </templates>)");
    const TemplateList templates = TemplateFile::Read(Path());
    ASSERT_EQ(templates.size(), 2u);
    const Template& wall = *templates[0];
    EXPECT_EQ(wall.zoom, 64);
    EXPECT_EQ(wall.sample, 20);
    EXPECT_TRUE(wall.locked);
    EXPECT_EQ(wall.fixtureType, kCindral);
    EXPECT_EQ(wall.scale, QRectF(double(0.1f), double(0.2f), double(0.3f), double(0.4f)))
        << "numbers keep the single precision the file has always been read with";
    ASSERT_EQ(wall.fixtures.size(), 3u) << "the fixture ahead of every template is dropped";
    EXPECT_EQ(wall.fixtures[0]->pos, QPointF(0.25, 0.75));
    EXPECT_EQ(wall.fixtures[0]->scale, QSizeF(0.125, 0.125));
    EXPECT_EQ(wall.fixtures[0]->num, 1);
    EXPECT_EQ(wall.fixtures[1]->num, 1) << "a negative number is no number: the first";
    for (const auto& f : wall.fixtures) {
        EXPECT_EQ(f->type, kCindral) << "a fixture is of its template's family, whatever it says";
        EXPECT_FALSE(f->selected);
        EXPECT_EQ(f->previewImage, nullptr);
    }

    const Template& odd = *templates[1];
    EXPECT_EQ(odd.fixtureType, kBrevant) << "a family number other than 0 or 1 is the first family";
    ASSERT_EQ(odd.fixtures.size(), 1u);
    EXPECT_EQ(odd.fixtures[0]->pos, QPointF(0.5, 0.5)) << "an unreadable position puts the fixture in the centre";
    EXPECT_EQ(odd.fixtures[0]->scale, QSizeF(32 / 256.0, 32 / 256.0)) << "a missing size is the zoom's";
}

TEST_F(TemplateFileTest, AnAttributeWithoutAReadableNumberTakesItsDefaultWhole)
{
    WriteText(R"(<templates>
        <template name="A" zoom="12x" sample="" locked="yes" scale="0.25 0.25 0.5"/>
        <template name="B" zoom=" 40 " scale="0,25 0,25 0,5 0,5"/>
        <template name="C" scale="0.25 0.25 0.5 nan"/>
      </templates>)");
    const TemplateList templates = TemplateFile::Read(Path());
    ASSERT_EQ(templates.size(), 3u);
    EXPECT_EQ(templates[0]->zoom, 32);
    EXPECT_EQ(templates[0]->sample, 50);
    EXPECT_FALSE(templates[0]->locked);
    EXPECT_EQ(templates[0]->scale, QRectF(0.5, 0.5, 0.25, 0.25)) << "three numbers of four";
    EXPECT_EQ(templates[1]->zoom, 40);
    EXPECT_EQ(templates[1]->scale, QRectF(0.5, 0.5, 0.25, 0.25)) << "comma decimals are no numbers of the file";
    EXPECT_EQ(templates[2]->scale, QRectF(0.5, 0.5, 0.25, 0.25));
}

TEST_F(TemplateFileTest, AParseErrorKeepsWhatWasReadBeforeIt)
{
    WriteText(R"(<templates><template name="A"><fixture pos="0.5 0.5" scale="0.1 0.1" num="3"/>
        <fixture pos="0.2 0.2" scale="0.1 0.1" num="4"/></template><template name="B"><fixture <<<</templates>)");
    const TemplateList templates = TemplateFile::Read(Path());
    ASSERT_EQ(templates.size(), 2u);
    EXPECT_EQ(templates[0]->fixtures.size(), 2u);
    EXPECT_EQ(templates[1]->name, "B");
    EXPECT_TRUE(templates[1]->fixtures.empty());
}

TEST_F(TemplateFileTest, AMissingFileHasNoTemplates)
{
    EXPECT_TRUE(TemplateFile::Read(Path()).empty());
    EXPECT_TRUE(TemplateFile::Read(dir_.path()).empty()) << "a folder is no file";
}

TEST_F(TemplateFileTest, TemplatesAreWrittenWithSixDecimalsInTheirOrderAndReadBackEqual)
{
    TemplateList templates;
    templates.push_back(MakeTemplate(QStringLiteral("Stage & <Wall>"), kCindral));
    Template& t = *templates.back();
    t.scale = QRectF(0.25, 0.25, 0.5, 0.5);
    t.zoom = 40;
    t.sample = 20;
    t.locked = true;
    AddFixture(t, QPointF(0.375, 0.5), 0.125, 1).selected = true;
    AddFixture(t, QPointF(0.625, 0.5), 0.125, 2);

    for (bool german : {false, true}) {
        SCOPED_TRACE(german ? "German locale" : "C locale");
        std::optional<GermanLocale> locale;
        if (german) {
            locale.emplace();
            ASSERT_TRUE(locale->Active()) << "localedef could not build de_DE.UTF-8";
        }
        ASSERT_TRUE(TemplateFile::Write(Path(), templates));
        const QByteArray text = ReadText();
        EXPECT_TRUE(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << text.constData();
        EXPECT_TRUE(text.contains(R"(<template name="Stage &amp; &lt;Wall&gt;" zoom="40" sample="20" locked="1" )"
                                  R"(fixtureType="1" scale="0.250000 0.250000 0.500000 0.500000">)"))
            << text.constData();
        EXPECT_TRUE(text.contains(R"(<fixture pos="0.375000 0.500000" scale="0.125000 0.125000" num="1" type="1"/>)"))
            << text.constData();
        EXPECT_FALSE(text.contains("selected"));

        const TemplateList reread = TemplateFile::Read(Path());
        ASSERT_EQ(reread.size(), 1u);
        EXPECT_EQ(reread[0]->name, t.name);
        EXPECT_EQ(reread[0]->scale, t.scale);
        EXPECT_EQ(reread[0]->zoom, 40);
        EXPECT_EQ(reread[0]->sample, 20);
        EXPECT_TRUE(reread[0]->locked);
        ASSERT_EQ(reread[0]->fixtures.size(), 2u);
        EXPECT_EQ(reread[0]->fixtures[1]->pos, QPointF(0.625, 0.5));
        EXPECT_EQ(reread[0]->fixtures[1]->num, 2);
        EXPECT_FALSE(reread[0]->fixtures[0]->selected);
    }
}

// What was read, once written, reads back to the same file: no value drifts with every save.
TEST_F(TemplateFileTest, AFileSavedAgainReadsBackTheSame)
{
    WriteText(R"(<templates>
        <template name="Huge" zoom="436010575" fixtureType="0"><fixture pos="0.3 0.3" num="-7"/></template>
        <template name="Odd" zoom="-1000"><fixture pos="0.1234565 8.7654321" scale="1e-7 123456.789" num="0"/></template>
      </templates>)");
    ASSERT_TRUE(TemplateFile::Write(Path(), TemplateFile::Read(Path())));
    const QByteArray first = ReadText();
    ASSERT_TRUE(TemplateFile::Write(Path(), TemplateFile::Read(Path())));
    EXPECT_EQ(ReadText(), first);
}

TEST_F(TemplateFileTest, NoTemplatesWriteAnEmptyRoot)
{
    ASSERT_TRUE(TemplateFile::Write(Path(), {}));
    const QByteArray text = ReadText();
    EXPECT_TRUE(text.contains("<templates/>")) << text.constData();
    EXPECT_TRUE(TemplateFile::Read(Path()).empty());
}

TEST_F(TemplateFileTest, AFailedWriteKeepsThePreviousFileWhole)
{
    TemplateList templates;
    templates.push_back(MakeTemplate(QStringLiteral("Kept"), kBrevant));
    ASSERT_TRUE(TemplateFile::Write(Path(), templates));
    const QByteArray before = ReadText();

    for (int i = 0; i < 50; ++i)
        AddFixture(*templates[0], QPointF(0.5, 0.5), 0.1, i + 1);
    {
        testing_env::ScopedFileSizeLimit limit(64);
        EXPECT_FALSE(TemplateFile::Write(Path(), templates));
    }
    EXPECT_EQ(ReadText(), before);
    EXPECT_FALSE(TemplateFile::Write(dir_.filePath(QStringLiteral("missing/templates.xml")), templates));
}
