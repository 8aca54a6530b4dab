// The fuzz inputs replayed under Wine, with the real Windows file and code-page services: every seed
// of the corpus and every kept crash input must pass the checks of the fuzz targets, with the outcome
// that its name promises.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "fuzz/param_exercise.h"

namespace {

const std::wstring kFuzzDir = L"" TAGPORT_FUZZ_DIR;

// The plain files of a folder, sorted by name.
std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"/*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end()); // file names here are ASCII
}

// Both targets' checks on one file; returns what the load made of it.
LoadOutcome ExpectChecksHold(const std::wstring& path)
{
    const char* broken = ExerciseReader(path.c_str());
    EXPECT_EQ(broken, nullptr) << "reader: " << broken;
    LoadOutcome outcome;
    broken = ExerciseLoad(path.c_str(), outcome);
    EXPECT_EQ(broken, nullptr) << "load: " << broken;
    return outcome;
}

// A folder of inputs, each named valid_* (the load succeeds) or broken_* (it fails with a message).
struct InputFolder {
    const wchar_t* name;
    std::size_t minimumFiles; // fewer means the folder went missing
};

class FuzzInputs : public ::testing::TestWithParam<InputFolder> {};

TEST_P(FuzzInputs, EveryFilePassesTheChecksWithTheOutcomeItsNameGives)
{
    const std::wstring folder = kFuzzDir + L"/" + GetParam().name;
    std::vector<std::wstring> files = FilesIn(folder);
    ASSERT_GE(files.size(), GetParam().minimumFiles) << "files missing in " << Narrow(folder);
    if (files.empty()) GTEST_SKIP() << "no input kept in " << Narrow(folder);
    for (const std::wstring& file : files) {
        SCOPED_TRACE(Narrow(file));
        bool valid = file.rfind(L"valid_", 0) == 0;
        ASSERT_TRUE(valid || file.rfind(L"broken_", 0) == 0) << "an input is named valid_* or broken_*";
        LoadOutcome outcome = ExpectChecksHold(folder + L"/" + file);
        EXPECT_EQ(outcome.loaded, valid) << Narrow(outcome.err);
    }
}

// The seeds of fuzz/corpus/, and the inputs that once crashed a target, kept in fuzz/regressions/.
INSTANTIATE_TEST_SUITE_P(Folders, FuzzInputs,
                         ::testing::Values(InputFolder{L"corpus", 20}, InputFolder{L"regressions", 0}),
                         [](const ::testing::TestParamInfo<InputFolder>& info) {
                             return Narrow(info.param.name);
                         });

} // namespace
