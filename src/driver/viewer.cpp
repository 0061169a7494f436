#include "../console/console.h"
#include "../dump/dump.h"
#include "../io/output.h"
#include "driver.h"
#include "title.h"

#include <cstdio>

namespace {

void print_header_line(const char *path) {
    output_text(header_label, sizeof header_label - 1);
    output_name(path);
    output_end_line();
    output_end_line();
}

// The line ends with a newline and then one space, as it always has: the next title block
// starts one column in, and whoever reads the output may rely on it.
void print_open_error(const char *path) {
    output_text("Error:fopen  ");
    output_name(path);
    output_end_line();
    output_text(" ");
}

// The reason, and where in the file reading stopped, in the digits of the dump's offsets: after
// a "*" line the reader could not tell otherwise.
void report_read_error(const char *path, const DumpOutcome &outcome) {
    char reason[640];
    std::snprintf(reason, sizeof reason, "%.512s (at offset %04llx)",
                  system_error_text(outcome.read_error),
                  static_cast<unsigned long long>(outcome.stopped_at));
    report(path, reason);
}

} // namespace

int run_viewer(int argument_count, char **arguments) {
    clear_console();
    return view_paths(argument_count, arguments);
}

int view_paths(int argument_count, char **arguments) {
    prepare_output(); // starts the system too
    int status = 0;
    for (int i = 1; i < argument_count; ++i) {
        output_text(title_block, sizeof title_block - 1);
        print_header_line(arguments[i]);
        if (!dump_and_report(arguments[i]))
            status = 1;
    }
    output_flush();
    return status;
}

// A path that is the output itself is named on standard error; one that does not open otherwise
// gets the open error line in the output.
bool dump_and_report(const char *path) {
    const DumpOutcome outcome = dump_file(path);
    if (outcome.open_error == refused_as_output)
        report(path, "input file is output file");
    else if (outcome.open_error == cannot_tell_if_output)
        report(path, "cannot tell whether input file is output file");
    else if (outcome.open_error != no_error)
        print_open_error(path);
    else if (outcome.read_error != no_error)
        report_read_error(path, outcome);
    return outcome.open_error == no_error && outcome.read_error == no_error;
}
