// Differential test of the CPU32 core against qemu-m68k: seeded random user-mode instructions
// with random operands, assembled by GNU as for the CPU32, run by both, results compared.
//
// Usage: cpu32_differential [--cases N] [--seed S] [--family NAME] [--keep]
// Every case loads D0-D7/A0-A6, a stack pointer, the CCR and a 256-byte memory window, runs one
// instruction (or a short branch sequence) and writes registers, CCR and window with the Linux
// write system call. Exit status 0 when both agree on every case, 1 on a mismatch, 77 when the
// tools are missing (ctest reports a skip).
#include "cpu32/cpu32.h"
#include "ram_bus.h"
#include "../../support/process.h"
#include "../../support/table.h"

#include <functional>
#include <iostream>
#include <map>
#include <random>

using namespace cpu32;

namespace {

// The program is linked at kOrigin, its window (then the saved registers) at kWindowAddr.
constexpr uint32_t kOrigin = 0x802000, kWindowAddr = 0x900000;
constexpr unsigned kWindow = 256;
constexpr unsigned kRecord = 68 + kWindow;  // D0-D7, A0-A7, CCR word, pad word, window

struct Case {
    std::string family;
    std::string body;
    uint32_t regs[15];
    uint16_t ccr;
    uint8_t window[kWindow];
    uint8_t ccrMask = 0x1F;  // flags the processor defines for this instruction
    bool divide = false;     // N and Z undefined after an overflow
};

// Random operands for one case. Address registers used as bases point into the window
// (at an even offset, so word and long accesses stay aligned); index registers hold small values.
class Builder {
public:
    Builder(std::mt19937& rng, Case& c, unsigned id) : m_rng(rng), m_c(c), m_id(id) {
        for (uint32_t& reg : c.regs) reg = value();
        for (uint8_t& byte : c.window) byte = uint8_t(rng());
        c.ccr = uint16_t(rng() & 0x1F);
    }

    uint32_t below(uint32_t n) { return uint32_t(m_rng() % n); }
    bool coin() { return m_rng() & 1; }

    uint32_t value() {
        static const uint32_t edges[] = {0,      1,      2,          0x7F,       0x80,       0xFF,       0x7FFF,
                                         0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFF80, 0x00010000};
        switch (below(4)) {
        case 0: return edges[below(std::size(edges))];
        case 1: return below(64);
        default: return uint32_t(m_rng());
        }
    }

    // A data register that is free to hold any value, and one that is neither x nor y.
    unsigned freeD() {
        for (int tries = 0; tries < 16; ++tries)
            if (const unsigned n = below(8); !m_pinned[n]) return n;
        return 7;
    }
    unsigned otherD(unsigned x, unsigned y = 8) {
        unsigned n = freeD();
        while (n == x || n == y) n = (n + 1) & 7;
        return n;
    }
    std::string d(unsigned n) { return "%d" + std::to_string(n); }
    std::string a(unsigned n) { return "%a" + std::to_string(n); }

    void pin(unsigned reg, uint32_t v) {
        m_pinned[reg] = true;
        m_c.regs[reg] = v;
    }

    // An address register pointing into the window, offset in [64, 192].
    unsigned base() {
        for (int tries = 0; tries < 32; ++tries) {
            const unsigned n = below(7);
            if (m_base[n]) return n;
            if (m_pinned[8 + n]) continue;
            pin(8 + n, kWindowAddr + 64 + 2 * below(65));
            m_base[n] = true;
            return n;
        }
        return 0;
    }

    // An index register (data or address) holding a small even value.
    std::string index() {
        for (int tries = 0; tries < 32; ++tries) {
            const unsigned n = below(15);
            if (m_pinned[n] && !m_index[n]) continue;
            if (!m_pinned[n]) {
                pin(n, uint32_t(int32_t(2 * below(5)) - 4));
                m_index[n] = true;
            }
            static const char* scales[] = {"", "*2", "*4", "*8"};
            const std::string reg = n < 8 ? d(n) : a(n - 8);
            return reg + (coin() ? ".w" : ".l") + scales[below(4)];
        }
        return "%d0.l";
    }

    // Decimal operands: the processor defines BCD arithmetic on valid digits only.
    uint8_t bcd() { return uint8_t((below(10) << 4) | below(10)); }
    void bcdInWindow(unsigned n, int delta) { m_c.window[m_c.regs[8 + n] - kWindowAddr + delta] = bcd(); }
    unsigned bcdData() {
        const unsigned n = freeD();
        pin(n, (value() & 0xFFFFFF00) | bcd());
        return n;
    }

