// Every effect of the bundled pack, created through the entry points and driven by a host that
// hands it the worst frames and values it can: sizes from one pixel to odd large frames, minimal
// and padded rows, missing and broken buffers, the output as the main input, every parameter at
// random, extreme, NaN, infinite, huge or malformed values, and strange times. Every buffer lies
// against an inaccessible page, so a single byte read or written past it faults.
//
// Whatever it gets, an effect must not crash or hang; it either renders (0) without touching row
// padding or its inputs, or refuses (4) and leaves the output exactly as it was; a frame missing
// its output or main input is refused (a main input without pixels may instead be finished at
// once, untouched); in place it renders the bytes it renders to a separate output, or refuses
// without touching the frame. Objects rendering at once on several threads render what each
// renders alone.
//
// The cases come from a fixed seed (QOR_HOSTILE_SEED changes it); QOR_HOSTILE_CASES sets their
// number and QOR_HOSTILE_CASE replays a single one.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "module/LoadedModule.h"
#include "support/GuardedFrame.h"

using namespace qortest;

namespace {

constexpr uint32_t kDefaultSeed = 20261206;
constexpr long kDefaultCases = 1500;
// A case taking longer than this is a hang.
constexpr unsigned kCaseSeconds = 60;

long fromEnvironment(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 0) : fallback;
}

using Rng = std::mt19937;

int uniform(Rng& rng, int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
double uniformReal(Rng& rng, double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng); }
bool chance(Rng& rng, double p) { return std::bernoulli_distribution(p)(rng); }
template <class T, std::size_t N>
T oneOf(Rng& rng, const T (&items)[N]) {
    return items[static_cast<std::size_t>(uniform(rng, 0, static_cast<int>(N) - 1))];
}

// ---- What a crash or hang leaves behind: the case that caused it -------------------------------

char gCurrentCase[512] = "no case yet";
constexpr int kWatchedSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGALRM};
struct sigaction gPreviousActions[std::size(kWatchedSignals)];

void restorePreviousActions() {
    for (std::size_t i = 0; i < std::size(kWatchedSignals); ++i) {
        sigaction(kWatchedSignals[i], &gPreviousActions[i], nullptr);
    }
}

// Names the case, then hands the signal back: the faulting instruction repeats and the previous
// handler (the default one, or the address sanitizer's) reports it. A hang ends here.
void reportCase(int signal) {
    const char prefix[] = "\n*** hostile host: signal during case: ";
    (void)!write(2, prefix, sizeof prefix - 1);
    (void)!write(2, gCurrentCase, std::strlen(gCurrentCase));
    (void)!write(2, "\n", 1);
    restorePreviousActions();
    if (signal == SIGALRM) std::abort();
}

struct CrashReporter {
    CrashReporter() {
        struct sigaction action {};
        action.sa_handler = reportCase;
        for (std::size_t i = 0; i < std::size(kWatchedSignals); ++i) {
            sigaction(kWatchedSignals[i], &action, &gPreviousActions[i]);
        }
    }
    ~CrashReporter() {
        alarm(0);
        restorePreviousActions();
    }
};

// ---- Parameter values --------------------------------------------------------------------------

// One parameter's answer, in every kind the module may ask for it in.
struct HostAnswer {
    bool answered = true;
    int32_t integer = 0;
    float single = 0;
    double number = 0;
    std::string text;
    bool nullText = false;      // a text answer whose pointer is null
    int32_t answeredKind = 0;   // when not 0, the kind the host answers in, whatever was asked
    std::string shown;          // how the case description shows it
};

HostAnswer numberAnswer(double value) {
    HostAnswer answer;
    answer.number = value;
    answer.single = static_cast<float>(value);
    answer.integer = std::isfinite(value) && std::abs(value) < 2147483647.0 ? static_cast<int32_t>(value) : 0;
    std::ostringstream shown;
    shown << value;
    answer.shown = shown.str();
    return answer;
}

