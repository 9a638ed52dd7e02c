// The recorder work reports kinds; the words are the recorder program's own.
#include "device/Messages.h"
#include "device/Notice.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

TEST(Notice, EveryKindInTheRecorderProgramsWords) {
    const std::pair<NoticeKind, const char*> plain[] = {
        {NoticeKind::NoPort, "Can't find right COM or the device is power off !"},
        {NoticeKind::SyncError, "Synchronization error!"},
        {NoticeKind::NoData, "no data!"},
        {NoticeKind::WriteFailed, "write com command failed!"},
        {NoticeKind::NotConnected, "No Connected, please connect device!"},
        {NoticeKind::ReadTimeout, "Read data timeout,please retry"},
        {NoticeKind::Overflow, "Data overflow!Some data discarded"},
        {NoticeKind::ReadFailed, "read com failed!"},
        {NoticeKind::OutOfBuffer, "read data out of buffer!"},
        {NoticeKind::NoMemory, "new memory err!"},
        {NoticeKind::Deleted, "Device data cleared !"},
        {NoticeKind::DeleteError, "Delete Data Error !"},
        {NoticeKind::ClockSet, "Set Date and Time Succeed !"},
        {NoticeKind::ClockError, "Set Date and Time Error !"},
        {NoticeKind::SingleIdDeleteRefused, msg::kSingleIdDeleteRefused},
    };
    for (const auto& [kind, text] : plain) EXPECT_EQ(NoticeText(kind), text);
    EXPECT_EQ(NoticeText({NoticeKind::Connected, 22}), "Connect succeed! Total 22 Frames!");
    EXPECT_EQ(NoticeText({NoticeKind::NoPort, 0, "ttyUSB0"}),
              std::string(msg::kNoPort) +
                  "\nAccess to ttyUSB0 was refused. To use serial ports, add yourself to the dialout group "
                  "(sudo adduser $USER dialout), then log in again.");
}

TEST(Notice, EachFixedTextGoesThroughTheFrontEndsTable) {
    const TextLookup shout = [](std::string_view text) { return "<" + std::string(text) + ">"; };
    EXPECT_EQ(NoticeText({NoticeKind::Connected, 5}, shout), "<Connect succeed! Total> 5 <Frames!>");
    EXPECT_EQ(NoticeText({NoticeKind::NoPort, 0, "ttyS1"}, shout)
                  .find("<" + std::string(msg::kNoPort) + ">\n<Access to ttyS1"),
              0u);
}

}  // namespace
}  // namespace quenda