    int disp(int range, int size) { return (int(below(2 * range + 1)) - range) & (size == 1 ? ~0 : ~1); }

    // Effective address kinds, as in the decode table: 0 Dn, 1 An, 2 (An), 3 (An)+, 4 -(An),
    // 5 (d16,An), 6 (d8,An,Xn), 7 (bd,An,Xn), 8 abs.L, 9 (d16,PC), 10 (d8,PC,Xn), 11 #imm.
    std::string ea(int size, unsigned allowed) {
        unsigned kind;
        do kind = below(12);
        while (!(allowed & (1u << kind)) || (kind == 1 && size == 1));
        switch (kind) {
        case 0: return d(freeD());
        case 1: {
            const unsigned n = below(7);
            m_pinned[8 + n] = true;
            return a(n);
        }
        case 2: return "(" + a(base()) + ")";
        case 3: return "(" + a(base()) + ")+";
        case 4: return "-(" + a(base()) + ")";
        case 5: return "(" + std::to_string(disp(40, size)) + "," + a(base()) + ")";
        case 6: {
            const unsigned b = base();
            return "(" + std::to_string(disp(16, size)) + "," + a(b) + "," + index() + ")";
        }
        case 7: {
            const unsigned b = base();
            const std::string x = index();
            return "(" + std::to_string(disp(40, size)) + ".w," + a(b) + "," + x + ")";
        }
        case 8: return "(window+" + std::to_string(2 * below(120)) + ").l";
        case 9: return "(case" + std::to_string(m_id) + "_data+" + std::to_string(2 * below(40)) + ",%pc)";
        case 10: return "(" + std::to_string(disp(8, size)) + ",%pc," + index() + ")";
        default: return "#" + std::to_string(immediate(size));
        }
    }

