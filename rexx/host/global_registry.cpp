// The global registration area: opening and mapping it (shared map file or private mapping),
// its lock, the bump allocator, and the checked walks over its record lists.
#include "rexx/host/global_registry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/runtime_dir.h"

namespace ketra {

namespace {

struct Area {
    unsigned char* base = nullptr;  // null when not mapped (closed or unusable)
    int fd = -1;
    bool open = false;
    bool shared = false;
    std::string path;
};

Area& area() {
    static Area a;
    return a;
}

char fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool same_name(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (fold(*a) != fold(*b)) return false;
    return *a == *b;
}

// The record's module begins with the given one and continues with "." or ends there.
bool module_matches(const char* stored, const char* given) {
    for (; *given; ++given, ++stored)
        if (!*stored || fold(*stored) != fold(*given)) return false;
    return *stored == '\0' || *stored == '.';
}

std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void put32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

std::uint32_t rd(std::uint32_t off) {
    return get32(area().base + off);
}
void wr(std::uint32_t off, std::uint32_t v) {
    put32(area().base + off, v);
}

// The fcntl lock on the map file; nothing to take for a private area (the ApiLock covers it).
class AreaLock {
  public:
    AreaLock() {
        Area& a = area();
        if (!a.shared) return;
        fd_ = a.fd;
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        int rc;
        do rc = ::fcntl(fd_, F_SETLKW, &fl);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ok_ = false;
            fd_ = -1;
        }
    }
    ~AreaLock() {
        if (fd_ < 0) return;
        struct flock fl {};
        fl.l_type = F_UNLCK;
        fl.l_whence = SEEK_SET;
        ::fcntl(fd_, F_SETLK, &fl);
    }
    AreaLock(const AreaLock&) = delete;
    AreaLock& operator=(const AreaLock&) = delete;
    bool ok() const { return ok_; }

  private:
    int fd_ = -1;
    bool ok_ = true;
};

// The header limits everything else: a walk may only reach offsets below the next free byte.
// Also makes sure the shared file still has its full size, so that the mapping is backed.
bool header_ok(std::uint32_t* next_free) {
    Area& a = area();
    if (!a.base) return false;
    if (a.shared) {
        struct stat sb {};
        if (::fstat(a.fd, &sb) != 0 || sb.st_size != static_cast<off_t>(kAreaSize)) return false;
    }
    if (rd(kHdrSelf) != 0 || rd(kHdrEnd) != kAreaSize) return false;
    std::uint32_t nf = rd(kHdrNextFree);
    if (nf < kAreaFirstFree || nf > kAreaSize) return false;
    *next_free = nf;
    return true;
}

bool record_ok(std::uint32_t off, std::uint32_t next_free) {
    return off >= kAreaFirstFree && off % 4 == 0 && off <= next_free &&
           next_free - off >= kRecordBytes;
}

// The string at a field's offset, or null when it does not lie (with its NUL) below next_free.
const char* string_at(std::uint32_t off, std::uint32_t next_free) {
    if (off < kAreaFirstFree || off >= next_free) return nullptr;
    const unsigned char* p = area().base + off;
    if (!std::memchr(p, 0, next_free - off)) return nullptr;
    return reinterpret_cast<const char*>(p);
}

struct Match {
    std::uint32_t link_field;  // where the offset of the record is kept (a head or a link word)
    std::uint32_t record;
};

enum class Walk { kFound, kEnd, kBad };

// Walks the list of a kind to the first record matching name and module. kBad when the list
// leaves the area, holds a bad string, or runs longer than the area could hold (a cycle).
Walk find_match(int kind, const char* name, const char* module, std::uint32_t next_free,
                Match* out) {
    std::uint32_t link = static_cast<std::uint32_t>(kind) * 4;
    std::uint32_t limit = kAreaSize / kMinimumBlock + 1;
    for (std::uint32_t steps = 0;; ++steps) {
        std::uint32_t off = rd(link);
        if (off == 0) return Walk::kEnd;
        if (steps >= limit || !record_ok(off, next_free)) return Walk::kBad;
        const char* rname = string_at(rd(off + 4), next_free);
        const char* rmodule = string_at(rd(off + 8), next_free);
        if (!rname || !rmodule) return Walk::kBad;
        if (same_name(rname, name) && (!module || module_matches(rmodule, module))) {
            out->link_field = link;
            out->record = off;
            return Walk::kFound;
        }
        link = off;
    }
}

void overwrite_dropped(std::uint32_t field, std::uint32_t next_free) {
    std::uint32_t off = rd(field);
    if (!string_at(off, next_free)) return;
    unsigned char* p = area().base + off;
    std::size_t n = std::strlen(reinterpret_cast<char*>(p));
    constexpr std::size_t pattern = sizeof kDroppedText - 1;
    for (std::size_t i = 0; i < n; ++i)
        p[i] = static_cast<unsigned char>(kDroppedText[i % pattern]);
}

void init_header(std::uint32_t mutex_handle, const char* mutex_name) {
    Area& a = area();
    std::memset(a.base, 0, kAreaFirstFree);
    wr(kHdrNextFree, kAreaFirstFree);
    wr(kHdrEnd, kAreaSize);
    wr(kHdrMutex, mutex_handle);
    wr(kHdrCreatorHandle, 0);
    wr(kHdrCreatorPid, static_cast<std::uint32_t>(::getpid()));
    std::snprintf(reinterpret_cast<char*>(a.base + kHdrMutexName), kAreaFirstFree - kHdrMutexName,
                  "%s", mutex_name);
}

// The system's boot time in seconds since the epoch (0 when unknown: every file is then taken
// as made since the start).
time_t boot_time() {
    if (FILE* f = std::fopen("/proc/stat", "re")) {
        char line[256];
        long long btime = 0;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "btime %lld", &btime) == 1) break;
        std::fclose(f);
        if (btime > 0) return static_cast<time_t>(btime);
    }
    timespec now{}, up{};
    if (::clock_gettime(CLOCK_REALTIME, &now) != 0 || ::clock_gettime(CLOCK_BOOTTIME, &up) != 0)
        return 0;
    return now.tv_sec - up.tv_sec;
}

