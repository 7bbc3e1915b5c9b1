#include "tools/screenshots/CreatorScenes.h"

#include "images/BrevantImage.h"
#include "mosavra/MosavraDialog.h"
#include "mosavra/TemplateFile.h"
#include "tools/screenshots/Shooting.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLinearGradient>
#include <QListView>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <cstdio>

namespace {

// A 640 × 480 evening sky over a stage: something whose colours the fixtures' samples show.
QString MakePicture(const QString& folder)
{
    QImage picture(640, 480, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient sky(0, 0, 0, 480);
    sky.setColorAt(0, QColor(20, 30, 90));
    sky.setColorAt(0.55, QColor(230, 110, 60));
    sky.setColorAt(1, QColor(250, 210, 90));
    painter.fillRect(picture.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 240, 160));
    painter.drawEllipse(QPointF(420, 260), 70, 70);
    painter.setBrush(QColor(40, 20, 50));
    painter.drawRect(0, 380, 640, 100);
    painter.end();
    const QString path = QDir(folder).filePath(QStringLiteral("evening.png"));
    return picture.save(path) ? path : QString();
}

// A clip of twelve frames in which a band of light crosses the frame, as an animated GIF.
QString MakeClip(const QString& folder)
{
    constexpr int kFrames = 12;
    BrevantImage image;
    for (int index = 1; index <= kFrames; ++index) {
        const double hue = double(index) / kFrames;
        const QColor colour = QColor::fromHslF(hue, 0.9, 0.5);
        image.SetPaletteColor(index, LEDColor{quint8(colour.red()), quint8(colour.green()), quint8(colour.blue())});
    }
    for (int step = 0; step < kFrames; ++step) {
        BrevantImage::Frame frame;
        frame.duration = 200;
        for (size_t led = 0; led < frame.indices.size(); ++led)
            frame.indices[led] = quint8(1 + (step + int(led * kFrames / frame.indices.size())) % kFrames);
        image.AddFrame(frame);
    }
    const QString path = QDir(folder).filePath(QStringLiteral("sweep.gif"));
    return image.ExportGIF(path, 320, 240) ? path : QString();
}

// One template of the first family with three fixtures over the media, written where the
// creator reads its templates.
bool WriteTemplates()
{
    MosavraTypes::TemplateList templates;
    auto layout = std::make_unique<MosavraTypes::Template>();
    layout->name = QStringLiteral("Stage Wall");
    layout->scale = QRectF(0.1, 0.15, 0.8, 0.6);
    const struct {
        QPointF pos;
        double side;
        int num;
    } fixtures[] = {{{0.3, 0.4}, 0.14, 1}, {{0.52, 0.45}, 0.14, 2}, {{0.74, 0.5}, 0.14, 3}};
    for (const auto& f : fixtures) {
        auto fixture = std::make_unique<MosavraTypes::Fixture>();
        fixture->pos = f.pos;
        fixture->scale = QSizeF(f.side, f.side);
        fixture->num = f.num;
        layout->fixtures.push_back(std::move(fixture));
    }
    templates.push_back(std::move(layout));
    return TemplateFile::Write(TemplateFile::DefaultPath(), templates);
}

bool Fail(const char* what)
{
    std::fprintf(stderr, "creator: %s\n", what);
    return false;
}

void Tick(QWidget* dialog, const char* box)
{
    if (auto* check = dialog->findChild<QCheckBox*>(QLatin1String(box)); check && !check->isChecked())
        check->click();
}

} // namespace

bool TakeCreatorScenes(QWidget* parent, const QString& mediaFolder, Shooter& shooter)
{
    const QString picture = MakePicture(mediaFolder);
    const QString clip = MakeClip(mediaFolder);
    if (picture.isEmpty() || clip.isEmpty())
        return Fail("cannot make the media");
    if (!WriteTemplates())
        return Fail("cannot write the templates");

    MosavraDialog dialog(parent);
    dialog.move(0, 0);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return Fail("the window was never shown");
    auto* list = dialog.findChild<QListView*>(QStringLiteral("templateView"));
    if (!list || list->model()->rowCount() != 1)
        return Fail("the template is not listed");
    list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    if (!dialog.OpenMedia(picture))
        return Fail("the picture was not taken");
    Tick(&dialog, "showGridBox");

    // The middle fixture selected as a click selects it.
    MosavraWidget* canvas = dialog.Canvas();
    const MosavraTypes::Template* layout = dialog.CurrentTemplate();
    if (!canvas || !layout || layout->fixtures.size() != 3)
        return Fail("the template was not shown");
    const QPointF centre = layout->fixtures[1]->pos;
    QTest::mouseClick(canvas, Qt::LeftButton, {},
                      QPoint(int(std::lround(centre.x() * canvas->width())), int(std::lround(centre.y() * canvas->height()))));
    if (dialog.Selection().size() != 1)
        return Fail("the fixture could not be selected");
    QCoreApplication::processEvents();
    if (!shooter.Save(QStringLiteral("creator.png"), Grab(dialog)))
        return false;

    auto* expand = dialog.findChild<QAbstractButton*>(QStringLiteral("expandButton"));
    if (!expand || !expand->isEnabled())
        return Fail("the window cannot be expanded");
    // The window takes its new size a moment after each click.
    const QSize collapsed = dialog.size();
    expand->click();
    WaitFor([&] { return dialog.IsExpanded() && dialog.size() != collapsed; });
    if (!shooter.Save(QStringLiteral("creator-expanded.png"), Grab(dialog)))
        return false;
    expand->click();
    WaitFor([&] { return !dialog.IsExpanded() && dialog.size() == collapsed; });

    if (!dialog.OpenMedia(clip))
        return Fail("the clip was not taken");
    auto* play = dialog.findChild<QAbstractButton*>(QStringLiteral("playPauseButton"));
    if (!play || !play->isEnabled())
        return Fail("the clip cannot be played");
    play->click();
    auto* slider = dialog.findChild<QSlider*>(QStringLiteral("frameSlider"));
    if (!slider || !WaitFor([&] { return slider->value() >= 5; }))
        return Fail("the clip does not play");
    const bool taken = shooter.Save(QStringLiteral("creator-playing.png"), Grab(dialog));
    play->click();
    dialog.reject();
    return taken;
}
