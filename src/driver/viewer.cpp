#include "../console/console.h"
#include "../dump/dump.h"
#include "../io/output.h"
#include "driver.h"
#include "title.h"

namespace {

void print_header_line(const char *path) {
    output_text(header_label, sizeof header_label - 1);
    output_text(path);
    output_end_line();
    output_end_line();
}

} // namespace

int view_files(int argument_count, char **arguments) {
    clear_console();
    return dump_paths(argument_count, arguments);
}

int dump_paths(int argument_count, char **arguments) {
    prepare_output();
    int status = 0;
    for (int i = 1; i < argument_count; ++i) {
        output_text(title_block, sizeof title_block - 1);
        print_header_line(arguments[i]);
        if (!process(arguments[i]))
            status = 1;
    }
    output_flush();
    return status;
}
