/* A program of the import test's own, built as the product is: it imports
 * GetTickCount64, which only Vista and later export, so the import check
 * must name it and fail. */
#include <windows.h>

__declspec(dllimport) unsigned long long WINAPI GetTickCount64(void);

int main(void) { return (int)(GetTickCount64() & 1); }
