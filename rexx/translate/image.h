// The compiled image: the one little-endian block that carries a translated program between the
// translator, callers of RexxStart (in-store object code) and program files (object code stored
// behind the source). This header owns the layout constants, building the full and the 16-bit
// form from a Program, validating an image, and unpacking one back into a Program.
//
// Layout: an 84-byte header, the code, the literal table and data, the symbol table and data, the
// label data, the statement table, and a 9-byte trailer. Unpacking never trusts the header: every
// section, entry, string, code operand, template and tail descriptor is checked against the
// block, and a block that does not hold a coherent program is refused (null), so the caller can
// translate the source instead.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rexx/host/session.h"
#include "rexx/translate/program.h"

namespace ketra {

inline constexpr std::uint16_t kImageVersion = 22;    // full form
inline constexpr std::uint16_t kImageVersion16 = 13;  // 16-bit form
inline constexpr std::uint16_t kImageVersionMin = 12;
inline constexpr std::uint16_t kImageVersionMax = 30;
inline constexpr std::uint16_t kImageMagic = 0x9462;
inline constexpr std::uint8_t kImageHeaderMark = 1;
inline constexpr std::uint8_t kImageTrailerMark = 3;
inline constexpr std::size_t kImageHeaderSize = 84;
inline constexpr std::size_t kImageTrailerSize = 9;
inline constexpr std::uint32_t kImageTooLarge = 0xFFFFFFFF;  // header total size that is refused

// Header flag bits; the other bits are the program's own flags.
inline constexpr std::uint8_t kImageFullTables = 0x01;  // 10-byte literal, 16-byte symbol entries
inline constexpr std::uint8_t kImageFullStatements = 0x02;  // 13-byte statement entries

// Entry sizes of the two forms.
inline constexpr std::size_t kLiteralEntry = 10, kLiteralEntry16 = 8;
inline constexpr std::size_t kSymbolEntry = 16, kSymbolEntry16 = 14;
inline constexpr std::size_t kStatementEntry = 13, kStatementEntry16 = 11;
inline constexpr std::size_t kLabelRecordFixed = 5;  // length byte and offset; the name follows

// Byte offsets of the header fields.
enum ImageField : std::size_t {
    kHdrMark = 0,
    kHdrVersion = 3,
    kHdrMagic = 5,
    kHdrFlags = 7,
    kHdrSourceLines = 8,
    kHdrCodeSize = 20,
    kHdrCodeOffset = 24,
    kHdrLiteralCount = 28,
    kHdrLiteralTable = 32,
    kHdrLiteralDataSize = 36,
    kHdrLiteralData = 40,
    kHdrSymbolCount = 44,
    kHdrSymbolTable = 48,
    kHdrSymbolDataSize = 52,
    kHdrSymbolData = 56,
    kHdrLabelCount = 60,
    kHdrLabelDataSize = 64,
    kHdrLabelData = 68,
    kHdrStatementCount = 72,
    kHdrStatementTable = 76,
    kHdrTotalSize = 80,
};

struct ImageTrailer {
    std::uint8_t mark;
    std::uint16_t version;
    std::int32_t back_offset;  // minus the image size once stored in a file, else 0
    std::uint16_t magic;
};

inline std::uint32_t get_u16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}
inline std::uint32_t get_u32(const std::uint8_t* p) {
    return get_u16(p) | get_u16(p + 2) << 16;
}
inline void put_u16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put_u32(std::uint8_t* p, std::uint32_t v) {
    put_u16(p, v);
    put_u16(p + 2, v >> 16);
}

// Decodes the 9 trailer bytes at p.
ImageTrailer read_trailer(const std::uint8_t* p);
void write_trailer(std::uint8_t* p, std::uint16_t version, std::int32_t back_offset);
// Mark 3, magic 9462 and a version from 12 to 30.
bool trailer_ok(const ImageTrailer& t);

// Size of the full form of the program; statements only when asked for.
std::size_t image_size(const Program& program, bool with_statements);
// Writes the full form into out, which holds image_size() bytes. A statement whose offset is the
// end mark is not written.
void write_image(const Program& program, bool with_statements, std::uint8_t* out);
// The full form in a new global memory block (freed with RexxFreeMemory); null when memory is
// short.
std::uint8_t* build_image(const Program& program, bool with_statements, std::size_t* size);
// The 16-bit form (header, sections, trailer with back offset 0). The statement table is left
// out when a column exceeds 255. False (out untouched) when the program cannot be expressed in
// it: a literal or symbol longer than 65535 characters.
bool build_image16(const Program& program, bool with_statements, RexxVector<std::uint8_t>& out);

// The header and trailer check: length at least 84 and equal to the header's total size (below
// FFFFFFFF), marks 1 and 3, versions 12 to 30 and the magic in both.
bool validate_image(const std::uint8_t* bytes, std::size_t length);

// Unpacks an image of either form into a new Program: code copied, literals and symbols copied
// into owned values with room for 40 more entries each, labels, and the statement table (with
// its end mark) when asked for. Null when the block is not a valid, coherent image. With
// `verify` clear the code is not verified (for listings of code that may be faulty); such a
// program must never be run.
ProgramPtr unpack_image(const std::uint8_t* bytes, std::size_t length, bool with_statements,
                        bool verify = true);

// Checks that code is safe to run against the program's tables: every instruction defined and
// complete, every target on an instruction start, every literal, symbol, template and built-in
// number in range, and the last instruction one that does not fall through. Also checks the
// templates and tail descriptors the program holds.
bool verify_program(const Program& program);

// Writes an image into a program file opened for reading and writing: replaces an image the
// file already ends with, else adds the end-of-file byte when the file does not end in one, and
// writes the full or the 16-bit form with its back offset. Returns the image's length, or 0 when
// nothing could be written (not a valid image, a failed seek) or a write failed. `end` receives
// the file offset one past the written image.
std::size_t append_image_to_file(int fd, const std::uint8_t* image, std::size_t length, bool form16,
                                 long long* end);

// What reading the object code behind a program file found.
enum class FileImage { kNone, kIncompatible, kTooLarge, kFailed, kFound };
struct FileImageResult {
    FileImage status;
    std::size_t image_size;  // from the trailer (kIncompatible, kFound, kTooLarge, kFailed)
    std::uint8_t* block;     // kFound: the image in a global memory block owned by the caller
};
// Looks at the end of a file of `file_size` bytes; with `read_image` clear, only the trailer is
// examined (status kFound, block null). The file position is left undefined.
FileImageResult read_file_image(int fd, unsigned long long file_size, bool read_image);

}  // namespace ketra
