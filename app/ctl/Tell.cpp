#include "Tell.h"

#include <cstdio>
#include <unistd.h>

#include "EscapedText.h"

namespace ctl {

namespace {

Telling telling;

// An instrument's text may hold an escape sequence that would drive the
// terminal: escaped there as the traffic log escapes it, line by line.
std::string forStream(const std::string& text, FILE* stream)
{
    if (telling.raw || !::isatty(::fileno(stream)))
        return text;
    std::string shown;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        shown += instrument::escapedText(std::string_view(text).substr(start, end - start));
        if (end < text.size())
            shown += '\n';
        start = end + 1;
    }
    return shown;
}

} // namespace

void setTelling(Telling how)
{
    telling = how;
}

void tell(const std::string& message)
{
    std::fprintf(stderr, "r6140k-ctl: %s\n", forStream(message, stderr).c_str());
}

void note(const std::string& message)
{
    if (!telling.quiet)
        tell(message);
}

void printLine(const std::string& text)
{
    std::printf("%s\n", forStream(text, stdout).c_str());
}

} // namespace ctl
