// Line editing of terminal input with the BSD editline library: one editor and one history per
// process, the user's locale for decoding the keys, Ctrl-C as a break rather than a signal, and
// the line that output left unfinished shown again as the prompt.
#include <histedit.h>
#include <locale.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "pomcon/console.h"
#include "pomcon/pomcon.h"

namespace pomcon {

namespace {

// Marks the characters of the prompt that the terminal is sent but that take no room.
constexpr char kLiteral = '\1';
constexpr int kHistorySize = 500;

struct Editor {
    EditLine* el = nullptr;
    History* history = nullptr;
    locale_t locale = static_cast<locale_t>(0);
    FILE* out = nullptr;
    std::string prompt;
    std::string rest;  // the part of an edited line that did not fit the caller's buffer
    bool broke = false;

    Editor() = default;
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;
    ~Editor();
};

// Whether the editor was made, and whether it was destroyed at the end of the process: a close
// that comes later (the REXX library closes its window at its own end) finds nothing to end.
constinit bool g_editor_made = false;
constinit bool g_editor_gone = false;

Editor::~Editor() {
    if (el) el_end(el);
    if (history) history_end(history);
    if (locale) freelocale(locale);
    g_editor_gone = true;
}

Editor& editor() {
    static Editor e;
    g_editor_made = true;
    return e;
}

char* prompt_text(EditLine*) {
    return editor().prompt.data();
}

unsigned char on_break(EditLine*, int) {
    editor().broke = true;
    return CC_EOF;
}

// Runs a scope in the user's character-set locale, on this thread only, so that the process's
// own locale (which the REXX library relies on) stays as it is.
class UserLocale {
  public:
    explicit UserLocale(locale_t l) : saved_(l ? uselocale(l) : static_cast<locale_t>(0)) {}
    ~UserLocale() {
        if (saved_) uselocale(saved_);
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;

  private:
    locale_t saved_;
};

bool start(Editor& e) {
    e.locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    UserLocale in_locale(e.locale);
    e.out = ::isatty(STDOUT_FILENO) ? stdout : stderr;
    e.el = el_init("ketra", stdin, e.out, stderr);
    if (!e.el) return false;
    e.history = history_init();
    if (e.history) {
        HistEvent ev;
        history(e.history, &ev, H_SETSIZE, kHistorySize);
        history(e.history, &ev, H_SETUNIQUE, 1);
        el_set(e.el, EL_HIST, history, e.history);
    }
    el_set(e.el, EL_EDITOR, "emacs");
    el_set(e.el, EL_SIGNAL, 0);
    el_source(e.el, nullptr);
    el_set(e.el, EL_PROMPT_ESC, prompt_text, kLiteral);
    // The interrupt key reaches the editor as a key, which ends the read as a break; the
    // terminal's own signal keys are off while a line is edited.
    el_set(e.el, EL_SETTY, "-d", "-isig", nullptr);
    // The wide form keeps the editor's own copies of the name and help text, which the narrow
    // form makes and never releases.
    el_wset(e.el, EL_ADDFN, L"rexx-break", L"end the read as a break", on_break);
    char key[3] = "^C";
    termios t;
    if (::tcgetattr(STDIN_FILENO, &t) == 0 && t.c_cc[VINTR] != _POSIX_VDISABLE &&
        t.c_cc[VINTR] < 0x20)
        key[1] = static_cast<char>(t.c_cc[VINTR] + '@');
    el_set(e.el, EL_BIND, key, "rexx-break", nullptr);
    return true;
}

long hand_out(Editor& e, char* buffer, std::size_t size) {
    std::size_t n = e.rest.size() < size ? e.rest.size() : size;
    std::memcpy(buffer, e.rest.data(), n);
    e.rest.erase(0, n);
    return static_cast<long>(n);
}

}  // namespace

void end_editor() {
    if (!g_editor_made || g_editor_gone) return;
    Editor& e = editor();
    UserLocale in_locale(e.locale);
    if (e.el) el_end(e.el);
    if (e.history) history_end(e.history);
    e.el = nullptr;
    e.history = nullptr;
    e.rest.clear();
}

long edit_line(char* buffer, unsigned long size) {
    Editor& e = editor();
    if (!e.rest.empty()) return hand_out(e, buffer, size);
    if (!e.el && !start(e)) return 0;
    UserLocale in_locale(e.locale);

    // Output left a prompt on the screen: go back to the start of the line and let the editor
    // draw it, so that it knows where the input begins.
    std::string shown;
    e.prompt.clear();
    if (e.out == stdout && unfinished_line(shown)) {
        e.prompt.push_back(kLiteral);
        e.prompt.push_back('\r');
        e.prompt.push_back(kLiteral);
        e.prompt += shown;
    }
    e.broke = false;
    el_resize(e.el);
    int count = 0;
    const char* line = el_gets(e.el, &count);
    if (e.broke) {
        std::fputs("^C\n", e.out);
        std::fflush(e.out);
        return POMCON_BREAK;
    }
    if (!line || count <= 0) return 0;
    e.rest.assign(line, static_cast<std::size_t>(count));
    if (e.history) {
        std::string entry = e.rest;
        while (!entry.empty() && (entry.back() == '\n' || entry.back() == '\r')) entry.pop_back();
        if (!entry.empty()) {
            HistEvent ev;
            history(e.history, &ev, H_ENTER, entry.c_str());
        }
    }
    return hand_out(e, buffer, size);
}

}  // namespace pomcon
