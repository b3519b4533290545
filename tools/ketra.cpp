// ketra: runs a REXX program file (or a program given on the command line) through RexxStart,
// the way a REXX command is expected to behave: the arguments joined by blanks are the one
// argument string, the initial environment is "CMD", and the exit status is the program's
// return code, or the REXX error number when the run ended in an error.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ketra_tools.h"
#include "rexx/host/version.h"
#include "rexxsaa.h"

namespace {

constexpr const char kUsage[] =
    "usage: ketra [options] program [arguments...]\n"
    "       ketra [options] -e source [arguments...]\n"
    "\n"
    "Runs a REXX program. The arguments are joined by blanks into the program's argument\n"
    "string. The exit status is the program's return code (its low 8 bits), or the number of\n"
    "the REXX error that ended the run.\n"
    "\n"
    "options:\n"
    "  -e source    run the given source text instead of a program file (named \"-e\")\n"
    "  -c           translate only: check the program and store its object code behind it\n"
    "  --disasm     translate the program (without running it) and list its byte code\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and exit\n"
    "  --           end of options\n";

int usage_error(const char* what) {
    std::fprintf(stderr, "ketra: %s\n%s", what, kUsage);
    return 2;
}

// Maps the value of RexxStart to an exit status.
int exit_status(LONG rc, SHORT retc) {
    if (rc == 0) return static_cast<unsigned char>(retc);
    if (rc < 0) {
        int n = static_cast<int>(-rc) & 0xFF;
        return n ? n : 1;
    }
    std::fprintf(stderr, "ketra: the program could not be started (code %ld)\n", rc);
    return 70;
}

}  // namespace

int main(int argc, char** argv) {
    const char* source = nullptr;
    bool translate_only = false;
    int i = 1;
    for (; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0) {
            ++i;
            break;
        }
        if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(a, "--version") == 0) {
            std::printf("%s\nketra %s\n", ketra::kParseVersion, KETRA_VERSION);
            return 0;
        }
        if (std::strcmp(a, "--disasm") == 0) {
            if (i + 1 >= argc) return usage_error("--disasm needs a program file");
            int n = KetraDisassemble(argv[i + 1], 1);
            if (n == -1) {
                std::fprintf(stderr, "ketra: cannot read %s\n", argv[i + 1]);
                return 66;
            }
            if (n == -2) return 74;
            return n > 0 ? (n & 0xFF ? n & 0xFF : 1) : 0;
        }
        if (std::strcmp(a, "-c") == 0) {
            translate_only = true;
            continue;
        }
        if (std::strcmp(a, "-e") == 0) {
            if (i + 1 >= argc) return usage_error("-e needs the source text");
            source = argv[++i];
            ++i;
            break;
        }
        if (a[0] == '-' && a[1] != '\0') {
            std::string msg = std::string("unknown option ") + a;
            return usage_error(msg.c_str());
        }
        break;
    }

    const char* program = source ? "-e" : nullptr;
    if (!source) {
        if (i >= argc) return usage_error("no program given");
        program = argv[i++];
    }

    std::string joined;
    for (int k = i; k < argc; ++k) {
        if (k > i) joined += ' ';
        joined += argv[k];
    }

    std::vector<RXSTRING> args;
    char translate_flag[] = "/O";
    if (translate_only) {
        RXSTRING t;
        MAKERXSTRING(t, translate_flag, 2);
        args.push_back(t);
    }
    char no_prompt_flag[] = "/NARGS";
    if (i < argc) {
        RXSTRING a;
        MAKERXSTRING(a, joined.data(), joined.size());
        args.push_back(a);
    } else if (!translate_only) {
        // A command given no arguments has none: it does not stop to ask for them, as a host
        // with an argument prompt would.
        RXSTRING n;
        MAKERXSTRING(n, no_prompt_flag, sizeof no_prompt_flag - 1);
        args.push_back(n);
    }

    RXSTRING instore[2];
    std::string text = source ? source : "";
    MAKERXSTRING(instore[0], text.data(), text.size());
    MAKERXSTRING(instore[1], nullptr, 0);

    SHORT retc = 0;
    RXSTRING result;
    MAKERXSTRING(result, nullptr, 0);
    char env[] = "CMD";
    LONG rc =
        RexxStart(static_cast<LONG>(args.size()), args.empty() ? nullptr : args.data(), program,
                  source ? instore : nullptr, env, RXCOMMAND, nullptr, &retc, &result);
    if (result.strptr) RexxFreeMemory(result.strptr);
    if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
    return exit_status(rc, retc);
}
