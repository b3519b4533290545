// The file-backed registry: one text file per hive in the regedit export format, shared by the
// REXX library (which reads its options from it) and the setup program (which writes them).
//
// Files: <root>/HKEY_CURRENT_USER.reg, HKEY_LOCAL_MACHINE.reg, HKEY_CLASSES_ROOT.reg, where
// <root> is $KETRA_REGISTRY when set, else ${XDG_CONFIG_HOME:-$HOME/.config}/ketra/registry.
// Each hive has a stable lock file beside it ("<hive>.reg.lock"): readers hold a shared flock on
// it, writers an exclusive one; a writer reads the current file under the lock, changes it in
// memory and replaces the file atomically (temporary file in the same folder, fsync, rename,
// fsync of the folder), so two processes never lose each other's values and a crash never leaves
// half a file.
//
// The text format:
//
//     Windows Registry Editor Version 5.00
//
//     [HKEY_CURRENT_USER\Software\Corvane\Rexx\ExecOptions]
//     @="default value"
//     "TRACE_ON"=dword:00000001
//     "Path"="C:\\Program Files\\X \"quoted\""
//     "Blob"=hex:01,02,ff
//     "Expand"=hex(2):25,00,00,00
//
// Strings are stored as written (UTF-8 file, bytes unchanged) with \\ and \" escaped; a string
// holding a carriage return, line feed or NUL is stored as hex(1): (UTF-16LE, as regedit does)
// so that every line stays one line. Key and value names compare without regard to (ASCII) case;
// a key keeps the spelling it was first created with. A malformed file never fails a read: bad
// lines are skipped and the good ones kept; before a writer replaces a file that had bad lines,
// the old file is kept as "<hive>.reg.bak".
//
// Paths use "\" as separator ("Software\Corvane\Rexx\ExecOptions"); empty components (leading,
// trailing or doubled separators) are ignored, and the empty path is the hive's root key.
//
// Errors: functions return false / std::nullopt and leave an errno-like code for the calling
// thread in registry_error(): ENOENT (key or value missing), EINVAL (bad argument), or the
// errno of a failed system call. Nothing throws across this interface (allocation failure
// inside is reported as ENOMEM).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ketra::platform {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

// String is REG_SZ, Dword is REG_DWORD (little-endian), Binary is REG_BINARY; everything else
// (REG_EXPAND_SZ, REG_MULTI_SZ, REG_QWORD, REG_NONE ...) is Other, with its Windows type code kept
// in RegistryValue::raw_type so that it survives a rewrite.
enum class ValueType { String, Dword, Binary, Other };

// Windows type codes used for raw_type.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

struct RegistryValue {
    std::string name;  // "" is the key's default value ("@" in the file)
    ValueType type = ValueType::String;
    std::uint32_t raw_type = kRegSz;  // the Windows type code
    std::string data;                 // String: the text; Binary and Other: the raw bytes
    std::uint32_t dword = 0;          // Dword: the number

    static RegistryValue make_string(std::string_view name, std::string_view text);
    static RegistryValue make_dword(std::string_view name, std::uint32_t value);
    static RegistryValue make_binary(std::string_view name, std::string_view bytes);
    // Any Windows type code; kRegSz, kRegDword and kRegBinary give the matching typed value
    // (a Dword from the first four bytes, shorter data padded with zeros).
    static RegistryValue make_raw(std::string_view name, std::uint32_t raw_type,
                                  std::string_view bytes);

    bool operator==(const RegistryValue&) const = default;
};

// One key: its full path under the hive (as first spelled) and its values in the order they
// were first set.
struct RegistryKey {
    std::string path;
    std::vector<RegistryValue> values;

    const RegistryValue* find(std::string_view name) const;  // case-insensitive; null if none
    RegistryValue* find(std::string_view name);
    // Adds the value or replaces the one of the same name (keeping the existing spelling).
    void set(RegistryValue value);
    bool erase(std::string_view name);  // false when there was no such value

