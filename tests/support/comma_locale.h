// A C locale whose decimal separator is a comma, for tests of number texts
// that must not follow the process's locale. Where no such locale is
// installed, one is built with localedef into a private folder named by
// LOCPATH. The locale is switched by `apply` (setlocale, or a component's
// SetLocale); the destructor goes back to "C" and removes the folder.
#pragma once

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include <stdlib.h>

class CommaLocale {
 public:
  explicit CommaLocale(const std::function<void(const char*)>& apply) {
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8", "de_DE.utf8"}) {
      apply(name);
      if ((active_ = comma())) return;
    }
    char pattern[] = "/tmp/comma-locale-XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder_ = pattern;
    std::string command = "localedef -i ru_RU -f UTF-8 " + folder_ + "/ru_RU.UTF-8 >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    setenv("LOCPATH", folder_.c_str(), 1);
    apply("ru_RU.UTF-8");
    active_ = comma();
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    if (!folder_.empty()) std::system(("rm -rf " + folder_).c_str());
  }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  // Whether a comma locale is in force.
  bool active() const { return active_; }

 private:
  static bool comma() {
    const std::lconv* lc = std::localeconv();
    return lc && std::strcmp(lc->decimal_point, ",") == 0;
  }

  std::string folder_;
  bool active_ = false;
};