bool open_private() {
    Area& a = area();
    void* p =
        ::mmap(nullptr, kAreaSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return false;
    a.base = static_cast<unsigned char*>(p);
    a.shared = false;
    a.open = true;
    char mutex_name[80];
    std::snprintf(mutex_name, sizeof mutex_name, "%s%u_Mutex", kMappingName,
                  static_cast<unsigned>(::syscall(SYS_gettid)));
    init_header(0, mutex_name);
    return true;
}

// Sizes (when fresh) and maps the open map file; the caller holds the area lock.
bool setup_shared(int fd) {
    Area& a = area();
    struct stat sb {};
    if (::fstat(fd, &sb) != 0) return false;
    // The file of an earlier boot holds no live area: start it anew.
    bool fresh = sb.st_size == 0 || sb.st_mtime < boot_time();
    if (fresh && (::ftruncate(fd, 0) != 0 || ::ftruncate(fd, kAreaSize) != 0)) return false;
    a.open = true;
    // A file of another size cannot be mapped safely (access past its end faults): unusable.
    if (!fresh && sb.st_size != static_cast<off_t>(kAreaSize)) return true;
    void* p = ::mmap(nullptr, kAreaSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) return false;
    a.base = static_cast<unsigned char*>(p);
    // A creator that died between sizing the file and writing the header left it all zero.
    if (fresh || (rd(kHdrNextFree) == 0 && rd(kHdrEnd) == 0)) {
        char mutex_name[80];
        std::snprintf(mutex_name, sizeof mutex_name, "%s_Mutex", kMappingName);
        init_header(static_cast<std::uint32_t>(fd), mutex_name);
    }
    return true;
}

bool open_shared() {
    Area& a = area();
    std::string dir = platform::runtime_dir();
    if (dir.empty()) return false;
    a.path = dir + "/" + kMapFileName;
    int fd = ::open(a.path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    a.fd = fd;
    a.shared = true;
    struct stat sb {};
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode) || sb.st_uid != ::geteuid() ||
        ((sb.st_mode & 07777) != 0600 && ::fchmod(fd, 0600) != 0))
        return false;
    AreaLock lock;
    return lock.ok() && setup_shared(fd);
}

}  // namespace

bool area_open(bool shared) {
    area_close();
    bool ok = false;
    try {
        ok = shared ? open_shared() : open_private();
    } catch (...) {
        ok = false;
    }
    if (!ok) area_close();
    return ok;
}

void area_close() {
    Area& a = area();
    if (a.base) ::munmap(a.base, kAreaSize);
    if (a.fd >= 0) ::close(a.fd);
    a.base = nullptr;
    a.fd = -1;
    a.open = false;
    a.shared = false;
    a.path.clear();
}

bool area_is_open() {
    return area().open;
}

std::string stored_dll_name(const char* module) {
    std::string out(module);
    std::size_t start = (out.size() >= 2 && out[1] == ':') ? 2 : 0;
    std::size_t sep = out.find_last_of("\\/");
    if (sep != std::string::npos && sep + 1 > start) start = sep + 1;
    if (out.find('.', start) == std::string::npos) out += ".DLL";
    return out;
}