HostAnswer integerAnswer(int32_t value) {
    HostAnswer answer = numberAnswer(value);
    answer.integer = value;
    return answer;
}

HostAnswer textAnswer(std::string text, std::string shown) {
    HostAnswer answer;
    answer.text = std::move(text);
    answer.shown = std::move(shown);
    return answer;
}

HostAnswer hostileReal(Rng& rng, const qorfx::ParamAnnouncement& param) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double lo = param.minimum(), hi = param.maximum(), span = std::max(hi - lo, 1.0);
    const double extremes[] = {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 3.4e38, -3.4e38, 1e300, -1e300,
                               1e-45, -0.0, 0.0, 1e9, -1e9, 0.5, -1.0};
    switch (uniform(rng, 0, 5)) {
    case 0: return numberAnswer(param.defaultValue());
    case 1: return numberAnswer(chance(rng, 0.5) ? lo : hi);
    case 2:
    case 3: return numberAnswer(uniformReal(rng, lo, hi));
    case 4: return numberAnswer(uniformReal(rng, lo - 3 * span, hi + 3 * span));
    default: return numberAnswer(oneOf(rng, extremes));
    }
}

int32_t saturatedInt(double value) {
    return static_cast<int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

HostAnswer hostileInteger(Rng& rng, const qorfx::ParamAnnouncement& param) {
    const int32_t lo = saturatedInt(param.minimum()), hi = saturatedInt(param.maximum());
    const int32_t extremes[] = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), -1, 0, 1,
                                1 << 30, -(1 << 30), 65536, 0xFFFFFF, 256};
    switch (uniform(rng, 0, 5)) {
    case 0: return integerAnswer(saturatedInt(param.defaultValue()));
    case 1: return integerAnswer(chance(rng, 0.5) ? lo : hi);
    case 2:
    case 3: return integerAnswer(lo < hi ? uniform(rng, lo, hi) : lo);
    case 4: return integerAnswer(static_cast<int32_t>(rng()));
    default: return integerAnswer(oneOf(rng, extremes));
    }
}

std::string number(double value) {
    std::ostringstream text;
    text.precision(17);
    text << value;
    return text.str();
}

// A JSON list of `count` curve points, in rising x or scattered, plain or extreme.
std::string pointList(Rng& rng, int count, bool extreme) {
    std::string text = "[";
    const bool rising = chance(rng, 0.7);
    for (int i = 0; i < count; ++i) {
        double x = rising ? (count > 1 ? double(i) / (count - 1) : 0.5) : uniformReal(rng, -1, 2);
        double y = uniformReal(rng, -0.5, 1.5);
        if (extreme && chance(rng, 0.3)) (chance(rng, 0.5) ? x : y) = chance(rng, 0.5) ? 1e308 : -1e308;
        text += (i ? "," : "") + std::string("{\"_time\":") + number(x) + ",\"_value\":" + number(y) + "}";
    }
    return text + "]";
}

