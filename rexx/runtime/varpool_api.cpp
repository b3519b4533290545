// RexxVariablePool: a host's exit or function handler reads, sets and drops variables of the
// innermost program running on its thread, enumerates them, and asks for private information.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/lock.h"
#include "platform/memory.h"
#include "rexx/host/error.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/nocase.h"
#include "rexx/runtime/variables.h"
#include "rexxsaa.h"

namespace ketra {

namespace {

// The enumeration of RXSHV_NEXTV: the scope it walks and where it stands.
constinit VariableScope* g_enum_scope = nullptr;
constinit std::uint32_t g_enum_scope_id = 0;
constinit VarCursor g_enum_cursor{};

void restart_enumeration() {
    g_enum_scope = nullptr;
    g_enum_cursor.phase = 0;
}

// Copies s into the caller's string (or a new block when its pointer is null); the length
// copied goes to *len. Returns the flags to add.
std::uint8_t give_string(RXSTRING& dst, ULONG* len, std::string_view s) {
    if (dst.strptr) {
        std::size_t n = s.size() < dst.strlength ? s.size() : dst.strlength;
        if (n) std::memcpy(dst.strptr, s.data(), n);
        *len = n;
        return s.size() > dst.strlength ? RXSHV_TRUNC : 0;
    }
    char* block = static_cast<char*>(RexxAllocateMemory(s.empty() ? 1 : s.size()));
    if (!block) return RXSHV_MEMFL;
    if (!s.empty()) std::memcpy(block, s.data(), s.size());
    dst.strptr = block;
    dst.strlength = s.size();
    *len = s.size();
    return 0;
}

std::uint8_t next_variable(Activation* a, SHVBLOCK& blk) {
    VariableScope* scope = a->scope;
    if (g_enum_scope != scope || (scope && g_enum_scope_id != scope->id)) {
        g_enum_scope = scope;
        g_enum_scope_id = scope ? scope->id : 0;
        g_enum_cursor.phase = 0;
    }
    std::string_view stem, tail;
    const Value* value = nullptr;
    if (!next_variable(scope, g_enum_cursor, stem, tail, value)) {
        restart_enumeration();
        return RXSHV_LVAR;
    }
    // A compound's name is its stem (with the ".") followed by its tail.
    char name[2 * (kMaxDerivedName + 1)];
    std::memcpy(name, stem.data(), stem.size());
    if (!tail.empty()) std::memcpy(name + stem.size(), tail.data(), tail.size());
    NumberBuffer b;
    std::uint8_t flags =
        give_string(blk.shvname, &blk.shvnamelen, {name, stem.size() + tail.size()});
    flags |= give_string(blk.shvvalue, &blk.shvvaluelen, view_of(*value, b));
    return flags;
}

std::uint8_t private_info(Activation* a, SHVBLOCK& blk) {
    std::string_view name(blk.shvname.strptr ? blk.shvname.strptr : "",
                          blk.shvname.strptr ? blk.shvname.strlength : 0);
    if (name.size() > 19) return RXSHV_BADF;
    std::string answer;
    if (same_nocase(name, "PARM")) {
        answer = std::to_string(a->argc);
    } else if (name.size() > 5 && starts_nocase(name, "PARM.")) {
        std::string_view num = name.substr(5);
        long n = 0;
        for (char c : num) {
            if (c < '0' || c > '9') return RXSHV_BADF;
            n = n * 10 + (c - '0');
            if (n > 1000000000) break;
        }
        if (n < 1) return RXSHV_BADF;
        if (n <= a->argc && !is_absent(a->args[n - 1])) {
            NumberBuffer b;
            answer.assign(view_of(a->args[n - 1], b));
        }
    } else if (same_nocase(name, "QUENAME")) {
        answer = "SESSION";
    } else if (same_nocase(name, "SOURCE")) {
        Interp* in = current_interp();
        if (!in) return RXSHV_BADF;
        ValueHolder s(parse_source_string(*in));
        NumberBuffer b;
        answer.assign(view_of(s.get(), b));
    } else if (same_nocase(name, "VERSION")) {
        ValueHolder s(parse_version_string());
        NumberBuffer b;
        answer.assign(view_of(s.get(), b));
    } else {
        return RXSHV_BADF;
    }
    return give_string(blk.shvvalue, &blk.shvvaluelen, answer);
}

std::uint8_t serve(Activation* a, SHVBLOCK& blk) {
    std::uint8_t code = blk.shvcode;
    if (code != RXSHV_NEXTV) restart_enumeration();
    std::string_view name(blk.shvname.strptr ? blk.shvname.strptr : "",
                          blk.shvname.strptr ? blk.shvname.strlength : 0);
    ResolvedName n;
    switch (code) {
        case RXSHV_SET:
        case RXSHV_FETCH:
        case RXSHV_DROPV:
        case RXSHV_SYSET:
        case RXSHV_SYFET:
        case RXSHV_SYDRO: {
            bool ok = code <= RXSHV_DROPV ? resolve_direct_name(name, n)
                                          : resolve_symbolic_name(a->scope, name, n);
            if (!ok) return RXSHV_BADN;
            if (code == RXSHV_SET || code == RXSHV_SYSET) {
                Value v = blk.shvvalue.strptr
                              ? make_value(blk.shvvalue.strptr, blk.shvvalue.strlength, false)
                              : kNullString;
                store_by_name(a->scope, n, v);
                return 0;
            }
            if (code == RXSHV_DROPV || code == RXSHV_SYDRO) {
                drop_by_name(a->scope, n);
                return 0;
            }
            Value v;
            bool found = fetch_by_name(a->scope, n, v);
            ValueHolder hold(v);
            NumberBuffer b;
            std::uint8_t flags =
                give_string(blk.shvvalue, &blk.shvvaluelen, view_of(hold.get(), b));
            return found ? flags : static_cast<std::uint8_t>(flags | RXSHV_NEWV);
        }
        case RXSHV_NEXTV:
            return next_variable(a, blk);
        case RXSHV_PRIV:
            return private_info(a, blk);
        default:
            return RXSHV_BADF;
    }
}

// The worker: serves every block; 65534 when a REXX error stopped it.
int variable_pool_worker(Activation* a, PSHVBLOCK chain) {
    int all = 0;
    InnerRecovery recovery;
    for (PSHVBLOCK b = chain; b; b = b->shvnext) {
        b->shvret = 0;
        try {
            b->shvret = serve(a, *b);
        } catch (const RexxUnwind&) {
            return 65534;
        }
        all |= b->shvret & 0x3F;
    }
    return all;
}

}  // namespace

}  // namespace ketra

using namespace ketra;

extern "C" KETRA_EXPORT LONG APIENTRY RexxVariablePool(PSHVBLOCK chain) {
    if (!ensure_library_started()) return RXSHV_NOAVL;
    platform::ApiLockGuard lock;
    TaskEntry* entry = find_task(current_thread_id());
    if (!entry || !entry->outermost) return RXSHV_NOAVL;
    ExecInstance* inst = entry->outermost;
    while (inst->child) inst = inst->child;
    Interp* in = current_interp();
    Activation* act = in && in->inst == inst ? in->act : nullptr;
    if (!act || inst->state != kStateExecuting) return RXSHV_NOAVL;

    ExecInstance* saved_inst = g_lib.current;
    Activation* saved_act = g_lib.activation;
    g_lib.current = inst;
    g_lib.activation = act;
    int rc = variable_pool_worker(act, chain);
    g_lib.current = saved_inst;
    g_lib.activation = saved_act;
    return static_cast<LONG>(static_cast<std::int16_t>(static_cast<std::uint16_t>(rc)));
}
