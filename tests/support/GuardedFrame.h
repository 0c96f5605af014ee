#pragma once
// Host image buffers whose bytes sit right against an inaccessible page, so that an effect reading
// or writing one byte past the last row (or before the first) faults at once instead of quietly
// touching a neighbour's memory.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "host/QORRenderContext.h"

namespace qortest {

// `size` bytes inside a private mapping whose neighbouring pages allow no access. The bytes end
// where the trailing guard page begins, or (`againstStart`) begin where the leading one ends.
class GuardedMemory {
public:
    GuardedMemory(std::size_t size, bool againstStart) : size_(size) {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t inner = (size + page - 1) / page * page;
        mappedSize_ = inner + 2 * page;
        void* mapped = mmap(nullptr, mappedSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) throw std::runtime_error("cannot map a guarded frame");
        mapped_ = static_cast<uint8_t*>(mapped);
        if (mprotect(mapped_, page, PROT_NONE) != 0 || mprotect(mapped_ + page + inner, page, PROT_NONE) != 0) {
            munmap(mapped_, mappedSize_);
            throw std::runtime_error("cannot protect the guard pages of a frame");
        }
        data_ = againstStart ? mapped_ + page : mapped_ + page + inner - size;
    }
    ~GuardedMemory() { munmap(mapped_, mappedSize_); }
    GuardedMemory(const GuardedMemory&) = delete;
    GuardedMemory& operator=(const GuardedMemory&) = delete;

    uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::vector<uint8_t> snapshot() const { return {data_, data_ + size_}; }

private:
    uint8_t* mapped_ = nullptr;
    std::size_t mappedSize_ = 0;
    uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// What a host image buffer claims about itself; a hostile host may claim nonsense.
struct Geometry {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;

    // True when the claims describe real rows of `width` pixels.
    bool isSound() const {
        return width > 0 && height > 0 && static_cast<int64_t>(stride) >= int64_t{4} * width;
    }
    // Bytes from the first pixel to the last one of a sound geometry.
    std::size_t extent() const {
        return static_cast<std::size_t>(stride) * static_cast<std::size_t>(height - 1) + 4 * static_cast<std::size_t>(width);
    }
};

// A host image buffer over guarded memory. A sound geometry gets exactly its extent; an unsound
// one gets a few bytes, which an effect that trusts the claims runs out of at once.
class GuardedFrame : public QORImageBuffer {
public:
    GuardedFrame(Geometry geometry, bool againstStart, bool nullData = false)
        : geometry_(geometry), memory_(geometry.isSound() ? geometry.extent() : 64, againstStart),
          nullData_(nullData) {}

    int32_t GetWidth() override { return geometry_.width; }
    int32_t GetHeight() override { return geometry_.height; }
    int32_t GetStride() override { return geometry_.stride; }
    uint8_t* GetData() override { return nullData_ ? nullptr : memory_.data(); }

    const Geometry& geometry() const { return geometry_; }
    const GuardedMemory& memory() const { return memory_; }
    bool hasData() const { return !nullData_; }
    bool isSound() const { return !nullData_ && geometry_.isSound(); }
    // Row `y`'s pixel bytes (4 x width) of a sound frame.
    uint8_t* row(int y) const { return memory_.data() + static_cast<std::size_t>(y) * geometry_.stride; }
    // True when every byte between a row's pixels and the next row equals the same byte of `before`.
    bool rowPaddingAsIn(const std::vector<uint8_t>& before) const {
        const std::size_t pixels = 4 * static_cast<std::size_t>(geometry_.width);
        for (int y = 0; y + 1 < geometry_.height; ++y) {
            const std::size_t start = static_cast<std::size_t>(y) * geometry_.stride + pixels;
            const std::size_t end = static_cast<std::size_t>(y + 1) * geometry_.stride;
            if (std::memcmp(memory_.data() + start, before.data() + start, end - start) != 0) return false;
        }
        return true;
    }

private:
    Geometry geometry_;
    GuardedMemory memory_;
    bool nullData_;
};

}  // namespace qortest
