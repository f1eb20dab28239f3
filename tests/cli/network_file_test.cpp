// The front end's reading of network files, on files laid out byte by byte
// from the published format.
#include "cli_error_text.h"
#include "model_file.h"
#include "model_metadata.h"
#include "paradigm.h"
#include "network_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace koru_cli {
namespace {

void PutU16(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

void PutU32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// The header of a momentum backpropagation net (type 2): slab 0 of 2 inputs,
// slab 1 of 3 hidden neurons (tanh), slab 2 of 1 output (logistic); link 0
// from slab 0 to 1 (3 x 3 weights with the bias row), link 1 from 1 to 2 (4 x 1).
std::string BackpropHeader() {
    std::string bytes(kHeaderSize, '\0');
    PutU16(bytes, 0, 32);
    PutU16(bytes, 2, 32);
    PutU16(bytes, 4, 2);
    PutU16(bytes, 6, 1);
    PutU16(bytes, 8, 2);
    PutU16(bytes, 10, 3);
    PutU16(bytes, 12, 2);
    PutU16(bytes, 14, 3);
    const uint16_t neurons[3] = {2, 3, 1};
    const uint16_t kinds[3] = {0, 1, 2};
    const uint16_t transfers[3] = {0, 2, 0};
    for (size_t s = 0; s < 3; ++s) {
        PutU16(bytes, 16 + 2 * s, neurons[s]);
        PutU16(bytes, 80 + 2 * s, kinds[s]);
        PutU16(bytes, 144 + 2 * s, transfers[s]);
    }
    for (size_t l = 0; l < 2; ++l) {
        PutU16(bytes, 208 + 2 * l, 2);
        PutU16(bytes, 272 + 2 * l, static_cast<uint16_t>(l));
        PutU16(bytes, 336 + 2 * l, static_cast<uint16_t>(l + 1));
    }
    PutU32(bytes, 400, 9);
    PutU32(bytes, 404, 4);
    return bytes;
}

class NetworkFileTest : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path_.c_str()); }

    const std::string& Write(const std::string& bytes) {
        std::ofstream(path_, std::ios::binary) << bytes;
        return path_;
    }

    std::string ErrorOf(const std::string& bytes) {
        return CliErrorText([&] { InspectNetworkFile(Write(bytes)); });
    }

    // One file per test and process: tests run in parallel, and other runs
    // of the suite may share the temporary folder.
    std::string path_ = ::testing::TempDir() + "network_file_test_" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                        std::to_string(getpid()) + ".net";
};

TEST_F(NetworkFileTest, ReadsTheHeaderAndSizesTheDataSection) {
    // Weights and changes of both links: 530 + 2 x 9 x 4 + 2 x 4 x 4 = 634 bytes.
    NetworkFileLayout layout = InspectNetworkFile(Write(BackpropHeader() + std::string(104, '\x11')));
    EXPECT_EQ(layout.netType, 2);
    EXPECT_EQ(layout.paradigm, 1);
    EXPECT_EQ(layout.format, 3);
    EXPECT_EQ(layout.slabs[1].neurons, 3);
    EXPECT_EQ(layout.slabs[1].kind, 1);
    EXPECT_EQ(layout.slabs[1].transfer, 2);
    EXPECT_EQ(layout.links[1].source, 1);
    EXPECT_EQ(layout.links[1].dest, 2);
    EXPECT_EQ(layout.links[0].weights, 9u);
    EXPECT_EQ(layout.netBytes, 634u);
    EXPECT_EQ(layout.callerBytes, 0u);
    EXPECT_EQ(layout.metadataLength, -1);
}

TEST_F(NetworkFileTest, FindsTheMetadataTrailerOnlyWhereItFitsExactly) {
    std::string net = BackpropHeader() + std::string(104, '\0');
    std::string caller = PackCallerBytes("koru-model 1\n");
    NetworkFileLayout layout = InspectNetworkFile(Write(net + caller));
    EXPECT_EQ(layout.callerBytes, caller.size());
    EXPECT_EQ(layout.metadataLength, 13);
    // Bytes before the block: the announced length does not account for
    // them, so the block is not where it should be: a damaged koru model.
    EXPECT_EQ(ErrorOf(net + "xy" + caller),
              path_ + ": a truncated or damaged koru model (its metadata is cut short or its end marker is damaged)");
    // Foreign caller bytes without koru's block: a net without metadata.
    layout = InspectNetworkFile(Write(net + "xy"));
    EXPECT_EQ(layout.callerBytes, 2u);
    EXPECT_EQ(layout.metadataLength, -1);
}

