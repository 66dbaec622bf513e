// The compiler's runtime asks Windows for four functions that the 9x family
// lacks or only stubs: CreateSemaphoreW (thread support of libgcc),
// LoadLibraryW and GetModuleHandleW (the CRT's rand_s, which Expat uses for
// its hash salt) and IsDBCSLeadByteEx (the CRT's mbrtowc). The Windows loader
// refuses a program with an import its system does not export, and a stub
// that fails would leave the runtime without a lock. Defining the import
// slots here binds those calls to these versions, built on functions every
// system of both families has, and the imports never reach the program's
// import table. Linked into the 32-bit programs only.
#include <windows.h>

namespace {

// Answers false when the wide text does not fit or does not convert.
bool ToAnsi(LPCWSTR wide, char* buffer, int size) {
    return WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, size, nullptr, nullptr) > 0;
}

HANDLE WINAPI AnsiCreateSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum, LPCWSTR name) {
    char ansi[MAX_PATH];
    if (name && !ToAnsi(name, ansi, sizeof ansi)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return CreateSemaphoreA(attributes, initial, maximum, name ? ansi : nullptr);
}

HMODULE WINAPI AnsiLoadLibrary(LPCWSTR name) {
    char ansi[MAX_PATH];
    if (!name || !ToAnsi(name, ansi, sizeof ansi)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LoadLibraryA(ansi);
}

HMODULE WINAPI AnsiGetModuleHandle(LPCWSTR name) {
    char ansi[MAX_PATH];
    if (!name) return GetModuleHandleA(nullptr);
    if (!ToAnsi(name, ansi, sizeof ansi)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return GetModuleHandleA(ansi);
}

// The lead-byte ranges of the code page, as GetCPInfo gives them.
BOOL WINAPI LeadByteOfCodePage(UINT codePage, BYTE c) {
    CPINFO info;
    if (!GetCPInfo(codePage, &info)) return FALSE;
    for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2)
        if (c >= info.LeadByte[i] && c <= info.LeadByte[i + 1]) return TRUE;
    return FALSE;
}

}  // namespace

// The import slots the runtime's objects refer to (__imp_ + the decorated
// name); the assembler names keep the stdcall decoration exact.
extern "C" {
extern void* const kCreateSemaphoreSlot __asm__("__imp__CreateSemaphoreW@16");
extern void* const kLoadLibrarySlot __asm__("__imp__LoadLibraryW@4");
extern void* const kGetModuleHandleSlot __asm__("__imp__GetModuleHandleW@4");
extern void* const kLeadByteSlot __asm__("__imp__IsDBCSLeadByteEx@8");
void* const kCreateSemaphoreSlot = reinterpret_cast<void*>(AnsiCreateSemaphore);
void* const kLoadLibrarySlot = reinterpret_cast<void*>(AnsiLoadLibrary);
void* const kGetModuleHandleSlot = reinterpret_cast<void*>(AnsiGetModuleHandle);
void* const kLeadByteSlot = reinterpret_cast<void*>(LeadByteOfCodePage);
}