HostAnswer hostileText(Rng& rng, const qorfx::ParamAnnouncement& param) {
    static const std::string deepArrays = std::string(100000, '[') + std::string(100000, ']');
    static const std::string unclosed = std::string(100000, '[');
    static const std::string deepObjects = [] {
        std::string text;
        for (int i = 0; i < 50000; ++i) text += "{\"_time\":";
        return text + "0" + std::string(50000, '}');
    }();
    switch (uniform(rng, 0, 15)) {
    case 0: return textAnswer(param.text, "default");
    case 1: return textAnswer("", "empty");
    case 2: return textAnswer("not json {", "invalid JSON");
    case 3: return textAnswer(deepArrays, "100000-deep arrays");
    case 4: return textAnswer(unclosed, "100000 unclosed arrays");
    case 5: return textAnswer(deepObjects, "50000-deep objects");
    case 6: return textAnswer(pointList(rng, 100000, false), "100000 points");
    case 7: return textAnswer(R"([{"_time":"a","_value":true},{"_time":null,"_value":[1]},{"_time":{},"_value":0}])",
                              "non-numbers");
    case 8: return textAnswer(R"([1, "x", null, {"_time":0.5}, {"_value":0.5}, [], {"_time":1e999,"_value":-1e999}])",
                              "mixed items");
    case 9: return textAnswer(R"({"a":{"_time":0,"_value":0},"b":{"_time":1,"_value":1}})", "object of points");
    case 10: return textAnswer("file:/" + pointList(rng, 3, false), "file prefix");
    case 11: {
        std::string noise(uniform(rng, 1, 1 << 20), ' ');
        for (char& c : noise) c = static_cast<char>(uniform(rng, 1, 255));
        return textAnswer(noise, "random bytes");
    }
    default: {
        const int count = oneOf(rng, {0, 1, 2, 2, 3, 5, 25, 26, uniform(rng, 2, 25)});
        const bool extreme = chance(rng, 0.3);
        return textAnswer(pointList(rng, count, extreme),
                          std::to_string(count) + (extreme ? " extreme points" : " points"));
    }
    }
}

// A hostile value for `param`, or (with probability 1 - `hostility`) its default, so that cases with
// few odd values reach the paths that do real work.
HostAnswer hostileAnswer(Rng& rng, const qorfx::ParamAnnouncement& param, double hostility) {
    if (!chance(rng, hostility)) {
        return param.isNumeric() ? numberAnswer(param.defaultValue()) : textAnswer(param.text, "default");
    }
    HostAnswer answer;
    switch (param.widget) {
    case qorfx::ParamWidget::String:
    case qorfx::ParamWidget::ListMask: answer = hostileText(rng, param); break;
    case qorfx::ParamWidget::Float:
    case qorfx::ParamWidget::Double:
    case qorfx::ParamWidget::Mult100: answer = hostileReal(rng, param); break;
    default: answer = hostileInteger(rng, param); break;
    }
    if (chance(rng, 0.05)) {
        answer.answered = false;
        answer.shown = "unanswered";
    } else if (chance(rng, 0.05)) {
        answer.answeredKind = oneOf(rng, {3, 5, 6, 7, 8, 9, 12});
        answer.shown += " as kind " + std::to_string(answer.answeredKind);
    } else if (chance(rng, 0.03)) {
        answer.nullText = true;
        answer.shown = "null text";
    }
    return answer;
}

// ---- The host's side of one frame --------------------------------------------------------------

class HostileContext : public QORRenderContext {
public:
    int64_t currentTime = 0;
    int32_t totalTime = 0;
    int32_t inputCount = 1;
    QORImageBuffer* inputs[2] = {nullptr, nullptr};
    QORImageBuffer* output = nullptr;
    std::map<std::string, HostAnswer> answers;

    int64_t GetCurrentTime() override { return currentTime; }
    int32_t GetTotalTime() override { return totalTime; }
    int32_t GetInputCount() override { return inputCount; }
    QORImageBuffer* GetInput(int32_t index) override { return index == 0 || index == 1 ? inputs[index] : nullptr; }
    QORImageBuffer* GetOutput() override { return output; }
    int32_t GetParamValue(const char* name, int64_t, QORParamValue* value) override {
        const auto found = answers.find(name);
        if (found == answers.end() || !found->second.answered) return 1;
        const HostAnswer& answer = found->second;
        if (answer.answeredKind != 0) value->kind = answer.answeredKind;
        switch (value->kind) {
        case 3: value->payload.i = answer.integer; return 0;
        case 5: value->payload.f = answer.single; return 0;
        case 6: value->payload.d = answer.number; return 0;
        case 7: value->payload.b = answer.integer != 0; return 0;
        case 8: value->payload.text = answer.nullText ? nullptr : answer.text.c_str(); return 0;
        case 9: value->payload.pointer = static_cast<uint64_t>(answer.integer); return 0;
        case 12: value->payload.point = {answer.integer, answer.integer}; return 0;
        default: return 1;
        }
    }
};

