// The file-backed registry: the in-memory hive, the regedit text format (parse and write), and
// the locked, atomic file access that lets several processes share one hive.
#include "platform/registry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ketra::platform {

namespace {

thread_local int g_error = 0;

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ci(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

bool starts_with_ci(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equal_ci(s.substr(0, prefix.size()), prefix);
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// --- UTF-16LE, used by hex(1) values and UTF-16 files. Bytes that are not valid UTF-8 travel
// as the lone surrogates U+DC80..U+DCFF so that any byte string survives the round trip. ---

void put_unit(std::string& out, std::uint32_t u) {
    out.push_back(static_cast<char>(u & 0xff));
    out.push_back(static_cast<char>((u >> 8) & 0xff));
}

std::string to_utf16le(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2 + 2);
    std::size_t i = 0;
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    while (i < s.size()) {
        unsigned c = byte(i);
        std::uint32_t cp = 0;
        std::size_t len = 0;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if (c >= 0xc2 && c <= 0xdf) {
            cp = c & 0x1f;
            len = 2;
        } else if (c >= 0xe0 && c <= 0xef) {
            cp = c & 0x0f;
            len = 3;
        } else if (c >= 0xf0 && c <= 0xf4) {
            cp = c & 0x07;
            len = 4;
        }
        bool ok = len > 0 && i + len <= s.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            if ((byte(i + k) & 0xc0) != 0x80) ok = false;
            cp = (cp << 6) | (byte(i + k) & 0x3f);
        }
        if (ok) {
            // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
            if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10ffff)) ||
                (cp >= 0xd800 && cp <= 0xdfff))
                ok = false;
        }
        if (!ok) {
            put_unit(out, 0xdc00 + c);
            i += 1;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put_unit(out, 0xd800 + (cp >> 10));
            put_unit(out, 0xdc00 + (cp & 0x3ff));
        } else {
            put_unit(out, cp);
        }
        i += len;
    }
    return out;
}

void put_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    }
}

// Decodes UTF-16LE; nullopt for an odd byte count. One terminating NUL is dropped when asked.
std::optional<std::string> from_utf16le(std::string_view s, bool drop_terminator) {
    if (s.size() % 2 != 0) return std::nullopt;
    std::size_t n = s.size() / 2;
    auto unit = [&](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(s[2 * k])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(s[2 * k + 1])) << 8);
    };
    if (drop_terminator && n > 0 && unit(n - 1) == 0) --n;
    std::string out;
    out.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::uint32_t u = unit(k);
        if (u >= 0xd800 && u <= 0xdbff && k + 1 < n && unit(k + 1) >= 0xdc00 &&
            unit(k + 1) <= 0xdfff) {
            put_utf8(out, 0x10000 + ((u - 0xd800) << 10) + (unit(k + 1) - 0xdc00));
            ++k;
        } else if (u >= 0xdc80 && u <= 0xdcff) {
            out.push_back(static_cast<char>(u - 0xdc00));
        } else {
            put_utf8(out, u);
        }
    }
    return out;
}

// --- Text format pieces ---

void append_quoted(std::string& out, std::string_view s) {
    out.push_back('"');
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

// Reads a quoted text starting at s[pos] == '"'; \\ and \" are escapes, any other backslash is
// kept as it stands (hand-written "C:\x" stays readable). Returns false when the closing quote is
// missing.
bool read_quoted(std::string_view s, std::size_t& pos, std::string& out) {
    ++pos;
    while (pos < s.size()) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < s.size() && (s[pos + 1] == '\\' || s[pos + 1] == '"')) {
            out.push_back(s[pos + 1]);
            pos += 2;
            continue;
        }
        out.push_back(c);
        ++pos;
    }
    return false;
}

bool parse_hex_bytes(std::string_view s, std::string& out) {
    std::size_t i = 0;
    while (true) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i >= s.size()) return true;
        int hi = hex_digit(s[i]);
        if (hi < 0) return false;
        int v = hi;
        ++i;
        if (i < s.size() && hex_digit(s[i]) >= 0) {
            v = hi * 16 + hex_digit(s[i]);
            ++i;
        }
        out.push_back(static_cast<char>(v));
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i >= s.size()) return true;
        if (s[i] != ',') return false;
        ++i;
    }
}

