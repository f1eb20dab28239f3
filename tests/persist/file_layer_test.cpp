// The platform file layer: create and truncate, exclusive opens for reading,
// short counts at the end of a file, errors reported, every descriptor
// released; and the file exports refused while another holds the file.
#include <gtest/gtest.h>

#include "persist/persist_test_support.h"
#include "platform/file.h"

namespace koru_test {
namespace {

using namespace koru::platform;

class FileLayer : public PersistTest {};

TEST_F(FileLayer, CreateWritesAndTruncatesAnExistingFile) {
    const std::string path = Path("f.bin");
    WriteWholeFile(path, Bytes(100, 0x55));
    const FileHandle file = CreateFileForWriting(path.c_str());
    ASSERT_NE(file, kNoFile);
    EXPECT_EQ(ReadWholeFile(path).size(), 0u);
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(WriteFileBytes(file, data, 5), 5);
    EXPECT_EQ(WriteFileBytes(file, data, 0), 0);
    EXPECT_TRUE(CloseFileHandle(file));
    EXPECT_EQ(ReadWholeFile(path), Bytes(data, data + 5));
}

TEST_F(FileLayer, ReadsReportShortCountsAtTheEnd) {
    const std::string path = Path("f.bin");
    WriteWholeFile(path, Bytes{10, 20, 30, 40, 50, 60, 70});
    const FileHandle file = OpenFileForReading(path.c_str());
    ASSERT_NE(file, kNoFile);
    uint8_t buffer[8] = {};
    EXPECT_EQ(ReadFileBytes(file, buffer, 4), 4);
    EXPECT_EQ(ReadFileBytes(file, buffer + 4, 4), 3);
    EXPECT_EQ(ReadFileBytes(file, buffer, 4), 0);
    EXPECT_EQ(Bytes(buffer, buffer + 7), (Bytes{10, 20, 30, 40, 50, 60, 70}));
    EXPECT_TRUE(CloseFileHandle(file));
}

TEST_F(FileLayer, FailuresAreReportedAndLeaveNothingOpen) {
    const int descriptors = OpenDescriptors();
    EXPECT_EQ(OpenFileForReading(Path("missing.bin").c_str()), kNoFile);
    EXPECT_EQ(CreateFileForWriting(Path("no/such/dir.bin").c_str()), kNoFile);
    EXPECT_EQ(CreateFileForWriting(dir_.string().c_str()), kNoFile);
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_TRUE(CloseFileHandle(kNoFile));

    // Writing a file opened for reading, or reading one opened for writing,
    // is an error, not a count.
    const std::string path = Path("f.bin");
    WriteWholeFile(path, Bytes{1, 2, 3});
    uint8_t buffer[3] = {};
    const FileHandle reading = OpenFileForReading(path.c_str());
    ASSERT_NE(reading, kNoFile);
    EXPECT_EQ(WriteFileBytes(reading, buffer, 3), -1);
    EXPECT_TRUE(CloseFileHandle(reading));
    const FileHandle writing = CreateFileForWriting(path.c_str());
    ASSERT_NE(writing, kNoFile);
    EXPECT_EQ(ReadFileBytes(writing, buffer, 3), -1);
    EXPECT_TRUE(CloseFileHandle(writing));
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(FileLayer, FileOpenForReadingIsHeldExclusively) {
    const std::string path = Path("f.bin");
    WriteWholeFile(path, Bytes{1, 2, 3, 4});
    const int descriptors = OpenDescriptors();
    const FileHandle held = OpenFileForReading(path.c_str());
    ASSERT_NE(held, kNoFile);
    EXPECT_EQ(OpenFileForReading(path.c_str()), kNoFile);
    // A create must not empty the file under the reader.
    EXPECT_EQ(CreateFileForWriting(path.c_str()), kNoFile);
    EXPECT_TRUE(CloseFileHandle(held));
    EXPECT_EQ(ReadWholeFile(path).size(), 4u);
    EXPECT_EQ(OpenDescriptors(), descriptors);

    const FileHandle again = OpenFileForReading(path.c_str());
    EXPECT_NE(again, kNoFile);
    EXPECT_TRUE(CloseFileHandle(again));
}

TEST_F(FileLayer, FileExportsAreRefusedWhileTheFileIsHeld) {
    const int16_t net = 3;
    const uint16_t type = KORU32_NET_BP_PLAIN;
    ASSERT_EQ(MakeNet(&net, &type), 0);
    const std::string path = Path("net.bin");
    const int32_t none = 0;
    ASSERT_EQ(SaveNet(&net, path.c_str(), &none, nullptr), 0);
    const Bytes saved = ReadWholeFile(path);

    const FileHandle held = OpenFileForReading(path.c_str());
    ASSERT_NE(held, kNoFile);
    EXPECT_EQ(SaveNet(&net, path.c_str(), &none, nullptr), KORU32_ERR_SAVE_FILE);
    const int16_t other = 4;
    EXPECT_EQ(RestoreNet(&other, path.c_str(), &none, nullptr), KORU32_ERR_RESTORE_FILE);
    EXPECT_FALSE(SlotInUse(other));
    const int16_t five = 5;
    ASSERT_EQ(MakeNet(&five, &type), 0);
    EXPECT_EQ(LoadShell(&five, path.c_str()), KORU32_ERR_SHELL_FILE);
    EXPECT_TRUE(CloseFileHandle(held));

    EXPECT_EQ(ReadWholeFile(path), saved);
    EXPECT_EQ(RestoreNet(&other, path.c_str(), &none, nullptr), 0);
}

}  // namespace
}  // namespace koru_test