// ---- Frames ------------------------------------------------------------------------------------

int hostileLength(Rng& rng, int stripes) {
    const int lengths[] = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65};
    switch (uniform(rng, 0, 9)) {
    case 0: return uniform(rng, 1, stripes);  // fewer rows or columns than worker stripes
    case 1: return uniform(rng, 200, 700) | 1;
    case 2:
    case 3:
    case 4: return oneOf(rng, lengths);
    default: return uniform(rng, 1, 160);
    }
}

Geometry soundGeometry(Rng& rng, int width, int height) {
    // Some paddings are not whole pixels: rows then start at any byte.
    const int padding = chance(rng, 0.4) ? 0 : oneOf(rng, {4, 12, 16, 64, 1020, 1, 2, 3, 5});
    return {width, height, 4 * width + padding};
}

// A geometry whose claims cannot describe a frame, as a broken host might send.
Geometry brokenGeometry(Rng& rng, const Geometry& sound) {
    Geometry g = sound;
    switch (uniform(rng, 0, 5)) {
    case 0: g.width = 0; break;
    case 1: g.height = oneOf(rng, {0, -1, std::numeric_limits<int32_t>::min()}); break;
    case 2: g.width = oneOf(rng, {-1, -4096, std::numeric_limits<int32_t>::min()}); break;
    case 3: g.stride = 4 * g.width - oneOf(rng, {1, 4}); break;
    case 4: g.stride = oneOf(rng, {0, -g.stride}); break;
    default: g.width = (1 << 29) + 1; break;  // four bytes a pixel overflow 32 bits
    }
    return g;
}

cv::Mat pictureFor(Rng& rng, int width, int height) {
    static const cv::Mat picture = samplePicture("astronaut.png");
    if (chance(rng, 0.5) && width <= picture.cols && height <= picture.rows) {
        cv::Mat crop = picture(cv::Rect(uniform(rng, 0, picture.cols - width), uniform(rng, 0, picture.rows - height),
                                        width, height)).clone();
        const int alpha = oneOf(rng, {255, 255, 0, 128, 200});
        crop.forEach<cv::Vec4b>([alpha](cv::Vec4b& p, const int*) { p[3] = static_cast<uint8_t>(alpha); });
        return crop;
    }
    return noisePicture(width, height, rng());
}

// A guarded frame filled with a picture, its padding with noise.
std::unique_ptr<GuardedFrame> filledFrame(Rng& rng, const Geometry& geometry, bool nullData = false) {
    auto frame = std::make_unique<GuardedFrame>(geometry, chance(rng, 0.3), nullData);
    uint8_t* bytes = frame->memory().data();
    for (std::size_t i = 0; i < frame->memory().size(); ++i) bytes[i] = static_cast<uint8_t>(rng());
    if (frame->geometry().isSound()) {
        const cv::Mat picture = pictureFor(rng, geometry.width, geometry.height);
        for (int y = 0; y < geometry.height; ++y) std::memcpy(frame->row(y), picture.ptr(y), 4 * geometry.width);
    }
    return frame;
}

std::unique_ptr<GuardedFrame> copyOf(const GuardedFrame& frame, bool againstStart) {
    auto copy = std::make_unique<GuardedFrame>(frame.geometry(), againstStart);
    std::memcpy(copy->memory().data(), frame.memory().data(), frame.memory().size());
    return copy;
}

std::string describe(const char* what, const GuardedFrame* frame) {
    if (!frame) return std::string(what) + " none";
    const Geometry& g = frame->geometry();
    return std::string(what) + " " + std::to_string(g.width) + "x" + std::to_string(g.height) + "/" +
           std::to_string(g.stride) + (frame->hasData() ? "" : " null");
}

// ---- One case ----------------------------------------------------------------------------------

