#include "../console/console.h"
#include "../dump/dump.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char rule[] =
    "==============================================================================\n";
constexpr char title[] =
    "Morvalen v1.0 (25/01/2003)                             hexadecimal file viewer\n";
static_assert(sizeof rule == 78 + 2 && sizeof title == 78 + 2, "title lines are 78 characters");

// Four lines above every file: a rule, the title with the credit at the right, a rule and an
// empty line.
void print_title_block() {
    std::fputs(rule, stdout);
    std::fputs(title, stdout);
    std::fputs(rule, stdout);
    std::fputs("\n", stdout);
}

void print_header_line(const char *path) {
    std::printf("%s%s\n\n", "El archivo visualizado es: ", path);
}

// A reader that went away (a closed pipe) needs no message; anything else does.
int report_output_failure() {
    if (errno != EPIPE)
        std::fprintf(stderr, "morvalen: cannot write the output: %s\n", std::strerror(errno));
    return 1;
}

} // namespace

int main(int n, char **arr) {
    clear_console();
    prepare_output();
    int status = 0;
    for (int i = 1; i < n; ++i) {
        print_title_block();
        print_header_line(arr[i]);
        if (!process(arr[i]))
            status = 1;
        if (std::ferror(stdout) != 0)
            return report_output_failure();
    }
    if (std::fflush(stdout) != 0)
        return report_output_failure();
    return status;
}
