// Process utilities of the run-time environment: exit, version text,
// interactive prompts with their "set" and "exit" commands, sleeping and
// elapsed time, and detaching into the background.
#ifndef ZEM_SYSTEM_H
#define ZEM_SYSTEM_H

// Ends the process with `status` (flushing the message streams first).
[[noreturn]] void ZEM_exit(int status);
// The version text "5.59-LINUX-X11".
const char* ZEM_version();

// Prompts. Each prints `prompt` at level print and reads a line of up to 80
// characters from standard input; the prompt is repeated while nothing could
// be read or while the line was a "set" command. "exit" ends the program
// with status 0.
//
// One word of at most 19 characters into `str`; when `str` is null an
// 81-byte buffer is malloc'd and returned (the caller frees it).
char* ZEM_promptl(const char* prompt, char* str);
// One word of at most length - 1 characters into `str` (length >= 2).
char* ZEM_prompts(const char* prompt, char* str, int length);
// A float (0 at end of input).
float ZEM_promptf(const char* prompt);
// An integer (0 at end of input).
int ZEM_promptd(const char* prompt);
// Recognises the commands of a prompt line: "set name=value" (or "set name
// value") stores a resource, bare "set" lists the resources; both return 1.
// "exit" ends the program with status 0. Anything else returns 0.
int ZEM_set_command(const char* string);

// Sleeps `secs` seconds (microsecond resolution) and adds them to the
// accumulated sleep. Returns 0, -1 for a non-positive time.
int ZEM_sleep(float secs);
// Records the current time of day and clears the accumulated sleep.
int ZEM_init_time();
// Seconds since ZEM_init_time (or the accumulated sleep when the clock's
// microsecond part reads exactly 0).
float ZEM_elapse_time();

// Detaches into the background: forks, the parent exits 0; the child gets
// default SIGINT handling, /dev/null as standard streams and a new process
// group, and returns 1. Returns 0 when /dev/null cannot be opened; exits
// with status 1 when the fork fails.
int ZEM_back_proc();

#endif
