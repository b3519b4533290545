// The global registration area: the 64 KiB block that holds the DLL registrations. In shared
// mode (option GlobalSCBs non-zero) it is the map file "C~RxRegs.map" in the per-user runtime
// folder, mapped MAP_SHARED by every process of the user; in private mode an anonymous mapping
// of this process alone.
//
// The area is addressed by 32-bit little-endian offsets from its base, laid out as follows:
//   0, 4, 8   first record of kind 0, 1, 2 (0 = empty list)
//   16        offset of the area itself (0)
//   20        offset of the last block allocated
//   24        next free byte (312 after initialisation)
//   28        end offset (the area size)
//   32        number of blocks allocated
//   36        number of records dropped
//   40        mutex handle (here: the creator's descriptor of the map file, which carries the lock)
//   44        creating process handle (no such thing here: 0)
//   48        creating process id
//   52        mutex name (NUL-terminated text)
// A record is one block from the bump allocator: eleven words (link, name, module, procedure,
// user area 8 bytes, entry point 0, 0, drop authority, process id, thread id) and its strings.
//
// Another process may write anything into a shared file, so nothing read from the area is
// trusted: every offset is checked against the area before it is followed, every string must end
// inside it, and list walks are bounded. An area that fails those checks is unusable: additions
// fail and lookups find nothing, but nothing reads or writes outside the mapping.
//
// The area's lock is an fcntl write lock on the map file (the kernel releases it when a holder
// dies). Every access, lookups included, runs under it, so two processes never lose each
// other's list updates. Callers hold the ApiLock as well; it serialises the threads of one
// process, which an fcntl lock does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ketra {

inline constexpr std::uint32_t kAreaSize = 0x10000;
inline constexpr std::uint32_t kAreaFirstFree = 312;
inline constexpr std::uint32_t kRecordBytes = 44;
inline constexpr std::uint32_t kMinimumBlock = 96;
inline constexpr const char kMapFileName[] = "C~RxRegs.map";
inline constexpr const char kMappingName[] = "C~Ketra_GlobalSCBs";
inline constexpr const char kDroppedText[] = "@#Dropped#@";

// Header offsets.
inline constexpr std::uint32_t kHdrSelf = 16;
inline constexpr std::uint32_t kHdrLastBlock = 20;
inline constexpr std::uint32_t kHdrNextFree = 24;
inline constexpr std::uint32_t kHdrEnd = 28;
inline constexpr std::uint32_t kHdrBlocks = 32;
inline constexpr std::uint32_t kHdrDropped = 36;
inline constexpr std::uint32_t kHdrMutex = 40;
inline constexpr std::uint32_t kHdrCreatorHandle = 44;
inline constexpr std::uint32_t kHdrCreatorPid = 48;
inline constexpr std::uint32_t kHdrMutexName = 52;

// A global record as found: copies, so that nothing points into the area afterwards.
struct GlobalRecord {
    std::uint32_t offset = 0;
    std::string name;
    std::string module;
    std::string procedure;
    unsigned char user[8] = {};
    std::uint32_t drop_auth = 0;
    std::uint32_t process_id = 0;
    std::uint32_t thread_id = 0;
};

enum class AreaResult { kOk, kDuplicate, kFull, kNotFound };

// Opens the area: shared through the map file, or private. False when the map file cannot be
// opened, created or mapped. A file that opens but holds no valid area still counts as opened;
// the area is then unusable.
bool area_open(bool shared);
void area_close();
bool area_is_open();

// The stored form of a module name: ".DLL" appended when there is no "." after its last "\"
// or "/" and after a leading drive ("X:").
std::string stored_dll_name(const char* module);

// The size of the block for strings of these lengths (without terminators; the module length
// is that of the stored form): 44 plus the strings and their terminators, at least 96, else the
// next multiple of 16 above it.
std::uint32_t record_block_size(std::size_t name_len, std::size_t module_len,
                                std::size_t procedure_len);

// Adds a record at the head of the list of its kind. kDuplicate when a record of that name and
// module exists (module prefix rule, see area_find); kFull when the area is full, unusable or
// cannot be locked.
AreaResult area_add(int kind, const char* name, const char* module, const char* procedure,
                    const unsigned char* user, std::uint32_t drop_auth, std::uint32_t process_id,
                    std::uint32_t thread_id);

// Finds the first record of a kind with that name (without regard to case). When a module name
// is given, the record's module must begin with it (without regard to case) and continue with
// "." or end there.
bool area_find(int kind, const char* name, const char* module, GlobalRecord* out);

// Unlinks the first matching record, overwrites its strings with "@#Dropped#@" and counts the
// drop. kNotFound when nothing matched.
AreaResult area_drop(int kind, const char* name, const char* module);

// For tests and diagnostics: the mapped base (null when not open or unusable), whether the area
// is shared, and the path of its map file ("" when private).
const unsigned char* area_base();
bool area_shared();
std::string area_map_path();

// Reads a header or record word of the area (0 when the area is not mapped).
std::uint32_t area_word(std::uint32_t offset);

}  // namespace ketra