struct Case {
    std::string description;
    std::unique_ptr<GuardedFrame> input, second, output;
    bool inPlace = false;
    bool inputBroken = false, outputBroken = false;
    bool outputMissing = false;  // the host hands no output buffer object at all
    HostileContext context;
};

Case makeCase(Rng& rng, const qorfx::EffectAnnouncement& effect) {
    Case c;
    const int width = hostileLength(rng, 16), height = hostileLength(rng, 16);
    const Geometry inputGeometry = soundGeometry(rng, width, height);
    c.inPlace = chance(rng, 0.2);
    c.inputBroken = !c.inPlace && chance(rng, 0.05);
    c.outputBroken = !c.inPlace && chance(rng, 0.05);
    const bool inputNull = c.inputBroken && chance(rng, 0.4), outputNull = c.outputBroken && chance(rng, 0.4);

    c.input = filledFrame(rng, c.inputBroken && !inputNull ? brokenGeometry(rng, inputGeometry) : inputGeometry,
                          inputNull);
    if (!c.inPlace) {
        const bool sameSize = chance(rng, 0.6);
        const Geometry sound = sameSize ? soundGeometry(rng, width, height)
                                        : soundGeometry(rng, hostileLength(rng, 16), hostileLength(rng, 16));
        c.output = filledFrame(rng, c.outputBroken && !outputNull ? brokenGeometry(rng, sound) : sound, outputNull);
    }
    const int secondKind = uniform(rng, 0, 9);  // 0 none, 1 null data, 2 broken, 3 or 4 another size, else same
    if (secondKind == 0) {
        c.context.inputCount = 1;
    } else {
        c.context.inputCount = 2;
        const Geometry sound = secondKind <= 4 ? soundGeometry(rng, hostileLength(rng, 16), hostileLength(rng, 16))
                                              : soundGeometry(rng, width, height);
        c.second = filledFrame(rng, secondKind == 2 ? brokenGeometry(rng, sound) : sound, secondKind == 1);
    }

    c.context.inputs[0] = c.input.get();
    c.context.inputs[1] = c.second.get();
    // No buffer object at all for a broken output or main input.
    c.outputMissing = c.outputBroken && chance(rng, 0.3);
    if (c.inputBroken && chance(rng, 0.3)) c.context.inputs[0] = nullptr;
    // The same clip as both inputs (never together with the output: a host does not render into a
    // second input).
    const bool secondIsMain = !c.inPlace && chance(rng, 0.08);
    if (secondIsMain) {
        c.second.reset();
        c.context.inputCount = 2;
        c.context.inputs[1] = c.input.get();
    }
    if (chance(rng, 0.05)) c.context.inputCount = oneOf(rng, {0, -1, 7});
    c.context.currentTime = oneOf(rng, {int64_t{0}, int64_t{20}, int64_t{-5}, int64_t{1} << 40,
                                        int64_t{uniform(rng, 0, 100000)}});
    c.context.totalTime = oneOf(rng, {0, 100, -1, std::numeric_limits<int32_t>::max(), uniform(rng, 0, 100000)});

    std::string values;
    const double hostility = oneOf(rng, {0.1, 0.5, 1.0});
    for (const auto& param : effect.params) {
        HostAnswer answer = hostileAnswer(rng, param, hostility);
        values += " " + param.name + "=" + answer.shown.substr(0, 24);
        c.context.answers[param.name] = std::move(answer);
    }
    if (!c.context.answers.count("skinProtect") && chance(rng, 0.1)) {
        c.context.answers["skinProtect"] = integerAnswer(uniform(rng, -5, 120));
    }
    c.description = effect.name + ": " + describe("in", c.context.inputs[0] ? c.input.get() : nullptr) + ", " +
                    (c.inPlace ? std::string("out = in") : describe("out", c.outputMissing ? nullptr : c.output.get())) +
                    ", " +
                    (secondIsMain ? std::string("second = in") : describe("second", c.second.get())) + " (inputs " + std::to_string(c.context.inputCount) +
                    "), time " + std::to_string(c.context.currentTime) + "/" + std::to_string(c.context.totalTime) +
                    "," + values;
    return c;
}

