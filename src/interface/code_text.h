#pragma once

#include <cstdint>

namespace kova::api {

// The text of a result code. Codes without a text of their own are formatted into one
// static buffer, which the next such call overwrites.
const char16_t *code_text(uint32_t code);

}  // namespace kova::api
