// Writes the voices' wavetables as a C++ source of exact hexadecimal
// floating-point literals. Built and run for the target (under its emulator
// when cross-compiling), so the tables are those its own sin yields.
//
// usage: make-wavetables OUTPUT.cpp

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/Wavetables.h"

namespace {

// The exact value of x as a hexadecimal literal, written from its bits so
// that no C library's printf decides the digits.
void PrintHexFloat(std::FILE* out, double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const char* sign = bits >> 63 ? "-" : "";
  const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
  const uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
  if (exponent == 0 && fraction == 0) {
    std::fprintf(out, "%s0x0p+0", sign);
  } else if (exponent == 0) {
    std::fprintf(out, "%s0x0.%013" PRIx64 "p-1022", sign, fraction);
  } else {
    std::fprintf(out, "%s0x1.%013" PRIx64 "p%+d", sign, fraction, exponent - 1023);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-wavetables OUTPUT.cpp\n");
    return 2;
  }
  auto tables = std::make_unique<double[][kWavetableSize]>(kNumWavetables);
  ComputeWavetables(tables.get());

  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "make-wavetables: cannot write %s\n", argv[1]);
    return 1;
  }
  std::fprintf(out,
               "// Written by make-wavetables at build time; do not edit.\n"
               "#include \"engine/Wavetables.h\"\n\n"
               "namespace {\n"
               "const double kTables[kNumWavetables][kWavetableSize] = {\n");
  for (int t = 0; t < kNumWavetables; ++t) {
    std::fprintf(out, "{\n");
    for (int k = 0; k < kWavetableSize; ++k) {
      PrintHexFloat(out, tables[t][k]);
      std::fprintf(out, k % 4 == 3 ? ",\n" : ", ");
    }
    std::fprintf(out, "},\n");
  }
  std::fprintf(out,
               "};\n"
               "}  // namespace\n\n"
               "const double (&kWavetables)[kNumWavetables][kWavetableSize] = kTables;\n");
  if (std::fclose(out) != 0) {
    std::fprintf(stderr, "make-wavetables: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
