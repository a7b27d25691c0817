// Keyword groups, byte classes and colours of the source colouring: plain tables, no display code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvan::shell::syntax {

// What a coloured run of text is. Default is everything the scanner leaves alone.
enum class Style : std::uint8_t {
    Default,
    Comment,
    String,        // string and character literals
    Keyword,       // C and C++ keywords; assembler mnemonics with their size suffix
    Preprocessor,  // preprocessor words (#define ...)
    TypeName,      // type names and storage classes
    Directive,     // assembler directives (DC, EQU, SECTION ...)
    Register,      // processor registers in assembler operands
    Number,        // numbers in assembler operands ($hex, %binary, @octal, decimal)
    Label,         // assembler labels
};
inline constexpr std::size_t kStyleCount = 10;

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    constexpr bool operator==(const Rgb&) const = default;
};

// Text colour of every style, indexed by Style. The colours are meant for a white background.
inline constexpr std::array<Rgb, kStyleCount> kStyleColours{{
    {0, 0, 0},      // Default
    {0, 170, 0},    // Comment
    {55, 57, 200},  // String
    {0, 0, 255},    // Keyword
    {128, 128, 0},  // Preprocessor
    {255, 128, 0},  // TypeName
    {128, 128, 0},  // Directive: the preprocessor's colour, its counterpart in assembly
    {255, 128, 0},  // Register: the type names' colour, the other word group
    {163, 21, 21},  // Number
    {128, 0, 128},  // Label
}};

constexpr Rgb styleColour(Style style) { return kStyleColours[static_cast<std::size_t>(style)]; }

// Every source is shown in a fixed-pitch face of this size, whatever it contains.
inline constexpr int kFontPointSize = 10;

// The keyword groups, each a comma-separated word list exactly as stored. Words are matched
// byte for byte (case-sensitive): WORD is a keyword, word is not.
struct KeywordGroup {
    std::string_view words;
    Style style;
};
inline constexpr std::array<KeywordGroup, 3> kKeywordGroups{{
    {"__asm,else,main,struct,enum,switch,auto,template,this,bool,extern,break,false,throw,case,"
     "true,catch,new,try,noreturn,__try,for,operator,typedef,class,friend,private,const,goto,"
     "protected,typename,if,public,union,continue,inline,default,return,delete,virtual,sizeof,"
     "do,volatile,while",
     Style::Keyword},
    {"#define,#elif,#else,#endif,#error,#ifdef,#ifndef,#import,#include,#line,#pragma,#undef", Style::Preprocessor},
    {"void,int,char,unsigned,short,long,double,float,register,static,WORD,BYTE,ULONG", Style::TypeName},
}};

// Bytes that separate words: NUL, tab, line feed, carriage return, blank, ( ) * ; [ ] { }.
// A keyword is only recognised with a delimiter (or the start/end of the line) on each side,
// so "int," or "return/" are not keywords, while "char*" and "(int)" are.
inline constexpr std::array<bool, 256> kDelimiters = [] {
    std::array<bool, 256> table{};
    constexpr char kList[] = "\0\t\n\r ()*;[]{}";
    for (unsigned char c : std::string_view(kList, sizeof kList - 1)) table[c] = true;
    return table;
}();

constexpr bool isDelimiter(unsigned char c) { return kDelimiters[c]; }

// Whether some keyword begins with this byte; keyword lookups are only tried at such bytes.
bool canStartKeyword(unsigned char c);

// Length of the longest keyword, so that a lookup never needs to look further.
std::size_t longestKeyword();

// The style of a whole word when it is a keyword of one of the groups.
std::optional<Style> keywordStyle(std::string_view word);

}  // namespace korvan::shell::syntax
