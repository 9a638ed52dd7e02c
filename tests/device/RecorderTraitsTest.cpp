// What each data format code decides, in one table: every code a recorder is
// known to report, and unknown ones.
#include "device/RecorderTraits.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

using namespace std::chrono_literals;

constexpr auto kLE = SampleByteOrder::LittleEndian;
constexpr auto kBE = SampleByteOrder::BigEndian;
constexpr auto kOld = RecordOrder::OldestFirst;
constexpr auto kNew = RecordOrder::NewestFirst;

TEST(RecorderTraits, EveryKnownFormatCodeAndAnUnknownOne) {
    struct Row {
        int code;
        RecorderTraits expected;
    };
    const Row rows[] = {
        //      sample order, record order, frame no. low first, single-ID delete, poll gap
        {0, {kLE, kOld, false, false, 9ms}}, {1, {kBE, kNew, false, true, 6ms}},   {2, {kLE, kOld, false, true, 9ms}},
        {3, {kBE, kNew, true, false, 6ms}},  {4, {kBE, kNew, false, false, 6ms}},  {11, {kLE, kNew, false, false, 9ms}},
        {14, {kLE, kOld, false, true, 9ms}}, {99, {kLE, kOld, false, false, 9ms}}, {-1, {kLE, kOld, false, false, 9ms}},
    };
    for (const Row& row : rows) EXPECT_EQ(TraitsFor(row.code), row.expected) << "format code " << row.code;
    EXPECT_EQ(TraitsFor(0), RecorderTraits{});
}

}  // namespace
}  // namespace quenda