    uint32_t immediate(int size) {
        const uint32_t v = value();
        return size == 1 ? v & 0xFF : size == 2 ? v & 0xFFFF : v;
    }

private:
    std::mt19937& m_rng;
    Case& m_c;
    unsigned m_id;
    bool m_pinned[15] = {};
    bool m_index[15] = {};
    bool m_base[7] = {};
};

constexpr unsigned kDn = 1 << 0, kAn = 1 << 1, kInd = 1 << 2, kPost = 1 << 3, kPre = 1 << 4, kDisp = 1 << 5,
                   kIdx = 1 << 6, kFull = 1 << 7, kAbs = 1 << 8, kPcD = 1 << 9, kPcI = 1 << 10, kImm = 1 << 11;
constexpr unsigned kAll = 0xFFF, kData = kAll & ~kAn,
                   kAlt = kDn | kAn | kInd | kPost | kPre | kDisp | kIdx | kFull | kAbs;
constexpr unsigned kDataAlt = kAlt & ~kAn, kMemAlt = kDataAlt & ~kDn;
constexpr unsigned kControl = kInd | kDisp | kIdx | kFull | kAbs | kPcD | kPcI;

const char* sfx(int size) { return size == 1 ? ".b" : size == 2 ? ".w" : ".l"; }
int anySize(Builder& b) { return 1 << b.below(3); }

const char* kConditions[] = {"t",  "f",  "hi", "ls", "cc", "cs", "ne", "eq",
                             "vc", "vs", "pl", "mi", "ge", "lt", "gt", "le"};

using Family = std::function<void(Builder&, Case&)>;

// Expands a template of the families file (the notation is described there).
std::string expand(Builder& b, const std::string& t) {
    static const std::map<std::string, unsigned> kModes = {
        {"all", kAll},       {"data", kData},       {"alt", kAlt}, {"dataalt", kDataAlt},
        {"memalt", kMemAlt}, {"control", kControl}, {"pcd", kPcD}, {"pci", kPcI}};
    std::string out;
    int size = 4;
    for (std::size_t i = 0; i < t.size();) {
        if (t[i] != '{') {
            out += t[i++];
            continue;
        }
        const std::size_t end = t.find('}', i);
        const std::string token = t.substr(i + 1, end - i - 1), arg = token.substr(token.find(':') + 1);
        i = end + 1;
        const char separator = token.find('|') != std::string::npos ? '|' : ':';
        std::vector<std::string> parts;
        std::istringstream split(separator == '|' ? token : arg);
        for (std::string part; std::getline(split, part, separator);) parts.push_back(part);
        if (separator == '|') {
            out += parts[b.below(unsigned(parts.size()))];
        } else if (token.starts_with("s:") || token.starts_with("S:")) {
            const char letter = arg[b.below(unsigned(arg.size()))];
            size = letter == 'b' ? 1 : letter == 'w' ? 2 : 4;
            if (token[0] == 's') out += sfx(size);
        } else if (token.starts_with("ea:")) {
            unsigned modes = 0;
            std::istringstream names(arg);
            for (std::string name; std::getline(names, name, '+');) modes |= kModes.at(name);
            out += b.ea(size, modes);
        } else if (token.starts_with("n:") || token.starts_with("e:")) {
            const int lo = std::stoi(parts.at(0)), hi = std::stoi(parts.at(1)), step = token[0] == 'e' ? 2 : 1;
            out += std::to_string(lo + step * int(b.below(unsigned((hi - lo) / step + 1))));
        } else if (token == "d" || token == "a" || token == "base") {
            out += token == "d" ? b.d(b.freeD()) : b.a(token == "a" ? b.below(7) : b.base());
        } else if (token == "imm") {
            out += std::to_string(b.immediate(size));
        } else if (token == "cc" || token == "cc2") {
            out += token == "cc" ? kConditions[b.below(16)] : kConditions[2 + b.below(14)];
        } else {
            throw std::runtime_error("unknown template field {" + token + "}");
        }
    }
    return out;
}

// The families of the file, then those whose operands constrain each other.
std::vector<std::pair<std::string, Family>> families() {
    std::vector<std::pair<std::string, Family>> f;
    std::map<std::string, std::vector<std::string>> templates;
    for (const korvan::test::Row& row : korvan::test::readTable(KORVAN_CPU32_TEST_DATA "/families.txt", 2)) {
        if (templates[row[0]].empty()) f.push_back({row[0], {}});
        templates[row[0]].push_back(row[1]);
    }
    for (auto& [name, family] : f)
        family = [t = templates[name]](Builder& b, Case& c) { c.body = expand(b, t[b.below(unsigned(t.size()))]); };
    for (const std::string op : {"addx", "subx", "abcd", "sbcd"}) {
        const bool bcd = op[1] == 'b' || op[1] == 'c';
        f.push_back({op, [op, bcd](Builder& b, Case& c) {
                         const std::string name = op + (bcd ? "" : sfx(anySize(b)));
                         if (bcd) c.ccrMask = 0x15;  // N and V are undefined
                         if (b.coin()) {
                             const unsigned y = bcd ? b.bcdData() : b.freeD(), x = bcd ? b.bcdData() : b.freeD();
                             c.body = name + " " + b.d(y) + "," + b.d(x);
                             return;
                         }
                         const unsigned x = b.base(), y = b.base();
                         if (bcd) {
                             b.bcdInWindow(y, -1);
                             b.bcdInWindow(x, x == y ? -2 : -1);
                         }
                         c.body = name + " -(" + b.a(y) + "),-(" + b.a(x) + ")";
                     }});
    }
    f.push_back({"nbcd", [](Builder& b, Case& c) {
                     c.ccrMask = 0x15;
                     if (b.coin()) {
                         c.body = "nbcd " + b.d(b.bcdData());
                         return;
                     }
                     const unsigned n = b.base();
                     b.bcdInWindow(n, 0);
                     c.body = "nbcd (" + b.a(n) + ")";
                 }});
    for (const std::string op : {"mulu.l", "muls.l"}) {
        f.push_back({op, [op](Builder& b, Case& c) {
                         const unsigned dl = b.freeD();
                         const std::string dst = b.coin() ? b.d(b.otherD(dl)) + ":" + b.d(dl) : b.d(dl);
                         c.body = op + " " + b.ea(4, kData) + "," + dst;
                     }});
    }
    for (const std::string op : {"divu", "divs"}) {
        f.push_back({op + ".w", [op](Builder& b, Case& c) {
                         c.divide = true;
                         const unsigned q = b.freeD();
                         std::string src;
                         if (b.coin()) {
                             src = "#" + std::to_string(1 + b.below(0xFFFE));
                         } else {
                             const unsigned dv = b.otherD(q);
                             b.pin(dv, b.value() | (1u << b.below(16)));
                             src = b.d(dv);
                         }
                         c.body = op + ".w " + src + "," + b.d(q);
                     }});
        for (const std::string& form : {op + ".l", op + "l.l"}) {
            f.push_back({form, [form](Builder& b, Case& c) {
                             c.divide = true;
                             const unsigned dq = b.freeD(), dr = b.otherD(dq), dv = b.otherD(dq, dr);
                             b.pin(dv, b.value() | (1u << b.below(32)));
                             // 0: Dq, 1: Dr:Dq (the l form), 2: Dr:Dq as a 64-bit dividend
                             const int pair = form[4] == 'l' ? 1 : int(b.below(3));
                             if (pair == 2 && b.coin()) b.pin(dr, b.below(3) == 0 ? 0xFFFFFFFF : b.below(1000));
                             c.body = form + " " + b.d(dv) + "," + (pair == 0 ? "" : b.d(dr) + ":") + b.d(dq);
                         }});
        }
    }
    for (const std::string op : {"asl", "asr", "lsl", "lsr", "rol", "ror", "roxl", "roxr"}) {
        f.push_back({op, [op](Builder& b, Case& c) {
                         const std::string name = op + sfx(anySize(b));
                         const unsigned dst = b.freeD();
                         switch (b.below(3)) {
                         case 0: c.body = name + " #" + std::to_string(1 + b.below(8)) + "," + b.d(dst); break;
                         case 1: {
                             const unsigned cnt = b.freeD();
                             if (cnt != dst) b.pin(cnt, b.below(3) ? b.below(70) : b.value());
                             c.body = name + " " + b.d(cnt) + "," + b.d(dst);
                             break;
                         }
                         default: {
                             // qemu 7.2 picks arithmetic or logical memory shifts from opcode bit 3, which is
                             // part of the mode field; draw only modes where that bit agrees with the type.
                             unsigned modes = kMemAlt;
                             if (op[0] == 'a') modes = kInd | kPre | kIdx | kFull;
                             // ... and never sets V for a memory ASL (the sign change of a one-bit shift).
                             if (op == "asl") c.ccrMask = 0x1D;
                             if (op[0] == 'l') modes = kPost | kAbs;  // gas turns (0,An) into (An)
                             c.body = op + ".w " + b.ea(2, modes);
                         }
                         }
                     }});
    }
    for (const std::string op : {"btst", "bchg", "bclr", "bset"}) {
        f.push_back(
            {op, [op](Builder& b, Case& c) {
                 const std::string bit = b.coin() ? "#" + std::to_string(b.below(40)) : b.d(b.freeD());
                 const bool reg = b.coin();
                 const unsigned memModes = op != "btst" ? kMemAlt : bit[0] == '#' ? kData & ~kDn & ~kImm : kData & ~kDn;
                 c.body = op + " " + bit + "," + (reg ? b.d(b.freeD()) : b.ea(1, memModes));
             }});
    }
    f.push_back({"dbcc", [](Builder& b, Case& c) {
                     const unsigned n = b.freeD();
                     b.pin(n, (b.value() & 0xFFFF0000) | b.below(5));
                     const std::string acc = b.d(b.otherD(n));
                     c.body = "8:\taddq.l #3," + acc + "\n\tdb" + kConditions[b.below(16)] + " " + b.d(n) + ",8b";
                 }});
    f.push_back({"link-unlk", [](Builder& b, Case& c) {
                     const std::string n = b.a(b.base()), size = b.coin() ? ".w" : ".l";
                     c.body = "link" + size + " " + n + ",#-" + std::to_string(2 * b.below(8)) + "\n\tmove.l " + n +
                              "," + b.d(b.freeD()) + "\n\tmove.l %sp," + b.d(b.freeD()) + "\n\tunlk " + n;
                 }});
    f.push_back({"movem", [](Builder& b, Case& c) {
                     const std::string name = std::string("movem") + (b.coin() ? ".w " : ".l ");
                     const unsigned mask = 1 + b.below(0x7FFF);
                     std::string list;
                     for (unsigned i = 0; i < 15; ++i)
                         if (mask & (1u << i)) list += (list.empty() ? "" : "/") + (i < 8 ? b.d(i) : b.a(i - 8));
                     const bool toMemory = b.coin();
                     const std::string n = b.a(b.base());
                     const std::string memory = b.coin() ? (toMemory ? "-(" + n + ")" : "(" + n + ")+") : "(" + n + ")";
                     c.body = name + (toMemory ? list + "," + memory : memory + "," + list);
                 }});
    return f;
}

// The program of a batch: each case loads its registers and window, runs its body and writes
// the registers, the CCR and the window to standard output.
std::string source(const std::vector<Case>& cases) {
    std::ostringstream s;
    s << "\t.text\n\t.globl _start\n_start:\n";
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        s << "\tbra.w case" << i << "_code\n\t.balign 4\ncase" << i << "_data:\n\t.long ";
        for (int r = 0; r < 15; ++r) s << (r ? "," : "") << c.regs[r];
        s << "\n\t.byte ";
        for (unsigned k = 0; k < kWindow; ++k) s << (k ? "," : "") << unsigned(c.window[k]);
        s << "\ncase" << i << "_code:\n\tlea case" << i << "_data+60,%a0\n\tlea window,%a1\n\tmove.w #63,%d0\n"
          << "7:\tmove.l (%a0)+,(%a1)+\n\tdbra %d0,7b\n\tlea window+" << kWindow - 16 << ",%sp\n"
          << "\tmovem.l case" << i << "_data,%d0-%d7/%a0-%a6\n\tmove.w #" << c.ccr << ",%ccr\n\t" << c.body << "\n"
          << "\tmove.w %ccr,save+64\n\tmovem.l %d0-%d7/%a0-%a7,save\n"
          << "\tmoveq #4,%d0\n\tmoveq #1,%d1\n\tmove.l #save,%d2\n\tmove.l #" << kRecord << ",%d3\n\ttrap #0\n";
    }
    s << "\tmoveq #1,%d0\n\tmoveq #0,%d1\n\ttrap #0\n";
    s << "\t.bss\n\t.balign 4\nwindow:\t.space " << kWindow << "\nsave:\t.space 68\n";
    return s.str();
}

