#include "ReplyReading.h"

#include <algorithm>

namespace vxi11 {

ReadResp takeOutput(std::string& output, const ReadParms& read)
{
    std::size_t count = std::min<std::size_t>(read.requestSize, output.size());
    const bool toTermChar = (read.flags & flag::TermCharSet) != 0;
    if (const std::size_t at = output.find(read.termChar); toTermChar && at != std::string::npos)
        count = std::min(count, at + 1);
    ReadResp taken { ErrorCode::None, 0, Bytes(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(count)) };
    output.erase(0, count);
    if (output.empty())
        taken.reason |= reason::End;
    if (toTermChar && !taken.data.empty() && static_cast<char>(taken.data.back()) == read.termChar)
        taken.reason |= reason::TermChar;
    if (count == read.requestSize)
        taken.reason |= reason::RequestCount;
    return taken;
}

} // namespace vxi11
