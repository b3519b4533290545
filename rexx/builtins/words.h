// Word location shared by the word functions (words.cpp, words_layout.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ketra {

// Offset of the first character of word n (1-based) of s, or len when s has fewer words.
std::size_t locate_word(const char* s, std::size_t len, std::int64_t n);
struct WordTally {
    std::size_t words;
    std::size_t chars;  // characters other than blanks
};
// The number of words of s and of the characters in them, eight bytes at a time.
WordTally tally_words(const char* s, std::size_t len);
// Offsets of the first character of word n (1-based) of s and just after its last; both len
// when s has fewer words.
struct WordSpan {
    std::size_t from;
    std::size_t to;
};
WordSpan locate_word_span(const char* s, std::size_t len, std::int64_t n);
// Offset of the first blank at or after from, or len.
std::size_t word_end(const char* s, std::size_t len, std::size_t from);

}  // namespace ketra
