#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace testing_support {

// Switches the process to a locale whose decimal point is ",", as Qt does
// with the player's own locale; the previous locale comes back at the end.
// Where no such locale is installed, one is compiled into a temporary
// folder with localedef (Debian's "locales" package).
class CommaLocale {
public:
    CommaLocale() {
        const char* current = std::setlocale(LC_ALL, nullptr);
        previous_ = current ? current : "C";
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
            if (std::setlocale(LC_ALL, name)) {
                active_ = true;
                return;
            }
        }
        const std::string target = (folder_.Path() / "de_DE.UTF-8").string();
        const int built = RunInChild([&] {
            ::execl("/usr/bin/localedef", "localedef", "-i", "de_DE", "-f", "UTF-8", target.c_str(),
                    static_cast<char*>(nullptr));
            return 127;
        });
        if (built != 0 && built != 1) return;  // 1: built with warnings
        ::setenv("LOCPATH", folder_.Path().c_str(), 1);
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, previous_.c_str());
        ::unsetenv("LOCPATH");
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // Whether a comma locale is in force.
    bool Active() const { return active_ && std::localeconv()->decimal_point[0] == ','; }

private:
    TempFolder folder_;
    std::string previous_;
    bool active_ = false;
};

}  // namespace testing_support
