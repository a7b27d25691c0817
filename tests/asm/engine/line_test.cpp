// Line dispatch, the encoder families' own rules (substitutions, branch forms, range checks)
// and the directives. The cases are in the data folder; their expected bytes are written from
// the published CPU32 encodings.
#include <gtest/gtest.h>

#include "engine_harness.h"

namespace qubrix::test {
namespace {

TEST(Dispatch, LabelsMnemonicsAndSuffixes) { RunLineCases("dispatch.txt"); }

TEST(Dispatch, AliasesAssembleIdentically) { RunLineCases("aliases.txt"); }

TEST(Encoders, SubstitutionsBranchesAndRangeChecks) { RunLineCases("encoders.txt"); }

TEST(Encoders, BranchForms) { RunLineCases("branches.txt"); }

TEST(Directives, DataLayout) { RunLineCases("directives.txt"); }

TEST(Directives, LocationEffects) { RunLineCases("locations.txt"); }

TEST(Directives, EndStopsThePass) {
    Assembled a = AssembleLines({" NOP", " END", " NOP"});
    EXPECT_EQ(a.lines.size(), 2u);
    EXPECT_EQ(a.memory.size(), 2u);
}

}  // namespace
}  // namespace qubrix::test
