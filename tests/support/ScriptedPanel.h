#pragma once

#include <gtest/gtest.h>
#include <map>
#include <string>

#include "PanelHarness.h"
#include "ScriptedBridge.h"

namespace test_support {

// The panel over a scripted instrument that answers every query with 7, or
// with the reply a test gives it, and nothing else.
struct ScriptedPanel : testing::Test {
    ScriptedBridge bridge;
    PanelHarness panel { bridge };
    std::map<std::string, std::string> replies;

    void SetUp() override
    {
        bridge.devices = { { "R6140K", "A1" } };
        bridge.respond = [this](const std::string& line) -> std::string {
            if (line.empty() || line.back() != '?')
                return "";
            const auto it = replies.find(line);
            return it == replies.end() ? "7\r\n" : it->second;
        };
    }
};

} // namespace test_support
