#pragma once

// Shared by the capture dialog tests: a message sink that records instead of
// showing boxes, a main window stand-in, a settings file of the test's own,
// and screenshots.

#include "base/Settings.h"
#include "device/CaptureHost.h"
#include "device/MessageSink.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quenda::test {

// Records every message; the download's worker threads call it too.
class RecordingSink final : public MessageSink {
public:
    void ShowMessage(std::string_view text) override {
        std::lock_guard lock(mutex_);
        messages_.emplace_back(text);
    }
    void ShowDeleting(bool visible) override {
        std::lock_guard lock(mutex_);
        deleting_.push_back(visible);
    }
    std::vector<std::string> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    bool Saw(const std::string& text) const {
        const auto all = Messages();
        return std::find(all.begin(), all.end(), text) != all.end();
    }
    std::vector<bool> Deleting() const {
        std::lock_guard lock(mutex_);
        return deleting_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        messages_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::vector<bool> deleting_;
};

// The main window's part: the two greying flags and the display mode, kept
// the way the main window keeps them.
class FakeHost final : public CaptureHost {
public:
    void CloseDocumentsAndResetMenus() override {
        calls.push_back("close-reset");
        otherIdUnavailable = noData = 1;
        mode = 0;
    }
    void EnableDataCommands() override { otherIdUnavailable = noData = 0; }
    void DisableDataCommands() override {
        calls.push_back("disable");
        otherIdUnavailable = noData = 1;
    }
    bool ViewShown() const override { return mode != 0; }
    void OpenTrendDocument() override {
        calls.push_back("trend");
        mode = 1;
    }
    std::string ReportTitleText() const override { return "Report Title"; }
    void DownloadKept(const std::filesystem::path& folder) override { kept.push_back(folder); }

    std::vector<std::string> calls;
    std::vector<std::filesystem::path> kept;  // every folder the dialog said it kept
    int otherIdUnavailable = 1;
    int noData = 1;
    int mode = 0;
};

// A settings file in a directory of its own.
struct TempSettings {
    QTemporaryDir dir;
    std::unique_ptr<Settings> settings =
        std::make_unique<Settings>(std::filesystem::path(dir.path().toStdString()) / "Quenda.ini");
};

inline void SaveScreenshot(QWidget& widget, const QString& name) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    widget.grab().save(dir + QLatin1Char('/') + name);
}

}  // namespace quenda::test