bool sh(const std::string& command) { return std::system(command.c_str()) == 0; }

std::vector<uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs the flat image on the core in user mode; TRAP #0 is the Linux system call (write to
// the output, exit).
std::vector<uint8_t> runOnCore(const std::vector<uint8_t>& image, std::string& error) {
    constexpr uint32_t kRamBase = 0x800000, kVbr = 0x700000, kTrapStub = 0x700400;
    test::RamBus bus(kVbr, 0x1000000);
    for (size_t i = 0; i < image.size(); ++i) bus.poke8(kOrigin + uint32_t(i), image[i]);
    for (uint32_t v = 0; v < 256; ++v) bus.poke32(kVbr + 4 * v, kTrapStub);
    Cpu cpu(bus);
    // Code and data reached directly, as in the simulator; vectors and stacks through the bus.
    cpu.setRamWindow(bus.at(kRamBase), kRamBase, 0x800000);
    Registers& r = cpu.regs();
    r.vbr = kVbr;
    r.pc = kOrigin;
    cpu.setSr(0x0000);
    cpu.setSupervisorStack(0x700800);
    cpu.setUserStack(0x1700000);
    std::vector<uint8_t> out;
    for (;;) {
        const RunResult res = cpu.run(100'000'000);
        if (res.reason != RunReason::Exception || res.vector != vector::Trap0) {
            std::ostringstream m;
            m << "core stopped: reason " << int(res.reason) << " vector " << int(res.vector) << std::hex << " pc "
              << r.pc;
            if (res.reason == RunReason::Exception)
                m << " stacked pc " << bus.peek32(r.a[7] + 2) << " format/vector " << bus.peek16(r.a[7] + 6);
            error = m.str();
            return out;
        }
        // Return from the trap by hand: pop the four-word frame.
        const uint32_t sp = r.a[7];
        r.a[7] = sp + 8;
        cpu.setSr(bus.peek16(sp));
        r.pc = bus.peek32(sp + 2);
        if (r.d[0] == 1) return out;
        if (r.d[0] == 4) out.insert(out.end(), bus.at(r.d[2]), bus.at(r.d[2]) + r.d[3]);
    }
}

