// Every input kept under corpus/<target>/ (crashes found earlier and seeds)
// runs through its fuzz target on each test run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/native/fuzz_targets.h"

namespace {

TEST(FuzzCorpus, KeptInputsStillPass) {
  int replayed = 0;
  for (const FuzzTarget& target : kFuzzTargets) {
    const std::filesystem::path dir = std::filesystem::path(ZU_CORPUS_DIR) / target.name;
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (!entry.is_regular_file()) continue;
      SCOPED_TRACE(entry.path().string());
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
      target.run(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