    // Typed look-ups for the fast reader: nullopt when the value is missing or of another type.
    std::optional<std::string> get_string(std::string_view name) const;
    std::optional<std::uint32_t> get_dword(std::string_view name) const;
};

// Orders key paths without regard to case and with "\" below every other character, so that a
// key's subkeys follow it directly (depth-first, as regedit writes them).
struct KeyPathLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// A hive in memory. Every key exists as an entry of its own, parents included.
class HiveData {
  public:
    explicit HiveData(Hive hive = Hive::CurrentUser) : hive_(hive) {}

    Hive hive() const { return hive_; }

    RegistryKey* find_key(std::string_view path);
    const RegistryKey* find_key(std::string_view path) const;
    // Opens the key, creating it and any missing parents (new components keep the given spelling).
    RegistryKey& create_key(std::string_view path);
    // Deletes the key with all its subkeys; false when it did not exist. Deleting the root key
    // empties the hive.
    bool delete_key(std::string_view path);
    // Names (last component, as spelled) of the key's direct subkeys, in key order; empty when
    // the key has none or does not exist.
    std::vector<std::string> subkeys(std::string_view path) const;

    const std::map<std::string, RegistryKey, KeyPathLess>& keys() const { return keys_; }

    // Parses a file's text. When only_path is given, only that key's values are kept (the
    // fast path of read_key); otherwise every key. bad_lines, when given, receives the number
    // of lines that were skipped as malformed.
    static HiveData parse(Hive hive, std::string_view text,
                          std::optional<std::string_view> only_path = std::nullopt,
                          int* bad_lines = nullptr);
    // The file text in regedit export format.
    std::string serialize() const;

  private:
    Hive hive_;
    std::map<std::string, RegistryKey, KeyPathLess> keys_;
};

// Normalises a path: empty components dropped, components joined with "\".
std::string normalize_key_path(std::string_view path);

// "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT".
const char* hive_name(Hive hive);
// The registry folder (not created here) and a hive's file path.
std::string registry_root();
std::string hive_file(Hive hive);

// The errno-like code of the calling thread's last failed registry call (0 after a success).
int registry_error();

// --- Reading: shared lock, one read of the file. A missing file is an empty hive. ---

// The whole hive; nullopt only when the file exists but cannot be read.
std::optional<HiveData> load_hive(Hive hive);
// One key with its values (parsing only that key's section); nullopt when the key does not
// exist (ENOENT) or the file cannot be read.
std::optional<RegistryKey> read_key(Hive hive, std::string_view path);

// --- Writing: exclusive lock, read, change, atomic replace. ---

// Runs change on the current contents and writes the result back when it differs from what was
// read. Folders are created as needed. False when the file cannot be read or written (nothing is
// changed then) or when change throws.
bool update(Hive hive, const std::function<void(HiveData&)>& change);

// --- Win32-style single operations (each one a read or an update). ---

bool key_exists(Hive hive, std::string_view path);
bool create_key(Hive hive, std::string_view path);
// Deletes the key and all its subkeys; false (ENOENT) when it did not exist.
bool delete_key(Hive hive, std::string_view path);
// The key's direct subkeys; nullopt (ENOENT) when the key does not exist.
std::optional<std::vector<std::string>> enum_subkeys(Hive hive, std::string_view path);
// The key's values; nullopt (ENOENT) when the key does not exist.
std::optional<std::vector<RegistryValue>> enum_values(Hive hive, std::string_view path);

// nullopt (ENOENT) when the key or the value does not exist.
std::optional<RegistryValue> query_value(Hive hive, std::string_view path, std::string_view name);
// Setting a value creates the key (and its parents) when needed.
bool set_value(Hive hive, std::string_view path, RegistryValue value);
bool set_string(Hive hive, std::string_view path, std::string_view name, std::string_view text);
bool set_dword(Hive hive, std::string_view path, std::string_view name, std::uint32_t value);
bool set_binary(Hive hive, std::string_view path, std::string_view name, std::string_view bytes);
// False (ENOENT) when the key or the value does not exist.
bool delete_value(Hive hive, std::string_view path, std::string_view name);

}  // namespace ketra::platform