int32_t renderCase(QOREffect& effect, HostileContext& context) {
    EXPECT_EQ(effect.UpdateParameters(&context), 0);
    return effect.Render(&context);
}

// Renders to a separate output that starts as a copy of the input; then in place, with a fresh
// object, on another copy: the same bytes, or a refusal with the frame untouched. All copies lie
// alike in memory, as an effect may choose its path by the buffers' alignment.
void checkInPlace(qorfx::ModuleHost& host, const std::string& guid, Case& c, Rng& rng) {
    const bool againstStart = chance(rng, 0.5);
    c.input = copyOf(*c.input, againstStart);
    c.output = copyOf(*c.input, againstStart);
    c.context.inputs[0] = c.input.get();
    c.context.output = c.output.get();
    const int32_t apart = renderCase(*host.create(guid, 0).get(), c.context);

    auto frame = copyOf(*c.input, againstStart);
    const std::vector<uint8_t> before = frame->memory().snapshot();
    c.context.inputs[0] = c.context.output = frame.get();
    const int32_t inPlace = renderCase(*host.create(guid, 0).get(), c.context);
    ASSERT_TRUE(inPlace == 0 || inPlace == 4) << inPlace;
    if (inPlace == 4) {
        EXPECT_TRUE(frame->memory().snapshot() == before) << "a frame refused in place was changed";
    } else {
        EXPECT_EQ(apart, 0) << "renders in place but refuses a separate output";
        EXPECT_TRUE(frame->memory().snapshot() == c.output->memory().snapshot())
            << "in place differs from a separate output";
    }
}

void checkApart(QOREffect& effect, Case& c) {
    c.context.output = c.outputMissing ? nullptr : c.output.get();
    const std::vector<uint8_t> inputBefore = c.input->memory().snapshot();
    const std::vector<uint8_t> outputBefore = c.output->memory().snapshot();
    const std::vector<uint8_t> secondBefore = c.second ? c.second->memory().snapshot() : std::vector<uint8_t>{};

    const int32_t result = renderCase(effect, c.context);
    ASSERT_TRUE(result == 0 || result == 4) << result;
    EXPECT_TRUE(c.input->memory().snapshot() == inputBefore) << "the main input was written";
    if (c.second) {
        EXPECT_TRUE(c.second->memory().snapshot() == secondBefore) << "the second input was written";
    }
    // A main input without a single pixel leaves nothing to process: an effect may finish at once.
    const Geometry& in = c.input->geometry();
    const bool nothingToDo =
        c.context.inputs[0] && c.input->hasData() && !c.outputBroken && (in.width < 1 || in.height < 1);
    if ((c.inputBroken || c.outputBroken) && !nothingToDo) {
        EXPECT_EQ(result, 4) << "a frame without a usable output or input";
    }
    if (result == 4 || nothingToDo) {
        EXPECT_TRUE(c.output->memory().snapshot() == outputBefore) << "a refused or empty frame changed the output";
    } else {
        EXPECT_TRUE(c.output->rowPaddingAsIn(outputBefore)) << "bytes between the output's rows were written";
    }
}

uint32_t chosenSeed() { return static_cast<uint32_t>(fromEnvironment("QOR_HOSTILE_SEED", kDefaultSeed)); }

Rng caseRng(uint32_t seed, long index) {
    std::seed_seq seeds{seed, static_cast<uint32_t>(index)};
    return Rng(seeds);
}

// The bundled pack, started and registered, with the host's log kept out of the way of threads.
struct HostilePack {
    LoadedModule module{bundledEffectRoot()};
    std::vector<const qorfx::EffectAnnouncement*> creatable;

