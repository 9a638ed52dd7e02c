#include "app/ResourceLibrary.h"

#include <QResource>

#include <dlfcn.h>

namespace quenda {

ResourceLibrary::~ResourceLibrary() { Release(); }

bool ResourceLibrary::Load(const std::string& name) {
    Release();
    error_.clear();
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
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
