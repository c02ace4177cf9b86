#pragma once
#include <cstddef>

namespace zip {

// The English message table as the component carries it: a language block made at build time
// from catalogue/messages.txt by catalogue/make_catalogue.py.
extern const unsigned char kBuiltInLanguageBlock[];
extern const std::size_t kBuiltInLanguageBlockSize;

}  // namespace zip
