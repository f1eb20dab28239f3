// The platform file layer: create and truncate, exclusive opens for reading,
// short counts at the end of a file, wrong-direction calls refused, every
// descriptor released; and the file exports refused while another holds the file.
#include "exports/net_fixture.h"
#include "platform/file.h"

namespace koru_test {
namespace {

using namespace koru::platform;
using FileLayer = NetTest;

TEST_F(FileLayer, CreateTruncatesReadsCountShortAtTheEndAndNothingIsLeftOpen) {
    const std::string path = Path("f.bin");
    WriteWholeFile(path, Bytes(100, 0x55));
    const int descriptors = OpenDescriptors();
    const FileHandle file = CreateFileForWriting(path.c_str());
    const uint8_t data[7] = {10, 20, 30, 40, 50, 60, 70};
    uint8_t buffer[8] = {};
    EXPECT_EQ(ReadFileBytes(file, buffer, 3), -1);  // a file opened for writing is not read
    EXPECT_EQ(WriteFileBytes(file, data, 7), 7);
    EXPECT_TRUE(CloseFileHandle(file));
    const FileHandle reading = OpenFileForReading(path.c_str());
    EXPECT_EQ(ReadFileBytes(reading, buffer, 4), 4);
    EXPECT_EQ(ReadFileBytes(reading, buffer + 4, 4), 3);
    EXPECT_EQ(ReadFileBytes(reading, buffer, 4), 0);
    EXPECT_EQ(WriteFileBytes(reading, data, 3), -1);  // nor one opened for reading written
    EXPECT_TRUE(CloseFileHandle(reading));
    EXPECT_EQ(Bytes(buffer + 4, buffer + 7), Bytes(data + 4, data + 7));
    EXPECT_EQ(ReadWholeFile(path), Bytes(data, data + 7));
    EXPECT_TRUE(CloseFileHandle(kNoFile));  // opens that fail are checked through SaveNet and RestoreNet
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(FileLayer, AFileHeldForReadingRefusesOpensCreatesAndTheFileExports) {
    const std::string path = Path("net.bin");
    const int16_t held5 = 5;
    ASSERT_EQ(All({Net(3, KORU32_NET_BP_PLAIN), Net(5, KORU32_NET_BP_PLAIN), Save(3, path)}), 0);
    const Bytes saved = ReadWholeFile(path);
    const int descriptors = OpenDescriptors();
    const FileHandle held = OpenFileForReading(path.c_str());
    EXPECT_EQ(OpenFileForReading(path.c_str()), kNoFile);
    EXPECT_EQ(CreateFileForWriting(path.c_str()), kNoFile);  // must not empty the file under the reader
    EXPECT_EQ(Save(3, path), KORU32_ERR_SAVE_FILE);
    EXPECT_EQ(Restore(4, path), KORU32_ERR_RESTORE_FILE);
    EXPECT_FALSE(SlotInUse(4));
    EXPECT_EQ(LoadShell(&held5, path.c_str()), KORU32_ERR_SHELL_FILE);
    EXPECT_TRUE(CloseFileHandle(held));
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(ReadWholeFile(path), saved);
    EXPECT_EQ(Restore(4, path), 0);
}

#ifndef _WIN32
// Descriptor 0 is a file like any other: with standard input closed, the next open takes it.
TEST_F(FileLayer, DescriptorZeroIsAnOpenFile) {
    WriteWholeFile(Path("f.bin"), Bytes{1});
    const int input = dup(0);
    close(0);
    const FileHandle file = OpenFileForReading(Path("f.bin").c_str());
    EXPECT_NE(file, kNoFile);
    EXPECT_TRUE(CloseFileHandle(file));
    dup2(input, 0);
    close(input);
}
#endif

}  // namespace
}  // namespace koru_test
