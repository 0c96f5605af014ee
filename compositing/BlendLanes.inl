// The wide compositing rows, written once with GCC vector types and compiled once per instruction
// set: BlendKernels.cpp includes this file (no include guard, on purpose) inside one namespace per
// path, under that path's `#pragma GCC target`, after defining kLaneBytes (bytes of one vector)
// and the two operations vector types cannot express portably, gatherWords and joinHalves.
//
// Each rule repeats the arithmetic of its four-pixel form in BlendRules.h on kStepPixels pixels at
// once, with one difference of form: x / 255 is (x + 1 + (x >> 8)) >> 8, which equals it for every
// x below 65280, and no sum here reaches 65153. Pixels left over after the last whole step go
// through the four-pixel form.

typedef uint8_t StepBytes __attribute__((vector_size(kLaneBytes / 2)));
typedef uint16_t Lanes __attribute__((vector_size(kLaneBytes)));
typedef uint64_t PixelWords __attribute__((vector_size(kLaneBytes)));
typedef uint16_t HalfLanes __attribute__((vector_size(kLaneBytes / 2)));
typedef uint8_t GatherBytes __attribute__((vector_size(kLaneBytes / 4)));
typedef uint32_t GatherWords __attribute__((vector_size(kLaneBytes)));

constexpr int kStepPixels = kLaneBytes / 8;

inline Lanes loadPixels(const uint8_t* p) {
    StepBytes bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return __builtin_convertvector(bytes, Lanes);
}

// Every lane holds a byte value by now, so narrowing keeps it.
inline void storePixels(uint8_t* p, const Lanes& lanes) {
    const StepBytes bytes = __builtin_convertvector(lanes, StepBytes);
    std::memcpy(p, &bytes, sizeof bytes);
}

inline Lanes splat(uint16_t value) { return Lanes{} + value; }

inline Lanes divide255(const Lanes& x) { return (x + 1 + (x >> 8)) >> 8; }
inline Lanes mul255(const Lanes& a, const Lanes& b) { return divide255(a * b + 127); }
inline Lanes lerp255(const Lanes& s, const Lanes& d, const Lanes& t) { return divide255(s * t + d * (255 - t)); }
inline Lanes minimum(const Lanes& a, const Lanes& b) { return a < b ? a : b; }

inline Lanes broadcastAlpha(const Lanes& p) {
    const PixelWords a = (PixelWords)p >> 48;
    return (Lanes)(a | a << 16 | a << 32 | a << 48);
}

inline Lanes opaqueAlphaLanes() { return (Lanes)(PixelWords{} + 0x00FF000000000000ull); }

// The table bytes T[D * 256 + S] of every channel of one step's pixels. Whole 32-bit words are
// gathered from 4-byte aligned addresses, so no read passes the table's end; each lane then
// shifts its own byte down.
inline HalfLanes lookUpHalf(const int* words, uint32_t misalignment, const uint8_t* s, const uint8_t* d) {
    GatherBytes source, target;
    std::memcpy(&source, s, sizeof source);
    std::memcpy(&target, d, sizeof target);
    const GatherWords index =
        (__builtin_convertvector(target, GatherWords) << 8 | __builtin_convertvector(source, GatherWords)) + misalignment;
    const GatherWords bytes = gatherWords(words, index >> 2) >> ((index & 3) << 3) & 0xFF;
    return __builtin_convertvector(bytes, HalfLanes);
}

inline Lanes lookUp(const uint8_t* table, const uint8_t* s, const uint8_t* d) {
    const auto misalignment = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(table) & 3);
    const int* words = reinterpret_cast<const int*>(table - misalignment);
    constexpr int kHalf = kLaneBytes / 4;
    return joinHalves(lookUpHalf(words, misalignment, s, d), lookUpHalf(words, misalignment, s + kHalf, d + kHalf));
}

// D weighted towards `values` by mul(S.a, k).
inline Lanes weigh(const Lanes& values, const Lanes& src, const Lanes& dst, const Lanes& k) {
    const Lanes alpha = mul255(broadcastAlpha(src), k);
    return mul255(values, alpha) + mul255(dst, 255 - alpha);
}

