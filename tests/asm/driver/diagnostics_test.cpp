// Diagnostics: the keep-the-most-severe rule of a line, the list's cursor after a reset, codes
// without a catalogue text and the class texts that mark listing lines.
#include <gtest/gtest.h>

#include <vector>

#include "driver/diagnostics.h"

namespace {

using qubrix::Language;

TEST(ErreurAsmTest, NewErreurKeepsFirstCodeOfMostSevereClass) {
    const struct {
        const char* name;
        int start;
        std::vector<int> raised;
        int expected;
        // clang-format off
    } cases[] = {
        {"from nothing any class is taken", 0, {0x101}, 0x101},
        {"from the engine's mark a warning is taken", 1, {0x101}, 0x101},
        {"same class keeps the first", 0, {0x202, 0x205}, 0x202},
        {"higher class replaces", 0, {0x202, 0x205, 0x301}, 0x301},
        {"lower class never replaces", 0, {0x202, 0x205, 0x301, 0x102}, 0x301},
        {"0x201 blocks later 0x2xx", 0, {0x201, 0x2FF}, 0x201},
        {"0x102 blocks 0x101", 0, {0x102, 0x101}, 0x102},
        {"warning then error keeps only the error", 0, {0x103, 0x401}, 0x401},
        {"codes below 0x100 never replace", 0, {0x05}, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        ErreurAsm err;
        err.SetCode(c.start);
        for (int code : c.raised) err.NewErreur(code);
        EXPECT_EQ(err.LitCode(), c.expected) << c.name;
    }
}

TEST(ListErreurTest, RazEndsIterationWithoutTouchingFreedEntries) {
    ListErreur list;
    ErreurAsm err;
    err.SetCode(0x202);
    list.AddErreur(err);
    list.AddErreur(err);
    ASSERT_NE(list.GetFirstErreur(), nullptr);
    list.RazErreur();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.GetNextErreur(), nullptr);
    EXPECT_EQ(list.GetFirstErreur(), nullptr);
}

class CatalogueTest : public ::testing::Test {
protected:
    void TearDown() override { qubrix::SetCatalogueLanguage(m_saved); }

private:
    Language m_saved = qubrix::CatalogueLanguage();
};

TEST_F(CatalogueTest, CodesWithoutTextGiveEmptyText) {
    for (int code : {0x209, 0x306, 0x403, 0x304, 0, 0x1209}) {
        EXPECT_STREQ(qubrix::CatalogueText(code, Language::English), "") << std::hex << code;
        EXPECT_STREQ(qubrix::CatalogueText(code, Language::French), "") << std::hex << code;
    }
}

// Listing lines carry the class text: 0x101..0x300 the warning one, above 0x300 the error one.
TEST_F(CatalogueTest, ListingAnnotationUsesTheClassText) {
    const struct {
        int code;
        const char* english;
        const char* french;
        // clang-format off
    } cases[] = {
        {0, "", ""},
        {1, "", ""},
        {0x101, "WARNING : ", "WARNING non défini"},
        {0x202, "WARNING : ", "WARNING non défini"},
        {0x300, "WARNING : ", "WARNING non défini"},
        {0x301, "ERROR no defined", "ERREUR non défini"},
        {0x408, "ERROR no defined", "ERREUR non défini"},
    };
    // clang-format on
    for (const auto& c : cases) {
        qubrix::SetCatalogueLanguage(Language::English);
        EXPECT_STREQ(qubrix::ListingAnnotation(c.code), c.english) << std::hex << c.code;
        qubrix::SetCatalogueLanguage(Language::French);
        EXPECT_STREQ(qubrix::ListingAnnotation(c.code), c.french) << std::hex << c.code;
    }
}

}  // namespace
