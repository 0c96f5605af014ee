#pragma once
// Shared by the fuzz targets: a scratch folder for the files they write, and the errors the
// description builders are documented to raise for a malformed description.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace fuzz {

// A folder of this process's own below the temporary folder, removed when the process returns from
// main (libFuzzer ends some runs without that; scripts/fuzz.sh cleans up after them).
inline const std::filesystem::path& scratchFolder() {
    struct Scratch {
        std::filesystem::path path;
        Scratch() {
            std::string pattern = (std::filesystem::temp_directory_path() / "qor-fuzz-XXXXXX").string();
            if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder in " + pattern);
            path = pattern;
        }
        ~Scratch() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Scratch scratch;
    return scratch.path;
}

inline void writeFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
}

// Runs `build` and lets through only the errors a malformed description may raise: a JSON value of
// the wrong type, and a "DYNAMIC" or "ENCRYPT" text that is no number. Anything else escapes and
// stops the fuzzer.
template <typename Build>
void allowingDescriptionErrors(Build build) {
    try {
        build();
    } catch (const nlohmann::json::type_error&) {
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
}

}  // namespace fuzz
