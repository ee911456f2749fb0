// Every file of every fuzz corpus (fuzz/corpus/NAME/) goes through its target once: the seeds
// and each input that once made a target fail stay regression tests in the ordinary builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzztarget.h"

namespace {

std::filesystem::path corpusroot() { return std::filesystem::path(VOXDA_SOURCE_DIR) / "fuzz" / "corpus"; }

std::vector<std::string> targetnames() {
    std::vector<std::string> names;
    for (const fuzztarget& t : fuzztargets()) names.push_back(t.name);
    std::sort(names.begin(), names.end());
    return names;
}

class FuzzCorpus : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(FuzzCorpus, EveryFileRunsClean) {
    const std::string name = GetParam();
    auto target = std::find_if(fuzztargets().begin(), fuzztargets().end(),
                               [&](const fuzztarget& t) { return name == t.name; });
    ASSERT_NE(target, fuzztargets().end());
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpusroot() / name))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no seed for " << name;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(file.filename().string());
        // A finding aborts the process (the sanitizer build also reports memory and
        // undefined-behaviour faults); a clean run returns 0.
        EXPECT_EQ(target->run(bytes.data(), bytes.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(targetnames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(FuzzCorpusLayout, EveryCorpusHasItsTarget) {
    std::vector<std::string> names = targetnames();
    EXPECT_GE(names.size(), 13u);
    for (const auto& entry : std::filesystem::directory_iterator(corpusroot()))
        EXPECT_TRUE(std::binary_search(names.begin(), names.end(), entry.path().filename().string()))
            << entry.path().filename().string() << " has no target";
}
