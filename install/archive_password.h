#pragma once
// The password of the payload archive. The payload build encrypts with it and the setup hands it
// to the archive component; both take it from here, so the two cannot drift apart. It is kept
// reversed so that the plain text does not stand in the program's image.
#include <iterator>
#include <string>

namespace install {

inline constexpr char kArchivePasswordReversed[] = "9yaP!7102#rlQ";
static_assert(sizeof(kArchivePasswordReversed) - 1 == 13, "the archive password has 13 characters");

inline std::string ArchivePassword() {
  return std::string(std::rbegin(kArchivePasswordReversed) + 1, std::rend(kArchivePasswordReversed));
}

}  // namespace install
