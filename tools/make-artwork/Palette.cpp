#include "Palette.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

namespace tessaline::artwork {
namespace {

using Rgb = std::array<int, 3>;

struct Box {
    size_t begin, end;  // range in the colour list
    int widestChannel;
    int range;
};

Box MeasureBox(const std::vector<Rgb>& colours, size_t begin, size_t end) {
    Rgb low{255, 255, 255}, high{0, 0, 0};
    for (size_t i = begin; i < end; ++i) {
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], colours[i][c]);
            high[c] = std::max(high[c], colours[i][c]);
        }
    }
    Box box{begin, end, 0, -1};
    for (int c = 0; c < 3; ++c) {
        if (high[c] - low[c] > box.range) {
            box.range = high[c] - low[c];
            box.widestChannel = c;
        }
    }
    return box;
}

}  // namespace

QImage ToPalette(const QImage& picture) {
    QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int w = rgb.width(), h = rgb.height();
    std::vector<Rgb> colours;
    colours.reserve(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < w; ++x) colours.push_back({qRed(line[x]), qGreen(line[x]), qBlue(line[x])});
    }

    // Median cut: split the box with the widest channel range at its median
    // until there are 256 boxes or none can be split.
    std::vector<Box> boxes{MeasureBox(colours, 0, colours.size())};
    while (boxes.size() < 256) {
        auto widest = std::max_element(boxes.begin(), boxes.end(),
                                       [](const Box& a, const Box& b) { return a.range < b.range; });
        if (widest->range <= 0 || widest->end - widest->begin < 2) break;
        Box box = *widest;
        int c = box.widestChannel;
        std::sort(colours.begin() + static_cast<std::ptrdiff_t>(box.begin),
                  colours.begin() + static_cast<std::ptrdiff_t>(box.end),
                  [c](const Rgb& a, const Rgb& b) { return a[c] != b[c] ? a[c] < b[c] : a < b; });
        // Keep every copy of the median value on one side, so no colour is
        // split over two boxes (which would waste palette entries).
        auto first = colours.begin() + static_cast<std::ptrdiff_t>(box.begin);
        auto last = colours.begin() + static_cast<std::ptrdiff_t>(box.end);
        int median = colours[box.begin + (box.end - box.begin) / 2][c];
        auto cut = std::upper_bound(first, last, median, [c](int v, const Rgb& e) { return v < e[c]; });
        if (cut == last) cut = std::lower_bound(first, last, median, [c](const Rgb& e, int v) { return e[c] < v; });
        size_t middle = static_cast<size_t>(cut - colours.begin());
        *widest = MeasureBox(colours, box.begin, middle);
        boxes.push_back(MeasureBox(colours, middle, box.end));
    }

    QList<QRgb> table;
    for (const Box& box : boxes) {
        long sum[3] = {0, 0, 0};
        for (size_t i = box.begin; i < box.end; ++i)
            for (int c = 0; c < 3; ++c) sum[c] += colours[i][c];
        long n = static_cast<long>(box.end - box.begin);
        table.push_back(qRgb(static_cast<int>((sum[0] + n / 2) / n), static_cast<int>((sum[1] + n / 2) / n),
                             static_cast<int>((sum[2] + n / 2) / n)));
    }

    QImage indexed(w, h, QImage::Format_Indexed8);
    indexed.setColorTable(table);
    std::unordered_map<QRgb, uchar> nearest;
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* out = indexed.scanLine(y);
        for (int x = 0; x < w; ++x) {
            QRgb colour = line[x] | 0xFF000000U;
            auto found = nearest.find(colour);
            if (found == nearest.end()) {
                int best = 0;
                long bestDistance = -1;
                for (int i = 0; i < table.size(); ++i) {
                    long dr = qRed(colour) - qRed(table[i]);
                    long dg = qGreen(colour) - qGreen(table[i]);
                    long db = qBlue(colour) - qBlue(table[i]);
                    long d = dr * dr + dg * dg + db * db;
                    if (bestDistance < 0 || d < bestDistance) {
                        bestDistance = d;
                        best = i;
                    }
                }
                found = nearest.emplace(colour, static_cast<uchar>(best)).first;
            }
            out[x] = found->second;
        }
    }
    return indexed;
}

}  // namespace tessaline::artwork
