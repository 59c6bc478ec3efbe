// Loading a shared library and finding its exports: one backend file per
// operating system (loader_posix.cpp with dlopen, loader_win.cpp with
// LoadLibrary), so Library in component.cpp is the same everywhere.
#pragma once

#include <string>

namespace abihost {
namespace loader {

// The library's handle, or null with `error` set.
void* open(const std::string& path, std::string& error);
// An exported symbol's address, or null.
void* find(void* handle, const char* name);
void close(void* handle);

}  // namespace loader
}  // namespace abihost
