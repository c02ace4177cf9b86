#include "zip/engine/password.h"

#include <cstring>

#include "zip/engine/call.h"

namespace zipeng {
namespace {

constexpr unsigned kMaxRequests = 15;

// The key as given, then as the OEM code page spells it: DOS archivers hashed OEM bytes.
bool TryKeyForms(const std::string& key, const std::uint8_t* header, std::uint8_t check, TraditionalKeys& keys) {
  if (TryPassword(key, header, check, keys)) return true;
  std::string oem = key;
  for (char& c : oem) c = os::AnsiCharToOem(c);
  return oem != key && TryPassword(oem, header, check, keys);
}

}  // namespace

bool CheckPassword(Call& call, const std::string& name, const std::uint8_t* header, std::uint8_t check,
                   TraditionalKeys& keys) {
  if (call.requestLimit == 0) return false;
  if (!call.firstEncryptedSeen) {
    call.firstEncryptedSeen = true;
    if (!call.givenPassword.empty()) {
      call.key = call.givenPassword;
      call.haveKey = true;
    }
  }
  if (call.haveKey) {
    if (TryKeyForms(call.key, header, check, keys)) return true;
  }
  if (call.askNoMore) return false;  // "no to all" holds for the rest of the call
  unsigned remaining = call.requestLimit;
  for (unsigned requests = 0; requests < kMaxRequests && remaining > 0 && !call.Stopped(); ++requests) {
    call.Prepare(kActPasswordQuery);
    call.record.Arg1 = static_cast<std::int32_t>(remaining);
    call.record.Text = name.c_str();
    int answer = call.Send();
    // Arg1 and Reply live in the same record the caller just wrote; read both before anything
    // else touches it.
    unsigned answeredCount = static_cast<unsigned>(call.record.Arg1) & 15;
    std::size_t replyLength = strnlen(call.record.Reply, kReplySize);
    std::string reply(call.record.Reply, replyLength < kMaxPassword ? replyLength : kMaxPassword);
    if (answer <= kAnswerNever) call.askNoMore = true;  // this reply is the last one tried
    if (answeredCount < remaining) remaining = answeredCount;
    if (answer == kAnswerNo) return false;
    if ((answer == kAnswerYes || answer <= kAnswerNever) && !reply.empty()) {
      call.key = reply;
      call.haveKey = true;
      if (TryKeyForms(call.key, header, check, keys)) return true;
    }
    if (call.askNoMore) return false;
    if (remaining > 0) --remaining;
  }
  return false;
}

}  // namespace zipeng
