#include "line.h"

// Where no vector line is built, every line comes from the tables.
LineFormat fastest_line_format() {
    return format_line_by_table;
}
