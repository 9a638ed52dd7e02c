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
    // The refused port by its device node; the dialout group only where a USB
    // serial adapter was refused, not the board's own port of the numbered pass.
    const std::string dialout =
        " To use serial ports, add yourself to the dialout group (sudo adduser $USER dialout), then log in again.";
    const struct {
        const char* port;
        std::string said;
    } refused[] = {
        {"ttyUSB0", "\nAccess to /dev/ttyUSB0 was refused." + dialout},
        {"ttyACM2", "\nAccess to /dev/ttyACM2 was refused." + dialout},
        {"COM1", "\nAccess to /dev/ttyS0 was refused."},
        {"ttyS4", "\nAccess to /dev/ttyS4 was refused."},
        {"/dev/ttyUSB1", "\nAccess to /dev/ttyUSB1 was refused." + dialout},
    };
    for (const auto& c : refused)
        EXPECT_EQ(NoticeText({NoticeKind::NoPort, 0, c.port}), std::string(msg::kNoPort) + c.said) << c.port;
}

TEST(Notice, EachFixedTextGoesThroughTheFrontEndsTable) {
    const TextLookup shout = [](std::string_view text) { return "<" + std::string(text) + ">"; };
    EXPECT_EQ(NoticeText({NoticeKind::Connected, 5}, shout), "<Connect succeed! Total> 5 <Frames!>");
    EXPECT_EQ(NoticeText({NoticeKind::NoPort, 0, "ttyS1"}, shout)
                  .find("<" + std::string(msg::kNoPort) + ">\n<Access to /dev/ttyS1 was refused.>"),
              0u);
}

}  // namespace
}  // namespace quenda
