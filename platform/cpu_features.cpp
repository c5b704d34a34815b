#include "platform/cpu_features.h"

#include <cstdint>

#include "platform/cpuid.h"

namespace {

bool Bit(uint32_t value, int bit) { return (value >> bit) & 1u; }

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

struct Leaves {
    CpuidRegisters basic1{}, basic7{}, ext1{};
};

Leaves ReadLeaves() {
    Leaves   l;
    uint32_t max_basic = Cpuid(0).eax;
    uint32_t max_ext   = Cpuid(0x80000000).eax;
    if (max_basic >= 1)
        l.basic1 = Cpuid(1);
    if (max_basic >= 7)
        l.basic7 = Cpuid(7, 0);
    if (max_ext >= 0x80000001)
        l.ext1 = Cpuid(0x80000001);
    return l;
}

}  // namespace

std::array<CpuFeature, kCpuFeatureCount> CpuFeatureTable() {
    const Leaves l = ReadLeaves();
    const auto&  b1 = l.basic1;
    const auto&  b7 = l.basic7;
    const auto&  e1 = l.ext1;
    // clang-format off
    return {{
        {"3DNOW",       Bit(e1.edx, 31)},  {"3DNOWEXT",    Bit(e1.edx, 30)},
        {"ABM",         Bit(e1.ecx, 5)},   {"ADX",         Bit(b7.ebx, 19)},
        {"AES",         Bit(b1.ecx, 25)},  {"AVX",         Bit(b1.ecx, 28)},
        {"AVX2",        Bit(b7.ebx, 5)},   {"AVX512CD",    Bit(b7.ebx, 28)},
        {"AVX512ER",    Bit(b7.ebx, 27)},  {"AVX512F",     Bit(b7.ebx, 16)},
        {"AVX512PF",    Bit(b7.ebx, 26)},  {"BMI1",        Bit(b7.ebx, 3)},
        {"BMI2",        Bit(b7.ebx, 8)},   {"CLFSH",       Bit(b1.edx, 19)},
        {"CMPXCHG16B",  Bit(b1.ecx, 13)},  {"CX8",         Bit(b1.edx, 8)},
        {"ERMS",        Bit(b7.ebx, 9)},   {"F16C",        Bit(b1.ecx, 29)},
        {"FMA",         Bit(b1.ecx, 12)},  {"FSGSBASE",    Bit(b7.ebx, 0)},
        {"FXSR",        Bit(b1.edx, 24)},  {"HLE",         Bit(b7.ebx, 4)},
        {"INVPCID",     Bit(b7.ebx, 10)},  {"LAHF",        Bit(e1.ecx, 0)},
        {"LZCNT",       Bit(e1.ecx, 5)},   {"MMX",         Bit(b1.edx, 23)},
        {"MMXEXT",      Bit(e1.edx, 22)},  {"MONITOR",     Bit(b1.ecx, 3)},
        {"MOVBE",       Bit(b1.ecx, 22)},  {"MSR",         Bit(b1.edx, 5)},
        {"OSXSAVE",     Bit(b1.ecx, 27)},  {"PCLMULQDQ",   Bit(b1.ecx, 1)},
        {"POPCNT",      Bit(b1.ecx, 23)},  {"PREFETCHWT1", Bit(b7.ecx, 0)},
        {"RDRAND",      Bit(b1.ecx, 30)},  {"RDSEED",      Bit(b7.ebx, 18)},
        {"RDTSCP",      Bit(e1.edx, 27)},  {"RTM",         Bit(b7.ebx, 11)},
        {"SEP",         Bit(b1.edx, 11)},  {"SHA",         Bit(b7.ebx, 29)},
        {"SSE",         Bit(b1.edx, 25)},  {"SSE2",        Bit(b1.edx, 26)},
        {"SSE3",        Bit(b1.ecx, 0)},   {"SSE4.1",      Bit(b1.ecx, 19)},
        {"SSE4.2",      Bit(b1.ecx, 20)},  {"SSE4a",       Bit(e1.ecx, 6)},
        {"SSSE3",       Bit(b1.ecx, 9)},   {"SYSCALL",     Bit(e1.edx, 11)},
        {"TBM",         Bit(e1.ecx, 21)},  {"XOP",         Bit(e1.ecx, 11)},
        {"XSAVE",       Bit(b1.ecx, 26)},
    }};
    // clang-format on
}

bool HasAvx() { return Cpuid(0).eax >= 1 && Bit(Cpuid(1).ecx, 28); }
bool HasAvx2() { return Cpuid(0).eax >= 7 && Bit(Cpuid(7, 0).ebx, 5); }
bool HasAvx512F() { return Cpuid(0).eax >= 7 && Bit(Cpuid(7, 0).ebx, 16); }

std::string TrimmedCpuVendor() { return Trimmed(CpuVendor()); }
std::string TrimmedCpuBrand() { return Trimmed(CpuBrand()); }
