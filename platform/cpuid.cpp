#include "platform/cpuid.h"

#include <cpuid.h>

#include <cstring>

CpuidRegisters Cpuid(uint32_t leaf, uint32_t subleaf) {
    CpuidRegisters r{};
    __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
    return r;
}

std::string CpuVendor() {
    CpuidRegisters r = Cpuid(0);
    char           vendor[13]{};
    std::memcpy(vendor, &r.ebx, 4);
    std::memcpy(vendor + 4, &r.edx, 4);
    std::memcpy(vendor + 8, &r.ecx, 4);
    return vendor;
}

std::string CpuBrand() {
    if (Cpuid(0x80000000).eax < 0x80000004)
        return {};
    char brand[49]{};
    for (uint32_t i = 0; i < 3; ++i) {
        CpuidRegisters r = Cpuid(0x80000002 + i);
        std::memcpy(brand + 16 * i, &r, 16);
    }
    return brand;
}
