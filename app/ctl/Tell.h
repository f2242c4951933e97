#pragma once

#include <string>

namespace ctl {

// How messages for the user are shown: -q leaves out all but errors, and
// text for a terminal is escaped unless --raw asks for it as received.
struct Telling {
    bool quiet = false;
    bool raw = false;
};
void setTelling(Telling telling);

// An error for the user, on standard error; standard output carries only
// replies and settings.
void tell(const std::string& message);
// What the user may like to know but a script need not: left out with -q.
void note(const std::string& message);
// A reply or other instrument text on standard output, one line.
void printLine(const std::string& text);

} // namespace ctl
