#include "formula/SumKernels.h"

namespace {

using Kernel = void (*)(const std::int16_t* const*, int, const std::int16_t* const*, int, std::int32_t, int,
                        std::int8_t*);

// One body for every path: inlined into each path's function, so each is compiled for its own
// instruction set. Columns are added whole over the block (the compiler vectorizes these loops),
// then the reduction to 1..6 runs over the block at once. C++'s remainder takes the sign of its
// left operand, as MOD does.
__attribute__((always_inline)) inline void codesBody(const std::int16_t* const* added, int addedCount,
                                                     const std::int16_t* const* subtracted,
                                                     int subtractedCount, std::int32_t constant, int n,
                                                     std::int8_t* __restrict codes)
{
    alignas(64) std::int32_t sums[SumKernels::kMaxRows];
    for (int i = 0; i < n; ++i)
        sums[i] = constant;
    for (int k = 0; k < addedCount; ++k) {
        const std::int16_t* __restrict c = added[k];
        for (int i = 0; i < n; ++i)
            sums[i] += c[i];
    }
    for (int k = 0; k < subtractedCount; ++k) {
        const std::int16_t* __restrict c = subtracted[k];
        for (int i = 0; i < n; ++i)
            sums[i] -= c[i];
    }
    for (int i = 0; i < n; ++i)
        codes[i] = static_cast<std::int8_t>((sums[i] - 1) % 6 + 5);
}

void codesPlain(const std::int16_t* const* a, int na, const std::int16_t* const* s, int ns, std::int32_t k,
                int n, std::int8_t* codes)
{
    codesBody(a, na, s, ns, k, n, codes);
}

__attribute__((target("avx2"))) void codesAvx2(const std::int16_t* const* a, int na,
                                               const std::int16_t* const* s, int ns, std::int32_t k, int n,
                                               std::int8_t* codes)
{
    codesBody(a, na, s, ns, k, n, codes);
}

__attribute__((target("avx512f,avx512bw,avx512vl"))) void codesAvx512(const std::int16_t* const* a, int na,
                                                                      const std::int16_t* const* s, int ns,
                                                                      std::int32_t k, int n,
                                                                      std::int8_t* codes)
{
    codesBody(a, na, s, ns, k, n, codes);
}

bool supports(SumKernels::Path path)
{
    __builtin_cpu_init();
    switch (path) {
    case SumKernels::Path::Plain:
        return true;
    case SumKernels::Path::Avx2:
        return __builtin_cpu_supports("avx2");
    case SumKernels::Path::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vl");
    }
    return false;
}

Kernel kernelOf(SumKernels::Path path)
{
    switch (path) {
    case SumKernels::Path::Avx2:
        return codesAvx2;
    case SumKernels::Path::Avx512:
        return codesAvx512;
    case SumKernels::Path::Plain:
        break;
    }
    return codesPlain;
}

// The widest path the processor offers; chosen once, at the first call.
SumKernels::Path choose()
{
    return SumKernels::availablePaths().back();
}

} // namespace

std::vector<SumKernels::Path> SumKernels::availablePaths()
{
    std::vector<Path> paths;
    for (Path p : {Path::Plain, Path::Avx2, Path::Avx512})
        if (supports(p))
            paths.push_back(p);
    return paths;
}

SumKernels::Path SumKernels::chosenPath()
{
    static const Path path = choose();
    return path;
}

const char* SumKernels::name(Path path)
{
    switch (path) {
    case Path::Avx2:
        return "avx2";
    case Path::Avx512:
        return "avx512";
    case Path::Plain:
        break;
    }
    return "plain";
}

void SumKernels::predictionCodes(const std::int16_t* const* added, int addedCount,
                                 const std::int16_t* const* subtracted, int subtractedCount,
                                 std::int32_t constant, int n, std::int8_t* codes)
{
    static const Kernel kernel = kernelOf(chosenPath());
    kernel(added, addedCount, subtracted, subtractedCount, constant, n, codes);
}

void SumKernels::predictionCodes(Path path, const std::int16_t* const* added, int addedCount,
                                 const std::int16_t* const* subtracted, int subtractedCount,
                                 std::int32_t constant, int n, std::int8_t* codes)
{
    kernelOf(supports(path) ? path : Path::Plain)(added, addedCount, subtracted, subtractedCount, constant, n,
                                                  codes);
}
