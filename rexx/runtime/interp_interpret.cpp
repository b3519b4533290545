// INTERPRET: the string is translated into a code block of its own that runs in place of the
// program's code until its end opcode (or a SIGNAL out of it); the literals and symbols its
// translation added to the program's tables are removed again when it ends. INTERPRETs nest.
//
// Translations are kept for reuse: a string met a second time is translated once more and
// kept with the table entries it added; later the same string, met while the tables hold only
// the program's own entries, puts copies of those entries back at the same indices and runs a
// copy of the kept block. The translation depends only on the text and those tables, so the
// result is the translation it replaces. A string met once is only remembered by its hash, so
// strings that never recur (built from a counter) do not push out the ones that do.
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_ports.h"

namespace ketra {

namespace {

// Longest text kept; longer strings are translated every time.
constexpr std::size_t kCachedTextMax = 512;
constexpr std::size_t kCacheSlots = 128;  // kept translations, by hash
constexpr std::size_t kSeenSlots = 1024;  // hashes of strings met once

struct CachedTranslation {
    std::uint64_t hash = 0;
    RexxVector<char> text;
    RexxVector<std::uint8_t> block;
    RexxVector<Value> literals;  // owned copies of the entries the translation added
    RexxVector<SymbolEntry> symbols;

    void clear() {
        for (Value& v : literals) release(v);
        for (SymbolEntry& e : symbols) release(e.name);
        literals.clear();
        symbols.clear();
        text.clear();
        block.clear();
        hash = 0;
    }
    ~CachedTranslation() { clear(); }
};

}  // namespace

struct InterpretCache {
    CachedTranslation slots[kCacheSlots];
    std::uint64_t seen[kSeenSlots] = {};
};

void InterpretCacheDeleter::operator()(InterpretCache* cache) const {
    std::default_delete<InterpretCache>()(cache);
}

namespace {

void truncate_tables(Program* p, std::size_t literals, std::size_t symbols) {
    while (p->literals.size() > literals) {
        release(p->literals.back());
        p->literals.pop_back();
    }
    while (p->symbols.size() > symbols) {
        release(p->symbols.back().name);
        p->symbols.pop_back();
    }
}

// FNV-1a; never 0, which marks an empty slot.
std::uint64_t text_hash(std::string_view s) {
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ULL;
    return h ? h : 1;
}

bool same_text(const CachedTranslation& t, std::uint64_t hash, std::string_view s) {
    return t.hash == hash && t.text.size() == s.size() &&
           (s.empty() || std::memcmp(t.text.data(), s.data(), s.size()) == 0);
}

// A symbol entry as the translator leaves it, without any run-time cache.
SymbolEntry fresh_symbol(const SymbolEntry& e) {
    SymbolEntry c = e;
    c.name = copy_value(e.name);
    c.cache = nullptr;
    if (c.kind != kSymbolCompound) c.tail = 0;
    return c;
}

// Appends copies of the kept entries; true when the tables are at the size the translation
// was made at (only the program's own entries), so the kept indices hold.
bool restore_entries(Interp& in, const CachedTranslation& t) {
    Program* p = in.prog;
    if (p->literals.size() != in.literal_ints_count || p->symbols.size() != in.program_symbols)
        return false;
    try {
        for (const Value& v : t.literals) {
            p->literals.push_back(kNullString);
            p->literals.back() = copy_value(v);
        }
        for (const SymbolEntry& e : t.symbols) {
            SymbolEntry c = fresh_symbol(e);
            p->symbols.push_back(c);
        }
    } catch (const RexxUnwind&) {
        truncate_tables(p, in.literal_ints_count, in.program_symbols);
        throw;
    }
    return true;
}

// Keeps the translation just made (tables at the program's own size before it).
void keep_translation(Interp& in, CachedTranslation& t, std::uint64_t hash, std::string_view s,
                      const RexxVector<std::uint8_t>& code) {
    t.clear();
    Program* p = in.prog;
    try {
        t.text.assign(s.begin(), s.end());
        t.block.assign(code.begin(), code.end());
        for (std::size_t k = in.literal_ints_count; k < p->literals.size(); ++k)
            t.literals.push_back(copy_value(p->literals[k]));
        for (std::size_t k = in.program_symbols; k < p->symbols.size(); ++k)
            t.symbols.push_back(fresh_symbol(p->symbols[k]));
        t.hash = hash;
    } catch (const RexxUnwind&) {
        t.clear();  // nothing kept; the INTERPRET itself goes on
    }
}

// The translation of s: the kept block when the cache holds it, else `code` filled by a
// fresh translation. The view stays valid until the cache is next changed.
std::span<const std::uint8_t> translate(Interp& in, std::string_view s,
                                        RexxVector<std::uint8_t>& code) {
    bool cacheable = s.size() <= kCachedTextMax &&
                     in.prog->literals.size() == in.literal_ints_count &&
                     in.prog->symbols.size() == in.program_symbols;
    if (!cacheable) {
        translate_interpret_string(in.inst, s.data(), s.size(), code);
        return {code.data(), code.size()};
    }
    if (!in.interpret_cache) in.interpret_cache.reset(std::make_unique<InterpretCache>().release());
    InterpretCache& cache = *in.interpret_cache;
    std::uint64_t hash = text_hash(s);
    CachedTranslation& slot = cache.slots[hash % kCacheSlots];
    if (same_text(slot, hash, s) && restore_entries(in, slot))
        return {slot.block.data(), slot.block.size()};
    translate_interpret_string(in.inst, s.data(), s.size(), code);
    std::uint64_t& seen = cache.seen[hash % kSeenSlots];
    if (seen == hash)
        keep_translation(in, slot, hash, s, code);
    else
        seen = hash;
    return {code.data(), code.size()};
}

}  // namespace

void start_interpret(Interp& in, Value& text) {
    Program* p = in.prog;
    std::size_t literals = p->literals.size();
    std::size_t symbols = p->symbols.size();
    RexxVector<std::uint8_t> code;
    InterpretFrame* f;
    try {
        NumberBuffer nb;
        std::string_view s = is_absent(text) ? std::string_view() : view_of(text, nb);
        std::span<const std::uint8_t> block = translate(in, s, code);
        // The frame and its code (with the end opcode after it) are one allocation.
        f = static_cast<InterpretFrame*>(allocate(sizeof(InterpretFrame) + block.size() + 1));
        *f = InterpretFrame{};
        f->block = reinterpret_cast<std::uint8_t*>(f + 1);
        if (!block.empty()) std::memcpy(f->block, block.data(), block.size());
        f->block[block.size()] = 44;
        f->block_size = static_cast<std::uint32_t>(block.size() + 1);
    } catch (const RexxUnwind&) {
        truncate_tables(p, literals, symbols);
        throw;
    }
    f->saved_code = in.code;
    f->saved_code_size = in.code_size;
    f->resume = in.pc + 1;
    f->location = in.pc;
    f->literal_count = literals;
    f->symbol_count = symbols;
    f->next = in.act->interprets;
    in.act->interprets = f;
    drop_top(in);
    in.code = f->block;
    in.code_size = f->block_size;
    in.pc = 0;
}

void end_interpret(Interp& in) {
    InterpretFrame* f = in.act->interprets;
    if (!f) internal_error(5);
    in.act->interprets = f->next;
    in.code = f->saved_code;
    in.code_size = f->saved_code_size;
    in.pc = f->resume;
    truncate_tables(in.prog, f->literal_count, f->symbol_count);
    release(static_cast<void*>(f));
}

}  // namespace ketra