bool parse_hex_number(std::string_view s, std::uint32_t& out) {
    if (s.empty() || s.size() > 8) return false;
    std::uint32_t v = 0;
    for (char c : s) {
        int d = hex_digit(c);
        if (d < 0) return false;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    out = v;
    return true;
}

void append_hex_value(std::string& out, std::string_view prefix, std::string_view bytes,
                      std::size_t start_column) {
    static const char* digits = "0123456789abcdef";
    out += prefix;
    std::size_t col = start_column + prefix.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
        col += 2;
        if (i + 1 < bytes.size()) {
            out.push_back(',');
            ++col;
            if (col > 76) {
                out += "\\\n  ";
                col = 2;
            }
        }
    }
}

bool needs_hex_string(std::string_view s) {
    for (char c : s)
        if (c == '\n' || c == '\r' || c == '\0') return true;
    return false;
}

void append_value_line(std::string& out, const RegistryValue& v) {
    std::size_t line_start = out.size();
    if (v.name.empty())
        out.push_back('@');
    else
        append_quoted(out, v.name);
    out.push_back('=');
    std::size_t col = out.size() - line_start;
    switch (v.type) {
        case ValueType::String:
            if (needs_hex_string(v.data)) {
                std::string raw = to_utf16le(v.data);
                raw.append(2, '\0');
                append_hex_value(out, "hex(1):", raw, col);
            } else {
                append_quoted(out, v.data);
            }
            break;
        case ValueType::Dword: {
            char buf[24];
            std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.dword));
            out += buf;
            break;
        }
        case ValueType::Binary:
            append_hex_value(out, "hex:", v.data, col);
            break;
        case ValueType::Other: {
            char buf[24];
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.raw_type));
            append_hex_value(out, buf, v.data, col);
            break;
        }
    }
    out.push_back('\n');
}

// Parses the data part of a value line (after "="). Returns false for malformed data; sets
// skip for a deletion marker ("-"), which a stored hive has no use for.
bool parse_value_data(std::string_view d, RegistryValue& v, bool& skip) {
    skip = false;
    if (d == "-") {
        skip = true;
        return true;
    }
    if (!d.empty() && d.front() == '"') {
        std::size_t pos = 0;
        std::string text;
        if (!read_quoted(d, pos, text)) return false;
        if (!trim(d.substr(pos)).empty()) return false;
        v = RegistryValue::make_string(v.name, text);
        return true;
    }
    if (starts_with_ci(d, "dword:")) {
        std::uint32_t n = 0;
        if (!parse_hex_number(trim(d.substr(6)), n)) return false;
        v = RegistryValue::make_dword(v.name, n);
        return true;
    }
    if (starts_with_ci(d, "hex")) {
        std::uint32_t type = kRegBinary;
        std::size_t pos = 3;
        if (pos < d.size() && d[pos] == '(') {
            std::size_t close = d.find(')', pos);
            if (close == std::string_view::npos) return false;
            if (!parse_hex_number(d.substr(pos + 1, close - pos - 1), type)) return false;
            pos = close + 1;
        }
        if (pos >= d.size() || d[pos] != ':') return false;
        std::string bytes;
        if (!parse_hex_bytes(d.substr(pos + 1), bytes)) return false;
        v = RegistryValue::make_raw(v.name, type, bytes);
        return true;
    }
    return false;
}

// Splits a section header's inside into root name and path; false when the root is not the
// hive's.
bool section_path(Hive hive, std::string_view inner, std::string& path) {
    std::size_t sep = inner.find('\\');
    std::string_view root = inner.substr(0, sep);
    static const char* shorts[] = {"HKCU", "HKLM", "HKCR"};
    if (!equal_ci(root, hive_name(hive)) && !equal_ci(root, shorts[static_cast<int>(hive)]))
        return false;
    path = sep == std::string_view::npos ? std::string() : normalize_key_path(inner.substr(sep));
    return true;
}

