#include "import_patch.h"

#include <windows.h>

#include <cstring>

// Walks the import descriptors of the program's own image. Each descriptor
// names a DLL and holds two parallel lists: the names looked up (original
// first thunk) and the addresses the loader filled in (first thunk), which
// every call through the import goes by.
void* import_patch(const char* dll, const char* function, void* replacement)
{
    unsigned char* base = reinterpret_cast<unsigned char*>(GetModuleHandleA(NULL));
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return NULL;
    }
    HMODULE module = GetModuleHandleA(dll);
    void* exported = module ? reinterpret_cast<void*>(GetProcAddress(module, function)) : NULL;

    const IMAGE_IMPORT_DESCRIPTOR* descriptor =
        reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + descriptor->Name), dll) != 0) {
            continue;
        }
        IMAGE_THUNK_DATA* address = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        const IMAGE_THUNK_DATA* name = descriptor->OriginalFirstThunk
            ? reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk)
            : NULL;
        for (int index = 0; address[index].u1.Function != 0; ++index) {
            bool match = exported && reinterpret_cast<void*>(address[index].u1.Function) == exported;
            if (!match && name && !IMAGE_SNAP_BY_ORDINAL(name[index].u1.Ordinal)) {
                const IMAGE_IMPORT_BY_NAME* by_name =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name[index].u1.AddressOfData);
                match = std::strcmp(reinterpret_cast<const char*>(by_name->Name), function) == 0;
            }
            if (!match) {
                continue;
            }
            void* previous = reinterpret_cast<void*>(address[index].u1.Function);
            DWORD protection = 0;
            VirtualProtect(&address[index].u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
            address[index].u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&address[index].u1.Function, sizeof(void*), protection, &protection);
            return previous;
        }
    }
    return NULL;
}
