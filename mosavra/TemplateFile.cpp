#include "mosavra/TemplateFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace TemplateFile {
namespace {

// What a template without a "scale" attribute gets: not the rectangle a new template
// starts with, but the one files have always been read with.
const QRectF kMissingMediaRect{0.5, 0.5, 0.25, 0.25};
// Where a fixture without a readable "pos" lands: the canvas centre, as a new one does.
const QPointF kMissingFixturePos{0.5, 0.5};

std::optional<int> ReadInt(const QXmlStreamAttributes& attributes, const char* name)
{
    bool ok = false;
    const int value = attributes.value(QLatin1String(name)).trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// `count` blank-separated numbers, each read as a float, as the file has always kept
// them; none unless all are there and finite.
std::optional<std::vector<double>> ReadNumbers(const QXmlStreamAttributes& attributes, const char* name,
                                               int count)
{
    const QStringList parts =
        attributes.value(QLatin1String(name)).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != count)
        return std::nullopt;
    std::vector<double> numbers;
    for (const QString& part : parts) {
        bool ok = false;
        const float value = part.toFloat(&ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        numbers.push_back(double(value));
    }
    return numbers;
}

QString FormatNumbers(std::initializer_list<double> numbers)
{
    QStringList parts;
    for (double number : numbers)
        parts << QString::number(number, 'f', 6);
    return parts.join(QLatin1Char(' '));
}

std::unique_ptr<MosavraTypes::Template> ReadTemplate(const QXmlStreamAttributes& attributes)
{
    auto t = std::make_unique<MosavraTypes::Template>();
    t->name = attributes.value(QLatin1String("name")).toString();
    t->zoom = ReadInt(attributes, "zoom").value_or(MosavraTypes::Template::kDefaultZoom);
    t->sample = ReadInt(attributes, "sample").value_or(MosavraTypes::Template::kDefaultSample);
    t->locked = ReadInt(attributes, "locked").value_or(0) != 0;
    t->fixtureType = MosavraTypes::FamilyOf(ReadInt(attributes, "fixtureType").value_or(MosavraTypes::kBrevant));
    if (const auto rect = ReadNumbers(attributes, "scale", 4))
        t->scale = QRectF((*rect)[0], (*rect)[1], std::max(0.0, (*rect)[2]), std::max(0.0, (*rect)[3]));
    else
        t->scale = kMissingMediaRect;
    return t;
}

std::unique_ptr<MosavraTypes::Fixture> ReadFixture(const QXmlStreamAttributes& attributes,
                                                   const MosavraTypes::Template& owner)
{
    auto f = std::make_unique<MosavraTypes::Fixture>();
    if (const auto pos = ReadNumbers(attributes, "pos", 2))
        f->pos = QPointF((*pos)[0], (*pos)[1]);
    else
        f->pos = kMissingFixturePos;
    // A fixture without a readable size takes the size its template's zoom gives, in the
    // precision of a number read from the file, so that it reads back as it is written.
    const double zoomSide = double(float(double(owner.zoom) / 256.0));
    if (const auto scale = ReadNumbers(attributes, "scale", 2))
        f->scale = QSizeF((*scale)[0], (*scale)[1]);
    else
        f->scale = QSizeF(zoomSide, zoomSide);
    f->num = ReadInt(attributes, "num").value_or(0);
    // Numbers start at 1: a stored 0 moves up by one, and so does a negative number, but
    // never past 1, so that a file saved again reads back the same (a negative number
    // moving up by one would change with every save).
    if (f->num < 1)
        f->num = std::max(f->num + 1, 1);
    // The family is the template's: a fixture of another family would export images its
    // template's fixtures cannot show.
    f->type = owner.fixtureType;
    return f;
}

} // namespace

QString DefaultPath()
{
    return QDir(QStringLiteral("ContentLibraryRoot:.")).absoluteFilePath(QStringLiteral("templates.xml"));
}

MosavraTypes::TemplateList Read(const QString& path)
{
    MosavraTypes::TemplateList templates;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return templates;

    QXmlStreamReader reader(&file);
    MosavraTypes::Template* current = nullptr;
    // atEnd() is also true after an error: what was read before it stays.
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("template")) {
            templates.push_back(ReadTemplate(reader.attributes()));
            current = templates.back().get();
        } else if (reader.name() == QLatin1String("fixture") && current) {
            current->fixtures.push_back(ReadFixture(reader.attributes(), *current));
        }
    }
    return templates;
}

bool Write(const QString& path, const MosavraTypes::TemplateList& templates)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;

    QXmlStreamWriter writer(&file);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("templates"));
    for (const auto& t : templates) {
        writer.writeStartElement(QStringLiteral("template"));
        writer.writeAttribute(QStringLiteral("name"), t->name);
        writer.writeAttribute(QStringLiteral("zoom"), QString::number(t->zoom));
        writer.writeAttribute(QStringLiteral("sample"), QString::number(t->sample));
        writer.writeAttribute(QStringLiteral("locked"), QString::number(t->locked ? 1 : 0));
        writer.writeAttribute(QStringLiteral("fixtureType"), QString::number(int(t->fixtureType)));
        writer.writeAttribute(QStringLiteral("scale"),
                              FormatNumbers({t->scale.x(), t->scale.y(), t->scale.width(), t->scale.height()}));
        for (const auto& f : t->fixtures) {
            writer.writeEmptyElement(QStringLiteral("fixture"));
            writer.writeAttribute(QStringLiteral("pos"), FormatNumbers({f->pos.x(), f->pos.y()}));
            writer.writeAttribute(QStringLiteral("scale"), FormatNumbers({f->scale.width(), f->scale.height()}));
            writer.writeAttribute(QStringLiteral("num"), QString::number(f->num));
            writer.writeAttribute(QStringLiteral("type"), QString::number(int(f->type)));
        }
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    // commit() does not notice when its own flush of the last buffered bytes fails, and
    // would put a cut-short file in place: flush first; left uncommitted, the file is
    // dropped and the old one stays.
    return !writer.hasError() && file.flush() && file.commit();
}

} // namespace TemplateFile
