#pragma once
// Reads a fuzz input front to back as numbers and texts; past its end every read gives zeros, so a
// target can take as much as it needs from an input of any length.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace fuzz {

class Bytes {
public:
    Bytes(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    void copy(void* target, std::size_t count) {
        const std::size_t available = std::min(count, size_ - at_);
        std::memset(target, 0, count);
        std::memcpy(target, data_ + at_, available);
        at_ += available;
    }

    template <typename T>
    T take() {
        T value;
        copy(&value, sizeof value);
        return value;
    }

    // A text of up to `maxLength` bytes, its length in the byte before it.
    std::string text(std::size_t maxLength) {
        std::string value(std::min<std::size_t>(take<uint8_t>(), maxLength), '\0');
        copy(value.data(), value.size());
        return value;
    }

    std::size_t left() const { return size_ - at_; }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace fuzz
