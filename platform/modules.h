// Loading a module (a shared library) that a program needs only sometimes, and finding a function
// in it, as LoadLibrary and GetProcAddress do on Windows.
#pragma once

using HMODULE = void*;
using FARPROC = void (*)();

// A bare name without extension ("quorvel-normalization") names one of the program's own
// modules: on this platform "libquorvel-normalization.so" in the folder of the platform library,
// which is where the program's modules are installed and built. Any other name is a path.
// Returns null when the module cannot be loaded.
HMODULE LoadLibraryA(const char* fileName);
// Null when the module has no such function.
FARPROC GetProcAddress(HMODULE module, const char* procName);
