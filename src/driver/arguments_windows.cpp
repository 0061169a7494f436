#include "../system/wide_text.h"
#include "arguments.h"

#include <string>
#include <vector>

char **utf8_arguments(int count, wchar_t **wide) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows names are in 16-bit units");
    static std::vector<std::string> texts;
    static std::vector<char *> pointers;
    texts.reserve(static_cast<std::size_t>(count));
    pointers.reserve(static_cast<std::size_t>(count) + 1);
    for (int i = 0; i < count; ++i)
        texts.push_back(text_from_utf16(reinterpret_cast<const char16_t *>(wide[i])));
    for (auto &text : texts)
        pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers.data();
}
