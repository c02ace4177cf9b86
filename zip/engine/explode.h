#pragma once
// Implode (zip method 6): an LZ77 window of 4 or 8 KB with Shannon-Fano coded lengths,
// distances and (optionally) literals. `flags` are the entry's general purpose flags: bit 1
// selects the 8 KB window, bit 2 the literal tree. Decodes until `size` bytes are produced.
#include <cstdint>

#include "zip/engine/streams.h"

namespace zipeng {

DecodeStatus Explode(ByteSource& source, ByteSink& sink, std::uint64_t size, std::uint16_t flags);

}  // namespace zipeng
