#pragma once

#include <climits>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quenda {

// The keys of the settings file and the values a reader gets when a key is
// missing. The ranges are enforced only by the dialogs that write them; a value
// put into the file by hand is returned unchanged.
namespace settings_key {
inline constexpr const char* kSaturationsHigh = "SaturationsHigh";        // SpO2 %, 40..100, above SaturationsLow
inline constexpr const char* kSaturationsLow = "SaturationsLow";          // SpO2 %, 40..100
inline constexpr const char* kPrHigh = "PrHigh";                          // bpm, 15..300, above PrLow
inline constexpr const char* kPrLow = "PrLow";                            // bpm, 15..300
inline constexpr const char* kDesaturationsEvent = "DesaturationsEvent";  // SpO2 fall in %, 1..20
inline constexpr const char* kPulseEvent = "PulseEvent";                  // pulse fall in bpm, 1..20
inline constexpr const char* kUnitSetup = "UnitSetup";                    // 0 inch/pound, anything else metric
inline constexpr const char* kDefaultCom = "DefaultCOM";                  // port the recorder last answered on
inline constexpr const char* kPort = "port";                              // manual port box of the capture dialog
inline constexpr const char* kArtefactsAside = "ArtefactsAside";          // 0 raw clinical profile, else default
inline constexpr const char* kOximeterAveraging = "OximeterAveraging";    // seconds, 0 not stated
// The library of nights Options > Library... chose: a file, or a server's
// postgresql:// URI (never with a password); empty or missing: the default.
inline constexpr const char* kNightsLibrary = "NightsLibrary";
}  // namespace settings_key

namespace settings_default {
inline constexpr int kSaturationsHigh = 94;
inline constexpr int kSaturationsLow = 88;
inline constexpr int kPrHigh = 150;
inline constexpr int kPrLow = 60;
inline constexpr int kDesaturationsEvent = 4;
inline constexpr int kPulseEvent = 6;
inline constexpr int kUnitSetup = 0;
inline constexpr const char* kDefaultCom = "";
inline constexpr const char* kPort = "";
inline constexpr int kArtefactsAside = 1;
inline constexpr int kOximeterAveraging = 0;
}  // namespace settings_default

// DefaultCOM is read into a buffer of this size. A longer buffer: the
// remembered port may be any device path.
inline constexpr int kDefaultComBuffer = PATH_MAX;

// Access to the settings file: an INI file of "[section]" and "key=value" lines,
// of which the program uses the section "setup".
//
// Nothing is cached: every read opens the file at that moment, so what one
// dialog writes is what the next computation reads. A relative file name is
// resolved against the working directory of each call, so a program started
// from another directory uses that directory's file. Keys and sections match
// without regard to case.
//
// Writes go to the file at once and replace it atomically; an existing line is
// updated in place and every other line, comments included, is kept as it was.
class Settings {
public:
    static constexpr const char* kDefaultFile = ".//Quenda.ini";
    static constexpr const char* kSection = "setup";
    // No file the program or a person writes comes near this: a longer one
    // is no settings file (and a device or a FIFO none at all), and reads as
    // an unreadable one.
    static constexpr std::size_t kMaxFileSize = 1024 * 1024;

    explicit Settings(std::filesystem::path file = kDefaultFile);

    // The value's leading number: "12abc" gives 12, " -5" gives -5. A missing
    // file, a missing key or a value not starting with a number gives
    // defaultValue; numbers beyond int saturate.
    int ReadInt(std::string_view key, int defaultValue) const;

    // The value, or defaultValue when the key or the file is missing, cut to
    // bufferSize - 1 bytes (nothing for a size of 0 or 1).
    std::string ReadString(std::string_view key, std::string_view defaultValue, std::size_t bufferSize) const;

    // Creates the file or the section when missing. False, with LastError set,
    // when the file cannot be replaced (the old file is then untouched) or when
    // the key or value cannot be stored (a line break, a key with '=').
    bool WriteString(std::string_view key, std::string_view value);
    bool WriteInt(std::string_view key, int value);

    const std::filesystem::path& File() const { return file_; }

    // Why the last write failed; empty after a successful one.
    std::string LastError() const { return lastError_; }

private:
    std::filesystem::path file_;
    std::string lastError_;
};

// The same reads and writes on the file's content, without the file: the
// value as stored (quotes removed), nothing when the key is missing; and the
// content with one entry set. The key must be trimmed and storable (see
// WriteString).
std::optional<std::string> SettingsValue(std::string_view content, std::string_view key);
std::string SettingsWithEntry(std::string_view content, std::string_view key, std::string_view value);
// How ReadInt reads a value: its leading number, saturating beyond int;
// nothing when it does not start with one.
std::optional<int> LeadingInt(std::string_view text);

}  // namespace quenda
