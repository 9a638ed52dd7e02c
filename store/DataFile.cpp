#include "store/DataFile.h"

#include "base/AtomicFile.h"
#include "base/InputFile.h"
#include "base/StringFormat.h"
#include "base/TextCodec.h"
#include "store/RecordingStore.h"

#include <algorithm>
#include <cstring>

namespace quenda {

namespace {

constexpr std::uint8_t kLongLength = 0xFF;
constexpr std::uint16_t kWideMarker = 0xFFFE;
constexpr std::uint16_t kHugeLength = 0xFFFF;

FileResult Failure(std::string message, std::string detail = {}) {
    return FileResult{false, std::move(message), std::move(detail)};
}

FileResult PastEnd(std::string_view path) { return Failure(FillPlaceholders(data_file_message::kPastEnd, {path})); }

// Bounds-checked little-endian reads over the file's bytes.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Remaining() const { return bytes_.size() - pos_; }

    const std::uint8_t* Take(std::size_t n) {
        if (Remaining() < n) return nullptr;
        const auto* p = bytes_.data() + pos_;
        pos_ += n;
        return p;
    }
    bool U8(std::uint8_t& v) {
        const auto* p = Take(1);
        if (p) v = p[0];
        return p != nullptr;
    }
    bool U16(std::uint16_t& v) {
        const auto* p = Take(2);
        if (p) v = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
        return p != nullptr;
    }
    bool U32(std::uint32_t& v) {
        const auto* p = Take(4);
        if (p) v = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
        return p != nullptr;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

struct TitleLength {
    std::uint32_t units = 0;
    bool wide = false;
};

// Reads the length prefix; false when the file ends inside it. Inside the wide
// form a 16-bit 0xFFFE is an ordinary length: the marker appears only once.
bool ReadTitleLength(ByteReader& in, TitleLength& length) {
    std::uint8_t byte = 0;
    std::uint16_t word = 0;
    if (!in.U8(byte)) return false;
    if (byte < kLongLength) {
        length.units = byte;
        return true;
    }
    if (!in.U16(word)) return false;
    if (word == kWideMarker) {
        length.wide = true;
        if (!in.U8(byte)) return false;
        if (byte < kLongLength) {
            length.units = byte;
            return true;
        }
        if (!in.U16(word)) return false;
    }
    if (word < kHugeLength) {
        length.units = word;
        return true;
    }
    return in.U32(length.units);
}

bool ReadTitle(ByteReader& in, std::string& title) {
    TitleLength length;
    if (!ReadTitleLength(in, length)) return false;
    const std::size_t size = std::size_t{length.units} * (length.wide ? 2 : 1);
    const auto* text = in.Take(size);
    if (text == nullptr) return false;
    if (!length.wide) {
        title = Windows1252ToUtf8(std::string_view(reinterpret_cast<const char*>(text), size));
        return true;
    }
    std::u16string units(length.units, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(text[2 * i] | (text[2 * i + 1] << 8));
    }
    title = Utf16ToUtf8(units);
    return true;
}

void PutU16(std::uint8_t*& p, std::uint16_t v) {
    *p++ = static_cast<std::uint8_t>(v);
    *p++ = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(std::uint8_t*& p, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) *p++ = static_cast<std::uint8_t>(v >> shift);
}

std::size_t TitlePrefixSize(std::size_t length) {
    if (length < kLongLength) return 1;
    if (length < kWideMarker) return 3;
    return 7;
}

void PutTitlePrefix(std::uint8_t*& p, std::uint32_t length) {
    if (length < kLongLength) {
        *p++ = static_cast<std::uint8_t>(length);
    } else if (length < kWideMarker) {
        // 0xFFFE would read as the wide marker, so lengths from there on take the 32-bit form.
        *p++ = kLongLength;
        PutU16(p, static_cast<std::uint16_t>(length));
    } else {
        *p++ = kLongLength;
        PutU16(p, kHugeLength);
        PutU32(p, length);
    }
}

FileResult ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
    InputFile file(path, kMaxDataFileSize);
    if (file.ReadAll(bytes)) return {};
    if (file.Problem() != InputProblem::TooLarge) return Failure(data_file_message::kCantOpen, file.Why());
    return Failure(FillPlaceholders(data_file_message::kTooLarge,
                                    {path.string(), std::to_string(kMaxDataFileSize), std::to_string(kMaxSamples)}));
}

}  // namespace

std::vector<std::uint8_t> EncodeDataFile(std::uint8_t id, std::span<const SampleRecord> records,
                                         std::string_view titleUtf8) {
    const std::string title = Utf8ToWindows1252(titleUtf8);
    // A title beyond 4 GiB cannot be described by the format; nothing the program shows comes close.
    const std::size_t titleSize = std::min<std::size_t>(title.size(), UINT32_MAX);
    std::vector<std::uint8_t> bytes(kDataFileHeaderSize + kDataFileRecordSize * records.size() +
                                    TitlePrefixSize(titleSize) + titleSize);
    std::uint8_t* p = bytes.data();
    *p++ = id;
    PutU32(p, static_cast<std::uint32_t>(records.size()));
    for (const SampleRecord& r : records) {
        p[0] = r.id;
        p[1] = r.year;
        p[2] = r.month;
        p[3] = r.day;
        p[4] = r.hour;
        p[5] = r.minute;
        p[6] = r.second;
        p[7] = r.spo2;
        p[8] = r.pulseRate;
        p[9] = static_cast<std::uint8_t>(r.auxValue);
        p[10] = static_cast<std::uint8_t>(r.auxValue >> 8);
        p += kDataFileRecordSize;
    }
    PutTitlePrefix(p, static_cast<std::uint32_t>(titleSize));
    std::memcpy(p, title.data(), titleSize);
    return bytes;
}

FileResult ParseDataFile(std::span<const std::uint8_t> bytes, DataFileContents& out, std::string_view pathForMessages) {
    ByteReader in(bytes);
    std::uint8_t id = 0;
    std::uint32_t rawCount = 0;
    if (!in.U8(id) || !in.U32(rawCount)) return PastEnd(pathForMessages);
    const auto count = static_cast<std::int32_t>(rawCount);
    if (count < 0 || count > kMaxSamples) {
        return Failure(FillPlaceholders(data_file_message::kBadCount,
                                        {pathForMessages, std::to_string(count), std::to_string(kMaxSamples)}));
    }
    const auto* raw = in.Take(kDataFileRecordSize * static_cast<std::size_t>(count));
    if (raw == nullptr) return PastEnd(pathForMessages);

    DataFileContents contents;
    contents.id = id;
    contents.records.resize(static_cast<std::size_t>(count));
    for (SampleRecord& r : contents.records) {
        r.id = raw[0];
        r.year = raw[1];
        r.month = raw[2];
        r.day = raw[3];
        r.hour = raw[4];
        r.minute = raw[5];
        r.second = raw[6];
        r.spo2 = raw[7];
        r.pulseRate = raw[8];
        r.auxValue = static_cast<std::uint16_t>(raw[9] | (raw[10] << 8));
        raw += kDataFileRecordSize;
    }
    if (!ReadTitle(in, contents.title)) return PastEnd(pathForMessages);
    out = std::move(contents);
    return {};
}

FileResult WriteDataFile(const std::filesystem::path& path, std::uint8_t id, std::span<const SampleRecord> records,
                         std::string_view titleUtf8) {
    const auto bytes = EncodeDataFile(id, records, titleUtf8);
    std::string error;
    if (!WriteFileAtomically(path, std::span<const std::uint8_t>(bytes), error)) {
        return Failure(data_file_message::kCantCreate, std::move(error));
    }
    return {};
}

FileResult ReadDataFile(const std::filesystem::path& path, DataFileContents& out) {
    std::vector<std::uint8_t> bytes;
    if (auto result = ReadWholeFile(path, bytes); !result) return result;
    return ParseDataFile(bytes, out, path.string());
}

FileResult SaveCurrentDataSet(const std::filesystem::path& path, const RecordingStore& store,
                              std::string_view titleUtf8) {
    if (store.CurrentSampleCount < 0 || store.CurrentSampleCount > kMaxSamples) {
        return Failure(data_file_message::kCantCreate,
                       "current sample count " + std::to_string(store.CurrentSampleCount) + " is out of range");
    }
    const auto records = store.CurrentSamples();
    const std::uint8_t id = records.empty() ? 0 : records.front().id;
    return WriteDataFile(path, id, records, titleUtf8);
}

FileResult LoadDataFileIntoStore(const std::filesystem::path& path, RecordingStore& store, std::string& titleOut) {
    DataFileContents contents;
    if (auto result = ReadDataFile(path, contents); !result) return result;
    store.SetCurrentDataSet(contents.id, contents.records);
    titleOut = std::move(contents.title);
    return {};
}

}  // namespace quenda
