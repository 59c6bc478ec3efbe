// What addin-host needs from the operating system besides the port trace:
// where the program is, the component library's file name, and which device
// a Port setting names. One backend file per system: platform_posix.cpp,
// platform_win.cpp.
#pragma once

#include <string>

#include "abihost/value.h"

namespace addinhost {

// The component library's file name on this system.
extern const char kLibraryName[];

// The directory of the running program, with '/' between its parts.
std::string programDir();

// Whether a file or device exists.
bool exists(const std::string& path);

// Whether a device is a pseudo-terminal (the simulator's side of a line),
// not a real port.
bool isPseudoTerminal(const std::string& device);

// Whether standard input is a terminal someone can answer on.
bool stdinIsTerminal();

// The device a Port setting names on this system, empty when it names none.
std::string portDevice(const abihost::Value& v);

}  // namespace addinhost
