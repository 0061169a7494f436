#include "driver.h"

int main(int argument_count, char **arguments) {
    return run_viewer(argument_count, arguments);
}
