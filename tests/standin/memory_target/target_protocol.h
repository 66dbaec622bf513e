// What the memory target stand-in and the tests that drive it share.
#pragma once

// Bytes the target keeps at a place it reports, for the patterns to find.
#define TARGET_MARKER "MDX-TARGET-MARKER-5A3C-0123456789"
// Bytes each library thread keeps on its stack while it runs.
#define TARGET_STACK_SIGNATURE {0x53, 0x54, 0x41, 0x43, 0x4B, 0x2D, 0x4D, 0x44, 0x58, 0x2D, 0x39, 0x31, 0xA5, 0x5A, 0xC3, 0x3C}
// Posted to any of the target's threads, it ends the target with exit code 0.
#define TARGET_QUIT_MESSAGE 0x47F
// An environment variable of the target: milliseconds its library holds
// an unload in DllMain.
#define TARGET_DETACH_DELAY "TARGET_DETACH_DELAY"
// An environment variable of the target: a file it keeps open from its start
// for reading, sharing only reading, so that nobody may write, delete or
// move the file while the target runs.
#define TARGET_HOLD_FILE "TARGET_HOLD_FILE"
