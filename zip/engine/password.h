#pragma once
// The password check of one encrypted entry: the call's current key first, then the caller's
// answers to PasswordQuery, within the request limit.
#include <cstdint>
#include <string>

#include "zip/engine/crypt.h"

namespace zipeng {

class Call;

// `header` is the entry's 12-byte encryption header, `check` the byte its last plaintext byte
// must equal. On success `keys` is ready for the data that follows.
bool CheckPassword(Call& call, const std::string& name, const std::uint8_t* header, std::uint8_t check,
                   TraditionalKeys& keys);

}  // namespace zipeng
