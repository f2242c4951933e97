#include "DeviceAccess.h"

#include <QTemporaryDir>
#include <fstream>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using testing::HasSubstr;

namespace {

struct Node {
    const char* name;
    mode_t mode;
    const char* advice;
};

// The group's name comes from the node; it helps only if it may use the node.
const Node Nodes[] = {
    { "GroupMayUseIt", 0660, ": join its group dialout (sudo usermod -aG dialout $USER), then log out and in again." },
    { "OnlyTheOwnerMay", 0600, ": ask the administrator of this computer for access" },
};

class PermissionAdvice : public testing::TestWithParam<Node> { };

TEST_P(PermissionAdvice, NamesTheGroupThatOwnsTheNodeOrTheAdministrator)
{
    const group* dialout = ::getgrnam("dialout");
    if (!dialout || ::getuid() != 0)
        GTEST_SKIP() << "needs the dialout group and root to give a file to it";
    QTemporaryDir folder;
    const std::string path = folder.filePath("ttyUSB9").toStdString();
    std::ofstream(path).put('x');
    ASSERT_EQ(::chown(path.c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), GetParam().mode), 0);
    EXPECT_THAT(usblink::permissionAdvice(path), HasSubstr("No permission to open " + path + GetParam().advice));
}

INSTANTIATE_TEST_SUITE_P(Nodes, PermissionAdvice, testing::ValuesIn(Nodes),
    [](const testing::TestParamInfo<Node>& info) { return std::string(info.param.name); });

} // namespace
