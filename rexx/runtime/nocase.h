// Case-blind comparisons of names and keywords: command words, environment and selector names,
// the private names of the variable pool. ASCII letters only, as all such names are.
#pragma once

#include <cstddef>
#include <string_view>

namespace ketra {

inline char fold_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool same_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold_upper(a[i]) != fold_upper(b[i])) return false;
    return true;
}

inline bool starts_nocase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && same_nocase(text.substr(0, prefix.size()), prefix);
}

}  // namespace ketra
