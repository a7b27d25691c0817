// Table files of expected data: one row a line, fields split by " | ", trailing blanks dropped;
// blank lines and lines starting with '#' are comments. A field may hold any byte through the
// escapes \b \r \n \t \e (ESC), \xHH, \*N; (the byte before repeated to a run of N) and a
// backslash before any other character, which stands for itself ("\x20" writes a trailing blank).
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvan::test {

using Row = std::vector<std::string>;

inline std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (const char c = text[++i]) {
        case 'b': out += '\b'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'e': out += '\x1b'; break;
        case 'x':
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
            break;
        case '*': {  // \*N; makes the byte before a run of N
            const std::size_t end = text.find(';', i);
            if (!out.empty()) out.append(std::stoul(text.substr(i + 1, end - i - 1)) - 1, out.back());
            i = end;
            break;
        }
        default: out += c;
        }
    }
    return out;
}

// Every row of the file, each of exactly `fields` fields; a missing file, a row of another width
// or a file without rows is an error, so that a table cannot pass by being empty.
inline std::vector<Row> readTable(const std::string& path, std::size_t fields) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<Row> rows;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        if (line.ends_with(" |")) line += ' ';  // an empty last field
        if (line.empty() || line[0] == '#') continue;
        Row row;
        std::size_t start = 0;
        for (std::size_t at; (at = line.find(" | ", start)) != std::string::npos; start = at + 3)
            row.push_back(unescape(line.substr(start, at - start)));
        row.push_back(unescape(line.substr(start)));
        if (row.size() != fields)
            throw std::runtime_error(path + ":" + std::to_string(number) + ": " + std::to_string(row.size()) +
                                     " fields instead of " + std::to_string(fields));
        rows.push_back(std::move(row));
    }
    if (rows.empty()) throw std::runtime_error(path + ": no rows");
    return rows;
}

// A hexadecimal number of a field.
inline std::uint32_t hex(const std::string& field) {
    return static_cast<std::uint32_t>(std::stoul(field, nullptr, 16));
}

// The hexadecimal 16-bit words of a field, separated by blanks ("4E71 4E75").
inline std::vector<std::uint16_t> words(const std::string& field) {
    std::istringstream in(field);
    std::vector<std::uint16_t> out;
    for (std::string word; in >> word;) out.push_back(static_cast<std::uint16_t>(hex(word)));
    return out;
}

}  // namespace korvan::test
