#pragma once

#include <QString>

#include <string>

namespace quenda {

// The optional resource library: a shared library that carries replacement
// menus, toolbar, keyboard table, bitmaps and strings. It is looked for by
// plain name, "libQuendaResource.so", in the normal library search order
// (LD_LIBRARY_PATH, the program's own run path, which includes the program's
// folder, then the system's library folders).
//
// The library exports one C function,
//     const unsigned char* quenda_resource_bundle(void);
// returning a Qt binary resource bundle (rcc --binary) that stays valid while
// the library is loaded. Its files sit at the bundle's root under the names the
// built-in resources use (app/resources/README.md); any file it lacks comes
// from the built-in resources. app/resources/ResourceLibrary.cmake builds one.
class ResourceLibrary {
public:
    static constexpr const char* kDefaultName = "libQuendaResource.so";
    static constexpr const char* kEntryPoint = "quenda_resource_bundle";
    // Where the bundle's files appear in Qt's resource tree.
    static constexpr const char* kMapRoot = "/quenda-library";

    ResourceLibrary() = default;
    ~ResourceLibrary();
    ResourceLibrary(const ResourceLibrary&) = delete;
    ResourceLibrary& operator=(const ResourceLibrary&) = delete;

    // False when the library is missing or is not a resource library (Error()
    // says which); the built-in resources then serve.
    bool Load(const std::string& name = kDefaultName);
    // Unregisters the bundle and unloads the library. Nothing read from it may
    // be in use: images and texts taken from it are copies.
    void Release();
    bool Loaded() const { return handle_ != nullptr; }
    const std::string& Error() const { return error_; }

    // ":/quenda-library/NAME"
    static QString PathOf(const QString& name);

private:
    void* handle_ = nullptr;
    const unsigned char* bundle_ = nullptr;
    std::string error_;
};

}  // namespace quenda
