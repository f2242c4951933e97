#pragma once

#include <QHostAddress>
#include <gtest/gtest.h>
#include <string>

#include "PanelHarness.h"
#include "ScpiServer.h"

namespace test_support {

// The panel started up on the given device and serving it on a free
// loopback port.
struct ServedPanel {
    ServedPanel(usblink::BridgeLibrary& bridge, const std::string& entry)
        : panel(bridge)
    {
        EXPECT_TRUE(panel.startUpOn(entry));
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0)) << server.errorString().toStdString();
        server.startAccepting();
    }
    PanelHarness panel;
    remote::ScpiServer server { panel.session };
};

} // namespace test_support
