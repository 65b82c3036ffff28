// Each fuzz target's past findings and seeds go through the target's own
// entry, so a finding stays found without libFuzzer. A violated property
// ends the program, which fails the test; the file last named is the input.

#include "support/TestFiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#define FUZZ_ENTRY(folder, name) extern "C" int Entry_##name(const std::uint8_t* data, std::size_t size);
#include "FuzzEntries.inc"
#undef FUZZ_ENTRY

namespace {

struct Target {
    const char* folder;
    const char* name;
    int (*entry)(const std::uint8_t*, std::size_t);
};

#define FUZZ_ENTRY(folder, name) Target{#folder, #name, Entry_##name},
const Target kTargets[] = {
#include "FuzzEntries.inc"
};
#undef FUZZ_ENTRY

class FuzzReplay : public testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, FindingsAndSeedsPass)
{
    const Target& t = GetParam();
    const std::string inputs = std::string(t.name).substr(std::string("fuzz_").size());
    int replayed = 0;
    for (const char* kind : {"regressions", "corpus"}) {
        const auto dir = std::filesystem::path(LUMETRA_SOURCE_DIR) / "fuzz" / t.folder / kind / inputs;
        if (!std::filesystem::is_directory(dir))
            continue;
        for (const auto& file : std::filesystem::directory_iterator(dir)) {
            std::fprintf(stderr, "replaying %s\n", file.path().c_str());
            const std::string bytes = testutil::ReadFile(file.path());
            EXPECT_EQ(t.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0)
                << file.path();
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0) << t.name << " has no inputs to replay";
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

} // namespace
