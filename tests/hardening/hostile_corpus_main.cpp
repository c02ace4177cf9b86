// hostile_corpus FOLDER: writes every hostile archive of the corpus into FOLDER, e.g. to seed
// a fuzzer or to try a peer on them.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tests/hardening/hostile_corpus.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: hostile_corpus FOLDER\n", stderr);
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(argv[1], ec);
  std::string why;
  if (!hardening::WriteCorpus(argv[1], why)) {
    std::fprintf(stderr, "hostile_corpus: %s\n", why.c_str());
    return 1;
  }
  std::printf("%zu archives written to %s\n", hardening::Corpus().size(), argv[1]);
  return 0;
}
