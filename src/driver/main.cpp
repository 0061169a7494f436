#include "driver.h"

int main(int argument_count, char **arguments) {
    return view_files(argument_count, arguments);
}
