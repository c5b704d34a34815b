// The processor features the start-up check and show_cpu_info report.
#pragma once

#include <array>
#include <string>

struct CpuFeature {
    const char* name;
    bool        present;
};

constexpr int kCpuFeatureCount = 51;

// The 51 features in report order (3DNOW ... XSAVE), each with its presence flag.
std::array<CpuFeature, kCpuFeatureCount> CpuFeatureTable();

bool HasAvx();
bool HasAvx2();
bool HasAvx512F();

std::string TrimmedCpuVendor();
std::string TrimmedCpuBrand();
