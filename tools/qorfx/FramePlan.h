#pragma once
// Which pictures an apply run reads and writes: one picture, a numbered sequence such as
// "frames_%04d.png", or a folder of pictures.

#include <optional>
#include <string>
#include <vector>

namespace qorfx {

struct FramePlan {
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;  // one per input
    bool sequence = false;             // several frames with their own times, not one picture
};

// True for a name holding a frame-number field: "%d" or "%0Nd".
bool isFramePattern(const std::string& path);

// Pairs inputs with outputs. A pattern or a folder as input makes a sequence, in frame-number or
// name order; its output is a pattern (numbered like the input, or by position for a folder) or a
// folder (same file names). Nothing, with the reason in `error`, when the two do not fit together
// or nothing matches.
std::optional<FramePlan> planFrames(const std::string& input, const std::string& output, std::string& error);

}  // namespace qorfx
