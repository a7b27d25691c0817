// The CPU32 register set as the monitor last dumped it, and the register window's texts.
#include "reg_cpu.h"

#include <cstdio>

namespace korvan::monitor {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The leading hexadecimal digits of the width characters after the first occurrence of
// label; nullopt when the label is absent or no digit follows it.
std::optional<uint32_t> HexAfter(std::string_view text, std::string_view label, std::size_t width) {
    const std::size_t at = text.find(label);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view field = text.substr(at + label.size(), width);
    uint32_t value = 0;
    std::size_t digits = 0;
    for (; digits < field.size() && HexValue(field[digits]) >= 0; ++digits)
        value = (value << 4) | static_cast<uint32_t>(HexValue(field[digits]));
    if (digits == 0) return std::nullopt;
    return value;
}

// Three binary digits, most significant first; nullopt when the label is absent or fewer
// than three characters follow it.
std::optional<uint32_t> BitsAfter(std::string_view text, std::string_view label) {
    const std::size_t at = text.find(label);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view field = text.substr(at + label.size(), 3);
    if (field.size() < 3) return std::nullopt;
    return (field[0] == '1' ? 4u : 0u) | (field[1] == '1' ? 2u : 0u) | (field[2] == '1' ? 1u : 0u);
}

// Label stems by register index, as the monitor writes them and the window shows them.
constexpr const char* kNames[kRegisterCount] = {"D0", "D1", "D2", "D3", "D4",  "D5",  "D6", "D7",
                                                "A0", "A1", "A2", "A3", "A4",  "A5",  "A6", "A7",
                                                "PC", "SS", "US", "SR", "VBR", "SFC", "DFC"};

bool ValidIndex(int index) { return index >= 0 && index < kRegisterCount; }

}  // namespace

void RegCpu::Parse(std::string_view dumpText) {
    for (int index = 0; index < kRegisterCount; ++index) {
        const std::string label = std::string(kNames[index]) + "=";
        std::optional<uint32_t> value;
        if (index == kRegSFC || index == kRegDFC)
            value = BitsAfter(dumpText, label);
        else
            value = HexAfter(dumpText, label, index == kRegSR ? 4 : 8);
        if (value) SetRegister(index, *value);
    }
}

uint32_t RegCpu::GetRegister(int index) const {
    if (index >= kRegD0 && index < kRegD0 + 8) return D[index - kRegD0];
    if (index >= kRegA0 && index < kRegA0 + 8) return A[index - kRegA0];
    switch (index) {
    case kRegPC: return PC;
    case kRegSS: return SS;
    case kRegUS: return US;
    case kRegSR: return SR;
    case kRegVBR: return VBR;
    case kRegSFC: return SFC;
    case kRegDFC: return DFC;
    default: return 0;
    }
}

void RegCpu::SetRegister(int index, uint32_t v) {
    if (index >= kRegD0 && index < kRegD0 + 8)
        D[index - kRegD0] = v;
    else if (index >= kRegA0 && index < kRegA0 + 8)
        A[index - kRegA0] = v;
    else
        switch (index) {
        case kRegPC: PC = v; break;
        case kRegSS: SS = v; break;
        case kRegUS: US = v; break;
        case kRegSR: SR = v & 0xFFFFu; break;
        case kRegVBR: VBR = v; break;
        case kRegSFC: SFC = v & 7u; break;
        case kRegDFC: DFC = v & 7u; break;
        default: break;
        }
}

std::string RegisterValueText(int index, uint32_t value) {
    if (!ValidIndex(index)) return {};
    if (index == kRegSFC || index == kRegDFC) {
        return {value & 4u ? '1' : '0', value & 2u ? '1' : '0', value & 1u ? '1' : '0'};
    }
    char text[16];
    if (index == kRegSR)
        std::snprintf(text, sizeof text, "%4.4X", static_cast<unsigned>(value & 0xFFFFu));
    else
        std::snprintf(text, sizeof text, "%8.8X", static_cast<unsigned>(value));
    return text;
}

std::string RegisterLabel(int index) {
    if (!ValidIndex(index)) return {};
    return std::string(kNames[index]) + " =";
}

std::string RegisterText(int index, uint32_t value) {
    if (!ValidIndex(index)) return {};
    // SFC and DFC show their bits straight after the "=" ("SFC =101").
    const bool bits = index == kRegSFC || index == kRegDFC;
    return RegisterLabel(index) + (bits ? "" : " ") + RegisterValueText(index, value);
}

std::string CcrText(uint32_t sr) {
    static constexpr char kFlags[] = "XNZVC";  // SR bits 4 down to 0
    std::string text(5, '-');
    for (int i = 0; i < 5; ++i)
        if (sr & (1u << (4 - i))) text[static_cast<std::size_t>(i)] = kFlags[i];
    return text;
}

std::string SrFlagsText(uint32_t sr) {
    std::string text;
    if (sr & 0x8000u) text += "T1 ";
    if (sr & 0x4000u) text += "T0 ";
    text += sr & 0x2000u ? "S" : "U";
    text += " I=" + std::to_string((sr >> 8) & 7u) + " " + CcrText(sr);
    return text;
}

bool IsEditable(int index) { return index >= 0 && index <= kRegSR; }

std::string SetCommand(int index, uint32_t value) {
    if (!IsEditable(index)) return {};
    return std::string(kNames[index]) + "=" + RegisterValueText(index, value) + "\r";
}

std::optional<uint32_t> ParseHexValue(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        const int digit = HexValue(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<uint32_t> ParseRegisterValue(int index, std::string_view text) {
    const std::optional<uint32_t> value = ParseHexValue(text);
    if (!value || !ValidIndex(index)) return std::nullopt;
    if (index == kRegSR && *value > 0xFFFFu) return std::nullopt;
    if ((index == kRegSFC || index == kRegDFC) && *value > 7u) return std::nullopt;
    return value;
}

}  // namespace korvan::monitor
