// The option reader: numbers kept as strings or DWORDs under the library's registry key.
#include "rexx/host/options.h"

#include <cstring>
#include <string>

#include "platform/registry.h"

namespace ketra {

namespace {

constexpr const char* kOptionRoot = "Software\\Corvane\\Rexx\\";
// Values are read into a buffer of this many bytes; longer strings are cut there.
constexpr std::size_t kValueBuffer = 260;

std::string option_key(const char* section) {
    std::string key = kOptionRoot;
    key += (section && *section) ? section : "ExecOptions";
    return key;
}

std::uint32_t option_value(const platform::RegistryKey& key, const char* name,
                           std::uint32_t fallback) {
    const platform::RegistryValue* v = key.find(name);
    if (!v) return fallback;
    if (v->type == platform::ValueType::Dword) return v->dword;
    if (v->type != platform::ValueType::String) return fallback;
    std::string text = v->data.substr(0, kValueBuffer - 1);
    if (text == "0") return 0;
    if (text == "1") return 1;
    std::uint32_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return n;
}

}  // namespace

std::uint32_t read_option(const char* section, const char* name, std::uint32_t fallback) {
    auto key = platform::read_key(platform::Hive::CurrentUser, option_key(section));
    if (!key) return fallback;
    return option_value(*key, name, fallback);
}

RunOptions read_run_options() {
    RunOptions o{1, 0, 0, 0, 25, 0, 0};
    auto key = platform::read_key(platform::Hive::CurrentUser, option_key(""));
    if (!key) return o;
    o.trace_on = option_value(*key, "TRACE_ON", 1);
    o.object_code = option_value(*key, "OBJECT_CODE", 0);
    o.dev_debug = option_value(*key, "DEV_DEBUG", 0);
    o.image16 = option_value(*key, "16BitRxObject", 0);
    o.halt_check_percent = option_value(*key, "HaltCheckPercent", 25);
    o.bounds_messages = option_value(*key, "BoundsMessages", 0);
    o.no_arg_prompts = option_value(*key, "NoArgPrompts", 0);
    return o;
}

}  // namespace ketra