// Runs `blend(sourceLanes, destinationLanes, s, d) -> destinationLanes` over a row, then hands the
// remaining pixels to the four-pixel `narrow` rule.
template <class Blend, class Narrow>
void wideRow(const uint8_t* s, uint8_t* d, int count, const Narrow& narrow, const Blend& blend) {
    int x = 0;
    for (; x + kStepPixels <= count; x += kStepPixels) {
        storePixels(d + 4 * x, blend(loadPixels(s + 4 * x), loadPixels(d + 4 * x), s + 4 * x, d + 4 * x));
    }
    rules::blendRow(narrow, s + 4 * x, d + 4 * x, count - x);
}

void modeTableRow(const uint8_t* s, uint8_t* d, int count, const BlendRowParams& p) {
    const Lanes k = splat(p.strength);
    wideRow(s, d, count, rules::ModeTable{p.table, p.strength},
            [&](const Lanes& src, const Lanes& dst, const uint8_t* sp, const uint8_t* dp) {
                return weigh(lookUp(p.table, sp, dp), src, dst, k);
            });
}

void modeTableCoverageRow(const uint8_t* s, uint8_t* d, int count, const BlendRowParams& p) {
    const Lanes k = splat(p.strength);
    wideRow(s, d, count, rules::ModeTableCoverage{p.table, p.strength},
            [&](const Lanes& src, const Lanes& dst, const uint8_t* sp, const uint8_t* dp) {
                return weigh(lookUp(p.table, sp, dp) | opaqueAlphaLanes(), src, dst, k);
            });
}

void normalPremultipliedRow(const uint8_t* s, uint8_t* d, int count, const BlendRowParams& p) {
    const Lanes k = splat(p.strength);
    wideRow(s, d, count, rules::NormalPremultiplied{p.strength},
            [&](const Lanes& src, const Lanes& dst, const uint8_t*, const uint8_t*) {
                const Lanes alpha = broadcastAlpha(src);
                const Lanes blended = minimum(mul255(dst, 255 - mul255(alpha, k)) + mul255(src, k), splat(255));
                return alpha == 0 ? dst : blended;
            });
}

void normalStraightRow(const uint8_t* s, uint8_t* d, int count, const BlendRowParams& p) {
    const Lanes k = splat(p.strength);
    wideRow(s, d, count, rules::NormalStraight{p.strength},
            [&](const Lanes& src, const Lanes& dst, const uint8_t*, const uint8_t*) {
                return lerp255(src | opaqueAlphaLanes(), dst, mul255(broadcastAlpha(src), k));
            });
}

void normalStraightFullRow(const uint8_t* s, uint8_t* d, int count, const BlendRowParams&) {
    wideRow(s, d, count, rules::NormalStraightFull{},
            [&](const Lanes& src, const Lanes& dst, const uint8_t*, const uint8_t*) {
                const Lanes premultiplied = mul255(dst, broadcastAlpha(dst) | opaqueAlphaLanes());
                return lerp255(src | opaqueAlphaLanes(), premultiplied, broadcastAlpha(src));
            });
}

void hollowInRow(const uint8_t* s, uint8_t* d, int count, const BlendRowParams&) {
    wideRow(s, d, count, rules::HollowIn{}, [&](const Lanes& src, const Lanes& dst, const uint8_t*, const uint8_t*) {
        return mul255(dst, broadcastAlpha(src));
    });
}

void hollowOutRow(const uint8_t* s, uint8_t* d, int count, const BlendRowParams&) {
    wideRow(s, d, count, rules::HollowOut{}, [&](const Lanes& src, const Lanes& dst, const uint8_t*, const uint8_t*) {
        return broadcastAlpha(dst) == 0 ? src : mul255(dst, 255 - broadcastAlpha(src));
    });
}

void textBgHollowInRow(const uint8_t* s, uint8_t* d, int count, const BlendRowParams&) {
    wideRow(s, d, count, rules::TextBgHollowIn{},
            [&](const Lanes& src, const Lanes& dst, const uint8_t*, const uint8_t*) {
                return mul255(src, broadcastAlpha(dst));
            });
}

// In BlendRowKind order.
constexpr BlendRowFn kRows[] = {modeTableRow,     modeTableCoverageRow, normalPremultipliedRow,
                                normalStraightRow, normalStraightFullRow, hollowInRow,
                                hollowOutRow,      textBgHollowInRow};
