#pragma once

// The four lines above every file's dump, exactly as they show: a rule, the title with its
// credit at the right, a rule and an empty line. Then the header line's label, before the path.

constexpr char title_block[] =
    "==============================================================================\n"
    "Morvalen v1.0 (25/01/2003)                             hexadecimal file viewer\n"
    "==============================================================================\n"
    "\n";
static_assert(sizeof title_block == 3 * (78 + 1) + 1 + 1, "the title lines are 78 characters");

constexpr char header_label[] = "El archivo visualizado es: ";
