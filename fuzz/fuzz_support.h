// What every harness shares: a private device root (so that no registry of the machine
// is read), a fixed time zone with daylight saving, and a scratch folder for files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kova::fuzz {

// Made once per process and left behind for the fuzzer's lifetime; /dev/shm keeps
// the per-input file traffic off the disk.
inline const std::string &scratch_dir()
{
    static const std::string dir = [] {
        std::string base = std::getenv("KOVA_FUZZ_TMP") ? std::getenv("KOVA_FUZZ_TMP") : "/dev/shm";
        std::string templ = base + "/kova-fuzz-XXXXXX";
        if (!mkdtemp(templ.data())) std::abort();
        setenv("KOVA_DEVICE_ROOT", templ.c_str(), 1);
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        return templ;
    }();
    return dir;
}

inline std::string scratch_path(std::string_view name) { return scratch_dir() + "/" + std::string(name); }

inline void write_bytes(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

inline std::u16string widen_ascii(const std::string &s) { return std::u16string(s.begin(), s.end()); }

}  // namespace kova::fuzz
