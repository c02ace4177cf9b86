#pragma once
// Shrink (zip method 1): LZW with codes of 9 to 13 bits, grown and partly cleared only on the
// stream's own command. Decodes until `size` bytes are produced.
#include <cstdint>

#include "zip/engine/streams.h"

namespace zipeng {

DecodeStatus Unshrink(ByteSource& source, ByteSink& sink, std::uint64_t size);

}  // namespace zipeng
