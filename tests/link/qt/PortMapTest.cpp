#include "link/PortMap.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include <map>
#include <optional>
#include <string>

namespace tabsend {
namespace {

using Naming = PortMap::Naming;

// An environment made of a table, so the cases do not depend on the process's own.
PortMap::EnvLookup tableEnv(std::map<std::string, std::string> vars) {
    return [vars = std::move(vars)](const std::string& name) -> std::optional<std::string> {
        auto it = vars.find(name);
        if (it == vars.end()) return std::nullopt;
        return it->second;
    };
}

struct ListCase {
    Naming naming;
    int com;
    const char* device;
};

class ListEntries : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListEntries, MapToTheirDevice) {
    const ListCase& c = GetParam();
    EXPECT_EQ(PortMap(c.naming, tableEnv({})).deviceFor(c.com), c.device);
}

INSTANTIATE_TEST_SUITE_P(
    PortMap, ListEntries,
    ::testing::Values(ListCase{Naming::Posix, 1, "/dev/ttyS0"},
                      ListCase{Naming::Posix, 2, "/dev/ttyS1"},
                      ListCase{Naming::Posix, 9, "/dev/ttyS8"},
                      ListCase{Naming::Windows, 1, "COM1"}, ListCase{Naming::Windows, 9, "COM9"},
                      // Outside the list: no device at all.
                      ListCase{Naming::Posix, 0, ""}, ListCase{Naming::Posix, 10, ""},
                      ListCase{Naming::Windows, 0, ""}, ListCase{Naming::Windows, -3, ""}));

TEST(PortMap, EnvironmentOverridesOnlyItsOwnPort) {
    const PortMap map(Naming::Posix,
                      tableEnv({{"TABSEND_COM1", "/dev/pts/7"}, {"TABSEND_COM3", "/dev/ttyUSB0"}}));
    EXPECT_EQ(map.deviceFor(1), "/dev/pts/7");
    EXPECT_EQ(map.deviceFor(2), "/dev/ttyS1");
    EXPECT_EQ(map.deviceFor(3), "/dev/ttyUSB0");
    EXPECT_EQ(map.deviceFor(9), "/dev/ttyS8");
}

TEST(PortMap, EmptyOverrideIsIgnored) {
    const PortMap map(Naming::Posix, tableEnv({{"TABSEND_COM2", ""}}));
    EXPECT_EQ(map.deviceFor(2), "/dev/ttyS1");
}

TEST(PortMap, OverrideAppliesWithWindowsNamesToo) {
    const PortMap map(Naming::Windows, tableEnv({{"TABSEND_COM4", "COM17"}}));
    EXPECT_EQ(map.deviceFor(4), "COM17");
    EXPECT_EQ(map.deviceFor(5), "COM5");
}

TEST(PortMap, OverrideVariableNames) {
    EXPECT_EQ(PortMap::environmentVariable(1), "TABSEND_COM1");
    EXPECT_EQ(PortMap::environmentVariable(9), "TABSEND_COM9");
}

struct ArgumentCase {
    const char* typed;
    Naming naming;
    const char* device;
};

class CommandLinePort : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(CommandLinePort, NamesAListEntryOrADevice) {
    const ArgumentCase& c = GetParam();
    const PortMap map(c.naming, tableEnv({{"TABSEND_COM7", "/dev/pts/12"}}));
    EXPECT_EQ(map.deviceForArgument(c.typed), c.device) << "typed: \"" << c.typed << "\"";
}

INSTANTIATE_TEST_SUITE_P(PortMap, CommandLinePort,
                         ::testing::Values(
                             // The list entries in any letter case, blanks around them allowed.
                             ArgumentCase{"Com3", Naming::Posix, "/dev/ttyS2"},
                             ArgumentCase{"COM3", Naming::Posix, "/dev/ttyS2"},
                             ArgumentCase{"com3", Naming::Posix, "/dev/ttyS2"},
                             ArgumentCase{" cOm3 ", Naming::Posix, "/dev/ttyS2"},
                             ArgumentCase{"Com7", Naming::Posix, "/dev/pts/12"},
                             ArgumentCase{"com1", Naming::Windows, "COM1"},
                             ArgumentCase{"COM9", Naming::Windows, "COM9"},
                             // Anything else is the device itself, as typed.
                             ArgumentCase{"/dev/pts/4", Naming::Posix, "/dev/pts/4"},
                             ArgumentCase{"/dev/ttyUSB0", Naming::Posix, "/dev/ttyUSB0"},
                             ArgumentCase{"COM12", Naming::Windows, "COM12"},
                             ArgumentCase{"COM10", Naming::Posix, "COM10"},
                             ArgumentCase{"Com0", Naming::Posix, "Com0"},
                             ArgumentCase{"Com3x", Naming::Posix, "Com3x"},
                             ArgumentCase{"Cam3", Naming::Posix, "Cam3"},
                             ArgumentCase{"ttyS2", Naming::Posix, "ttyS2"}));

TEST(PortMap, ComNumberOfReadsOnlyTheListNames) {
    EXPECT_EQ(PortMap::comNumberOf("Com1"), 1);
    EXPECT_EQ(PortMap::comNumberOf("cOM9"), 9);
    EXPECT_EQ(PortMap::comNumberOf("\tCom5\n"), 5);
    EXPECT_EQ(PortMap::comNumberOf("Com0"), std::nullopt);
    EXPECT_EQ(PortMap::comNumberOf("Com10"), std::nullopt);
    EXPECT_EQ(PortMap::comNumberOf("Com"), std::nullopt);
    EXPECT_EQ(PortMap::comNumberOf("Co m1"), std::nullopt);
    EXPECT_EQ(PortMap::comNumberOf(""), std::nullopt);
}

// The plain functions read the process environment at each call.
TEST(PortMap, ProcessEnvironmentIsReadAtEachCall) {
    ASSERT_TRUE(qputenv("TABSEND_COM6", QByteArray("/dev/pts/42")));
    EXPECT_EQ(comPortDevice(6), "/dev/pts/42");
    EXPECT_EQ(portDeviceFromArgument("com6"), "/dev/pts/42");
    ASSERT_TRUE(qunsetenv("TABSEND_COM6"));
#ifdef _WIN32
    EXPECT_EQ(comPortDevice(6), "COM6");
#else
    EXPECT_EQ(comPortDevice(6), "/dev/ttyS5");
    EXPECT_EQ(portDeviceFromArgument("Com6"), "/dev/ttyS5");
#endif
}

}  // namespace
}  // namespace tabsend
