// PromptBox(title, text): asks the person at the terminal for a line and returns it. This is the
// function the REXX library calls for the argument prompt of a program that was given no
// arguments ("Execution ARG Prompt." and the program name).
//
// It asks only when standard input is a terminal: a program run from a pipeline, a cron job or
// a test harness has nobody to answer, and must not stop to wait for one. The question goes to
// the controlling terminal (/dev/tty) when it can be opened, so that it is seen even when
// standard output is redirected; otherwise it goes to standard error and the answer is read
// from standard input. With no terminal the answer is the empty string.
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "platform/std_streams.h"
#include "pomfunc/package.h"

namespace pomfunc {

namespace {

// Longer lines are cut here; a terminal in canonical mode delivers far less in one line.
constexpr std::size_t kMaxAnswer = 65536;

class Terminal {
  public:
    Terminal() {
        if (!::isatty(STDIN_FILENO)) return;
        tty_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        in_ = tty_ >= 0 ? tty_ : STDIN_FILENO;
        out_ = tty_ >= 0 ? tty_ : STDERR_FILENO;
    }
    ~Terminal() {
        if (tty_ >= 0) ::close(tty_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool present() const { return in_ >= 0; }

    void write_all(const std::string& text) const {
        ketra::platform::write_all(out_, text.data(), text.size());
    }

    // One line without its line end. End of input or an interrupted read (Ctrl-C, which the
    // library takes as a halt request) ends the answer where it stands.
    std::string read_line() const {
        std::string line;
        char c;
        while (::read(in_, &c, 1) == 1) {
            if (c == '\n') break;
            if (line.size() < kMaxAnswer) line.push_back(c);
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }

  private:
    int tty_ = -1;
    int in_ = -1;
    int out_ = -1;
};

std::string text_of(ULONG argc, PRXSTRING argv, ULONG i) {
    if (i >= argc || !argv[i].strptr) return std::string();
    return std::string(argv[i].strptr, argv[i].strlength);
}

}  // namespace

}  // namespace pomfunc

// Two optional arguments; more are an incorrect call (40 in the caller).
extern "C" __attribute__((visibility("default"))) APIRET APIENTRY
PromptBox(PUCHAR /*name*/, ULONG argc, PRXSTRING argv, PSZ /*queue*/, PRXSTRING result) {
    if (argc > 2 || !result) return 40;
    std::string answer;
    pomfunc::Terminal terminal;
    if (terminal.present()) {
        std::string title = pomfunc::text_of(argc, argv, 0);
        std::string text = pomfunc::text_of(argc, argv, 1);
        std::string question;
        if (!title.empty()) question += title + "\n";
        question += text.empty() ? "> " : text + ": ";
        terminal.write_all(question);
        answer = terminal.read_line();
    }
    return pomfunc::set_result(result, answer.data(), answer.size()) ? 0 : 40;
}
