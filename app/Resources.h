#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quenda {

class ResourceLibrary;

// The resources of the main window, in the forms app/resources/ keeps them
// (README.md there describes the files).

struct MenuItemSpec {
    int id = 0;  // 0 for a separator
    QString text;
};

struct MenuPopupSpec {
    QString text;
    std::vector<MenuItemSpec> items;
};

struct MenuSpec {
    std::vector<MenuPopupSpec> popups;
};

struct ToolbarSpec {
    int buttonWidth = 0;  // pixels
    int buttonHeight = 0;
    QString image;             // one strip of button pictures, left to right
    std::vector<int> buttons;  // command ids; 0 is a gap and takes no picture
};

struct AcceleratorSpec {
    QString key;  // in QKeySequence's portable form, e.g. "Ctrl+N", "Shift+Del"
    int command = 0;
};

// Numbered strings and, for texts without a number, replacements keyed by the
// built-in text.
struct StringTable {
    std::map<int, std::string> strings;
    std::map<std::string, std::string> texts;
};

// Each returns nullopt, with `error` set, for malformed data.
std::optional<MenuSpec> ParseMenu(const QByteArray& json, QString* error = nullptr);
std::optional<ToolbarSpec> ParseToolbar(const QByteArray& json, QString* error = nullptr);
std::optional<std::vector<AcceleratorSpec>> ParseAccelerators(const QByteArray& json, QString* error = nullptr);
std::optional<StringTable> ParseStrings(const QByteArray& json, QString* error = nullptr);

// Where resources are read: the resource library's copy when the library is
// loaded and carries the file, else the built-in one. A library file that does
// not parse is reported on stderr and the built-in one serves instead.
class Resources {
public:
    static constexpr const char* kBuiltInRoot = ":/quenda/";

    explicit Resources(const ResourceLibrary* library = nullptr) : library_(library) {}

    // The file's bytes; empty when neither source has it.
    QByteArray Data(const QString& name) const;
    bool FromLibrary(const QString& name) const;

    MenuSpec Menu(int id) const;
    ToolbarSpec Toolbar(int id) const;
    std::vector<AcceleratorSpec> Accelerators(int id) const;
    // The built-in string table (the library's replaces it through UiText).
    static const StringTable& BuiltInStrings();
    // The built-in text of a numbered string, empty when there is none.
    static std::string BuiltInString(int id);
    // "bitmapNNN.png", "iconNNN.png", "menuNNN.json"...
    static QString BitmapName(int id);

private:
    template <typename T>
    T Load(const QString& name, std::optional<T> (*parse)(const QByteArray&, QString*)) const;

    const ResourceLibrary* library_;
};

// The text before the "\n" of a command's string (its status-bar prompt) and
// the text after it (its tool tip).
std::string PromptOf(const std::string& commandString);
std::string ToolTipOf(const std::string& commandString);

}  // namespace quenda
