#pragma once
// The colour tables of the beauty effects: per-channel brightness offsets, where each 8-bit
// value v becomes round(v + offset), ties to even, held to 0..255, and the pass that applies
// them to a frame.

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>

#include <opencv2/core.hpp>

#include "framework/Frame.h"
#include "framework/Stripes.h"

namespace beauty {

using ByteTable = std::array<uint8_t, 256>;
using ColourTables = std::array<ByteTable, 3>;  // blue, green, red

constexpr double kRowStripes = 16;

// The table of v -> round(v + offset); a NaN offset leaves values unchanged.
inline ByteTable offsetTable(double offset) {
    if (std::isnan(offset)) offset = 0.0;
    ByteTable table{};
    for (int v = 0; v < 256; ++v) {
        const double shifted = std::nearbyint(v + offset);
        table[v] = shifted >= 255.0 ? 255 : shifted > 0.0 ? static_cast<uint8_t>(shifted) : 0;
    }
    return table;
}

// Passes blue, green and red of every pixel of `in` through their tables into `out` (same size;
// may be `in`); alpha is copied. Rows run in parallel.
inline void applyColourTables(const tessel::Frame& in, const tessel::Frame& out, const ColourTables& tables) {
    tessel::parallelRange(in.height, kRowStripes, [&](const cv::Range& rows) {
        const uint8_t *blue = tables[0].data(), *green = tables[1].data(), *red = tables[2].data();
        for (int y = rows.start; y < rows.end; ++y) {
            const uint8_t* s = in.row(y);
            uint8_t* o = out.row(y);
            for (int x = 0; x < 4 * in.width; x += 4) {
                const uint8_t b = blue[s[x]], g = green[s[x + 1]], r = red[s[x + 2]], a = s[x + 3];
                o[x] = b;
                o[x + 1] = g;
                o[x + 2] = r;
                o[x + 3] = a;
            }
        }
    });
}

inline ByteTable identityTable() { return offsetTable(0.0); }

// The frame path of the effects that only pass colours through tables: 1 for a missing or
// unusable buffer or an output of another size than the input, 3 when `tablesOfLevel` (which
// reads the effect's level) finds nothing it may apply; both write nothing. Works in place.
template <class TablesOfLevel>
int32_t renderThroughTables(const tessel::Frame& out, const tessel::Frame& in, TablesOfLevel tablesOfLevel) {
    if (out.empty() || in.empty()) return 1;
    const std::optional<ColourTables> tables = tablesOfLevel();
    if (!in.matches(out)) return 1;
    if (!tables) return 3;
    applyColourTables(in, out, *tables);
    return 0;
}

}  // namespace beauty
