// The all-or-none commit of several staged outputs: a rename that fails part way leaves every final
// name as it was before the run, and a commit that succeeds leaves nothing but the outputs.
#include <map>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "common/staged_output.hpp"
#include "support/test_support.hpp"

namespace corvane {
namespace {

using testing::directory_contents;
using testing::scratch_dir;
using testing::write_file;

// Outputs a, b and c opened in `dir` with "new a", ... written; `older` files put there first.
struct three_outputs {
    staged_output a, b, c;
    three_outputs(const scratch_dir& dir, const std::map<std::string, std::string>& older) {
        for (const auto& [name, bytes] : older) write_file(dir.file(name), bytes);
        for (const auto& [output, name] : {std::pair{&a, "a"}, {&b, "b"}, {&c, "c"}}) {
            EXPECT_EQ(open_staged(*output, dir.file(name)), run_status::run_ok);
            EXPECT_EQ(write_staged(*output, std::string("new ") + name + "\n"), run_status::run_ok);
        }
    }
};

TEST(StagedOutput, AFailureAtTheSecondOfThreeRenamesLeavesTheOlderFiles) {
    // Whether a had an older file (put back) or none (its new file taken away again).
    for (const bool a_had_one : {true, false}) {
        SCOPED_TRACE(a_had_one ? "a had an older file" : "a had none");
        scratch_dir dir;
        std::map<std::string, std::string> older = {{"b", "older b\n"}, {"c", "older c\n"}};
        if (a_had_one) older["a"] = "older a\n";
        three_outputs outputs(dir, older);
        // The fault: b's finished file is gone by the time it is renamed, after a has been.
        ASSERT_EQ(unlink(outputs.b.temporary_path.c_str()), 0);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(commit_staged({&outputs.a, &outputs.b, &outputs.c}), run_status::output_failed);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(dir.file("b") + ": cannot rename the finished temporary file to this name"), std::string::npos)
            << err;
        EXPECT_EQ(directory_contents(dir.path), older);
    }
}

TEST(StagedOutput, ACommitReplacesTheOlderFilesAndLeavesNothingElse) {
    scratch_dir dir;
    three_outputs outputs(dir, {{"a", "older a\n"}, {"c", "older c\n"}});
    EXPECT_EQ(commit_staged({&outputs.a, &outputs.b, &outputs.c}), run_status::run_ok);
    EXPECT_EQ(directory_contents(dir.path),
              (std::map<std::string, std::string>{{"a", "new a\n"}, {"b", "new b\n"}, {"c", "new c\n"}}));
}

}  // namespace
}  // namespace corvane
