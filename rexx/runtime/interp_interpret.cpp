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
constexpr std::size_t kCacheSlots = 256;  // kept translations, by hash
constexpr std::size_t kCacheWays = 4;     // slots a hash may use
constexpr std::size_t kSeenSlots = 1024;  // hashes of strings met once

struct CachedTranslation {
    std::uint64_t hash = 0;
    std::uint64_t last_use = 0;
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

// The largest frame kept for reuse when its INTERPRET ends, and the least a frame is given, so
// that frames of short strings all fit in the one kept.
constexpr std::size_t kSpareFrameMax = 4096;
constexpr std::size_t kFrameMin = 512;

constexpr std::size_t frame_size(std::size_t block_size) {
    const std::size_t size = sizeof(InterpretFrame) + block_size;
    return size < kFrameMin ? kFrameMin : size;
}

struct InterpretCache {
    CachedTranslation slots[kCacheSlots];
    std::uint64_t seen[kSeenSlots] = {};
    std::uint64_t clock = 0;  // counts lookups, for last_use
    // The allocation of the last frame that ended (INTERPRETs in a loop then allocate nothing).
    void* spare_frame = nullptr;
    std::size_t spare_size = 0;

    InterpretCache() = default;
    InterpretCache(const InterpretCache&) = delete;
    InterpretCache& operator=(const InterpretCache&) = delete;
    ~InterpretCache() {
        if (spare_frame) release(spare_frame);
    }
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

// A multiply-and-fold hash taken eight bytes at a time; never 0, which marks an empty slot.
std::uint64_t text_hash(std::string_view s) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
    std::uint64_t h = 1469598103934665603ULL ^ s.size();
    const char* p = s.data();
    std::size_t n = s.size();
    for (; n >= 8; n -= 8, p += 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * kMultiplier;
        h ^= h >> 29;
    }
    if (n) {
        // The last eight bytes when there are as many (they overlap the ones taken); else the
        // few bytes there are.
        std::uint64_t w = 0;
        if (s.size() >= 8)
            std::memcpy(&w, s.data() + s.size() - 8, 8);
        else
            for (std::size_t k = 0; k < n; ++k)
                w |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
        h = (h ^ w) * kMultiplier;
        h ^= h >> 29;
    }
    // The slots are chosen by the low bits: fold the high bits into them.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
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
    InterpretCache& cache = *in.interpret_cache;
    std::uint64_t hash = text_hash(s);
    // A few slots per hash, so that recurring strings whose hashes meet do not push each
    // other out on every use; the one used least recently makes room.
    CachedTranslation* set = &cache.slots[(hash % kCacheSlots) & ~(kCacheWays - 1)];
    const std::uint64_t now = ++cache.clock;
    CachedTranslation* oldest = set;
    for (std::size_t k = 0; k < kCacheWays; ++k) {
        CachedTranslation& kept = set[k];
        if (same_text(kept, hash, s) && restore_entries(in, kept)) {
            kept.last_use = now;
            return {kept.block.data(), kept.block.size()};
        }
        if (kept.last_use < oldest->last_use) oldest = &kept;
    }
    CachedTranslation& slot = *oldest;
    translate_interpret_string(in.inst, s.data(), s.size(), code);
    // The hashes met once are kept in pairs, the newer first: two strings that recur at the
    // same pace and meet in one entry would otherwise push each other out for ever.
    std::uint64_t* seen = &cache.seen[(hash % kSeenSlots) & ~std::size_t{1}];
    if (seen[0] == hash || seen[1] == hash) {
        keep_translation(in, slot, hash, s, code);
        slot.last_use = now;
    } else {
        seen[1] = seen[0];
        seen[0] = hash;
    }
    return {code.data(), code.size()};
}

// Room for a frame and its code of `size` bytes: the spare allocation when it is big enough.
InterpretFrame* new_frame(InterpretCache& cache, std::size_t size) {
    if (cache.spare_frame && cache.spare_size >= size) {
        void* f = cache.spare_frame;
        cache.spare_frame = nullptr;
        return static_cast<InterpretFrame*>(f);
    }
    return static_cast<InterpretFrame*>(allocate(size));
}

}  // namespace

void start_interpret(Interp& in, Value& text) {
    Program* p = in.prog;
    std::size_t literals = p->literals.size();
    std::size_t symbols = p->symbols.size();
    RexxVector<std::uint8_t> code;
    InterpretFrame* f;
    try {
        if (!in.interpret_cache)
            in.interpret_cache.reset(std::make_unique<InterpretCache>().release());
        NumberBuffer nb;
        std::string_view s = is_absent(text) ? std::string_view() : view_of(text, nb);
        std::span<const std::uint8_t> block = translate(in, s, code);
        // The frame and its code (with the end opcode after it) are one allocation.
        f = new_frame(*in.interpret_cache, frame_size(block.size() + 1));
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
    // The frame is kept for the next INTERPRET when it is the largest that fits the limit.
    InterpretCache* cache = in.interpret_cache.get();
    const std::size_t size = frame_size(f->block_size);
    if (cache && size <= kSpareFrameMax && (!cache->spare_frame || cache->spare_size < size)) {
        if (cache->spare_frame) release(cache->spare_frame);
        cache->spare_frame = f;
        cache->spare_size = size;
        return;
    }
    release(static_cast<void*>(f));
}

}  // namespace ketra
