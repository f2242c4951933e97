#include "Dialect.h"

#include <sstream>

namespace analyzer {

namespace {

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

const std::map<std::string, std::string Dialect::*>& Dialect::keys()
{
    static const std::map<std::string, std::string Dialect::*> keys = {
        { "identify", &Dialect::identify },
        { "continuous_query", &Dialect::continuousQuery },
        { "continuous_set", &Dialect::continuousSet },
        { "single", &Dialect::single },
        { "marker_x", &Dialect::markerX },
        { "sweep", &Dialect::sweep },
        { "marker_y", &Dialect::markerY },
    };
    return keys;
}

Dialect Dialect::parse(const std::string& text, std::string* problem)
{
    Dialect dialect;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line.front() == '#')
            continue;
        const auto equals = line.find('=');
        const std::string key = trimmed(line.substr(0, equals));
        const std::string value = equals == std::string::npos ? "" : trimmed(line.substr(equals + 1));
        const auto found = keys().find(key);
        if (equals == std::string::npos || (found == keys().end() && key != "setup")) {
            *problem = "line " + std::to_string(number) + ": \"" + line + "\" is no key=value of a known key";
            return {};
        }
        if (key == "setup")
            dialect.setup.push_back(value);
        else
            dialect.*(found->second) = value;
    }
    problem->clear();
    return dialect;
}

std::string filled(std::string message, const std::map<std::string, std::string>& fields)
{
    for (const auto& [name, value] : fields)
        for (auto at = message.find("{" + name + "}"); at != std::string::npos; at = message.find("{" + name + "}", at))
            message.replace(at, name.size() + 2, value);
    return message;
}

} // namespace analyzer
