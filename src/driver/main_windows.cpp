#include "../io/arguments.h"
#include "driver.h"

// Windows hands the command line over in wide characters (the program is linked with
// -municode), split and unquoted by the C runtime as for main; the rest of the program takes
// UTF-8.
int wmain(int n, wchar_t **arr) {
    return view_files(n, utf8_arguments(n, arr));
}