TEST_F(NetworkFileTest, CountArraysOfPatternNetsAreCounted) {
    std::string bytes(kHeaderSize, '\0');
    PutU16(bytes, 0, 32);
    PutU16(bytes, 2, 32);
    PutU16(bytes, 4, 6);  // PNN
    PutU16(bytes, 6, 8);
    PutU16(bytes, 10, 3);
    const uint16_t neurons[3] = {4, 10, 3};
    for (size_t s = 0; s < 3; ++s) {
        PutU16(bytes, 16 + 2 * s, neurons[s]);
        PutU16(bytes, 80 + 2 * s, static_cast<uint16_t>(s));
    }
    PutU16(bytes, 208, 2);
    PutU16(bytes, 336, 1);
    PutU32(bytes, 400, 40);
    PutU16(bytes, 210, 2);
    PutU16(bytes, 274, 1);
    PutU16(bytes, 338, 2);
    PutU32(bytes, 404, 30);
    // Class counts of the output slab (3 x 4) and the weights (40 + 30) x 4; no changes.
    NetworkFileLayout layout = InspectNetworkFile(Write(bytes + std::string(12 + 280, '\0')));
    EXPECT_EQ(layout.netBytes, kHeaderSize + 12 + 280);
    EXPECT_EQ(ErrorOf(bytes + std::string(12 + 279, '\0')),
              path_ + ": a truncated or damaged network file (it ends before the 822 bytes its header calls for)");
}

TEST_F(NetworkFileTest, ForeignFilesAreNotNetworkFiles) {
    EXPECT_EQ(ErrorOf("sepal_length,species\n5.1,setosa\n"),
              path_ + ": not a network file, or a truncated one (it is shorter than the 530-byte header)");
    std::string wrongTables = BackpropHeader();
    PutU16(wrongTables, 2, 31);
    EXPECT_EQ(ErrorOf(wrongTables + std::string(104, '\0')), path_ + ": not a network file (its table sizes are not 32 and 32)");
    std::string wrongFormat = BackpropHeader();
    PutU16(wrongFormat, 10, 1);
    EXPECT_EQ(ErrorOf(wrongFormat + std::string(104, '\0')), path_ + ": not a network file (number format 1)");
    std::string wrongType = BackpropHeader();
    PutU16(wrongType, 4, 12);
    EXPECT_EQ(ErrorOf(wrongType + std::string(104, '\0')), path_ + ": not a network file (net type 12)");
}

TEST_F(NetworkFileTest, MetadataMustFitTheNetItDescribes) {
    NetworkFileLayout layout = InspectNetworkFile(Write(BackpropHeader() + std::string(104, '\0')));
    ModelMetadata metadata;
    metadata.paradigm = &FindParadigm("bp");
    metadata.task = Task::Regress;
    metadata.inputColumns = {"x", "y"};
    MetadataEntries entries;
    entries.Put("bp.hidden", "3");
    metadata.state = metadata.paradigm->ReadState(entries);
    EXPECT_NO_THROW(CheckMetadataFitsNet(metadata, layout, "m.net"));
    // One class per output neuron: three classes cannot read a one-neuron slab.
    metadata.task = Task::Classify;
    metadata.classes = {"a", "b", "c"};
    EXPECT_THROW(CheckMetadataFitsNet(metadata, layout, "m.net"), CliError);
    metadata.task = Task::Regress;
    metadata.inputColumns = {"x", "y", "z"};
    try {
        CheckMetadataFitsNet(metadata, layout, "m.net");
        FAIL() << "no error";
    } catch (const CliError& error) {
        EXPECT_STREQ(error.what(), "m.net: the metadata does not fit the net (slab 0 should be of kind 0 with 3 neurons)");
    }
    metadata.inputColumns = {"x", "y"};
    metadata.paradigm = &FindParadigm("pnn");
    EXPECT_THROW(CheckMetadataFitsNet(metadata, layout, "m.net"), CliError);
}

}  // namespace
}  // namespace koru_cli
