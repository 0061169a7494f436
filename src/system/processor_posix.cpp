#include "system.h"

#if defined(__arm__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif

// On 32-bit ARM the kernel tells, in the hardware capabilities it hands every program.
bool system_has_neon() {
#if defined(__arm__)
    return (getauxval(AT_HWCAP) & HWCAP_NEON) != 0;
#elif defined(__aarch64__)
    return true; // every AArch64 processor has Advanced SIMD
#else
    return false;
#endif
}
