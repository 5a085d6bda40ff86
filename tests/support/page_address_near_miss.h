#pragma once
// Addresses near the allowed support pages, each with what it must get:
// allowed ones varied only in what a browser reads the same (case, port,
// user information before the host, path), and near misses that reach
// another host or that parsers read differently (user information tricks,
// "\\", look-alike letters, escapes, dots, blanks, other schemes, bad ports,
// paths that climb out of an address prefix). Plain C++: the same bytes
// always give the same address, so a fuzzer and a fixed table share it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/allow_list.h"

namespace zu::test {

enum class NearMissVerdict { kMustAllow, kMustRefuse, kEither };

struct NearMiss {
  std::wstring address;
  NearMissVerdict verdict = NearMissVerdict::kEither;
  const char* change = "";  // the last change made, for messages
};

NearMiss MakeNearMiss(const std::uint8_t* data, std::size_t size,
                      const PageAllowList& list = kPageAllowList);
// The address of a fixed seed: MakeNearMiss over bytes drawn from it.
NearMiss NearMissOfSeed(std::uint64_t seed, const PageAllowList& list = kPageAllowList);

// An address for messages: ASCII as it is, everything else as \uXXXX, so
// that look-alike letters show.
std::string NarrowForMessage(const std::wstring& text);

// The near misses of the seeds 0..count-1 judged by allowed(): how many had
// to be refused and to be allowed, and a line for each wrong answer.
struct NearMissTally {
  int must_refuse = 0;
  int must_allow = 0;
  std::vector<std::string> wrong;
};
NearMissTally JudgeNearMisses(const std::function<bool(const std::wstring&)>& allowed,
                              std::uint64_t count = 12000);

}  // namespace zu::test
