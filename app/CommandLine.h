#pragma once

#include <string>
#include <vector>

namespace quenda {

// The command line, read with the framework's standard rules. The program
// starts from "nothing", so a bare file name opens nothing; only the flags
// change what start-up does.
struct CommandLineInfo {
    enum class ShellCommand {
        Nothing,      // no arguments, or only file names
        FilePrint,    // -p FILE: print FILE, then end
        FilePrintTo,  // -pt FILE PRINTER [DRIVER [PORT]]: the same on PRINTER
        Dde,          // -dde: started by the shell to open a file by message
        Automation,   // -Automation, -Embedding: started as a server
        Register,     // -Register, -Regserver
        Unregister,   // -Unregister, -Unregserver
    };
    ShellCommand shellCommand = ShellCommand::Nothing;
    std::string fileName;
    std::string printerName;
    std::string driverName;
    std::string portName;
};

// `args` without the program name. A parameter starting with '-' or '--' is a
// flag, matched without regard to case; unknown flags are ignored. ('/' does
// not start a flag here: it starts an absolute path.) The first
// other parameter is the file name; after -pt the next three are the printer,
// driver and port.
CommandLineInfo ParseCommandLine(const std::vector<std::string>& args);

}  // namespace quenda
