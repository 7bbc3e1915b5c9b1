// templates.xml, the Mosavra creator's layouts: what is read and written again reads back
// to the same file.
#include "fuzz/FuzzSupport.h"
#include "mosavra/TemplateFile.h"

#include <QFile>

namespace fuzz_target {
namespace {

QByteArray ReadWhole(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void Setup() {}

void WriteSeeds()
{
    MosavraTypes::TemplateList templates;
    for (int t = 0; t < 3; ++t) {
        auto layout = std::make_unique<MosavraTypes::Template>();
        layout->name = QStringLiteral("Stage <%1> & \"wall\"").arg(t);
        layout->fixtureType = t == 1 ? MosavraTypes::kCindral : MosavraTypes::kBrevant;
        layout->zoom = 16 * (t + 1);
        layout->sample = 25 * t;
        layout->locked = t == 2;
        layout->scale = QRectF(0.1 * t, 0.2, 0.5, 0.25);
        for (int f = 0; f < t + 1; ++f) {
            auto fixture = std::make_unique<MosavraTypes::Fixture>();
            fixture->pos = QPointF(0.125 * f, 0.5);
            fixture->scale = QSizeF(0.125, 0.125);
            fixture->num = f + 1;
            fixture->type = layout->fixtureType;
            layout->fixtures.push_back(std::move(fixture));
        }
        templates.push_back(std::move(layout));
    }
    const QString path = fuzz::ScratchPath(QStringLiteral("seed.xml"));
    fuzz::Require(TemplateFile::Write(path, templates), "the seed templates written");
    fuzz::Seed(QStringLiteral("templates.xml"), ReadWhole(path));
}

void Run(const std::uint8_t* data, std::size_t size)
{
    const QString in = fuzz::ScratchPath(QStringLiteral("in.xml"));
    fuzz::WriteFile(in, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const MosavraTypes::TemplateList read = TemplateFile::Read(in);
    const QString saved = fuzz::ScratchPath(QStringLiteral("saved.xml"));
    fuzz::Require(TemplateFile::Write(saved, read), "templates that were read are written");
    const QByteArray first = ReadWhole(saved);
    const MosavraTypes::TemplateList again = TemplateFile::Read(saved);
    fuzz::Require(again.size() == read.size(), "every template written reads back");
    fuzz::Require(TemplateFile::Write(saved, again) && ReadWhole(saved) == first,
                  "templates written, read and written again give the same file");
}

} // namespace fuzz_target
