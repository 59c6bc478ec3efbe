// What makes a run irreversible on a real printer: the methods that print a
// fiscal document or a report, or open the cash drawer, and whether a port is
// the simulator's.
#pragma once

#include <string>
#include <string_view>

namespace addinhost {

// True for a method (by its English name) that prints a fiscal receipt or a
// report, registers money on a receipt, or opens the cash drawer. DirectIO
// counts: it sends whatever command it is given.
bool printsOrOpensDrawer(std::u16string_view english);

// The methods of printsOrOpensDrawer, for the help and the documentation.
std::string printingMethodList();


}  // namespace addinhost

namespace addinhost {

// Asks on the terminal before calls that print on `devices`: true when the
// user types YES, or at once when `yes` (--yes). Without a terminal on
// standard input it refuses with a message naming --yes.
bool confirmRealPrinter(const std::string& devices, const std::string& methods, bool yes);

}  // namespace addinhost
