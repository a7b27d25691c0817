// Keyword lookup built once from the keyword groups: a sorted word list and a first-byte table.
#include "syntax/syntax_keywords.h"

#include <algorithm>
#include <vector>

namespace korvan::shell::syntax {
namespace {

struct Entry {
    std::string_view word;
    Style style;
};

class KeywordTable {
public:
    KeywordTable() {
        for (const KeywordGroup& group : kKeywordGroups) {
            std::string_view rest = group.words;
            while (!rest.empty()) {
                const std::size_t comma = rest.find(',');
                const std::string_view word = rest.substr(0, comma);
                rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
                if (word.empty()) continue;
                add(word, group.style);
            }
        }
    }

    bool canStart(unsigned char c) const { return m_firstBytes[c]; }
    std::size_t longest() const { return m_longest; }

    std::optional<Style> find(std::string_view word) const {
        const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), word,
                                         [](const Entry& e, std::string_view w) { return e.word < w; });
        if (it == m_entries.end() || it->word != word) return std::nullopt;
        return it->style;
    }

private:
    // Kept in byte order; a word added twice keeps the later group's style.
    void add(std::string_view word, Style style) {
        const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), word,
                                         [](const Entry& e, std::string_view w) { return e.word < w; });
        if (it != m_entries.end() && it->word == word)
            it->style = style;
        else
            m_entries.insert(it, Entry{word, style});
        m_firstBytes[static_cast<unsigned char>(word.front())] = true;
        m_longest = std::max(m_longest, word.size());
    }

    std::vector<Entry> m_entries;
    std::array<bool, 256> m_firstBytes{};
    std::size_t m_longest = 0;
};

const KeywordTable& table() {
    static const KeywordTable instance;
    return instance;
}

}  // namespace

bool canStartKeyword(unsigned char c) { return table().canStart(c); }

std::size_t longestKeyword() { return table().longest(); }

std::optional<Style> keywordStyle(std::string_view word) { return table().find(word); }

}  // namespace korvan::shell::syntax
