// Diagnostics: the keep-the-most-severe rule, the list's order and cursor, the catalogue texts
// in both languages and the class texts that mark listing lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/diagnostics.h"

using qubrix::Language;

namespace {

// Restores the library-wide catalogue language after each test.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { m_saved = qubrix::CatalogueLanguage(); }
    void TearDown() override { qubrix::SetCatalogueLanguage(m_saved); }

private:
    Language m_saved = Language::French;
};

struct RaiseCase {
    const char* name;
    int start;
    std::vector<int> raised;
    int expected;
};

TEST(ErreurAsmTest, NewErreurKeepsFirstCodeOfMostSevereClass)
{
    const RaiseCase cases[] = {
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
    for (const RaiseCase& c : cases) {
        ErreurAsm err;
        err.SetCode(c.start);
        for (int code : c.raised)
            err.NewErreur(code);
        EXPECT_EQ(err.LitCode(), c.expected) << c.name;
    }
}

TEST(ErreurAsmTest, DefaultInitAndCopy)
{
    ErreurAsm err;
    EXPECT_EQ(err.LitCode(), 0);
    EXPECT_EQ(err.LitLigne(), -1);
    EXPECT_EQ(err.LitFichier(), "");

    err.SetNFichier("/src/main.asm");
    err.SetLigne(12);
    err.SetCode(0x301);
    err.SetErreur("some text");
    const ErreurAsm copy(err);
    EXPECT_EQ(copy.LitCode(), 0x301);
    EXPECT_EQ(copy.LitLigne(), 12);
    EXPECT_EQ(copy.LitFichier(), "/src/main.asm");
    EXPECT_EQ(copy.LitErreur(), "") << "a copy never carries the text";
    EXPECT_EQ(static_cast<int>(copy), 0x301);

    err.Init();
    EXPECT_EQ(err.LitCode(), 0);
    EXPECT_EQ(err.LitLigne(), -1);
    EXPECT_EQ(err.LitErreur(), "");
    EXPECT_EQ(err.LitFichier(), "/src/main.asm") << "Init leaves the file alone";
}

TEST(ErreurAsmTest, TestErreurIsTrueAboveLineFatalClassOnly)
{
    ErreurAsm err;
    const std::pair<int, bool> cases[] = {{0x301, false}, {0x400, false}, {0x401, true}, {0x407, true}};
    for (auto [code, fatal] : cases) {
        err.SetCode(code);
        EXPECT_EQ(err.TestErreur(), fatal) << std::hex << code;
    }
}

TEST(ListErreurTest, IteratesNewestFirst)
{
    ListErreur list;
    EXPECT_EQ(list.GetFirstErreur(), nullptr);
    for (int line : {3, 7, 9}) {
        ErreurAsm err;
        err.SetLigne(line);
        err.SetCode(0x301);
        list.AddErreur(err);
    }
    std::vector<int> seen;
    for (ErreurAsm* e = list.GetFirstErreur(); e; e = list.GetNextErreur())
        seen.push_back(e->LitLigne());
    EXPECT_EQ(seen, (std::vector<int>{9, 7, 3}));
    EXPECT_EQ(list.GetNextErreur(), nullptr) << "the iteration stays over";
}

TEST(ListErreurTest, RazEndsIterationWithoutTouchingFreedEntries)
{
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

TEST_F(CatalogueTest, SetTextErreurFillsEveryEntryInTheCurrentLanguage)
{
    ListErreur list;
    for (int code : {0x302, 0x209, 0x406}) {
        ErreurAsm err;
        err.SetCode(code);
        list.AddErreur(err);
    }
    qubrix::SetCatalogueLanguage(Language::French);
    list.SetTextErreur();
    std::vector<std::string> texts;
    for (ErreurAsm* e = list.GetFirstErreur(); e; e = list.GetNextErreur())
        texts.push_back(e->LitErreur());
    EXPECT_EQ(texts, (std::vector<std::string>{"ERREUR :  Impossible d'ouvrir le fichier", "",
                                               "ERREUR : Division  par zéro"}));
}

struct TextCase {
    int code;
    const char* english;
    const char* french;
};

TEST_F(CatalogueTest, TextsAreKeptExactlyIncludingOddBlanks)
{
    const TextCase cases[] = {
        {0x100, "WARNING : ", "WARNING non défini"},
        {0x101, "WARNING : ASCII constant exceeds 4 characters", "WARNING : ASCII constante dépasse 4 caractères"},
        {0x201, "WARNING : Invalid size code", "WARNING : Taille du code non valide"},
        {0x202, "ERROR :  Invalid addressing mode", "ERREUR :  Mode d'adressage non valide"},
        {0x204, "ERROR : Branch instruction displacement is out of range or invalid", "ERREUR : Branch intruction décalage est trop grand ou invalide"},
        {0x207, "ERROR :Immediate data exceeds 8 bits", "ERREUR : La valeur immédiate dépasse une valeur sur 8 bits"},
        {0x20D, "ERROR : MOVEQ instruction constant out of range", "ERREUR : Constante trop grande pour l'intruction MOVEQ"},
        {0x20E, "ERROR : Forward references not allowed with this directive", "ERREUR : Pour cette directive, il ne faut pas de pré définition"},
        {0x300, "ERROR no defined", "ERREUR non défini"},
        {0x302, "ERROR : zero division", "ERREUR : Division  par zéro"},
        {0x303, "ERROR : multiple defintion of symbol", "ERREUR : Symbole ayant plusieurs définition"},
        {0x307, "ERROR : block length is less zero", "ERREUR : La longeur du block est inféreur à zéro"},
        {0x405, "ERROR :symbol value is different betwen the pass 1 and 2", "ERREUR : La valeur du symbole est différentes entre la première et la seconde phase"},
        {0x406, "ERROR :  Impossible to open file", "ERREUR :  Impossible d'ouvrir le fichier"},
        {0x407, "ERROR : intersection section code and var", "ERREUR : Intersection des section code et var non vide"},
        {0x408, "ERROR : Error writing to output file", "ERREUR : Erreur d'écriture du fichier de sortie"},
        // Codes without a text, and codes that do not exist.
        {0x209, "", ""},
        {0x306, "", ""},
        {0x403, "", ""},
        {0x304, "", ""},
        {0, "", ""},
        {0x1209, "", ""},
    };
    for (const TextCase& c : cases) {
        EXPECT_STREQ(qubrix::CatalogueText(c.code, Language::English), c.english) << std::hex << c.code;
        EXPECT_STREQ(qubrix::CatalogueText(c.code, Language::French), c.french) << std::hex << c.code;
    }
}

TEST_F(CatalogueTest, LanguageSwitchIsLibraryWide)
{
    qubrix::SetCatalogueLanguage(Language::English);
    EXPECT_STREQ(qubrix::CatalogueText(0x20D), "ERROR : MOVEQ instruction constant out of range");
    qubrix::SetCatalogueLanguage(Language::French);
    EXPECT_STREQ(qubrix::CatalogueText(0x20D), "ERREUR : Constante trop grande pour l'intruction MOVEQ");
}

TEST_F(CatalogueTest, ListingAnnotationUsesTheClassText)
{
    struct Case {
        int code;
        const char* english;
        const char* french;
    };
    const Case cases[] = {
        {0, "", ""},
        {1, "", ""},
        {0x100, "WARNING : ", "WARNING non défini"},
        {0x101, "WARNING : ", "WARNING non défini"},
        {0x202, "WARNING : ", "WARNING non défini"},  // 0x101..0x300 carry the warning class text
        {0x300, "WARNING : ", "WARNING non défini"},
        {0x301, "ERROR no defined", "ERREUR non défini"},
        {0x401, "ERROR no defined", "ERREUR non défini"},
        {0x408, "ERROR no defined", "ERREUR non défini"},
    };
    for (const Case& c : cases) {
        qubrix::SetCatalogueLanguage(Language::English);
        EXPECT_STREQ(qubrix::ListingAnnotation(c.code), c.english) << std::hex << c.code;
        qubrix::SetCatalogueLanguage(Language::French);
        EXPECT_STREQ(qubrix::ListingAnnotation(c.code), c.french) << std::hex << c.code;
    }
}

}  // namespace
