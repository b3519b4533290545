// Fuzz target of the compiled-image loader. The first input byte chooses the way in, the rest
// is the data:
//   bit 0 clear: an in-store image. It is handed to RexxStart with "/T" as the second in-store
//                string (a refused image makes the run translate a small source instead), then
//                unpacked directly with and without verification, listed, and, when it loads,
//                taken through its image again. Bit 1 asks for the statement table.
//   bit 0 set:   a whole program file (source, end-of-file byte, object code). It is read with
//                RexxGetObjectFromFile, run by RexxStart up to the point where it would execute
//                (the stored object code is loaded, or the source translated), and then, as a
//                translate-only run, stores its image behind the source; the file must then
//                hold object code that loads. Bit 1 stores the 16-bit form.
// Nothing is ever executed. Any outcome but a refused image, a REXX error or a sound program is
// a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "fuzz_support.h"
#include "rexx/host/testing_hooks.h"
#include "rexx/translate/disasm.h"

namespace {

using namespace ketra;
using namespace ketra::fuzz;

void check_loaded(const Program& p, bool statements) {
    expect(verify_program(p), "a loaded program does not verify");
    check_code_shape(p.code);
    check_image_round_trip(p, statements);
}

void load_in_store(std::uint8_t how, const ExactCopy& image) {
    bool statements = (how & 0x02) != 0;
    {
        static char source[] = "exit\n";
        RXSTRING arg, instore[2], result;
        MAKERXSTRING(arg, const_cast<char*>("/T"), 2);
        MAKERXSTRING(instore[0], source, sizeof source - 1);
        MAKERXSTRING(instore[1], image.chars(), image.length);
        MAKERXSTRING(result, nullptr, 0);
        SHORT rc = 0;
        LONG status = RexxStart(1, &arg, "fuzz.rex", instore, "CMD", RXSUBROUTINE, quiet_exits(),
                                &rc, &result);
        // A good image loads, a bad one is replaced by the translation of the source: either
        // way the run succeeds and the caller's block is left to the caller.
        expect(status == 0, "an in-store image made the run fail");
        expect(instore[1].strptr == image.chars(), "the caller's image was replaced");
    }
    ProgramPtr verified;
    {
        ManualRun run(kStateExecuting);
        verified = unpack_image(image.bytes, image.length, statements);
    }
    expect(!verified || validate_image(image.bytes, image.length), "unvalidated image loaded");
    if (verified) check_loaded(*verified, statements);
    // A listing must cope with code that does not verify.
    ProgramPtr raw = unpack_image(image.bytes, image.length, statements, false);
    expect(raw || !verified, "an image loads verified but not unverified");
    if (raw) {
        std::string listing = disassemble(*raw, "fuzz.rex");
        expect(!listing.empty(), "empty listing");
    }
}

// The run observer of file runs: the program is never executed, and a run that loaded or
// translated its program becomes a translate-only run that stores the image behind the source.
struct FileRun {
    bool image16 = false;
    bool seen = false;
    bool had_program = false;
};

void stop_before_execution(ExecInstance* inst, void* context) {
    auto* run = static_cast<FileRun*>(context);
    run->seen = true;
    run->had_program = inst->program != nullptr;
    inst->mode |= kModeTranslateOnly;
    if (run->image16) inst->debug_flags |= kDebugImage16;
}

const std::string& program_path() {
    static const std::string path = scratch_folder() + "/fuzz.rex";
    return path;
}

void write_file(const std::string& path, const ExactCopy& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) fail("cannot write the program file");
    std::size_t done = 0;
    while (done < bytes.length) {
        ssize_t n = ::write(fd, bytes.bytes + done, bytes.length - done);
        if (n <= 0) fail("cannot write the program file");
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

// RexxGetObjectFromFile on the file; the image it gives, unpacked (null when none or refused).
ProgramPtr object_from_file(const std::string& path, ULONG* got) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail("cannot open the program file");
    RXSTRING object;
    *got = RexxGetObjectFromFile(fd, &object);
    GlobalBlock block(object.strptr);
    ProgramPtr p;
    if (object.strptr) {
        expect(*got == object.strlength + 1, "object size and result disagree");
        expect(::lseek(fd, 0, SEEK_CUR) == 0, "file not rewound after the object was read");
        ManualRun run(kStateExecuting);
        p = unpack_image(reinterpret_cast<const std::uint8_t*>(object.strptr), object.strlength,
                         true);
    }
    ::close(fd);
    return p;
}

void load_from_file(std::uint8_t how, const ExactCopy& file) {
    const std::string& path = program_path();
    write_file(path, file);
    ULONG got = 0;
    if (ProgramPtr p = object_from_file(path, &got)) check_loaded(*p, true);

    FileRun observed;
    observed.image16 = (how & 0x02) != 0;
    testing::set_run_observer(&stop_before_execution, &observed);
    RXSTRING result;
    MAKERXSTRING(result, nullptr, 0);
    SHORT rc = 0;
    LONG status = RexxStart(0, nullptr, path.c_str(), nullptr, "CMD", RXSUBROUTINE, quiet_exits(),
                            &rc, &result);
    testing::set_run_observer(nullptr, nullptr);
    expect(result.strptr == nullptr, "a run that was not executed gave a result");
    expect(status <= 0, "a program file run returned a start-up code");
    expect(observed.seen == (status == 0), "the run reached execution only in part");
    if (status != 0) return;
    expect(observed.had_program, "a run reached execution without a program");

    // The run stored the image of what it loaded or translated: the file now ends in object
    // code that loads.
    ProgramPtr stored = object_from_file(path, &got);
    expect(stored != nullptr, "the stored object code does not load");
    check_loaded(*stored, true);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    start_quiet_library();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    ExactCopy rest(data + 1, size - 1);
    if (data[0] & 0x01)
        load_from_file(data[0], rest);
    else
        load_in_store(data[0], rest);
    return 0;
}
