/* Calls the console library's RxWinGets from a test: argv[1] is the library, argv[2] the buffer
   size. Each read is printed as "[count]text" until the end of the input; after a read from a
   regular file the file offset follows as "@offset". */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

typedef long (*GetsEntry)(void*, char*, unsigned long);

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    void* lib = dlopen(argv[1], RTLD_NOW);
    if (!lib) return 3;
    GetsEntry gets = (GetsEntry)dlsym(lib, "RxWinGets");
    if (!gets) return 4;
    unsigned long size = strtoul(argv[2], NULL, 10);
    char buffer[4096];
    if (size > sizeof buffer) size = sizeof buffer;
    struct stat st;
    int regular = fstat(0, &st) == 0 && S_ISREG(st.st_mode);
    for (;;) {
        long n = gets(NULL, buffer, size);
        printf("[%ld]", n);
        if (n > 0) fwrite(buffer, 1, (size_t)n, stdout);
        if (regular) printf("@%ld", (long)lseek(0, 0, SEEK_CUR));
        printf("\n");
        fflush(stdout);
        if (n == 0) break;
    }
    return 0;
}
