#include "../console/console.h"
#include "../dump/dump.h"
#include "../io/output.h"
#include "driver.h"

namespace {

constexpr char rule[] =
    "==============================================================================";
constexpr char title[] =
    "Morvalen v1.0 (25/01/2003)                             hexadecimal file viewer";
static_assert(sizeof rule == 78 + 1 && sizeof title == 78 + 1, "title lines are 78 characters");

// Four lines above every file: a rule, the title with the credit at the right, a rule and an
// empty line.
void print_title_block() {
    output_line(rule, sizeof rule - 1);
    output_line(title, sizeof title - 1);
    output_line(rule, sizeof rule - 1);
    output_end_line();
}

void print_header_line(const char *path) {
    output_text("El archivo visualizado es: ");
    output_text(path);
    output_end_line();
    output_end_line();
}

} // namespace

int view_files(int n, char **arr) {
    clear_console();
    prepare_output();
    int status = 0;
    for (int i = 1; i < n; ++i) {
        print_title_block();
        print_header_line(arr[i]);
        if (!process(arr[i]))
            status = 1;
    }
    output_flush();
    return status;
}

int main(int n, char **arr) {
    return view_files(n, arr);
}
