// Word location shared by the word functions (words.cpp, words_layout.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ketra {

// Offset of the first character of word n (1-based) of s, or len when s has fewer words.
std::size_t locate_word(const char* s, std::size_t len, std::int64_t n);
// Offset of the first blank at or after from, or len.
std::size_t word_end(const char* s, std::size_t len, std::size_t from);

}  // namespace ketra
