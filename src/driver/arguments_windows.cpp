#include "arguments.h"

#include <string>
#include <vector>
#include <windows.h>

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

char **utf8_arguments(int count, wchar_t **wide) {
    static std::vector<std::string> texts;
    static std::vector<char *> pointers;
    texts.reserve(static_cast<std::size_t>(count));
    pointers.reserve(static_cast<std::size_t>(count) + 1);
    for (int i = 0; i < count; ++i)
        texts.push_back(to_utf8(wide[i]));
    for (auto &text : texts)
        pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers.data();
}
