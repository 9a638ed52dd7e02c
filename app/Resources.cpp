#include "app/Resources.h"

#include "app/ResourceLibrary.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace quenda {

namespace {

std::optional<QJsonObject> ParseObject(const QByteArray& json, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull() || !doc.isObject()) {
        if (error) *error = doc.isNull() ? parseError.errorString() : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    return doc.object();
}

template <typename T>
std::optional<T> Fail(QString* error, const QString& why) {
    if (error) *error = why;
    return std::nullopt;
}

}  // namespace

std::optional<MenuSpec> ParseMenu(const QByteArray& json, QString* error) {
    const auto root = ParseObject(json, error);
    if (!root) return std::nullopt;
    MenuSpec menu;
    for (const QJsonValue& popupValue : root->value("popups").toArray()) {
        const QJsonObject popup = popupValue.toObject();
        MenuPopupSpec spec{popup.value("text").toString(), {}};
        if (spec.text.isEmpty()) return Fail<MenuSpec>(error, "a popup without text");
        for (const QJsonValue& itemValue : popup.value("items").toArray()) {
            const QJsonObject item = itemValue.toObject();
            if (item.value("separator").toBool()) {
                spec.items.push_back({});
                continue;
            }
            MenuItemSpec itemSpec{item.value("id").toInt(), item.value("text").toString()};
            if (itemSpec.id <= 0 || itemSpec.text.isEmpty()) {
                return Fail<MenuSpec>(error, "an item in \"" + spec.text + "\" without id or text");
            }
            spec.items.push_back(itemSpec);
        }
        menu.popups.push_back(std::move(spec));
    }
    if (menu.popups.empty()) return Fail<MenuSpec>(error, "no popups");
    return menu;
}

std::optional<ToolbarSpec> ParseToolbar(const QByteArray& json, QString* error) {
    const auto root = ParseObject(json, error);
    if (!root) return std::nullopt;
    ToolbarSpec toolbar;
    toolbar.buttonWidth = root->value("buttonWidth").toInt();
    toolbar.buttonHeight = root->value("buttonHeight").toInt();
    toolbar.image = root->value("image").toString();
    for (const QJsonValue& button : root->value("buttons").toArray()) toolbar.buttons.push_back(button.toInt());
    if (toolbar.buttonWidth <= 0 || toolbar.buttonHeight <= 0 || toolbar.image.isEmpty() || toolbar.buttons.empty()) {
        return Fail<ToolbarSpec>(error, "button size, image or buttons missing");
    }
    return toolbar;
}

std::optional<std::vector<AcceleratorSpec>> ParseAccelerators(const QByteArray& json, QString* error) {
    const auto root = ParseObject(json, error);
    if (!root) return std::nullopt;
    std::vector<AcceleratorSpec> keys;
    for (const QJsonValue& value : root->value("keys").toArray()) {
        const QJsonObject key = value.toObject();
        AcceleratorSpec spec{key.value("key").toString(), key.value("command").toInt()};
        if (spec.key.isEmpty() || spec.command <= 0)
            return Fail<std::vector<AcceleratorSpec>>(error, "a key without command");
        keys.push_back(spec);
    }
    return keys;
}

std::optional<StringTable> ParseStrings(const QByteArray& json, QString* error) {
    const auto root = ParseObject(json, error);
    if (!root) return std::nullopt;
    StringTable table;
    const QJsonObject strings = root->value("strings").toObject();
    for (auto it = strings.begin(); it != strings.end(); ++it) {
        bool ok = false;
        const int id = it.key().toInt(&ok);
        if (!ok || id <= 0 || !it.value().isString()) return Fail<StringTable>(error, "bad string " + it.key());
        table.strings[id] = it.value().toString().toStdString();
    }
    const QJsonObject texts = root->value("texts").toObject();
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        table.texts[it.key().toStdString()] = it.value().toString().toStdString();
    }
    return table;
}

QByteArray Resources::Data(const QString& name) const {
    if (FromLibrary(name)) {
        QFile file(ResourceLibrary::PathOf(name));
        if (file.open(QIODevice::ReadOnly)) return file.readAll();
    }
    QFile file(QString::fromLatin1(kBuiltInRoot) + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Resources::FromLibrary(const QString& name) const {
    return library_ && library_->Loaded() && QFile::exists(ResourceLibrary::PathOf(name));
}

template <typename T>
T Resources::Load(const QString& name, std::optional<T> (*parse)(const QByteArray&, QString*)) const {
    QString error;
    if (FromLibrary(name)) {
        QFile file(ResourceLibrary::PathOf(name));
        if (file.open(QIODevice::ReadOnly)) {
            if (auto parsed = parse(file.readAll(), &error)) return *parsed;
        }
        std::fprintf(stderr, "quenda: the resource library's %s is unusable (%s); the built-in one serves\n",
                     qPrintable(name), qPrintable(error));
    }
    QFile file(QString::fromLatin1(kBuiltInRoot) + name);
    file.open(QIODevice::ReadOnly);
    if (auto parsed = parse(file.readAll(), &error)) return *parsed;
    // The built-in resources are part of the program; a broken one is a
    // build fault, not something a user can mend.
    std::fprintf(stderr, "quenda: built-in resource %s is broken: %s\n", qPrintable(name), qPrintable(error));
    return T{};
}

MenuSpec Resources::Menu(int id) const { return Load<MenuSpec>(QString("menu%1.json").arg(id), ParseMenu); }

ToolbarSpec Resources::Toolbar(int id) const {
    return Load<ToolbarSpec>(QString("toolbar%1.json").arg(id), ParseToolbar);
}

std::vector<AcceleratorSpec> Resources::Accelerators(int id) const {
    return Load<std::vector<AcceleratorSpec>>(QString("accel%1.json").arg(id), ParseAccelerators);
}

const StringTable& Resources::BuiltInStrings() {
    static const StringTable table = [] {
        QFile file(QString::fromLatin1(kBuiltInRoot) + "strings.json");
        file.open(QIODevice::ReadOnly);
        QString error;
        auto parsed = ParseStrings(file.readAll(), &error);
        if (!parsed) std::fprintf(stderr, "quenda: built-in strings.json is broken: %s\n", qPrintable(error));
        return parsed.value_or(StringTable{});
    }();
    return table;
}

std::string Resources::BuiltInString(int id) {
    const auto& strings = BuiltInStrings().strings;
    const auto it = strings.find(id);
    return it == strings.end() ? std::string() : it->second;
}

QString Resources::BitmapName(int id) { return QString("bitmap%1.png").arg(id); }

std::string PromptOf(const std::string& commandString) { return commandString.substr(0, commandString.find('\n')); }

std::string ToolTipOf(const std::string& commandString) {
    const auto newline = commandString.find('\n');
    return newline == std::string::npos ? std::string() : commandString.substr(newline + 1);
}

}  // namespace quenda
