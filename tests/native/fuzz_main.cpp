#include "tests/native/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return ZU_FUZZ_TARGET(data, size);
}