// --- Files ---

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads a whole file; 0 or the errno.
int read_file(const std::string& path, std::string& out, struct stat* st = nullptr) {
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (f.fd < 0) return errno;
    struct stat sb {};
    if (::fstat(f.fd, &sb) != 0) return errno;
    if (st) *st = sb;
    out.clear();
    if (sb.st_size > 0) out.reserve(static_cast<std::size_t>(sb.st_size));
    char buf[65536];
    while (true) {
        ssize_t n = ::read(f.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return 0;
}

int write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int make_dirs(const std::string& path) {
    std::string cur;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t next = path.find('/', i);
        if (next == std::string::npos) next = path.size();
        cur = path.substr(0, next);
        if (!cur.empty()) {
            if (::mkdir(cur.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        }
        i = next + 1;
    }
    struct stat sb {};
    if (::stat(path.c_str(), &sb) != 0) return errno;
    if (!S_ISDIR(sb.st_mode)) return ENOTDIR;
    return 0;
}

int lock_fd(int fd, int how) {
    while (::flock(fd, how) != 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

// Reads a hive's text under a shared lock. ENOENT (no file, no folder) gives empty text and 0.
int read_hive_text(Hive hive, std::string& text) {
    std::string file = hive_file(hive);
    std::string lock_path = file + ".lock";
    Fd lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.fd < 0) {
        if (errno == ENOENT) {  // no folder yet: no hive yet
            text.clear();
            return 0;
        }
        // A read-only folder still lets us read; the atomic replace keeps unlocked reads whole.
        lock.fd = ::open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (lock.fd >= 0) lock_fd(lock.fd, LOCK_SH);
    int rc = read_file(file, text);
    if (rc == ENOENT) {
        text.clear();
        return 0;
    }
    return rc;
}

bool fail(int code) {
    g_error = code;
    return false;
}

}  // namespace

// --- RegistryValue / RegistryKey ---

RegistryValue RegistryValue::make_string(std::string_view name, std::string_view text) {
    RegistryValue v;
    v.name = name;
    v.type = ValueType::String;
    v.raw_type = kRegSz;
    v.data = text;
    return v;
}

RegistryValue RegistryValue::make_dword(std::string_view name, std::uint32_t value) {
    RegistryValue v;
    v.name = name;
    v.type = ValueType::Dword;
    v.raw_type = kRegDword;
    v.dword = value;
    return v;
}

RegistryValue RegistryValue::make_binary(std::string_view name, std::string_view bytes) {
    RegistryValue v;
    v.name = name;
    v.type = ValueType::Binary;
    v.raw_type = kRegBinary;
    v.data = bytes;
    return v;
}

RegistryValue RegistryValue::make_raw(std::string_view name, std::uint32_t raw_type,
                                      std::string_view bytes) {
    if (raw_type == kRegBinary) return make_binary(name, bytes);
    if (raw_type == kRegDword && bytes.size() <= 4) {
        std::uint32_t n = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            n |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
        return make_dword(name, n);
    }
    if (raw_type == kRegSz) {
        if (auto text = from_utf16le(bytes, true)) return make_string(name, *text);
    }
    RegistryValue v;
    v.name = name;
    v.type = ValueType::Other;
    v.raw_type = raw_type;
    v.data = bytes;
    return v;
}

const RegistryValue* RegistryKey::find(std::string_view name) const {
    for (const auto& v : values)
        if (equal_ci(v.name, name)) return &v;
    return nullptr;
}

RegistryValue* RegistryKey::find(std::string_view name) {
    for (auto& v : values)
        if (equal_ci(v.name, name)) return &v;
    return nullptr;
}

void RegistryKey::set(RegistryValue value) {
    if (RegistryValue* old = find(value.name)) {
        value.name = std::move(old->name);
        *old = std::move(value);
    } else {
        values.push_back(std::move(value));
    }
}

bool RegistryKey::erase(std::string_view name) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (equal_ci(it->name, name)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

std::optional<std::string> RegistryKey::get_string(std::string_view name) const {
    const RegistryValue* v = find(name);
    if (!v || v->type != ValueType::String) return std::nullopt;
    return v->data;
}

std::optional<std::uint32_t> RegistryKey::get_dword(std::string_view name) const {
    const RegistryValue* v = find(name);
    if (!v || v->type != ValueType::Dword) return std::nullopt;
    return v->dword;
}

// --- HiveData ---

bool KeyPathLess::operator()(std::string_view a, std::string_view b) const {
    auto map = [](char c) -> unsigned char {
        return c == '\\' ? 1 : static_cast<unsigned char>(fold(c));
    };
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = map(a[i]), y = map(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

std::string normalize_key_path(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    std::size_t i = 0;
    while (i < path.size()) {
        std::size_t next = path.find('\\', i);
        if (next == std::string_view::npos) next = path.size();
        if (next > i) {
            if (!out.empty()) out.push_back('\\');
            out.append(path.substr(i, next - i));
        }
        i = next + 1;
    }
    return out;
}

RegistryKey* HiveData::find_key(std::string_view path) {
    std::string p = normalize_key_path(path);
    auto it = keys_.find(p);
    if (it != keys_.end()) return &it->second;
    if (p.empty()) return &create_key("");  // the root key always exists
    return nullptr;
}

const RegistryKey* HiveData::find_key(std::string_view path) const {
    std::string p = normalize_key_path(path);
    auto it = keys_.find(p);
    if (it != keys_.end()) return &it->second;
    if (p.empty()) {
        static const RegistryKey empty_root{};
        return &empty_root;
    }
    return nullptr;
}

RegistryKey& HiveData::create_key(std::string_view path) {
    std::string p = normalize_key_path(path);
    auto found = keys_.find(p);
    if (found != keys_.end()) return found->second;
    std::string spelled;
    RegistryKey* last = nullptr;
    std::size_t i = 0;
    if (p.empty()) {
        auto [it, _] = keys_.emplace(std::string(), RegistryKey{});
        return it->second;
    }
    while (i < p.size()) {
        std::size_t next = p.find('\\', i);
        if (next == std::string::npos) next = p.size();
        std::string candidate = spelled;
        if (!candidate.empty()) candidate.push_back('\\');
        candidate.append(p, i, next - i);
        auto it = keys_.find(candidate);
        if (it == keys_.end()) it = keys_.emplace(candidate, RegistryKey{candidate, {}}).first;
        spelled = it->first;
        last = &it->second;
        i = next + 1;
    }
    return *last;
}

bool HiveData::delete_key(std::string_view path) {
    std::string p = normalize_key_path(path);
    if (p.empty()) {
        keys_.clear();
        return true;
    }
    auto it = keys_.find(p);
    if (it == keys_.end()) return false;
    std::string prefix = it->first + "\\";
    it = keys_.erase(it);
    while (it != keys_.end() && starts_with_ci(it->first, prefix)) it = keys_.erase(it);
    return true;
}

std::vector<std::string> HiveData::subkeys(std::string_view path) const {
    std::vector<std::string> out;
    std::string p = normalize_key_path(path);
    std::string prefix = p.empty() ? std::string() : p + "\\";
    auto it = p.empty() ? keys_.begin() : keys_.lower_bound(prefix);
    for (; it != keys_.end(); ++it) {
        if (!starts_with_ci(it->first, prefix)) break;
        std::string_view rest = std::string_view(it->first).substr(prefix.size());
        if (!rest.empty() && rest.find('\\') == std::string_view::npos) out.emplace_back(rest);
    }
    return out;
}

HiveData HiveData::parse(Hive hive, std::string_view text,
                         std::optional<std::string_view> only_path, int* bad_lines) {
    HiveData data(hive);
    int bad = 0;
    std::string decoded;
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xff &&
        static_cast<unsigned char>(text[1]) == 0xfe) {
        decoded = from_utf16le(text.substr(2, (text.size() - 2) & ~std::size_t{1}), false)
                      .value_or(std::string());
        text = decoded;
    } else if (text.size() >= 3 && text.substr(0, 3) == "\xef\xbb\xbf") {
        text.remove_prefix(3);
    }
    std::string wanted;
    if (only_path) wanted = normalize_key_path(*only_path);

    RegistryKey* current = nullptr;
    bool in_section = false;  // a valid section of this hive (kept or filtered out)
    std::string section;
    std::size_t pos = 0;
    auto next_line = [&](std::string_view& line) {
        if (pos >= text.size()) return false;
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) nl = text.size();
        line = text.substr(pos, nl - pos);
        pos = nl + 1;
        return true;
    };
    std::string_view raw;
    while (next_line(raw)) {
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == ';') continue;
        if (line == kHeader || line == kHeader4) continue;
        if (line.front() == '[') {
            current = nullptr;
            in_section = false;
            if (line.back() != ']') {
                ++bad;
                continue;
            }
            std::string_view inner = line.substr(1, line.size() - 2);
            if (!inner.empty() && inner.front() == '-') continue;  // a deletion: nothing to keep
            if (!section_path(hive, inner, section)) {
                ++bad;
                continue;
            }
            in_section = true;
            if (!only_path) {
                current = &data.create_key(section);
            } else if (equal_ci(section, wanted)) {
                current = &data.create_key(section);
            } else if (starts_with_ci(section, wanted + "\\")) {
                data.create_key(wanted);  // a subkey proves the wanted key exists
            }
            continue;
        }
        if (line.front() == '"' || line.front() == '@') {
            RegistryValue v;
            std::size_t p = 0;
            bool ok = true;
            if (line.front() == '@') {
                p = 1;
            } else {
                ok = read_quoted(line, p, v.name);
            }
            std::string_view rest = ok ? trim(line.substr(p)) : std::string_view();
            ok = ok && !rest.empty() && rest.front() == '=';
            std::string joined;
            if (ok) {
                rest = trim(rest.substr(1));
                // hex data may go on over lines that end in a backslash
                if (starts_with_ci(rest, "hex") && !rest.empty() && rest.back() == '\\') {
                    joined.assign(rest.substr(0, rest.size() - 1));
                    std::string_view more;
                    while (next_line(more)) {
                        more = trim(more);
                        if (!more.empty() && more.back() == '\\') {
                            joined.append(more.substr(0, more.size() - 1));
                            continue;
                        }
                        joined.append(more);
                        break;
                    }
                    rest = joined;
                }
            }
            if (!in_section) {
                ++bad;  // a value outside any section of this hive
                continue;
            }
            if (!current) continue;  // filtered out
            bool skip = false;
            if (!ok || !parse_value_data(rest, v, skip)) {
                ++bad;
                continue;
            }
            if (!skip) current->set(std::move(v));
            continue;
        }
        ++bad;
    }
    if (bad_lines) *bad_lines = bad;
    return data;
}

std::string HiveData::serialize() const {
    std::string out;
    out += kHeader;
    out += "\n\n";
    const char* root = hive_name(hive_);
    for (const auto& [path, key] : keys_) {
        if (path.empty() && key.values.empty()) continue;
        out.push_back('[');
        out += root;
        if (!path.empty()) {
            out.push_back('\\');
            out += path;
        }
        out += "]\n";
        // The default value first, as regedit writes it.
        for (const auto& v : key.values)
            if (v.name.empty()) append_value_line(out, v);
        for (const auto& v : key.values)
            if (!v.name.empty()) append_value_line(out, v);
        out.push_back('\n');
    }
    return out;
}

// --- Locations ---

const char* hive_name(Hive hive) {
    switch (hive) {
        case Hive::CurrentUser:
            return "HKEY_CURRENT_USER";
        case Hive::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case Hive::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
    }
    return "HKEY_CURRENT_USER";
}

std::string registry_root() {
    const char* env = std::getenv("KETRA_REGISTRY");
    if (env && *env) return env;
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home && *home) {
            base = home;
        } else {
            struct passwd pw {};
            struct passwd* res = nullptr;
            char buf[4096];
            if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &res) == 0 && res && res->pw_dir)
                base = res->pw_dir;
            else
                base = "/tmp";
        }
        base += "/.config";
    }
    return base + "/ketra/registry";
}

