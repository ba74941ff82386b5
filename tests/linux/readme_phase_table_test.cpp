// The README's table of the run's phases is the machine in update_sequence.cpp, row for row.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "update_sequence.h"

namespace qvt {
namespace {

std::string FailureColumn(const PhaseTransition& row) {
    if (IsAttemptPhase(row.phase)) {
        return "erase, the next attempt (failed after the third); bar maximum +" +
               std::to_string(row.bar_raise_on_failure);
    }
    return PhaseName(row.on_failure);
}

std::string TableFromTheCode() {
    std::string table =
        "| phase | `UpdateState` | success leads to | failure leads to |\n|---|---|---|---|\n";
    for (const PhaseTransition& row : PhaseTable()) {
        table += "| " + std::string(PhaseName(row.phase)) + " | " +
                 std::to_string(static_cast<int>(UpdateStateOf(row.phase))) + " | " +
                 PhaseName(row.on_success) + " | " + FailureColumn(row) + " |\n";
    }
    return table;
}

TEST(Readme, ThePhaseTableIsTheRunsMachine) {
    std::ifstream readme(QVT_SOURCE_DIR "/README.md");
    std::stringstream text;
    text << readme.rdbuf();
    const std::string expected = TableFromTheCode();
    EXPECT_NE(text.str().find(expected), std::string::npos) << "README.md should hold this table:\n"
                                                            << expected;
}

}  // namespace
}  // namespace qvt
