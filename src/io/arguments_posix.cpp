#include "arguments.h"

char **utf8_arguments(int /*n*/, char **arr) {
    return arr;
}