std::string hive_file(Hive hive) {
    return registry_root() + "/" + hive_name(hive) + ".reg";
}

int registry_error() {
    return g_error;
}

// --- Reading ---

std::optional<HiveData> load_hive(Hive hive) {
    try {
        std::string text;
        if (int rc = read_hive_text(hive, text); rc != 0) {
            g_error = rc;
            return std::nullopt;
        }
        g_error = 0;
        return HiveData::parse(hive, text);
    } catch (...) {
        g_error = ENOMEM;
        return std::nullopt;
    }
}

std::optional<RegistryKey> read_key(Hive hive, std::string_view path) {
    try {
        std::string text;
        if (int rc = read_hive_text(hive, text); rc != 0) {
            g_error = rc;
            return std::nullopt;
        }
        std::string wanted = normalize_key_path(path);
        HiveData data = HiveData::parse(hive, text, wanted);
        const RegistryKey* key = data.find_key(wanted);
        if (!key) {
            g_error = ENOENT;
            return std::nullopt;
        }
        g_error = 0;
        return *key;
    } catch (...) {
        g_error = ENOMEM;
        return std::nullopt;
    }
}

// --- Writing ---

bool update(Hive hive, const std::function<void(HiveData&)>& change) {
    try {
        std::string root = registry_root();
        if (int rc = make_dirs(root); rc != 0) return fail(rc);
        std::string file = hive_file(hive);
        std::string lock_path = file + ".lock";
        Fd lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (lock.fd < 0) return fail(errno);
        if (int rc = lock_fd(lock.fd, LOCK_EX); rc != 0) return fail(rc);

        std::string text;
        struct stat st {};
        int rc = read_file(file, text, &st);
        bool existed = rc == 0;
        if (rc != 0 && rc != ENOENT) return fail(rc);  // never overwrite what we could not read
        int bad = 0;
        HiveData data = HiveData::parse(hive, text, std::nullopt, &bad);
        std::string before = data.serialize();
        change(data);
        std::string after = data.serialize();
        if (after == before) {
            g_error = 0;
            return true;
        }

        std::string tmp = file + ".tmpXXXXXX";
        Fd out(::mkostemp(tmp.data(), O_CLOEXEC));
        if (out.fd < 0) return fail(errno);
        auto discard = [&](int code) {
            ::unlink(tmp.c_str());
            return fail(code);
        };
        mode_t mode = existed ? (st.st_mode & 07777) : 0600;
        if (::fchmod(out.fd, mode) != 0) return discard(errno);
        if (int w = write_all(out.fd, after); w != 0) return discard(w);
        if (::fsync(out.fd) != 0) return discard(errno);
        int fd = out.fd;
        out.fd = -1;
        if (::close(fd) != 0) return discard(errno);
        if (existed && bad > 0) {
            // Keep the hand-edited original that had lines we could not read.
            std::string bak = file + ".bak";
            ::unlink(bak.c_str());
            if (::link(file.c_str(), bak.c_str()) != 0) { /* best effort */
            }
        }
        if (::rename(tmp.c_str(), file.c_str()) != 0) return discard(errno);
        Fd dir(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.fd >= 0) ::fsync(dir.fd);
        g_error = 0;
        return true;
    } catch (const std::bad_alloc&) {
        return fail(ENOMEM);
    } catch (...) {
        return fail(ECANCELED);
    }
}

