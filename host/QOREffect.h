#pragma once
// The effect object the module hands to the host. The host owns the pointer it receives from
// CreateQOREffect until it gives it back to ReleaseQOREffect, and drives one object from one
// thread at a time.

#include <cstdint>

struct QORRenderContext;

struct QOREffect {
    virtual ~QOREffect() = default;  // 0
    virtual int32_t Reserved1() = 0;
    virtual int32_t Reserved2() = 0;
    // 3. Pulls the current parameter values from the host; returns 0.
    virtual int32_t UpdateParameters(QORRenderContext* context) = 0;
    // 4. Renders the frame into the context's output; 0 on success, 4 on failure. The output may be
    // the main input's own buffer (an in-place filter): the object then writes exactly what it
    // would write into a separate output holding a copy of the input, or fails with 4 and leaves
    // the buffer untouched. The output must not share memory with the second input.
    virtual int32_t Render(QORRenderContext* context) = 0;
    virtual int32_t Reserved5() = 0;
    virtual int32_t Reserved6() = 0;
    // 7. Lets go of the AI resources the object holds.
    virtual void ReleaseAiResources() = 0;
    virtual int32_t Reserved8() = 0;
    virtual int32_t Reserved9() = 0;
};
