// Checksums that pin the readers' and writers' behaviour: every byte a record holds
// (whole fixed arrays, flags, every parameter and value text in order, with null and
// empty told apart) and every byte written. A change to a hot path must leave them as
// they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kova/kova.h"

namespace kova::bench {

// 64-bit FNV-1a.
class Checksum {
public:
    void bytes(const void *data, size_t size);
    void number(uint64_t value) { bytes(&value, sizeof value); }
    // A length goes first, so that "ab","c" and "a","bc" differ; null differs from "".
    void text(const char *text);
    uint64_t value() const { return hash_; }
    std::string hex() const;

private:
    uint64_t hash_ = 0xcbf29ce484222325ull;
};

// The record as a reader hands it to the callback, with the type and status it came with.
void add_record(Checksum &sum, uint32_t type, const ObjectRecord &record, uint32_t status);

}  // namespace kova::bench