// --- Win32-style operations ---

bool key_exists(Hive hive, std::string_view path) {
    return read_key(hive, path).has_value();
}

bool create_key(Hive hive, std::string_view path) {
    return update(hive, [&](HiveData& d) { d.create_key(path); });
}

bool delete_key(Hive hive, std::string_view path) {
    bool found = false;
    if (!update(hive, [&](HiveData& d) { found = d.delete_key(path); })) return false;
    return found ? true : fail(ENOENT);
}

std::optional<std::vector<std::string>> enum_subkeys(Hive hive, std::string_view path) {
    auto data = load_hive(hive);
    if (!data) return std::nullopt;
    try {
        if (!data->find_key(path)) {
            g_error = ENOENT;
            return std::nullopt;
        }
        return data->subkeys(path);
    } catch (...) {
        g_error = ENOMEM;
        return std::nullopt;
    }
}

std::optional<std::vector<RegistryValue>> enum_values(Hive hive, std::string_view path) {
    auto key = read_key(hive, path);
    if (!key) return std::nullopt;
    return std::move(key->values);
}

std::optional<RegistryValue> query_value(Hive hive, std::string_view path, std::string_view name) {
    auto key = read_key(hive, path);
    if (!key) return std::nullopt;
    const RegistryValue* v = key->find(name);
    if (!v) {
        g_error = ENOENT;
        return std::nullopt;
    }
    return *v;
}

bool set_value(Hive hive, std::string_view path, RegistryValue value) {
    return update(hive, [&](HiveData& d) { d.create_key(path).set(value); });
}

bool set_string(Hive hive, std::string_view path, std::string_view name, std::string_view text) {
    return set_value(hive, path, RegistryValue::make_string(name, text));
}

bool set_dword(Hive hive, std::string_view path, std::string_view name, std::uint32_t value) {
    return set_value(hive, path, RegistryValue::make_dword(name, value));
}

bool set_binary(Hive hive, std::string_view path, std::string_view name, std::string_view bytes) {
    return set_value(hive, path, RegistryValue::make_binary(name, bytes));
}

bool delete_value(Hive hive, std::string_view path, std::string_view name) {
    bool found = false;
    if (!update(hive, [&](HiveData& d) {
            if (RegistryKey* k = d.find_key(path)) found = k->erase(name);
        }))
        return false;
    return found ? true : fail(ENOENT);
}

}  // namespace ketra::platform