uint32_t be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

const char* kRegNames[] = {"D0", "D1", "D2", "D3", "D4", "D5", "D6", "D7",
                           "A0", "A1", "A2", "A3", "A4", "A5", "A6", "A7"};

// Compares one case's records; returns an empty string when they agree.
std::string compare(const Case& c, const uint8_t* want, const uint8_t* got) {
    std::ostringstream m;
    m << std::hex;
    for (int r = 0; r < 16; ++r)
        if (be32(want + 4 * r) != be32(got + 4 * r))
            m << " " << kRegNames[r] << " qemu " << be32(want + 4 * r) << " core " << be32(got + 4 * r);
    uint8_t mask = c.ccrMask;
    if (c.divide && (want[65] & 0x02)) mask &= 0x13;  // N, Z undefined on division overflow
    if ((want[65] & mask) != (got[65] & mask))
        m << " CCR qemu " << unsigned(want[65]) << " core " << unsigned(got[65]) << " mask " << unsigned(mask);
    for (unsigned k = 0; k < kWindow; ++k)
        if (want[68 + k] != got[68 + k]) {
            m << " window+" << k << " qemu " << unsigned(want[68 + k]) << " core " << unsigned(got[68 + k]);
            break;
        }
    return m.str();
}

}  // namespace

int main(int argc, char** argv) {
    unsigned total = 2000;
    uint32_t seed = 1;
    std::string only;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--cases" && i + 1 < argc)
            total = unsigned(std::stoul(argv[++i]));
        else if (arg == "--seed" && i + 1 < argc)
            seed = uint32_t(std::stoul(argv[++i]));
        else if (arg == "--family" && i + 1 < argc)
            only = argv[++i];
        else if (arg == "--keep")
            keep = true;
        else {
            std::cerr << "usage: cpu32_differential [--cases N] [--seed S] [--family NAME] [--keep]\n";
            return 2;
        }
    }
    for (const char* tool : {"qemu-m68k", "m68k-linux-gnu-as", "m68k-linux-gnu-ld", "m68k-linux-gnu-objcopy"})
        if (korvan::test::onPath(tool).empty()) {
            std::cerr << tool << " is missing: skipped\n";
            return 77;
        }

    auto fams = families();
    if (!only.empty()) std::erase_if(fams, [&](const auto& f) { return f.first != only; });
    if (fams.empty()) {
        std::cerr << "no family " << only << "\n";
        return 2;
    }
    unsigned failures = 0;
    constexpr unsigned kBatch = 1500;
    for (unsigned done = 0; done < total; done += kBatch) {
        const unsigned n = std::min(kBatch, total - done);
        std::vector<Case> cases(n);
        std::mt19937 rng(seed * 7919u + done);
        for (unsigned i = 0; i < n; ++i) {
            Builder b(rng, cases[i], i);
            const auto& fam = fams[rng() % fams.size()];
            cases[i].family = fam.first;
            fam.second(b, cases[i]);
        }
        korvan::test::TempDir dir;
        dir.keep = keep;
        const std::string p = dir.path.string() + "/cases";
        std::ofstream(p + ".s") << source(cases);
        const std::string build = "m68k-linux-gnu-as -mcpu=cpu32 -o " + p + ".o " + p + ".s && m68k-linux-gnu-ld " +
                                  "-Ttext=0x802000 -Tbss=0x900000 -o " + p + ".elf " + p + ".o && " +
                                  "m68k-linux-gnu-objcopy -O binary " + p + ".elf " + p + ".bin";
        if (!sh(build)) {
            std::cerr << "assembling the cases failed (kept in " << dir.path << ")\n";
            dir.keep = true;
            return 1;
        }
        sh("qemu-m68k -cpu m68020 " + p + ".elf > " + p + ".out");
        const std::vector<uint8_t> want = readFile(p + ".out");
        std::string error;
        const std::vector<uint8_t> got = runOnCore(readFile(p + ".bin"), error);
        for (unsigned i = 0; i < n; ++i) {
            const Case& c = cases[i];
            const size_t off = size_t(i) * kRecord;
            const bool stopped = want.size() < off + kRecord || got.size() < off + kRecord;
            const std::string diff = want.size() < off + kRecord  ? "qemu stopped before this case"
                                     : got.size() < off + kRecord ? "core stopped before this case: " + error
                                                                  : compare(c, &want[off], &got[off]);
            if (diff.empty()) continue;
            if (++failures <= 40) {
                std::cerr << "case " << done + i << " (" << c.family << "): " << c.body << "\n " << std::hex
                          << " init CCR " << c.ccr;
                for (int r = 0; r < 15; ++r) std::cerr << " " << kRegNames[r] << "=" << c.regs[r];
                std::cerr << std::dec << "\n " << diff << "\n";
            }
            if (stopped) break;
        }
    }
    std::cout << total << " cases, seed " << seed << ", " << failures << " mismatches\n";
    return failures == 0 ? 0 : 1;
}
