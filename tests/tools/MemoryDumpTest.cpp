// The dump a test or trainer compares with the source files.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/tools/SimTestSupport.h"
#include "tools/sim/MemoryDump.h"

namespace dexsim::test {
namespace {

class MemoryDumpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("dexsim-dump-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    static std::string slurp(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::filesystem::path dir_;
};

TEST_F(MemoryDumpTest, ImageAndIndexShowWhatArrived) {
    DexioConfig cfg;
    cfg.slots[2] = {SlotState::NotSwitchable, {}, 9, 2};
    DexioModel model(cfg);
    Host host{model};
    const Bytes a = pattern(20, 1);
    const Bytes b = pattern(300, 2);
    ASSERT_TRUE(host.write({0, 1, 1, 2}).crcOk);
    ASSERT_TRUE(host.write(languageInfo(2, 1, 2)).crcOk);
    ASSERT_TRUE(host.write(languageInfo(2, 2, 104)).crcOk);
    ASSERT_TRUE(host.write(languageInfo(2, 3, 0x656E)).crcOk);
    ASSERT_TRUE(host.write(indexEntry(2, 0, 1, 20, 0xC0000)).crcOk);
    ASSERT_TRUE(host.write(indexEntry(2, 1, 2, 300, 0xC0014)).crcOk);
    ASSERT_EQ(host.write(singleBitmap(2, 0, 0xC0000, a)).func, 0x5A);
    ASSERT_EQ(host.write(bitmapHead(2, 1, 0xC0014, 2)).func, 0x5A);
    ASSERT_EQ(host.write(bitmapPackage(2, 1, 1, Bytes(b.begin(), b.begin() + 255))).func, 0x5A);
    ASSERT_EQ(host.write(bitmapPackage(2, 1, 2, Bytes(b.begin() + 255, b.end()))).func, 0x5A);
    ASSERT_EQ(host.write({11}).func, 0x5A);
    ASSERT_EQ(host.write(singleBitmap(1, 5, 0x40010, a)).func, 0x5A);  // bitmap, no index

    std::string error;
    ASSERT_TRUE(writeDump(model, dir_, error)) << error;

    const std::string image = slurp(dir_ / "memory.bin");
    ASSERT_EQ(image.size(), 3u * 0x80000u);
    EXPECT_EQ(Bytes(image.begin() + 0x80000, image.begin() + 0x80000 + 20), a);
    EXPECT_EQ(Bytes(image.begin() + 0x80014, image.begin() + 0x80014 + 300), b);
    EXPECT_EQ(Bytes(image.begin() + 0x10, image.begin() + 0x10 + 20), a);
    EXPECT_EQ(static_cast<std::uint8_t>(image[0x80014 + 300]), 0xFF);

    const std::string index = slurp(dir_ / "index.txt");
    for (const char* line : {
             "\nlanguages 2\n",
             "\nslot 1 status 0xFF present 0 in_operation 0 switchable 1 total_strings - "
             "version - code - erases 0 completes 0\n",
             "\nslot 2 status 0xFE present 1 in_operation 1 switchable 1 total_strings 2 "
             "version 104 code 25966 erases 0 completes 1\n",
             "\nslot 3 status 0x00 present 1 in_operation 0 switchable 0 total_strings - "
             "version 9 code 2 erases 0 completes 0\n",
             "\n1 5 - - - 20\n",
             "\n2 0 1 20 0x000C0000 20\n",
             "\n2 1 2 300 0x000C0014 300\n",
         }) {
        EXPECT_NE(index.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << index;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "memory.bin.tmp"));
}

TEST_F(MemoryDumpTest, UnwritableFolderIsReported) {
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "file") << "x";
    DexioModel model;
    std::string error;
    EXPECT_FALSE(writeDump(model, dir_ / "file" / "sub", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace dexsim::test
