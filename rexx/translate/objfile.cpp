// Object code behind program files: finding and reading the image a file ends with, appending or
// replacing one, and the two exported calls RexxGetObjectFromFile and RexxAppendObjectToFile.
//
// A trailer is believed only as far as the file bears it out: its back offset must lead to a
// header inside the file whose total size agrees, before anything is read from there or written
// over it. A lying trailer on a plain text file therefore never makes us overwrite its text.
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/lock.h"
#include "platform/memory.h"
#include "rexx/host/error.h"
#include "rexx/host/options.h"
#include "rexx/host/session.h"
#include "rexx/translate/image.h"
#include "rexxsaa.h"

namespace ketra {

namespace {

bool read_at(int fd, unsigned long long pos, void* buf, std::size_t n) {
    auto* p = static_cast<std::uint8_t*>(buf);
    while (n) {
        ssize_t r = ::pread(fd, p, n, static_cast<off_t>(pos));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        pos += static_cast<unsigned long long>(r);
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

bool write_all(int fd, const std::uint8_t* p, std::size_t n) {
    while (n) {
        ssize_t r = ::write(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

bool seek_to(int fd, unsigned long long pos) {
    return ::lseek(fd, static_cast<off_t>(pos), SEEK_SET) == static_cast<off_t>(pos);
}

// The size an image trailer claims (minus its back offset), 0 when the offset is not negative.
std::size_t claimed_size(const ImageTrailer& t) {
    return t.back_offset < 0 ? static_cast<std::size_t>(-static_cast<long long>(t.back_offset)) : 0;
}

// Start of the image a file ends with, when a trailer, a header and the sizes all agree.
bool stored_image_start(int fd, unsigned long long file_size, unsigned long long* start) {
    if (file_size < kImageHeaderSize + kImageTrailerSize) return false;
    std::uint8_t t9[kImageTrailerSize];
    if (!read_at(fd, file_size - kImageTrailerSize, t9, sizeof t9)) return false;
    ImageTrailer t = read_trailer(t9);
    std::size_t size = claimed_size(t);
    if (!trailer_ok(t) || size < kImageHeaderSize + kImageTrailerSize || size > file_size)
        return false;
    std::uint8_t h[kImageHeaderSize];
    if (!read_at(fd, file_size - size, h, sizeof h)) return false;
    if (h[kHdrMark] != kImageHeaderMark || get_u16(h + kHdrMagic) != kImageMagic ||
        get_u32(h + kHdrTotalSize) != size)
        return false;
    *start = file_size - size;
    return true;
}

bool file_size_of(int fd, unsigned long long* size) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size < 0) return false;
    *size = static_cast<unsigned long long>(st.st_size);
    return true;
}

}  // namespace

FileImageResult read_file_image(int fd, unsigned long long file_size, bool read_image) {
    FileImageResult r{FileImage::kNone, 0, nullptr};
    if (file_size < kImageTrailerSize) return r;
    std::uint8_t t9[kImageTrailerSize];
    if (!read_at(fd, file_size - kImageTrailerSize, t9, sizeof t9)) return r;
    ImageTrailer t = read_trailer(t9);
    if (t.mark != kImageTrailerMark || t.magic != kImageMagic) return r;
    std::size_t size = claimed_size(t);
    if (t.version < kImageVersionMin || t.version > kImageVersionMax) {
        r.status = FileImage::kIncompatible;
        r.image_size = size;
        return r;
    }
    // A back offset that leads outside the file is no object code at all.
    if (size < kImageHeaderSize + kImageTrailerSize || size > file_size) return r;
    r.image_size = size;
    r.status = FileImage::kFound;
    if (!read_image) return r;

    std::uint8_t h[kImageHeaderSize];
    r.status = FileImage::kFailed;
    if (!read_at(fd, file_size - size, h, sizeof h)) return r;
    std::uint32_t total = get_u32(h + kHdrTotalSize);
    if (total == kImageTooLarge) {
        r.status = FileImage::kTooLarge;
        return r;
    }
    if (total != size) return r;
    auto* block = static_cast<std::uint8_t*>(platform::global_alloc(size, false));
    if (!block) return r;
    if (!read_at(fd, file_size - size, block, size) || !validate_image(block, size)) {
        platform::global_free(block);
        return r;
    }
    r.status = FileImage::kFound;
    r.block = block;
    return r;
}

std::size_t append_image_to_file(int fd, const std::uint8_t* image, std::size_t length, bool form16,
                                 long long* end) {
    if (!validate_image(image, length)) return 0;
    unsigned long long size = 0;
    if (!file_size_of(fd, &size)) return 0;

    // The 16-bit form is made before anything is written, so that a program that cannot be
    // packed that way (a string over 65535 characters) is written in the full form instead.
    RexxVector<std::uint8_t> packed;
    const std::uint8_t* out = image;
    std::size_t out_len = length;
    std::uint16_t version = static_cast<std::uint16_t>(get_u16(image + kHdrVersion));
    if (form16) {
        ProgramPtr p = unpack_image(image, length, true);
        if (p && build_image16(*p, true, packed)) {
            out = packed.data();
            out_len = packed.size();
            version = kImageVersion16;
        }
    }

    unsigned long long pos = 0;
    if (!stored_image_start(fd, size, &pos)) {
        std::uint8_t last = 0;
        bool ends_in_eof = size > 0 && read_at(fd, size - 1, &last, 1) && last == 0x1A;
        if (!seek_to(fd, size)) return 0;
        pos = size;
        if (!ends_in_eof) {
            static constexpr std::uint8_t kEof = 0x1A;
            if (!write_all(fd, &kEof, 1)) return 0;
            ++pos;
        }
    }

    std::uint8_t trailer[kImageTrailerSize];
    write_trailer(trailer, version, -static_cast<std::int32_t>(out_len));
    // The header goes last: until it is written the old header (or none) stands.
    if (!seek_to(fd, pos + kImageHeaderSize)) return 0;
    if (!write_all(fd, out + kImageHeaderSize, out_len - kImageHeaderSize - kImageTrailerSize) ||
        !write_all(fd, trailer, sizeof trailer))
        return 0;
    if (!seek_to(fd, pos) || !write_all(fd, out, kImageHeaderSize)) return 0;
    if (!seek_to(fd, pos + out_len)) return 0;
    if (end) *end = static_cast<long long>(pos + out_len);
    return length;
}

}  // namespace ketra

using namespace ketra;

extern "C" KETRA_EXPORT ULONG APIENTRY RexxGetObjectFromFile(int fd, PRXSTRING object) {
    if (object) {
        object->strptr = nullptr;
        object->strlength = 0;
    }
    if (!object || fd < 0 || !ensure_library_started()) return 0;
    platform::ApiLockGuard lock;
    unsigned long long size = 0;
    if (!file_size_of(fd, &size)) return 0;
    FileImageResult r = read_file_image(fd, size, true);
    switch (r.status) {
        case FileImage::kNone:
        case FileImage::kFailed:
            return 0;
        case FileImage::kIncompatible:
            if (current_instance())
                message("Error 172: Object code from incompatible version of REXX ignored");
            return static_cast<ULONG>(r.image_size + 1);
        case FileImage::kTooLarge:
            if (current_instance()) message("Error 176: saved object code too large");
            return 0;
        case FileImage::kFound:
            break;
    }
    if (!seek_to(fd, 0)) {
        platform::global_free(r.block);
        return 0;
    }
    object->strptr = reinterpret_cast<char*>(r.block);
    object->strlength = static_cast<ULONG>(r.image_size);
    return static_cast<ULONG>(r.image_size + 1);
}

extern "C" KETRA_EXPORT ULONG APIENTRY RexxAppendObjectToFile(int fd, PRXSTRING object) {
    if (!object || !object->strptr || fd < 0 || !ensure_library_started()) return 0;
    platform::ApiLockGuard lock;
    bool form16 = read_option("", "16BitRxObject", 0) != 0;
    if (ExecInstance* inst = current_instance())
        if (inst->debug_flags & kDebugImage16) form16 = true;
    return static_cast<ULONG>(
        append_image_to_file(fd, reinterpret_cast<const std::uint8_t*>(object->strptr),
                             object->strlength, form16, nullptr));
}
