#include "tools/sim/Options.h"

#include <gtest/gtest.h>

namespace quenda::sim {
namespace {

TEST(SimOptions, IdListUnitsAndLimits) {
    std::vector<IdPlan> ids;
    std::string error;
    ASSERT_TRUE(ParseIdList("1:8h,5:30m,12:500,127:90s", ids, error)) << error;
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_EQ(ids[0].samples, 28'800);
    EXPECT_EQ(ids[1].samples, 1'800);
    EXPECT_EQ(ids[2].samples, 500);
    EXPECT_EQ(ids[3].id, 127);
    EXPECT_EQ(ids[3].samples, 90);

    ASSERT_TRUE(ParseIdList("", ids, error));
    EXPECT_TRUE(ids.empty()) << "an empty recorder";
    ASSERT_TRUE(ParseIdList("3:144h", ids, error));
    ASSERT_TRUE(ParseIdList("1:14n,2:1n,3:30m", ids, error)) << error;
    EXPECT_EQ(ids[0].nights, 14);
    EXPECT_EQ(ids[0].samples, NightsPlan(1, 14).samples);
    EXPECT_EQ(ids[1].nights, 1);
    EXPECT_EQ(ids[2].nights, 0) << "one recording without a break";

    for (const char* bad :
         {"0:5", "128:5", "1:0", "1:145h", "1", "x:5", "1:5d", "1:5,", "1:-5", "1:0n", "1:n", "1:2.5n", "1:40n"}) {
        EXPECT_FALSE(ParseIdList(bad, ids, error)) << bad;
    }
}

TEST(SimOptions, FaultsCombine) {
    Faults f;
    std::string error;
    for (const char* fault :
         {"no-reply", "product-code:0x21", "drop-frame:3", "drop-frame:7", "garbage:0", "garbage:4:8", "end-early:9",
          "refuse:4", "silent-after:5", "oversize:2", "zero-totals", "delete-fails", "clock-fails"}) {
        ASSERT_TRUE(ParseFault(fault, f, error)) << fault << ": " << error;
    }
    EXPECT_TRUE(f.noReply && f.zeroTotals && f.deleteFails && f.clockFails);
    EXPECT_EQ(f.productCode, 0x21);
    EXPECT_EQ(f.dropFrame, (std::set<int>{3, 7}));
    EXPECT_EQ(f.garbage, (std::map<int, int>{{0, 3}, {4, 8}}));
    EXPECT_EQ(f.endEarly, std::set<int>{9});
    EXPECT_EQ(f.refuse, std::set<int>{4});
    EXPECT_EQ(f.silentAfter, 5);
    EXPECT_EQ(f.oversize, std::set<int>{2});
    for (const char* bad : {"drop-frame", "drop-frame:", "drop-frame:x", "no-reply:1", "product-code:70000",
                            "refuse:65532", "garbage:1:0", "garbage:1:65", "explode"}) {
        EXPECT_FALSE(ParseFault(bad, f, error)) << bad;
    }
}

TEST(SimOptions, CommandLine) {
    const ParsedOptions defaults = ParseOptions({});
    ASSERT_EQ(defaults.error, "");
    EXPECT_TRUE(defaults.options.pacing);
    EXPECT_EQ(defaults.options.recorder.device.productCode, 0x001E);
    EXPECT_EQ(defaults.options.recorder.device.dataFormatCode, 2);
    EXPECT_EQ(defaults.options.recorder.samplesPerFrame, 512);
    EXPECT_EQ(defaults.options.recorder.device.transferBaud, 115200u);
    ASSERT_EQ(defaults.options.recorder.ids.size(), 2u);
    EXPECT_EQ(defaults.options.recorder.ids[0].nights, 14) << "a fortnight of nights for ID 1";

    const ParsedOptions p = ParseOptions({"--link", "/tmp/x", "--format-code=3", "--baud", "9600", "--ids", "4:10m",
                                          "--start", "2030-01-02 03:04:05", "--fault", "refuse:1", "--fault=garbage:2",
                                          "--erase-delay-ms", "0", "--no-pacing", "--second-total", "3"});
    ASSERT_EQ(p.error, "");
    const RecorderConfig& rc = p.options.recorder;
    EXPECT_EQ(p.options.linkPath, "/tmp/x");
    EXPECT_EQ(rc.device.dataFormatCode, 3);
    EXPECT_EQ(rc.device.transferBaud, 9600u);
    ASSERT_EQ(rc.ids.size(), 1u);
    EXPECT_EQ(rc.ids[0].samples, 600);
    EXPECT_EQ(rc.start, (DateTime{2030, 1, 2, 3, 4, 5}));
    EXPECT_EQ(rc.faults.refuse, std::set<int>{1});
    EXPECT_EQ(rc.faults.garbage, (std::map<int, int>{{2, 3}}));
    EXPECT_EQ(rc.eraseDelay.count(), 0);
    EXPECT_EQ(rc.secondTotal, 3);
    EXPECT_FALSE(p.options.pacing);

    EXPECT_TRUE(ParseOptions({"--help"}).options.help);
}

TEST(SimOptions, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--baud"},
        {"--baud", "0"},
        {"--baud", "fast"},
        {"--no-pacing=1"},
        {"--samples-per-frame", "525"},
        {"--samples-per-frame", "0"},
        {"--ids", "1:1h,1:2h"},
        {"--start", "2026-12-06"},
        {"--start", "2100-01-01 00:00:00"},
        {"--product-code", "0x10000"},
        {"--link", ""},
        {"--fault", "drop-frame"},
        {"--ids", "1:144h,2:144h", "--samples-per-frame", "1"},
    };
    for (const auto& args : bad) {
        EXPECT_NE(ParseOptions(args).error, "") << args[0] << (args.size() > 1 ? " " + args[1] : "");
    }
}

}  // namespace
}  // namespace quenda::sim
