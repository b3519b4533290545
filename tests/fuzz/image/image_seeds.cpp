// Writes the seed corpus of image_fuzz: for each sample program, its image in the full form
// with and without the statement table and in the 16-bit form (in-store seeds), and the
// program file with its object code behind the source (file seeds). Run it after a change of
// the image layout:
//   build-fuzz/tests/fuzz/image/image_seeds tests/fuzz/image/corpus
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "fuzz_support.h"
#include "rexx/translate/translator.h"

namespace {

using namespace ketra;
using namespace ketra::fuzz;

struct Sample {
    const char* name;
    const char* source;
};

// Small programs that between them use every section of an image: literals long and short,
// compound symbols and stems, labels, templates, loops, traps, and a clause beyond column 255.
const Sample kSamples[] = {
    {"exit", "exit\n"},
    {"say", "say 'hello, world'\n"},
    {"loops",
     "do i = 1 to 3 by 1 for 5; say i; end\n"
     "do forever; leave; end\n"
     "n = 0; do 4 while n < 10; n = n + 1; end\n"
     "do until n > 20; n = n * 2; iterate; end\n"},
    {"calls",
     "call sub 1, , 'x'\n"
     "say fn(2) length('abc') ext(3)\n"
     "exit\n"
     "sub: procedure expose a. b; return\n"
     "fn: return arg(1) * 10\n"},
    {"compound",
     "a.1 = 'one'; a.i.j = 2; drop a. (list)\n"
     "b.c.d.e.f.g.h.i.j.k.l = 'many tails'\n"
     "upper x y\n"},
    {"parse",
     "parse upper arg first rest\n"
     "parse var rest a 3 b +2 c '-' d (pat) e =7 f\n"
     "parse value 'x y z' with p q .\n"
     "pull line; parse source s; parse version v\n"},
    {"select",
     "select\n when x = 1 then say 'one'\n when x = 2 then nop\n"
     " otherwise say 'other'\nend\n"
     "if a then say 1; else say 2\n"},
    {"traps",
     "signal on error name oops\ncall on halt\nsignal off novalue\n"
     "address cmd 'echo hi'\naddress value 'CMD'\naddress\n"
     "numeric digits 12; numeric form engineering; numeric fuzz 1\n"
     "trace ?r; interpret 'say 1'\n"
     "signal done\noops: say 'trapped'\ndone: exit 3\n"},
    {"wide",
     "x = 1;                                                                        "
     "                                                                              "
     "                                                                              "
     "          say 'column' 300\n"},
    {"queue", "push 'a'; queue 'b'; options 'etmode'; x = 'a long literal that needs data'\n"},
};

bool write_seed(const std::string& dir, const std::string& name, std::uint8_t how,
                const std::uint8_t* bytes, std::size_t size) {
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fputc(how, f) != EOF && std::fwrite(bytes, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// The program file with the image behind it, as a translate-only run leaves it.
std::vector<std::uint8_t> object_file(const std::string& scratch, const char* source,
                                      const std::uint8_t* image, std::size_t size, bool form16) {
    std::string path = scratch + "/seed.rex";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::string text = source;
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        fail("cannot write the scratch file");
    long long end = 0;
    if (!append_image_to_file(fd, image, size, form16, &end)) fail("cannot append the image");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end));
    if (::pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        fail("cannot read the scratch file");
    ::close(fd);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: image_seeds OUTPUT_FOLDER\n");
        return 2;
    }
    std::string dir = argv[1];
    start_quiet_library();
    for (const Sample& s : kSamples) {
        ProgramPtr p;
        {
            ManualRun run(kStateTranslating);
            run.inst.source_start = run.inst.source_pos = s.source;
            run.inst.source_end = s.source + std::strlen(s.source);
            run.inst.mode = kModeInitial;
            try {
                p = translate_source(&run.inst);
            } catch (const RexxUnwind& u) {
                std::fprintf(stderr, "%s: error %d\n", s.name, u.number);
                return 1;
            }
        }
        std::string base = s.name;
        bool ok = true;
        std::size_t size = 0;
        GlobalBlock full(build_image(*p, true, &size));
        const auto* bytes = static_cast<const std::uint8_t*>(full.ptr);
        // Bit 1 of the first byte asks the loader for the statement table.
        ok = ok && write_seed(dir, base + ".img", 0x02, bytes, size);
        std::size_t plain_size = 0;
        GlobalBlock plain(build_image(*p, false, &plain_size));
        ok = ok && write_seed(dir, base + "-nostmt.img", 0x00,
                              static_cast<const std::uint8_t*>(plain.ptr), plain_size);
        RexxVector<std::uint8_t> small;
        if (build_image16(*p, true, small))
            ok = ok && write_seed(dir, base + "-16.img", 0x02, small.data(), small.size());
        std::vector<std::uint8_t> file =
            object_file(scratch_folder(), s.source, bytes, size, false);
        ok = ok && write_seed(dir, base + ".rexc", 0x01, file.data(), file.size());
        std::vector<std::uint8_t> file16 =
            object_file(scratch_folder(), s.source, bytes, size, true);
        ok = ok && write_seed(dir, base + "-16.rexc", 0x03, file16.data(), file16.size());
        if (!ok) {
            std::fprintf(stderr, "%s: cannot write the seeds\n", s.name);
            return 1;
        }
    }
    return 0;
}
