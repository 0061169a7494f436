#include "arguments.h"

#include <string>
#include <vector>
#include <windows.h>

// The C runtime's own split of the wide-character command line, with no wildcard expansion,
// as `main` gets it.
struct StartupInfo {
    int new_mode;
};
extern "C" int __wgetmainargs( // NOLINT(bugprone-reserved-identifier): the runtime's own name
    int *argc, wchar_t ***argv, wchar_t ***env, int expand_wildcards, StartupInfo *info);

namespace {

std::string to_utf8(const wchar_t *wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], size, nullptr, nullptr);
    text.pop_back(); // the terminating NUL
    return text;
}

} // namespace

char **utf8_arguments(int n, char **arr) {
    int count = 0;
    wchar_t **wide = nullptr;
    wchar_t **environment = nullptr;
    StartupInfo info = {0};
    if (__wgetmainargs(&count, &wide, &environment, 0, &info) != 0 || count != n)
        return arr;
    static std::vector<std::string> texts;
    static std::vector<char *> pointers;
    for (int i = 0; i < n; ++i)
        texts.push_back(to_utf8(wide[i]));
    for (auto &text : texts)
        pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers.data();
}
