#include "images/Palette.h"

#include <algorithm>
#include <array>
#include <climits>

namespace {

constexpr int kOpaqueThreshold = 128;

// A contiguous run of the work array with its channel ranges.
struct Box {
    std::size_t first = 0;
    std::size_t count = 0;
    std::array<int, 3> min{};
    std::array<int, 3> max{};
    // Order of creation: breaks ties between boxes of equal priority, so the result
    // does not depend on the heap's internals.
    std::size_t serial = 0;

    int Extent(int channel) const { return max[std::size_t(channel)] - min[std::size_t(channel)]; }
    // Blue if its extent beats both others, else green if it beats red, else red.
    int WidestChannel() const
    {
        if (Extent(2) > Extent(0) && Extent(2) > Extent(1))
            return 2;
        return Extent(1) > Extent(0) ? 1 : 0;
    }
    int Priority() const { return Extent(WidestChannel()); }
};

int Channel(const ColourTriple& triple, int channel)
{
    return channel == 0 ? triple.red : channel == 1 ? triple.green : triple.blue;
}

Box MakeBox(std::span<const ColourTriple> triples, std::size_t first, std::size_t count, std::size_t serial)
{
    Box box;
    box.first = first;
    box.count = count;
    box.serial = serial;
    box.min = {255, 255, 255};
    box.max = {0, 0, 0};
    for (const ColourTriple& triple : triples.subspan(first, count)) {
        for (int c = 0; c < 3; ++c) {
            box.min[std::size_t(c)] = std::min(box.min[std::size_t(c)], Channel(triple, c));
            box.max[std::size_t(c)] = std::max(box.max[std::size_t(c)], Channel(triple, c));
        }
    }
    return box;
}

// Heap order: the highest priority on top, the older box first among equals.
bool LowerPriority(const Box& a, const Box& b)
{
    if (a.Priority() != b.Priority())
        return a.Priority() < b.Priority();
    return a.serial > b.serial;
}

QRgb MeanColour(std::span<const ColourTriple> triples)
{
    quint64 sums[3] = {0, 0, 0};
    for (const ColourTriple& triple : triples) {
        sums[0] += triple.red;
        sums[1] += triple.green;
        sums[2] += triple.blue;
    }
    const quint64 n = triples.size();
    return qRgb(int(sums[0] / n), int(sums[1] / n), int(sums[2] / n));
}

int SquaredDistance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b);
    const int dg = qGreen(a) - qGreen(b);
    const int db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

// The seeds, cut to `size`, then zeros up to `size`.
std::vector<QRgb> StartList(std::span<const QRgb> seeds, int size)
{
    std::vector<QRgb> list(std::size_t(std::max(0, size)), 0);
    std::copy_n(seeds.begin(), std::min(seeds.size(), list.size()), list.begin());
    return list;
}

} // namespace

std::vector<QRgb> BuildPalette(std::span<const QRgb> seeds, std::span<const QRgb> colours, int size)
{
    std::vector<QRgb> list = StartList(seeds, size);
    const int free = size - int(seeds.size());
    if (free <= 0)
        return list;

    std::vector<ColourTriple> work;
    work.reserve(colours.size());
    for (QRgb colour : colours) {
        if (qAlpha(colour) < kOpaqueThreshold)
            continue;
        const QRgb opaque = colour | 0xff000000u;
        if (std::find(seeds.begin(), seeds.end(), opaque) != seeds.end())
            continue;
        work.push_back({quint8(qRed(colour)), quint8(qGreen(colour)), quint8(qBlue(colour))});
    }
    if (work.empty())
        return list;

    const std::vector<QRgb> chosen = MedianCutQuantize(work, free);
    std::copy(chosen.begin(), chosen.end(), list.begin() + std::ptrdiff_t(seeds.size()));
    return list;
}

