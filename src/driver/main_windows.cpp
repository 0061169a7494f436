#include "arguments.h"
#include "driver.h"

// Windows hands the command line over in wide characters (the program is linked with
// -municode), split and unquoted by the C runtime as for main; the rest of the program takes
// UTF-8.
int wmain(int argument_count, wchar_t **arguments) {
    return run_viewer(argument_count, utf8_arguments(argument_count, arguments));
}
