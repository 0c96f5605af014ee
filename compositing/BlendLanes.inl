// The wide compositing rows, written once with GCC vector types and compiled once per instruction
// set: BlendKernels.cpp includes this file (no include guard, on purpose) inside one namespace per
// path, compiled for that path's instruction set, after defining kLaneBytes (bytes of one vector)
// and the operations GCC's vector types miss or spell slowly: widen (bytes to 16-bit lanes),
// mulHigh (the high halves of 16-bit products) and broadcastAlpha (a byte shuffle).
//
// Each rule repeats the arithmetic of its four-pixel form in BlendRules.h (and ByteArithmetic.h) on
// kStepPixels pixels at once. Pixels left over after the last whole step go through the
// four-pixel form.

typedef uint8_t StepBytes __attribute__((vector_size(kLaneBytes / 2)));
typedef uint16_t Lanes __attribute__((vector_size(kLaneBytes)));
typedef uint64_t PixelWords __attribute__((vector_size(kLaneBytes)));

constexpr int kStepPixels = kLaneBytes / 8;

inline Lanes loadPixels(const uint8_t* p) {
    StepBytes bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return widen(bytes);
}

// Every lane holds a byte value by now, so narrowing keeps it.
inline void storePixels(uint8_t* p, const Lanes& lanes) {
    const StepBytes bytes = __builtin_convertvector(lanes, StepBytes);
    std::memcpy(p, &bytes, sizeof bytes);
}

inline Lanes splat(uint16_t value) { return Lanes{} + value; }

inline Lanes divide255(const Lanes& x) { return mulHigh(x, splat(0x8081)) >> 7; }
inline Lanes mul255(const Lanes& a, const Lanes& b) { return divide255(a * b + 127); }
inline Lanes lerp255(const Lanes& s, const Lanes& d, const Lanes& t) { return divide255(s * t + d * (255 - t)); }
inline Lanes minimum(const Lanes& a, const Lanes& b) { return a < b ? a : b; }

inline Lanes opaqueAlphaLanes() { return (Lanes)(PixelWords{} + 0x00FF000000000000ull); }

// The blend-mode tables as arithmetic on lanes, a the destination and b the source value, each
// giving its table's bytes exactly (the dispatch tests check every pair). The tables whose
// formulas divide by a variable, and soft light (two single-precision divisions and a square
// root per byte cost more than its look-ups), keep the look-ups of the four-pixel form.
inline Lanes maximum(const Lanes& a, const Lanes& b) { return a > b ? a : b; }

// (2 * a * b) / 255 truncated, where 2 * a * b may pass 65535: from a * b = 255q + r it is
// 2q + (r >= 128).
inline Lanes twiceProductBy255(const Lanes& a, const Lanes& b) {
    const Lanes product = a * b;
    const Lanes quotient = divide255(product);
    return 2 * quotient + ((product - 255 * quotient) >= 128 ? splat(1) : splat(0));
}

// Calls `blend(formula)` with the arithmetic form of `table`, or returns false when it has none.
template <class Blend>
bool withFormula(const uint8_t* table, const Blend& blend) {
    using T = imageC::BlendTables;
    const T& tables = *getBlendTables();
    int index = 0;
    while (index < T::TableCount && tables.table(index) != table) ++index;
    switch (index) {
    case T::Add:
    case T::LinearDodge:
        blend([&](const Lanes& a, const Lanes& b) { return minimum(a + b, splat(255)); });
        return true;
    case T::Multiply: blend([&](const Lanes& a, const Lanes& b) { return mul255(a, b); }); return true;
    case T::Screen:
        blend([&](const Lanes& a, const Lanes& b) { return 255 - (((255 - a) * (255 - b)) >> 8); });
        return true;
    case T::Overlay:
        blend([&](const Lanes& a, const Lanes& b) {
            return a < 128 ? (2 * a * b) >> 8 : 255 - divide255(2 * (255 - a) * (255 - b));
        });
        return true;
    case T::HardLight:
        blend([&](const Lanes& a, const Lanes& b) {
            return b < 128 ? divide255(2 * a * b) : 255 - divide255(2 * (255 - a) * (255 - b));
        });
        return true;
    case T::Darken: blend(minimum); return true;
    case T::Lighten: blend(maximum); return true;
    case T::Difference:
        blend([&](const Lanes& a, const Lanes& b) { return a > b ? a - b : b - a; });
        return true;
    case T::Exclusion:
        blend([&](const Lanes& a, const Lanes& b) { return (a + b - twiceProductBy255(a, b)) & 0xFF; });
        return true;
    case T::HardMix:
        blend([&](const Lanes& a, const Lanes& b) { return a + b >= 254 ? splat(255) : splat(0); });
        return true;
    case T::LinearBurn:
        blend([&](const Lanes& a, const Lanes& b) { return a + b > 255 ? a + b - 255 : splat(0); });
        return true;
    case T::PinLight:
        blend([&](const Lanes& a, const Lanes& b) {
            const Lanes inner = minimum(a, 2 * b);
            return 2 * b >= 255 ? maximum(2 * b - 255, inner) : inner;
        });
        return true;
    case T::LinearLight:
        blend([&](const Lanes& a, const Lanes& b) {
            const Lanes sum = a + 2 * b;
            return sum < 255 ? splat(0) : minimum(sum - 255, splat(255));
        });
        return true;
    default: return false;
    }
}

// D weighted towards `values` by `alpha`.
inline Lanes weigh(const Lanes& values, const Lanes& alpha, const Lanes& dst) {
    return mul255(values, alpha) + mul255(dst, 255 - alpha);
}

