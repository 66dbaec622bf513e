// The two routines copied into another process and run there by a remote
// thread. Each takes the address of the parameter block as its only
// argument, uses nothing but what the block holds, and returns 0; each is
// followed by readable bytes up to REMOTE_CODE_SIZE, which are copied with
// it. Built for this program's own bitness only.
#pragma once

enum { REMOTE_CODE_SIZE = 4096 };

// Sets the status word to 0, then frees the named library until
// GetModuleHandleA no longer finds it. If FreeLibrary refuses while the
// library is still there, the status word becomes 1.
extern "C" const unsigned char kRemoteReleaseCode[REMOTE_CODE_SIZE] __asm__("mdx_remote_release");
// Calls ExitProcess (1).
extern "C" const unsigned char kRemoteExitCode[REMOTE_CODE_SIZE] __asm__("mdx_remote_exit");
