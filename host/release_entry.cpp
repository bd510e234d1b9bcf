// Process entry of the release build, which links no C or C++ runtime: the
// loader calls intro_entry directly, which runs WinMain (which takes its
// module handle itself) and ends the process.
// There are no static constructors or destructors to run: the release build
// has no debug log and its globals are all constant-initialised. The compiler
// may still emit calls to memset and memcpy (clearing and copying records),
// so those two are defined here.

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous_instance, LPSTR command_line, int show);

extern "C" {

#if defined(_MSC_VER)
// Floating point without the C runtime: the linker looks for this symbol.
int _fltused = 0;
#pragma function(memset)
#pragma function(memcpy)
#endif

void* __cdecl memset(void* destination, int value, size_t count)
{
    unsigned char* bytes = static_cast<unsigned char*>(destination);
    // volatile keeps the compiler from turning this loop back into a call
    // to memset itself.
    while (count--) {
        *static_cast<volatile unsigned char*>(bytes++) = static_cast<unsigned char>(value);
    }
    return destination;
}

void* __cdecl memcpy(void* destination, const void* source, size_t count)
{
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    while (count--) {
        *static_cast<volatile unsigned char*>(to++) = *from++;
    }
    return destination;
}

void __cdecl intro_entry()
{
    ExitProcess(static_cast<UINT>(WinMain(NULL, NULL, NULL, SW_SHOWDEFAULT)));
}

}  // extern "C"