std::uint32_t record_block_size(std::size_t name_len, std::size_t module_len,
                                std::size_t procedure_len) {
    std::size_t size = kRecordBytes + name_len + module_len + procedure_len + 3;
    if (size > kAreaSize) return kAreaSize;  // can never fit; keeps the arithmetic in range
    if (size < kMinimumBlock) return kMinimumBlock;
    return static_cast<std::uint32_t>((size / 16 + 1) * 16);
}

AreaResult area_add(int kind, const char* name, const char* module, const char* procedure,
                    const unsigned char* user, std::uint32_t drop_auth, std::uint32_t process_id,
                    std::uint32_t thread_id) {
    std::string stored = stored_dll_name(module);
    AreaLock lock;
    std::uint32_t next_free = 0;
    if (!lock.ok() || !header_ok(&next_free)) return AreaResult::kFull;
    Match m{};
    Walk w = find_match(kind, name, module, next_free, &m);
    if (w == Walk::kFound) return AreaResult::kDuplicate;
    if (w == Walk::kBad) return AreaResult::kFull;

    std::size_t name_len = std::strlen(name), proc_len = std::strlen(procedure);
    std::uint32_t size = record_block_size(name_len, stored.size(), proc_len);
    if (static_cast<std::uint64_t>(next_free) + size >= rd(kHdrEnd)) return AreaResult::kFull;
    std::uint32_t block = next_free;
    wr(kHdrNextFree, next_free + size);
    wr(kHdrBlocks, rd(kHdrBlocks) + 1);
    wr(kHdrLastBlock, block);

    // Fill the record before it is linked, so that no reader ever sees half of it.
    unsigned char* p = area().base + block;
    std::memset(p, 0, size);
    std::uint32_t name_off = block + kRecordBytes;
    std::uint32_t module_off = name_off + static_cast<std::uint32_t>(name_len) + 1;
    std::uint32_t proc_off = module_off + static_cast<std::uint32_t>(stored.size()) + 1;
    std::uint32_t head = static_cast<std::uint32_t>(kind) * 4;
    wr(block + 0, rd(head));
    wr(block + 4, name_off);
    wr(block + 8, module_off);
    wr(block + 12, proc_off);
    if (user) std::memcpy(p + 16, user, 8);
    wr(block + 24, 0);
    wr(block + 28, 0);
    wr(block + 32, drop_auth);
    wr(block + 36, process_id);
    wr(block + 40, thread_id);
    std::memcpy(area().base + name_off, name, name_len + 1);
    std::memcpy(area().base + module_off, stored.c_str(), stored.size() + 1);
    std::memcpy(area().base + proc_off, procedure, proc_len + 1);
    wr(head, block);
    return AreaResult::kOk;
}

bool area_find(int kind, const char* name, const char* module, GlobalRecord* out) {
    AreaLock lock;
    std::uint32_t next_free = 0;
    if (!lock.ok() || !header_ok(&next_free)) return false;
    Match m{};
    if (find_match(kind, name, module, next_free, &m) != Walk::kFound) return false;
    if (!out) return true;
    const char* proc = string_at(rd(m.record + 12), next_free);
    if (!proc) return false;
    out->offset = m.record;
    out->name = string_at(rd(m.record + 4), next_free);
    out->module = string_at(rd(m.record + 8), next_free);
    out->procedure = proc;
    std::memcpy(out->user, area().base + m.record + 16, 8);
    out->drop_auth = rd(m.record + 32);
    out->process_id = rd(m.record + 36);
    out->thread_id = rd(m.record + 40);
    return true;
}

AreaResult area_drop(int kind, const char* name, const char* module) {
    AreaLock lock;
    std::uint32_t next_free = 0;
    if (!lock.ok() || !header_ok(&next_free)) return AreaResult::kNotFound;
    Match m{};
    if (find_match(kind, name, module, next_free, &m) != Walk::kFound) return AreaResult::kNotFound;
    wr(m.link_field, rd(m.record));
    overwrite_dropped(m.record + 4, next_free);
    overwrite_dropped(m.record + 8, next_free);
    overwrite_dropped(m.record + 12, next_free);
    wr(kHdrDropped, rd(kHdrDropped) + 1);
    return AreaResult::kOk;
}

const unsigned char* area_base() {
    return area().base;
}
bool area_shared() {
    return area().shared;
}
std::string area_map_path() {
    return area().shared ? area().path : std::string();
}

std::uint32_t area_word(std::uint32_t offset) {
    if (!area().base || offset > kAreaSize - 4) return 0;
    return rd(offset);
}

}  // namespace ketra
