/* The AY module converter's exports, as the melody compiler finds them with dlsym.
 *
 * Both take the address of a module's bytes and their count and write the file "out.m" into
 * the current directory; the code tables pdata0.bin..pdata3.bin are read from there too, on
 * every call. They never throw and never read outside the given bytes. Whenever the result is
 * not 0, no out.m is left in the current directory.
 *
 * PT3Process: 0 written; 1 a code table is missing, unreadable, of the wrong size or damaged;
 *   2 the module is malformed; 3 out.m cannot be written; 4 failure inside the library.
 * FXMProcess: 0 written; 81 not an FXM module; 21 out.m cannot be created; 41 invalid command;
 *   12 a channel ends inside a call or loop; 3 the stack depths add up to more than 24;
 *   7, 5, 8 writing the header, the module bytes, the return-point table failed;
 *   42 a loop count of 0; 43 more than 101 stack entries; 44 more than 256 return points;
 *   45 a channel never jumps back to its start; 46 a return or loop end without its call or
 *   loop start; 47 a program leads outside the module (or the header is short); 48 the module
 *   is too large; 49 failure inside the library.
 */
#ifndef AYVEX_AYVEX_H
#define AYVEX_AYVEX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t PT3Process(const void* module, uint32_t size);
int32_t FXMProcess(const void* module, uint32_t size);

typedef int32_t (*AyvexProcessFunction)(const void* module, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif
