#ifndef IMPORT_PATCH_H
#define IMPORT_PATCH_H

// Points one entry of this program's import table at another function, so
// that a test can watch calls that the host code makes straight into a
// system DLL (glRects, the wave-out functions).

// Replaces the address held for `function` imported from `dll` (compared
// without regard to case) by `replacement`. Returns the address it held, or
// NULL when the program does not import that function.
void* import_patch(const char* dll, const char* function, void* replacement);

#endif
