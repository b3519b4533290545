/* The console library's entries: the REXX I/O window on a terminal. The REXX library loads the
   library at run time by name and resolves these three entries; nothing links against it. */
#ifndef POMCON_H
#define POMCON_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define POMCON_EXPORT __attribute__((visibility("default")))
#else
#define POMCON_EXPORT
#endif

/* Window styles and the position that lets the system choose, as the REXX library passes them. */
#define POMCON_WS_OVERLAPPEDWINDOW 0x00CF0000UL
#define POMCON_WS_CHILD 0x40000000UL
#define POMCON_WS_VISIBLE 0x10000000UL
#define POMCON_CW_USEDEFAULT ((int)0x80000000U)

/* The result of RxWinGets when the user asked for a break (Ctrl-C). */
#define POMCON_BREAK (-2L)

/* Creates the I/O window; returns its handle, or null when it cannot be created. On a terminal
   the geometry is not used and every call gives a new non-null handle. */
POMCON_EXPORT void* CreateRxWindow(const char* title, unsigned long style, int x, int y, int width,
                                   int height, void* parent, void* module, void* param);

/* Closes a window (the REXX library's close message when its last thread detaches and at its
   end): on a terminal the line editor ends and the terminal's modes are put back. Optional for
   the REXX library, which goes on without it. */
POMCON_EXPORT void RxWinClose(void* window);

/* Writes `length` bytes of text; "\r\n" pairs become the platform's line end. The flag (the
   halt-raised state, 1 for line ends, 0 for begin and end messages) does not change what a
   terminal shows. */
POMCON_EXPORT void RxWinPuts(const char* text, unsigned long length, int flag);

/* Reads at most `size` bytes of input into `buffer`: from a terminal one edited line with its
   line feed (a longer line comes in pieces over several calls), from a regular file one line,
   from a pipe what one read gives. A NUL follows the bytes when there is room. Returns the
   number of bytes, 0 at the end of the input, POMCON_BREAK for Ctrl-C or an interrupted wait. */
POMCON_EXPORT long RxWinGets(void* owner, char* buffer, unsigned long size);

#ifdef __cplusplus
}
#endif

#endif
