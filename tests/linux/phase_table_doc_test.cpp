// The architecture's table of the run's phases is the machine in run_phase.cpp, row for row.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "run_phase.h"
#include "update_state.h"

namespace qvt {
namespace {

std::string EntryColumn(const PhaseRow& row) {
    switch (row.entry) {
        case Entry::kFirstRun:
            return "the first run";
        case Entry::kAfterFailedRun:
            return "after a failed run";
        case Entry::kNone:
            break;
    }
    return "";
}

std::string SuccessColumn(const PhaseRow& row) {
    std::string column = PhaseName(row.on_success);
    if (row.entry == Entry::kAfterFailedRun) {
        column += std::string("; nothing to update: ") + PhaseName(row.on_nothing_to_update);
    }
    return column;
}

std::string FailureColumn(const PhaseRow& row) {
    std::string column = row.attempt ? "erase, the next attempt (failed after the third)"
                                     : PhaseName(row.on_failure);
    if (row.bar_raise_on_failure != 0) {
        column += "; bar maximum +" + std::to_string(row.bar_raise_on_failure);
    }
    if (!row.failure_log.empty()) column += "; log \"" + std::string(row.failure_log) + "\"";
    return column;
}

std::string CauseColumn(const PhaseRow& row) {
    if (row.cause == FailureCause::kNone) return "";
    std::string cause = CauseName(row.cause);
    // A failure that goes on leaves its cause for the phase it goes on to.
    if (!row.attempt && row.on_failure != Phase::kFailed) {
        cause += " (when " + std::string(PhaseName(row.on_failure)) + " fails)";
    }
    return cause;
}

std::string SearchColumn(const PhaseRow& row) {
    return row.searches ? "failed (several units); completed" : "";
}

std::string TableFromTheCode() {
    std::string table =
        "| phase | `UpdateState` | a click begins here | success leads to | failure leads to | "
        "cause of a failed run | a search sees several boot loaders; the flashed unit back | "
        "pump after |\n|---|---|---|---|---|---|---|---|\n";
    for (const PhaseRow& row : PhaseTable()) {
        table += "| " + std::string(PhaseName(row.phase)) + " | " +
                 std::to_string(static_cast<int>(UpdateStateOf(row.phase))) + " | " +
                 EntryColumn(row) + " | " + SuccessColumn(row) + " | " + FailureColumn(row) +
                 " | " + CauseColumn(row) + " | " + SearchColumn(row) + " | " +
                 (row.pump_after ? "yes" : "") + " |\n";
        // Every phase leads to the same place on an exception.
        EXPECT_EQ(row.on_exception, Phase::kFailed) << PhaseName(row.phase);
    }
    return table;
}

TEST(Architecture, ThePhaseTableIsTheRunsMachine) {
    std::ifstream document(QVT_SOURCE_DIR "/docs/architecture.md");
    std::stringstream text;
    text << document.rdbuf();
    const std::string expected = TableFromTheCode();
    EXPECT_NE(text.str().find(expected), std::string::npos)
        << "docs/architecture.md should hold this table:\n"
        << expected;
}

}  // namespace
}  // namespace qvt
