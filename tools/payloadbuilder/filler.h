#pragma once
// Deterministic stand-in content that compresses like the files it replaces: blocks of
// incompressible bytes (as in the compressed resources of real programs and the pictures in
// help files) mixed with blocks of word-like text (tables, strings, templates). The same name,
// size and mix always give the same bytes.
#include <cstdint>
#include <string>

namespace payloadbuilder {

// `random_share` (0 to 1) of the 4 KB blocks are incompressible; the blocks chosen depend on the
// name only.
std::string Filler(const std::string& name, std::uint64_t size, double random_share);

// For the entry whose compressed size is tuned: the first `random_bytes` bytes incompressible,
// the rest text. Its compressed size grows by about one byte per random byte.
std::string TunableFiller(const std::string& name, std::uint64_t size, std::uint64_t random_bytes);

}  // namespace payloadbuilder
