// A ByteSource over a Win32 file handle, for the pattern matcher.
#pragma once
#include "script/byte_source.h"

// The caller keeps the handle (a HANDLE opened for reading) and closes it.
ByteSource HandleByteSource(void* handle);