// Runs `blend(sourceLanes, baseLanes) -> destinationLanes` over a row, then hands the remaining
// pixels to the four-pixel `narrow` rule.
// `blend` is taken by value, and its captures should be too: held in the loop's own frame they stay in
// registers, where through a reference each step would reload them after its byte stores.
template <class Blend, class Narrow>
void wideRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const Narrow& narrow, Blend blend) {
    int x = 0;
    for (; x + kStepPixels <= count; x += kStepPixels) {
        storePixels(d + 4 * x, blend(loadPixels(s + 4 * x), loadPixels(b + 4 * x)));
    }
    rules::blendRowOver(narrow, s + 4 * x, b + 4 * x, d + 4 * x, count - x);
}

// The table rule through the table's formula where it has one, else as the four-pixel form.
template <class Narrow>
void tableRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const BlendRowParams& p,
              const Narrow& narrow, const Lanes& valueMask) {
    const Lanes k = splat(p.strength);
    const Lanes mask = valueMask;
    // Rows shorter than one step (single pixels of the one-pixel blend) skip the formula search.
    const bool wide = count >= kStepPixels && withFormula(p.table, [&](const auto& formula) {
        if (p.strength == 255) {
            // mul(S.a, 255) is S.a: at full strength the source alpha is the weight itself.
            wideRow(s, b, d, count, narrow, [formula, mask](const Lanes& src, const Lanes& dst) {
                return weigh(formula(dst, src) | mask, broadcastAlpha(src), dst);
            });
        } else {
            wideRow(s, b, d, count, narrow, [formula, mask, k](const Lanes& src, const Lanes& dst) {
                return weigh(formula(dst, src) | mask, mul255(broadcastAlpha(src), k), dst);
            });
        }
    });
    if (!wide) rules::blendRowOver(narrow, s, b, d, count);
}

void modeTableRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const BlendRowParams& p) {
    tableRow(s, b, d, count, p, rules::ModeTable{p.table, p.strength}, Lanes{});
}

// Weighing 255 in the alpha lanes composites alpha as coverage, as the four-pixel form does.
void modeTableCoverageRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const BlendRowParams& p) {
    tableRow(s, b, d, count, p, rules::ModeTableCoverage{p.table, p.strength}, opaqueAlphaLanes());
}

void normalPremultipliedRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const BlendRowParams& p) {
    const Lanes k = splat(p.strength);
    wideRow(s, b, d, count, rules::NormalPremultiplied{p.strength}, [k](const Lanes& src, const Lanes& dst) {
        const Lanes alpha = broadcastAlpha(src);
        const Lanes blended = minimum(mul255(dst, 255 - mul255(alpha, k)) + mul255(src, k), splat(255));
        return alpha == 0 ? dst : blended;
    });
}

void normalStraightRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const BlendRowParams& p) {
    const Lanes k = splat(p.strength);
    wideRow(s, b, d, count, rules::NormalStraight{p.strength}, [k](const Lanes& src, const Lanes& dst) {
        return lerp255(src | opaqueAlphaLanes(), dst, mul255(broadcastAlpha(src), k));
    });
}

void normalStraightFullRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const BlendRowParams&) {
    wideRow(s, b, d, count, rules::NormalStraightFull{}, [&](const Lanes& src, const Lanes& dst) {
        const Lanes premultiplied = mul255(dst, broadcastAlpha(dst) | opaqueAlphaLanes());
        return lerp255(src | opaqueAlphaLanes(), premultiplied, broadcastAlpha(src));
    });
}

void hollowInRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const BlendRowParams&) {
    wideRow(s, b, d, count, rules::HollowIn{}, [&](const Lanes& src, const Lanes& dst) {
        return mul255(dst, broadcastAlpha(src));
    });
}

void hollowOutRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const BlendRowParams&) {
    wideRow(s, b, d, count, rules::HollowOut{}, [&](const Lanes& src, const Lanes& dst) {
        return broadcastAlpha(dst) == 0 ? src : mul255(dst, 255 - broadcastAlpha(src));
    });
}

void textBgHollowInRow(const uint8_t* s, const uint8_t* b, uint8_t* d, int count, const BlendRowParams&) {
    wideRow(s, b, d, count, rules::TextBgHollowIn{}, [&](const Lanes& src, const Lanes& dst) {
        return mul255(src, broadcastAlpha(dst));
    });
}

void shadeRow(uint8_t* p, int count, const ShadeParams& params) {
    const Lanes inverse = splat(params.inverseAlpha);
    const uint16_t* t = params.tint;
    const Lanes tints = (Lanes)(PixelWords{} + (t[0] | uint64_t{t[1]} << 16 | uint64_t{t[2]} << 32));
    const Lanes colourLanes = (Lanes)(PixelWords{} + 0x0000FFFFFFFFFFFFull);
    int x = 0;
    for (; x + kStepPixels <= count; x += kStepPixels) {
        const Lanes pixels = loadPixels(p + 4 * x);
        const Lanes shaded = minimum(mul255(mul255(pixels, broadcastAlpha(pixels)), inverse) + tints, splat(255));
        storePixels(p + 4 * x, (shaded & colourLanes) | opaqueAlphaLanes());
    }
    sse2::shadeRow(p + 4 * x, count - x, params);
}

// In BlendRowKind order.
constexpr BlendRowFn kRows[] = {modeTableRow,     modeTableCoverageRow, normalPremultipliedRow,
                                normalStraightRow, normalStraightFullRow, hollowInRow,
                                hollowOutRow,      textBgHollowInRow};
