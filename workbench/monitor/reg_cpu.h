// The CPU32 register set as the monitor last dumped it, and the register window's texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvan::monitor {

// Register indices used by GetRegister/SetRegister and the text helpers.
//   0..7 D0..D7   8..15 A0..A7   16 PC   17 SS   18 US   19 SR   20 VBR   21 SFC   22 DFC
inline constexpr int kRegD0 = 0;
inline constexpr int kRegA0 = 8;
inline constexpr int kRegPC = 16;
inline constexpr int kRegSS = 17;
inline constexpr int kRegUS = 18;
inline constexpr int kRegSR = 19;
inline constexpr int kRegVBR = 20;
inline constexpr int kRegSFC = 21;
inline constexpr int kRegDFC = 22;
inline constexpr int kRegisterCount = 23;

class RegCpu {
public:
    // Takes the registers from a "dr"/"ss" dump: each label ("D0=", "PC=", "SR=", "SFC=" ...)
    // is looked up at its first occurrence; a label absent from the text leaves its register
    // unchanged. SFC and DFC are three binary digits, SR four hexadecimal digits, the rest eight.
    void Parse(std::string_view dumpText);

    // Out-of-range indices read 0 and are ignored on write. SR keeps 16 bits, SFC/DFC 3 bits.
    uint32_t GetRegister(int index) const;
    void SetRegister(int index, uint32_t v);

private:
    uint32_t DFC = 0, SFC = 0, VBR = 0, SR = 0, US = 0, SS = 0, PC = 0;
    uint32_t D[8] = {};
    uint32_t A[8] = {};
};

// Register window texts. All take a register index as above.
// "D3 = 00001234", "PC = 00802000", "SS = ...", "US = ...", "SR = 2700", "VBR = 00000000",
// "SFC =101", "DFC =000".
std::string RegisterText(int index, uint32_t value);
// The label shown in the edit dialog: "D3 =", "A0 =", "PC =", "SS =", "US =", "SR =";
// also "VBR =", "SFC =", "DFC =" for completeness (those three are not editable).
std::string RegisterLabel(int index);
// The value part of a row or button: eight hexadecimal digits, four for SR, three binary
// digits for SFC/DFC.
std::string RegisterValueText(int index, uint32_t value);
// The CCR field: X N Z V C from SR bits 4..0, "-" for a clear bit ("--Z--" for 2704).
std::string CcrText(uint32_t sr);
// The whole SR as letters: trace bits ("T1", "T0") when set, "S" (supervisor) or "U" (user),
// the interrupt mask and the CCR field: "S I=7 --Z--" for 2704, "T1 U I=0 XNZVC" for 801F.
std::string SrFlagsText(uint32_t sr);
// Whether the register window lets the user edit the register (D, A, PC, SS, US, SR).
bool IsEditable(int index);
// The set command sent after an edit: "D3=00001234\r", "A7=...\r", "PC=...\r", "SS=...\r",
// "US=...\r", "SR=%4.4X\r"; empty for a register that is not editable.
std::string SetCommand(int index, uint32_t value);
// Strict hexadecimal reader for a typed value: optional "0x"/"0X" prefix, then one or more
// hexadecimal digits whose value fits 32 bits; surrounding spaces are ignored. Anything else
// (empty, "zz", "12g", a sign) -> std::nullopt.
std::optional<uint32_t> ParseHexValue(std::string_view text);
// ParseHexValue, also refusing a value wider than the register (more than FFFF for SR).
std::optional<uint32_t> ParseRegisterValue(int index, std::string_view text);

}  // namespace korvan::monitor
