// Diagnostics: the keep-the-most-severe rule of a line, the list's cursor after a reset, codes
// without a catalogue text and the class texts that mark listing lines.
#include <gtest/gtest.h>

#include <sstream>

#include "driver/diagnostics.h"
#include "test_files.h"

namespace {

using qubrix::Language;
using qubrix::test::Case;
using qubrix::test::ReadCases;

TEST(ErreurAsmTest, NewErreurKeepsFirstCodeOfMostSevereClass) {
    for (const Case& c : ReadCases(QUBRIX_DRIVER_DATA "/diagnostics.txt")) {
        ErreurAsm err;
        err.SetCode(std::stoi(c.get("start", "0"), nullptr, 16));
        std::istringstream raised(c.get("raise"));
        for (int code = 0; raised >> std::hex >> code;) err.NewErreur(code);
        EXPECT_EQ(err.LitCode(), std::stoi(c.get("keeps"), nullptr, 16)) << c.name;
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

TEST(CatalogueTest, ClassTextsAndCodesWithoutText) {
    const Language saved = qubrix::CatalogueLanguage();
    for (const Case& c : ReadCases(QUBRIX_DRIVER_DATA "/annotations.txt")) {
        for (const Language language : {Language::English, Language::French}) {
            qubrix::SetCatalogueLanguage(language);
            for (const std::string& row : c.all("annotation")) {
                const std::size_t bar = row.find('|'), bar2 = row.find('|', bar + 1);
                EXPECT_EQ(qubrix::ListingAnnotation(std::stoi(row.substr(0, bar), nullptr, 16)),
                          language == Language::English ? row.substr(bar + 1, bar2 - bar - 1) : row.substr(bar2 + 1))
                    << row;
            }
            for (const std::string& code : c.all("untexted"))
                EXPECT_STREQ(qubrix::CatalogueText(std::stoi(code, nullptr, 16), language), "") << code;
        }
    }
    qubrix::SetCatalogueLanguage(saved);
}

}  // namespace
