#pragma once
// Probes for caller-supplied buffers (IsBadReadPtr / IsBadWritePtr on Windows). They say whether
// every byte of [address, address + size) lies in mapped memory with the asked-for access.
// A probe is advisory: another thread may change the mapping right after it answers.

#include <cstddef>

namespace platform {

bool isReadable(const void* address, std::size_t size);
bool isWritable(void* address, std::size_t size);

}  // namespace platform