std::vector<QRgb> GreyPalette(std::span<const QRgb> seeds, int size)
{
    std::vector<QRgb> list = StartList(seeds, size);
    const int greys = size - int(seeds.size());
    for (int i = 0; i < greys; ++i) {
        // A ramp of one grey is black alone (there is no step to spread over).
        const int level = greys > 1 ? 255 * i / (greys - 1) : 0;
        list[seeds.size() + std::size_t(i)] = qRgb(level, level, level);
    }
    return list;
}

std::vector<QRgb> MedianCutQuantize(std::span<ColourTriple> triples, int target)
{
    std::vector<QRgb> result;
    if (triples.empty() || target < 1)
        return result;

    std::size_t serial = 0;
    std::vector<Box> heap;
    // No more boxes than triples can come of the splits, whatever the target asks for.
    heap.reserve(std::min(std::size_t(target), triples.size()) + 1);
    heap.push_back(MakeBox(triples, 0, triples.size(), serial++));

    while (int(heap.size()) < target) {
        const Box& top = heap.front();
        if (top.count < 2)
            break;
        const Box box = top;
        std::pop_heap(heap.begin(), heap.end(), LowerPriority);
        heap.pop_back();

        // Linear-time selection, not a sort: only the median's place matters.
        const int channel = box.WidestChannel();
        const std::size_t m = (box.count + 1) / 2;
        auto first = triples.begin() + std::ptrdiff_t(box.first);
        std::nth_element(first, first + std::ptrdiff_t(m), first + std::ptrdiff_t(box.count),
                         [channel](const ColourTriple& a, const ColourTriple& b) {
                             return Channel(a, channel) < Channel(b, channel);
                         });

        heap.push_back(MakeBox(triples, box.first, m, serial++));
        std::push_heap(heap.begin(), heap.end(), LowerPriority);
        heap.push_back(MakeBox(triples, box.first + m, box.count - m, serial++));
        std::push_heap(heap.begin(), heap.end(), LowerPriority);
    }

    result.reserve(heap.size());
    while (!heap.empty()) {
        const Box& top = heap.front();
        result.push_back(MeanColour(triples.subspan(top.first, top.count)));
        std::pop_heap(heap.begin(), heap.end(), LowerPriority);
        heap.pop_back();
    }
    return result;
}

int NearestPaletteIndex(std::span<const QRgb> list, QRgb colour)
{
    const auto exact = std::find(list.begin(), list.end(), colour);
    if (exact != list.end())
        return int(exact - list.begin());
    int best = 0;
    int bestDistance = INT_MAX;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int distance = SquaredDistance(list[i], colour);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int(i);
        }
    }
    return best;
}

namespace {

constexpr std::size_t kInitialCacheSlots = 4096;

std::size_t SlotOf(QRgb colour, std::size_t mask)
{
    // Fibonacci hashing: neighbouring colours land far apart.
    return std::size_t((quint64(colour) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

} // namespace

NearestPaletteCache::NearestPaletteCache(std::span<const QRgb> list)
    : list_(list.begin(), list.end()), slots_(kInitialCacheSlots, 0)
{
}

int NearestPaletteCache::Index(QRgb colour)
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = SlotOf(colour, mask);; slot = (slot + 1) & mask) {
        const quint64 held = slots_[slot];
        if (held == 0)
            break;
        if (QRgb(held >> 32) == colour)
            return int(held & 0xFFFF'FFFFu) - 1;
    }
    const int index = NearestPaletteIndex(list_, colour);
    // Kept at most half full, so that a probe ends soon.
    if (2 * (used_ + 1) > slots_.size())
        Grow();
    const std::size_t newMask = slots_.size() - 1;
    std::size_t slot = SlotOf(colour, newMask);
    while (slots_[slot] != 0)
        slot = (slot + 1) & newMask;
    slots_[slot] = quint64(colour) << 32 | quint64(index + 1);
    ++used_;
    return index;
}

void NearestPaletteCache::Grow()
{
    std::vector<quint64> old(slots_.size() * 2, 0);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (quint64 held : old) {
        if (held == 0)
            continue;
        std::size_t slot = SlotOf(QRgb(held >> 32), mask);
        while (slots_[slot] != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = held;
    }
}
