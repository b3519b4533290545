// String functions that cut, pad and rebuild strings: LENGTH, LEFT, RIGHT, CENTER/CENTRE,
// SUBSTR, COPIES, OVERLAY, INSERT, DELSTR, REVERSE and STRIP.
#include <algorithm>
#include <cstring>

#include "rexx/builtins/handlers.h"
#include "rexx/host/error.h"

namespace ketra {

namespace {

// Function codes that choose the padding routine's direction.
constexpr int kCodeLeft = 32;
constexpr int kCodeRight = 44;

// LEFT, RIGHT and CENTER share one routine; the result always has the requested length.
void pad_family(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::size_t len = s.length;
    const std::size_t width = static_cast<std::size_t>(call.arg[1].count);
    const char pad = call.arg[2].pad;
    char* out = result_start(call, width);
    if (call.code == kCodeLeft) {
        const std::size_t n = std::min(len, width);
        std::memcpy(out, s.text, n);
        std::memset(out + n, pad, width - n);
    } else if (call.code == kCodeRight) {
        if (len >= width) {
            std::memcpy(out, s.text + (len - width), width);
        } else {
            std::memset(out, pad, width - len);
            std::memcpy(out + (width - len), s.text, len);
        }
    } else {
        // Signed, truncated toward zero: an odd surplus of characters is dropped on the right,
        // an odd surplus of pad goes on the right.
        const std::int64_t d =
            (static_cast<std::int64_t>(len) - static_cast<std::int64_t>(width)) / 2;
        if (len >= width) {
            std::memcpy(out, s.text + d, width);
        } else {
            const auto left = static_cast<std::size_t>(-d);
            std::memset(out, pad, left);
            std::memcpy(out + left, s.text, len);
            std::memset(out + left + len, pad, width - left - len);
        }
    }
}

}  // namespace

void bif_length(BuiltinCall& call) {
    result_integer(call, call.arg[0].length);
}

void bif_left(BuiltinCall& call) {
    pad_family(call);
}
void bif_right(BuiltinCall& call) {
    pad_family(call);
}
void bif_center(BuiltinCall& call) {
    pad_family(call);
}

void bif_substr(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::size_t len = s.length;
    const auto n = static_cast<std::size_t>(call.arg[1].count);  // >= 1
    const std::size_t rest = n > len ? 0 : len - n + 1;
    const std::size_t want =
        call.arg[2].omitted ? rest : static_cast<std::size_t>(call.arg[2].count);
    const char pad = call.arg[3].pad;
    char* out = result_start(call, want);
    const std::size_t copy = std::min(want, rest);
    if (copy) std::memcpy(out, s.text + (n - 1), copy);
    std::memset(out + copy, pad, want - copy);
}

void bif_copies(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const auto n = static_cast<std::uint64_t>(call.arg[1].count);
    const std::uint64_t total = static_cast<std::uint64_t>(s.length) * n;
    if (total > kMaxStringLength) result_too_long();
    char* out = result_start(call, static_cast<std::size_t>(total));
    if (total == 0) return;
    if (s.length == 1) {
        std::memset(out, s.text[0], static_cast<std::size_t>(total));
        return;
    }
    // Doubling: each pass copies everything written so far.
    std::memcpy(out, s.text, s.length);
    std::size_t done = s.length;
    while (done < total) {
        const std::size_t step =
            std::min<std::size_t>(done, static_cast<std::size_t>(total) - done);
        std::memcpy(out + done, out, step);
        done += step;
    }
}

void bif_overlay(BuiltinCall& call) {
    const BuiltinArg& nw = call.arg[0];
    const BuiltinArg& target = call.arg[1];
    const std::int64_t n = call.arg[2].omitted ? 1 : call.arg[2].count;
    const std::int64_t length = call.arg[3].omitted ? nw.length : call.arg[3].count;
    const char pad = call.arg[4].pad;
    if (n + length > static_cast<std::int64_t>(kMaxStringLength)) result_too_long();
    const std::size_t tlen = target.length;
    const auto end = static_cast<std::size_t>(n + length - 1);  // one past the overlaid part
    const std::size_t total = std::max(tlen, end);
    char* out = result_start(call, total);
    std::memcpy(out, target.text, tlen);
    std::memset(out + tlen, pad, total - tlen);
    const auto from = static_cast<std::size_t>(n - 1);
    const auto want = static_cast<std::size_t>(length);
    const std::size_t copy = std::min<std::size_t>(want, nw.length);
    std::memcpy(out + from, nw.text, copy);
    std::memset(out + from + copy, pad, want - copy);
}

void bif_insert(BuiltinCall& call) {
    const BuiltinArg& nw = call.arg[0];
    const BuiltinArg& target = call.arg[1];
    const auto n = static_cast<std::size_t>(call.arg[2].omitted ? 0 : call.arg[2].count);
    const std::size_t length =
        call.arg[3].omitted ? nw.length : static_cast<std::size_t>(call.arg[3].count);
    const char pad = call.arg[4].pad;
    const std::size_t tlen = target.length;
    const std::size_t total = std::max(n, tlen) + length;
    char* out = result_start(call, total);
    // The first n characters of target (padded), new (padded or cut to length), the rest.
    const std::size_t head = std::min(n, tlen);
    std::memcpy(out, target.text, head);
    std::memset(out + head, pad, n - head);
    const std::size_t copy = std::min(length, static_cast<std::size_t>(nw.length));
    std::memcpy(out + n, nw.text, copy);
    std::memset(out + n + copy, pad, length - copy);
    if (tlen > n) std::memcpy(out + n + length, target.text + n, tlen - n);
}

void bif_delstr(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::size_t len = s.length;
    const auto keep = std::min(static_cast<std::size_t>(call.arg[1].count) - 1, len);
    std::size_t resume = len;
    if (!call.arg[2].omitted) {
        std::int64_t r = static_cast<std::int64_t>(call.arg[1].count) - 1 + call.arg[2].count;
        if (r > kCountClamp) r = kCountClamp;
        resume = std::min(static_cast<std::size_t>(r), len);
    }
    const std::size_t tail = len - resume;
    char* out = result_start(call, keep + tail);
    std::memcpy(out, s.text, keep);
    std::memcpy(out + keep, s.text + resume, tail);
}

void bif_reverse(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::size_t len = s.length;
    char* out = result_start(call, len);
    for (std::size_t i = 0; i < len; ++i) out[i] = s.text[len - 1 - i];
}

void bif_strip(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const char opt = call.arg[1].option;
    if (opt != ' ' && opt != 'B' && opt != 'L' && opt != 'T') error(40);
    const char c = call.arg[2].pad;
    const std::size_t len = s.length;
    std::size_t lead = 0;
    while (lead < len && s.text[lead] == c) ++lead;
    std::size_t trail = 0;
    if (lead < len)
        while (s.text[len - 1 - trail] == c) ++trail;
    else
        trail = 0;
    std::size_t from = 0, to = len;
    if (lead == len) {
        to = 0;  // only the strip character: empty for every option
    } else {
        if (opt != 'T') from = lead;
        if (opt != 'L') to = len - trail;
    }
    result_bytes(call, s.text + from, to - from);
}

}  // namespace ketra
