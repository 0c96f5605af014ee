#pragma once
// What the host hands an effect object for one frame: image buffers, parameter values, times.
// All objects are owned by the host and valid for the duration of the call they are passed to.

#include <cstdint>
#include <memory>

// An 8-bit BGRA picture; rows may be padded, so GetStride() is always honoured.
struct QORImageBuffer {
    virtual int32_t GetWidth() = 0;   // 0: pixels
    virtual int32_t GetHeight() = 0;  // 1: rows
    virtual int32_t Reserved2() { return 0; }
    virtual int32_t GetStride() = 0;  // 3: bytes per row
    virtual uint8_t* GetData() = 0;   // 4: first byte of the top row

protected:
    // Not part of the slot table: a buffer is destroyed only by whoever created it.
    ~QORImageBuffer() = default;
};

struct QORPoint {
    int32_t x;
    int32_t y;
};

// A parameter value: the caller sets `kind` to the kind it asks for, the host fills `payload`.
struct QORParamValue {
    int32_t kind;  // 3 int32, 5 float, 6 double, 7 bool byte, 8 text, 9 pointer, 12 point
    int32_t reserved;
    union {
        int32_t i;
        float f;
        double d;
        uint8_t b;
        const char* text;  // owned by the host; the module copies it
        uint64_t pointer;
        QORPoint point;
        uint8_t bytes[64];
    } payload;
};

static_assert(sizeof(QORParamValue) == 72, "QORParamValue is a 72-byte record");

struct QORRenderContext {
    virtual int64_t GetCurrentTime() = 0;  // 0
    virtual int32_t GetTotalTime() = 0;    // 1
    virtual int32_t Reserved2() { return 0; }
    virtual int32_t Reserved3() { return 0; }
    virtual int32_t Reserved4() { return 0; }
    virtual int32_t Reserved5() { return 0; }
    virtual int32_t Reserved6() { return 0; }
    virtual int32_t Reserved7() { return 0; }
    virtual int32_t Reserved8() { return 0; }
    virtual int32_t GetInputCount() = 0;                   // 9
    virtual QORImageBuffer* GetInput(int32_t index) = 0;   // 10: 0 main input, 1 second input; may be null
    virtual int32_t Reserved11() { return 0; }
    virtual int32_t Reserved12() { return 0; }
    virtual int32_t Reserved13() { return 0; }
    // 14. May be the buffer of input 0 itself (in-place filters), never one sharing memory with input 1.
    virtual QORImageBuffer* GetOutput() = 0;
    virtual int32_t Reserved15() { return 0; }
    virtual int32_t Reserved16() { return 0; }
    virtual int32_t Reserved17() { return 0; }
    // 18. Fills `value` (whose kind the caller has set) for parameter `name` at `time`; 0 when filled.
    virtual int32_t GetParamValue(const char* name, int64_t time, QORParamValue* value) = 0;
    virtual int32_t Reserved19() { return 0; }
    virtual int32_t Reserved20() { return 0; }
    virtual int32_t Reserved21() { return 0; }
    // 22. The result of the AI effect `guid` for input `index`, or null.
    virtual QORImageBuffer* GetAiResult(int32_t index, const char* guid) { return nullptr; }
    // 23. The source frame of input `index` scaled to width x height, or left empty.
    virtual void GetSourceFrame(std::shared_ptr<QORImageBuffer>* frame, int32_t index, int32_t width,
                                int32_t height) {}
};
