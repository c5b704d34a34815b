// Processor identification. Built for the baseline instruction set: it runs before the
// check that the processor has the wide registers the solver needs.
#pragma once

#include <cstdint>
#include <string>

struct CpuidRegisters {
    uint32_t eax, ebx, ecx, edx;
};

CpuidRegisters Cpuid(uint32_t leaf, uint32_t subleaf = 0);
std::string    CpuVendor();  // leaf 0
std::string    CpuBrand();   // extended leaves 0x80000002..4
