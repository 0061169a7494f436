#include "system.h"

#include <windows.h>

bool system_has_neon() {
    return IsProcessorFeaturePresent(PF_ARM_NEON_INSTRUCTIONS_AVAILABLE) != 0;
}
