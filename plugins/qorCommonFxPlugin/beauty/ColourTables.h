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
#include "framework/SimdDispatch.h"
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

// Passes blue, green and red of `width` pixels of `in` through their tables into `out` (may be
// `in`); alpha is copied.
using ColourTablesRowFn = void (*)(const uint8_t* in, uint8_t* out, int width, const ColourTables& tables);

// A plain version, and an AVX-512 one where the processor has the VBMI byte permutes.
const tessel::SimdKernels<ColourTablesRowFn>& colourTablesRowKernels();

// Passes blue, green and red of every pixel of `in` through their tables into `out` (same size;
// may be `in`); alpha is copied. Rows run in parallel.
inline void applyColourTables(const tessel::Frame& in, const tessel::Frame& out, const ColourTables& tables) {
    const ColourTablesRowFn colourTablesRow = colourTablesRowKernels().chosen();
    tessel::parallelRange(in.height, kRowStripes, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) colourTablesRow(in.row(y), out.row(y), in.width, tables);
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