    HostilePack() {
        module.host().util().keepMessages = false;
        module.startAndRegister();
        for (const auto& announced : module.registrar().effects) {
            if (module.host().create(announced.guid, 0)) creatable.push_back(&announced);
        }
    }
    const qorfx::EffectAnnouncement& effectOf(long index) const {
        return *creatable[static_cast<std::size_t>(index) % creatable.size()];
    }
};

}  // namespace

TEST(HostileHost, EveryEffectSurvivesHostileFramesAndValues) {
    const uint32_t seed = chosenSeed();
    const long cases = fromEnvironment("QOR_HOSTILE_CASES", kDefaultCases);
    const long only = fromEnvironment("QOR_HOSTILE_CASE", -1);
    std::printf("hostile host: seed %u, %ld cases (QOR_HOSTILE_SEED, QOR_HOSTILE_CASES, QOR_HOSTILE_CASE)\n", seed,
                cases);
    HostilePack pack;
    ASSERT_EQ(pack.creatable.size(), 23u);
    // One object per effect renders every frame apart, as a host reuses it from frame to frame.
    std::vector<qorfx::EffectHandle> objects;
    for (const auto* announced : pack.creatable) objects.push_back(pack.module.host().create(announced->guid, 0));
    for (const auto& object : objects) {
        EXPECT_EQ(object->UpdateParameters(nullptr), 0);
        EXPECT_EQ(object->Render(nullptr), 4) << "a render without a context";
    }

    const CrashReporter reporter;
    for (long index = only >= 0 ? only : 0; index < (only >= 0 ? only + 1 : cases); ++index) {
        const qorfx::EffectAnnouncement& announced = pack.effectOf(index);
        Rng rng = caseRng(seed, index);
        Case c = makeCase(rng, announced);
        std::snprintf(gCurrentCase, sizeof gCurrentCase, "seed %u case %ld: %s", seed, index, c.description.c_str());
        SCOPED_TRACE(gCurrentCase);
        alarm(kCaseSeconds);
        if (c.inPlace) {
            checkInPlace(pack.module.host(), announced.guid, c, rng);
        } else {
            checkApart(*objects[static_cast<std::size_t>(index) % objects.size()].get(), c);
        }
        alarm(0);
        if (::testing::Test::HasFailure()) break;
    }
}

// A host drives its effect objects from threads of its own. Objects rendering at the same time on
// four threads render the bytes each renders alone: nothing they share is written unguarded.
TEST(HostileHost, ObjectsOnSeveralThreadsRenderWhatEachRendersAlone) {
    const uint32_t seed = chosenSeed();
    const long cases = std::max(23L, fromEnvironment("QOR_HOSTILE_CASES", kDefaultCases) / 8);
    HostilePack pack;
    struct Outcome {
        int32_t result;
        std::vector<uint8_t> bytes;
    };
    // Case `index` rendered apart by a fresh object (an in-place case on a copy of its input).
    const auto outcomeOf = [&](long index) {
        Rng rng = caseRng(seed, index);
        Case c = makeCase(rng, pack.effectOf(index));
        if (c.inPlace) c.output = copyOf(*c.input, false);
        c.context.output = c.output.get();
        const int32_t result = renderCase(*pack.module.host().create(pack.effectOf(index).guid, 0).get(), c.context);
        return Outcome{result, c.output->memory().snapshot()};
    };
    std::vector<Outcome> alone;
    for (long index = 0; index < cases; ++index) alone.push_back(outcomeOf(index));

    constexpr int kThreads = 4;
    std::vector<std::thread> threads;
    std::vector<std::vector<long>> differing(kThreads);
    alarm(kCaseSeconds * 5);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (long index = t; index < cases; index += kThreads) {
                const Outcome together = outcomeOf(index);
                const Outcome& expected = alone[static_cast<std::size_t>(index)];
                if (together.result != expected.result || together.bytes != expected.bytes) {
                    differing[t].push_back(index);
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    alarm(0);
    for (const auto& indices : differing) {
        for (const long index : indices) ADD_FAILURE() << "seed " << seed << " case " << index << " differs on threads";
    }
}
