// Malformed recordings: each is refused with an InputError that names the file and
// the problem, and nothing is read outside the file.

#include <gtest/gtest.h>

#include <functional>

#include "input/recording.h"
#include "input/recording_writer.h"
#include "input_test_support.h"

namespace waveharm {
namespace {

using testing::Bytes;

RecordingContent contentOf(const std::string& model) {
    RecordingContent content;
    content.model = model;
    content.totalSamples = 50;
    for (int c = 0; c < 3; ++c) content.channels.push_back(ChannelSignal{{{1, 500, 30.0 * c}}});
    return content;
}

Bytes valid(const std::string& model) { return encodeRecording(contentOf(model)); }

Bytes edited(const std::string& model, const std::function<void(Bytes&)>& edit) {
    Bytes b = valid(model);
    edit(b);
    return b;
}

std::size_t chainSection(const Bytes& b, const char* tag) { return testing::findTag(b, tag); }

struct BadInput {
    const char* name;
    std::function<Bytes()> bytes;
    const char* reason;  ///< part of the expected reason
    bool layout8840 = false;
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

class BadInputs : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, AreRefusedWithTheirReason) {
    const BadInput& c = GetParam();
    const Bytes bytes = c.bytes();
    ReadOptions options;
    options.wevFiles = c.layout8840;
    try {
        RecorderFileHeader h = parseHeader(bytes, options, "bad.MEM");
        decodeSamples(bytes, h, options, "bad.MEM");
        FAIL() << "accepted";
    } catch (const InputError& e) {
        EXPECT_EQ(e.file(), "bad.MEM");
        EXPECT_NE(e.reason().find(c.reason), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("bad.MEM"), std::string::npos);
        // The offset names a byte of the file (or its end), or no position at all.
        EXPECT_GE(e.offset(), -1);
        EXPECT_LE(e.offset(), std::int64_t(bytes.size())) << e.what();
    }
}

Bytes minusOne(Bytes b) {
    b.pop_back();
    return b;
}

const BadInput kBadInputs[] = {
    {"Empty", [] { return Bytes{}; }, "shorter than a recorder header"},
    {"Garbage", [] { return Bytes(700, std::byte{0xAB}); }, "not a recognised"},
    {"TruncatedHeader",
     [] {
         Bytes b = valid("8841");
         b.resize(300);
         return b;
     },
     "shorter than a recorder header"},
    {"FrameFileMinusOneByte", [] { return minusOne(valid("8841")); }, "declares 50 samples"},
    {"Family47MinusOneByte", [] { return minusOne(valid("8847")); }, "declares 50 samples"},
    {"BlockCountZero",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 1, "0"); }); },
     "header block count 0"},
    {"BlockCountAbsurd",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 1, "30000"); }); },
     "header block count 30000"},
    {"BlockCountNotANumber",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 1, "x"); }); },
     "header block count 0"},
    {"BlockCountBeyondFile",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 1, "9"); }); },
     "longer than the file"},
    {"NoChannelInUse",
     [] {
         return edited("8841", [](Bytes& b) {
             for (int k = 1; k <= 3; ++k) testing::putField(b, k, 2, "OFF");
         });
     },
     "no channel was recorded"},
    {"OversizedSampleCount",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 6, "999999999999"); }); },
     "declares 999999999999 samples"},
    {"ZeroSampleCount",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 6, "0"); }); },
     "sample count 0"},
    {"ZeroTimeAxis",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 11, "0ms"); }); },
     "gives no sampling rate"},
    {"UnparsableTimeAxis",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 11, "fast"); }); },
     "gives no sampling rate"},
    {"ZeroPointsPerDivision",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 10, "0"); }); },
     "gives no sampling rate"},
    {"ZeroCountsPerDivision",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 14, "0"); }); },
     "counts per division 0"},
    {"BadDate",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 7, "18-13-45"); }); },
     "measurement date \"18-13-45\""},
    {"BadTime",
     [] { return edited("8841", [](Bytes& b) { testing::putField(b, 0, 8, "25:00:00"); }); },
     "start time \"25:00:00\""},
    {"Missing886xInformationTag",
     [] { return edited("8860", [](Bytes& b) { testing::putText(b, 4 * 512, "LWBBXINF"); }); },
     "LWBBWINF"},
    {"ChainPastTheEnd",
     [] {
         // The file ends right after the last channel description.
         return edited("8860", [](Bytes& b) { b.resize(chainSection(b, "SXACAEND")); });
     },
     "past the end"},
    {"LoopingChain",
     [] {
         return edited("8860",
                       [](Bytes& b) { testing::putLe(b, chainSection(b, "SXACAHDR") + 12, 0, 2); });
     },
     "makes the chain loop"},
    {"BackwardChain",
     [] {
         return edited("8860", [](Bytes& b) {
             testing::putLe(b, chainSection(b, "SXACAHDR") + 12, 0xFFE0, 2);  // -32
         });
     },
     "makes the chain loop"},
    {"MissingDataTag",
     [] {
         return edited("8860",
                       [](Bytes& b) { b[testing::findTag(b, "LWBBWDAT")] = std::byte{'X'}; });
     },
     "LWBBWDAT"},
    {"MissingBlockTag",
     [] {
         return edited("8860",
                       [](Bytes& b) { b[testing::findTag(b, "LXIIWBLK")] = std::byte{'X'}; });
     },
     "LXIIWBLK"},
    {"DataSectionOutsideFile",
     [] {
         return edited("8860", [](Bytes& b) { testing::putLe(b, 4 * 512 + 16, 0x7FFFFFF0, 4); });
     },
     "data section lies outside the file"},
    {"NegativeDataDistance",
     [] {
         return edited("8860", [](Bytes& b) { testing::putLe(b, 4 * 512 + 16, 0x80000000u, 4); });
     },
     "data section lies outside the file"},
    {"FirstSampleOutsideFile",
     [] {
         return edited("8860", [](Bytes& b) {
             testing::putLe(b, testing::findTag(b, "LXIIWBLK") + 16, 0x10000000, 4);
         });
     },
     "first sample at byte"},
    {"Family886xMinusOneByte", [] { return minusOne(valid("8860")); }, "declared samples"},
    {"FewerDescriptionsThanChannels",
     [] {
         return edited("8860", [](Bytes& b) {
             const std::size_t third = testing::findTag(b, "SXACAEND") - 112;
             b[third] = std::byte{'Z'};
         });
     },
     "only 2 channel descriptions for 3 channels"},
    {"ZeroScale",
     [] {
         return edited("8860", [](Bytes& b) {
             testing::putLe(b, chainSection(b, "SXACAWMN") + 16 + 49, 0, 4);
         });
     },
     "no usable scale"},
    {"Not8840", [] { return valid("8841"); }, "not a recognised 8840", true},
    {"Short8840", [] { return Bytes(200, std::byte{' '}); }, "shorter than an 8840 header", true},
    {"Layout8840MinusOneByte", [] { return minusOne(valid("8840")); }, "declared samples", true},
    {"Layout8840NoChannels",
     [] { return edited("8840", [](Bytes& b) { testing::putText(b, 116, "00000000"); }); },
     "no channel was recorded", true},
    {"Layout8840BlockCountZero",
     [] { return edited("8840", [](Bytes& b) { testing::putText(b, 15, "0 "); }); },
     "header block count 0", true},
    {"Layout8840BadDate",
     [] { return edited("8840", [](Bytes& b) { testing::putText(b, 24, "18-02-30"); }); },
     "cannot be converted", true},
};

INSTANTIATE_TEST_SUITE_P(Recordings, BadInputs, ::testing::ValuesIn(kBadInputs),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(BadInputs, ValidFilesOfTheTableAreAccepted) {
    for (const char* model : {"8841", "8847", "8860"}) {
        const Bytes b = valid(model);
        RecorderFileHeader h = parseHeader(b, {}, "ok.MEM");
        EXPECT_EQ(decodeSamples(b, h, {}, "ok.MEM").totalSamples(), 50) << model;
    }
    ReadOptions o;
    o.wevFiles = true;
    const Bytes b = valid("8840");
    RecorderFileHeader h = parseHeader(b, o, "ok.wev");
    EXPECT_EQ(decodeSamples(b, h, o, "ok.wev").channelCount(), 3);
}

TEST(BadInputs, UnreadableFilesNameTheirPath) {
    try {
        readRecording("/nonexistent/folder/x.MEM", {});
        FAIL();
    } catch (const InputError& e) {
        EXPECT_EQ(e.reason(), "cannot be opened");
        EXPECT_EQ(e.offset(), -1);
    }
    EXPECT_THROW(readRecording(std::filesystem::temp_directory_path(), {}), InputError);
}

}  // namespace
}  // namespace waveharm
