#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>

namespace quenda {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

void ParseFlag(CommandLineInfo& info, const std::string& flag) {
    using Command = CommandLineInfo::ShellCommand;
    const std::string f = Lower(flag);
    if (f == "pt") {
        info.shellCommand = Command::FilePrintTo;
    } else if (f == "p") {
        info.shellCommand = Command::FilePrint;
    } else if (f == "dde") {
        info.shellCommand = Command::Dde;
    } else if (f == "automation" || f == "embedding") {
        info.shellCommand = Command::Automation;
    } else if (f == "register" || f == "regserver") {
        info.shellCommand = Command::Register;
    } else if (f == "unregister" || f == "unregserver") {
        info.shellCommand = Command::Unregister;
    }
}

void ParseParameter(CommandLineInfo& info, const std::string& param) {
    if (info.fileName.empty()) {
        info.fileName = param;
    } else if (info.shellCommand == CommandLineInfo::ShellCommand::FilePrintTo) {
        if (info.printerName.empty()) {
            info.printerName = param;
        } else if (info.driverName.empty()) {
            info.driverName = param;
        } else if (info.portName.empty()) {
            info.portName = param;
        }
    }
}

}  // namespace

CommandLineInfo ParseCommandLine(const std::vector<std::string>& args) {
    CommandLineInfo info;
    for (const std::string& arg : args) {
        if (arg.starts_with('-')) {
            ParseFlag(info, arg.substr(arg.starts_with("--") ? 2 : 1));
        } else if (!arg.empty()) {
            ParseParameter(info, arg);
        }
    }
    return info;
}

}  // namespace quenda
