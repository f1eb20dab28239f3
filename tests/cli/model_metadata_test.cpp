// The metadata block: exact round trips, the trailer, and damaged blocks.
#include "cli_error_text.h"
#include "model_metadata.h"
#include "paradigm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace koru_cli {
namespace {

ModelMetadata Sample() {
    ModelMetadata metadata;
    metadata.paradigm = &FindParadigm("lvq");
    metadata.task = Task::Classify;
    metadata.inputColumns = {"width, cm", "100%", "two\nlines"};
    metadata.targetColumn = "kind,of";
    metadata.classes = {"a", "b,c"};
    metadata.inputScaling.method = ScalingMethod::Standard;
    metadata.inputScaling.offset = {0.1, 1.0 / 3.0, -1e-300};
    metadata.inputScaling.scale = {2.0, 1e300, std::nextafter(1.0, 2.0)};
    metadata.unitLength = true;
    metadata.targetOffset = 0.7;
    metadata.targetScale = 3.0;
    MetadataEntries entries;
    entries.Put("lvq.unit_classes", "0,0,1");
    entries.Put("lvq.rate", 0.079506574367427751);
    metadata.state = metadata.paradigm->ReadState(entries);
    metadata.record.fallback = 1.0;
    return metadata;
}

std::string DecodeError(const std::string& text) {
    return CliErrorText([&] { DecodeMetadata(text, "m.net"); });
}

TEST(ModelMetadata, RoundTripKeepsNamesWithCommasAndNumbersToTheBit) {
    ModelMetadata original = Sample();
    ModelMetadata back = DecodeMetadata(EncodeMetadata(original), "m.net");
    EXPECT_STREQ(back.paradigm->Name(), "lvq");
    EXPECT_EQ(back.task, Task::Classify);
    EXPECT_EQ(back.inputColumns, original.inputColumns);
    EXPECT_EQ(back.targetColumn, "kind,of");
    EXPECT_EQ(back.classes, original.classes);
    EXPECT_EQ(back.inputScaling.method, ScalingMethod::Standard);
    EXPECT_EQ(back.inputScaling.offset, original.inputScaling.offset);  // exact doubles
    EXPECT_EQ(back.inputScaling.scale, original.inputScaling.scale);
    EXPECT_TRUE(back.unitLength);
    EXPECT_EQ(back.targetOffset, 0.7);
    EXPECT_EQ(back.targetScale, 3.0);
    EXPECT_EQ(back.record.fallback, 1.0);
    // The paradigm's settings come back as they were written, to the bit.
    EXPECT_EQ(EncodeMetadata(back), EncodeMetadata(original));
}

TEST(ModelMetadata, TextIsReadableAndEscaped) {
    std::string text = EncodeMetadata(Sample());
    EXPECT_EQ(text.rfind("koru-model 1\nparadigm=lvq\ntask=classify\n", 0), 0u);
    EXPECT_NE(text.find("inputs=width%2C cm,100%25,two%0Alines\n"), std::string::npos);
    EXPECT_NE(text.find("set.lvq.unit_classes=0%2C0%2C1\n"), std::string::npos);
    EXPECT_EQ(FormatNumber(0.1), "0.1");
    // The shortest of 15 to 17 digits that reads back to the same double.
    EXPECT_EQ(FormatNumber(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.30000000000000004");
}

TEST(ModelMetadata, TrailerAnnouncesTheTextLength) {
    std::string bytes = PackCallerBytes("abc");
    ASSERT_EQ(bytes.size(), 3u + kTrailerSize);
    const auto* trailer = reinterpret_cast<const unsigned char*>(bytes.data() + 3);
    EXPECT_EQ(trailer[0], 3);
    EXPECT_EQ(trailer[1], 0);
    EXPECT_EQ(std::string(bytes.data() + 7, 8), "KORUMETA");
    EXPECT_EQ(ReadTrailer(trailer), 3);
    std::string longer = PackCallerBytes(std::string(0x10203, 'x'));
    EXPECT_EQ(ReadTrailer(reinterpret_cast<const unsigned char*>(longer.data() + 0x10203)), 0x10203);
    unsigned char foreign[kTrailerSize] = {3, 0, 0, 0, 'K', 'O', 'R', 'U', 'M', 'E', 'T', 'X'};
    EXPECT_EQ(ReadTrailer(foreign), -1);
}

TEST(ModelMetadata, DamagedBlocksAreRefusedWithTheReason) {
    std::string good = EncodeMetadata(Sample());
    EXPECT_EQ(DecodeError("koru-model 2\n"), "m.net: damaged model metadata: it does not start with 'koru-model 1'");
    std::string noTarget = good;
    noTarget.erase(noTarget.find("target=kind%2Cof\n"), 18);
    EXPECT_EQ(DecodeError(noTarget), "m.net: damaged model metadata: the 'target' entry is missing");
    std::string badNumber = good;
    badNumber.replace(badNumber.find("target.scale=3"), 14, "target.scale=x");
    EXPECT_EQ(DecodeError(badNumber), "m.net: damaged model metadata: 'target.scale' holds 'x', not a number");
    std::string zeroScale = good;
    zeroScale.replace(zeroScale.find("scaling.scale=2,"), 16, "scaling.scale=0,");
    EXPECT_EQ(DecodeError(zeroScale), "m.net: damaged model metadata: an input scale of 0");
    std::string shortScaling = good;
    shortScaling.replace(shortScaling.find("scaling.scale=2,"), 16, "scaling.scale=");
    EXPECT_EQ(DecodeError(shortScaling), "m.net: damaged model metadata: the input columns and their scaling do not match");
    EXPECT_EQ(DecodeError(good + "no equals sign\n"), "m.net: damaged model metadata: line 'no equals sign' has no '='");
    // Entries of a later version are skipped; their settings are kept.
    EXPECT_EQ(DecodeError(good + "future.key=1\n"), "no error");
    EXPECT_NE(EncodeMetadata(DecodeMetadata(good + "set.future=a%2Cb\n", "m.net")).find("set.future=a%2Cb\n"),
              std::string::npos);
    std::string noUnits = good;
    noUnits.erase(noUnits.find("set.lvq.unit_classes="), 31);
    EXPECT_EQ(DecodeError(noUnits), "m.net: damaged model metadata: the model's metadata has no 'lvq.unit_classes' entry");
}

TEST(ModelMetadata, TypedReadsOfSettings) {
    MetadataEntries entries("m.net");
    entries.Put("n", "1,x");
    EXPECT_THROW(entries.Integers("n"), CliError);
    EXPECT_THROW(entries.Number("absent"), CliError);
    entries.Put("n", 2.5);
    EXPECT_EQ(entries.Text("n"), "2.5");
    EXPECT_THROW(entries.Integer("n"), CliError);
    ASSERT_EQ(entries.Items().size(), 1u);  // Put replaces
    entries.Put("m", "nan");
    EXPECT_TRUE(std::isnan(entries.NumberOr("m", 0.0)));  // a recorded measure of a diverged net
    EXPECT_THROW(entries.Number("m"), CliError);          // never a number a recall needs
}

}  // namespace
}  // namespace koru_cli
