#include "device/Notice.h"

#include "base/StringFormat.h"
#include "device/Messages.h"

namespace quenda {

namespace {

const char* BuiltInText(NoticeKind kind) {
    switch (kind) {
        case NoticeKind::NoPort: return msg::kNoPort;
        case NoticeKind::SyncError: return msg::kSyncError;
        case NoticeKind::NoData: return msg::kNoData;
        case NoticeKind::Connected: return msg::kConnectSucceedPrefix;
        case NoticeKind::WriteFailed: return msg::kWriteFailed;
        case NoticeKind::NotConnected: return msg::kNotConnected;
        case NoticeKind::ReadTimeout: return msg::kReadTimeout;
        case NoticeKind::Overflow: return msg::kOverflow;
        case NoticeKind::ReadFailed: return msg::kReadFailed;
        case NoticeKind::OutOfBuffer: return msg::kOutOfBuffer;
        case NoticeKind::NoMemory: return msg::kNoMemory;
        case NoticeKind::Deleted: return msg::kDeleted;
        case NoticeKind::DeleteError: return msg::kDeleteError;
        case NoticeKind::ClockSet: return msg::kClockSet;
        case NoticeKind::ClockError: return msg::kClockError;
        case NoticeKind::SingleIdDeleteRefused: return msg::kSingleIdDeleteRefused;
    }
    return "";
}

}  // namespace

std::string NoticeText(const Notice& notice, const TextLookup& lookUp) {
    auto text = [&](const char* builtIn) { return lookUp ? lookUp(builtIn) : std::string(builtIn); };
    std::string shown = text(BuiltInText(notice.kind));
    if (notice.kind == NoticeKind::Connected) {
        // "Connect succeed! Total" + " %d " + "Frames!"
        shown += " " + std::to_string(notice.totalFrames) + " " + text(msg::kConnectSucceedSuffix);
    } else if (notice.kind == NoticeKind::NoPort && !notice.refusedPort.empty()) {
        shown += "\n" + FillPlaceholders(text(msg::kDialoutHint), {notice.refusedPort});
    }
    return shown;
}

}  // namespace quenda
