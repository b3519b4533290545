// Program sources: resolving the file name, reading the file whole, and marking the end of the
// text at the first Ctrl-Z.
#include "rexx/host/program.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/memory.h"
#include "rexx/host/error.h"
#include "rexx/host/hooks.h"
#include "rexx/host/memory.h"
#include "rexx/host/session.h"

namespace ketra {

namespace {

bool is_file(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Location codes of the source-code memory-full reports.
constexpr int kLocFileTooLarge = 20;
constexpr int kLocInStoreTooLarge = 21;
constexpr int kLocSourceBlock = 22;

}  // namespace

const char* source_text_end(const char* start, const char* end) {
    const void* z = std::memchr(start, 0x1A, static_cast<std::size_t>(end - start));
    return z ? static_cast<const char*>(z) : end;
}

std::string resolve_program_name(const char* name) {
    std::size_t len = std::strlen(name);
    if (len == 0 || len >= kMaxFileName) return std::string();
    std::string path(name, len);
    std::size_t base = path.find_last_of("/\\");
    base = base == std::string::npos ? 0 : base + 1;
    if (path.find('.', base) != std::string::npos) return path;
    // No extension: the default one, in upper case and then in lower case; a Unix script named
    // without an extension (as a "#!" line invokes it) is found as it stands.
    std::string upper = path + ".REX";
    if (is_file(upper)) return upper;
    std::string lower = path + ".rex";
    if (is_file(lower)) return lower;
    if (is_file(path)) return path;
    return upper;
}

void load_program_file(ExecInstance* inst, const char* name) {
    inst->program_name = copy_string(name);
    std::string path = resolve_program_name(name);
    if (path.empty()) error(136);
    release(inst->program_name);
    inst->program_name = copy_string(path.c_str(), path.size());

    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) error(43);
    inst->file_handle = fd;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) error(3);
    if (st.st_size == 0) error(2);
    unsigned long size = static_cast<unsigned long>(st.st_size);
    unsigned long source_size = probe_file_image(inst, fd, size);
    if (source_size > kMaxSourceBytes) memory_full(kLocFileTooLarge, kPoolSourceCode);
    if (::lseek(fd, 0, SEEK_SET) != 0) error(3);

    char* block = static_cast<char*>(platform::global_alloc(source_size ? source_size : 1, false));
    if (!block) memory_full(kLocSourceBlock, kPoolSourceCode);
    inst->source_block = block;
    inst->source_block_size = source_size;
    std::size_t got = 0;
    while (got < source_size) {
        ssize_t r = ::read(fd, block + got, source_size - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) error(204);
        got += static_cast<std::size_t>(r);
    }
    inst->source_start = block;
    inst->source_end = source_text_end(block, block + source_size);
    inst->source_pos = block;
    inst->source_in_store = false;
    ::close(fd);
    inst->file_handle = -1;
}

void load_in_store_source(ExecInstance* inst, const char* name, const RXSTRING& source) {
    inst->program_name = copy_string(name);
    if (source.strlength > kMaxSourceBytes) memory_full(kLocInStoreTooLarge, kPoolSourceCode);
    inst->source_in_store = true;
    inst->source_start = source.strptr;
    inst->source_end = source_text_end(source.strptr, source.strptr + source.strlength);
    inst->source_pos = source.strptr;
}

void release_source(ExecInstance* inst) {
    if (!inst->source_in_store && inst->source_block) platform::global_free(inst->source_block);
    inst->source_block = nullptr;
    inst->source_start = inst->source_end = inst->source_pos = nullptr;
}

}  // namespace ketra
