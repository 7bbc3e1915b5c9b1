#pragma once

#include <QRgb>
#include <QtGlobal>

#include <span>
#include <vector>

// Palette building for imported LED images: a list of colours that stands for every LED
// colour of every frame, and the nearest-entry lookup that turns colours into indices.
// Colours are 32-bit ARGB (alpha in the top byte); entries made here are opaque and
// entries left over are 0. Pure functions: safe on any thread.

// One colour of the quantiser's work array.
struct ColourTriple {
    quint8 red = 0;
    quint8 green = 0;
    quint8 blue = 0;
};

// A list of exactly `size` entries: the seeds in order, then up to size − seeds.size()
// colours chosen by MedianCutQuantize from `colours`, then zeros. `colours` are the LED
// colours of all frames, frame after frame; a colour whose alpha is below 128 (an LED
// that is off) or that equals a seed once made opaque is left out, and every other one
// counts as often as it occurs, so frequent colours weigh more.
std::vector<QRgb> BuildPalette(std::span<const QRgb> seeds, std::span<const QRgb> colours, int size);

// A list of exactly `size` entries: the seeds, then an even ramp of greys from black to
// white filling the rest.
std::vector<QRgb> GreyPalette(std::span<const QRgb> seeds, int size);

// Median cut: splits the colours into at most `target` boxes, always splitting the box
// with the largest extent on its widest channel at its median, and answers each box's
// mean colour (opaque), largest extent first. Reorders `triples` in place. Fewer colours
// come back when no box holds two triples any more; none for an empty input or a target
// below 1.
std::vector<QRgb> MedianCutQuantize(std::span<ColourTriple> triples, int target);

// The index of `colour` in `list`: the first exact (32-bit) match, else the entry of the
// smallest squared RGB distance (alpha ignored), the lowest index on equal distances.
// 0 for an empty list.
int NearestPaletteIndex(std::span<const QRgb> list, QRgb colour);

// NearestPaletteIndex over one list, each colour's search done once and remembered: the
// answers are NearestPaletteIndex's, for any number of pictures mapped over the same list
// (a whole GIF export). One thread at a time.
class NearestPaletteCache
{
public:
    explicit NearestPaletteCache(std::span<const QRgb> list);

    int Index(QRgb colour);
    std::span<const QRgb> List() const { return list_; }

private:
    void Grow();

    std::vector<QRgb> list_;
    // Open addressing, a power of two long: the colour in the high 32 bits and its index
    // plus one in the low ones, 0 for an empty slot.
    std::vector<quint64> slots_;
    std::size_t used_ = 0;
};
