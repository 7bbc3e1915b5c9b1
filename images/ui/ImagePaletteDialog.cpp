#include "images/ui/ImagePaletteDialog.h"

#include "images/ui/LEDImageAccess.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPaletteEntries = 256;
// Colours up to this luminance get white text, brighter ones black.
constexpr int kDarkLuminance = 128;
constexpr int kColumnWidths[] = {50, 100, 75, 75};

// The luminance the text colour is chosen by, 0 .. 255.
int TextLuminance(const LEDColor& colour)
{
    return (11 * colour.red + 16 * colour.green + 5 * colour.blue) / 32;
}

QString HexColour(const LEDColor& colour)
{
    auto hex = [](int value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')); };
    return QStringLiteral("%1 %2 %3").arg(hex(colour.red), hex(colour.green), hex(colour.blue));
}

} // namespace

std::array<PaletteUse, 256> PaletteUsage(const LEDImageAccess& image)
{
    std::array<PaletteUse, kPaletteEntries> usage{};
    const int frames = image.FrameCount();
    for (int f = 0; f < frames; ++f) {
        std::array<int, kPaletteEntries> counts{};
        for (quint8 index : image.FrameIndices(f))
            ++counts[index];
        for (int j = 0; j < kPaletteEntries; ++j) {
            if (counts[std::size_t(j)] == 0)
                continue;
            usage[std::size_t(j)].pixels += counts[std::size_t(j)];
            ++usage[std::size_t(j)].frames;
        }
    }
    return usage;
}

ImagePaletteDialog::ImagePaletteDialog(QWidget* parent, const LEDImageAccess& image, const QString& title)
    : QDialog(parent)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);

    auto* tree = new QTreeWidget;
    tree->setHeaderLabels({tr("Index"), tr("Color"), tr("Pixels"), tr("Frames")});
    tree->setRootIsDecorated(false);
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    int columnsWidth = 0;
    for (int column = 0; column < int(std::size(kColumnWidths)); ++column) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, kColumnWidths[column]);
        columnsWidth += kColumnWidths[column];
    }
    // Wide enough to show every column beside the scroll bar.
    tree->setMinimumWidth(columnsWidth + tree->verticalScrollBar()->sizeHint().width() + 2 * tree->frameWidth());

    const std::array<PaletteUse, kPaletteEntries> usage = PaletteUsage(image);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(kPaletteEntries);
    for (int index = 0; index < kPaletteEntries; ++index) {
        const LEDColor colour = image.PaletteColor(index);
        const PaletteUse& use = usage[std::size_t(index)];
        auto* row = new QTreeWidgetItem(
            {QString::number(index), HexColour(colour), QString::number(use.pixels), QString::number(use.frames)});
        row->setTextAlignment(1, Qt::AlignCenter);
        row->setBackground(1, QBrush(QColor(colour.red, colour.green, colour.blue)));
        row->setForeground(1, QBrush(TextLuminance(colour) <= kDarkLuminance ? Qt::white : Qt::black));
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        rows.append(row);
    }
    tree->addTopLevelItems(rows);
    layout->addWidget(tree);

    auto* ok = new QPushButton(tr("OK"));
    layout->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
