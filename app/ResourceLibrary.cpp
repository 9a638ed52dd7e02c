#include "app/ResourceLibrary.h"

#include <QResource>

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace quenda {

ResourceLibrary::~ResourceLibrary() { Release(); }

namespace {

// A plain name is looked for beside the program first, then where the
// installed program keeps its libraries, as its run path says. dlopen alone
// would use the run path of whoever calls it, and under AddressSanitizer that
// is the sanitizer's own library, so the program's folders were never tried.
std::string Locate(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return name;
    for (const std::filesystem::path& dir : {program.parent_path(), program.parent_path() / QUENDA_BIN_TO_RESOURCES}) {
        if (std::filesystem::exists(dir / name, ec)) return (dir / name).string();
    }
    return name;
}

}  // namespace

bool ResourceLibrary::Load(const std::string& name) {
    Release();
    error_.clear();
    void* handle = ::dlopen(Locate(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        error_ = why ? why : "can't load " + name;
        return false;
    }
    using Entry = const unsigned char* (*)();
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, kEntryPoint));
    const unsigned char* bundle = entry ? entry() : nullptr;
    if (!bundle || !QResource::registerResource(bundle, QString::fromLatin1(kMapRoot))) {
        error_ = name + (entry ? " carries no valid resource bundle" : " has no " + std::string(kEntryPoint));
        ::dlclose(handle);
        return false;
    }
    handle_ = handle;
    bundle_ = bundle;
    return true;
}

void ResourceLibrary::Release() {
    if (!handle_) return;
    QResource::unregisterResource(bundle_, QString::fromLatin1(kMapRoot));
    ::dlclose(handle_);
    handle_ = nullptr;
    bundle_ = nullptr;
}

QString ResourceLibrary::PathOf(const QString& name) {
    return QStringLiteral(":") + QString::fromLatin1(kMapRoot) + QLatin1Char('/') + name;
}

}  // namespace quenda
