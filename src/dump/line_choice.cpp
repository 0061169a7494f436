#include "line.h"

#include "../system/system.h"

namespace {

// The vector way this build holds, where this processor runs it; null otherwise. The build of
// the tables only, which tests the program with them alone, holds none.
LineFormat vector_way() {
#if defined(MORVALEN_LINE_TABLES_ONLY)
    return nullptr;
#elif defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0 ? format_lines_by_ssse3 : nullptr;
#elif defined(__aarch64__)
    return format_lines_by_neon; // every AArch64 processor has Advanced SIMD
#elif defined(__arm__) && defined(__ARM_PCS_VFP)
    // Built for the baseline that lacks NEON; the system tells whether this processor has it.
    // Soft float (armel) takes no NEON at all.
    return system_has_neon() ? format_lines_by_neon : nullptr;
#else
    return nullptr;
#endif
}

} // namespace

LineFormat fastest_line_format() {
    const LineFormat vector = vector_way();
    return vector != nullptr ? vector : format_lines_by_table;
}

std::size_t usable_line_formats(LineFormat *ways, std::size_t most) {
    const LineFormat all[] = {format_lines_by_table, vector_way()};
    std::size_t usable = 0;
    for (const LineFormat way : all)
        if (way != nullptr && usable < most)
            ways[usable++] = way;
    return usable;
}
