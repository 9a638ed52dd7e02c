#include "nights/LibraryLocation.h"

#include "nights/Library.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace quenda {

namespace {

// A URI's parts as far as showing it goes: "scheme://" user[:password]@
// hosts /db ?params. libpq takes the last "@" before the path as the end of
// the user part (a password with "@" in it is percent-encoded, or not).
struct UriParts {
    std::string_view scheme;  // with "://"
    std::string_view user;    // without the password
    std::string_view hosts;
    std::string_view path;  // "/db", or empty
    std::vector<std::string_view> parameters;
};

UriParts Split(std::string_view uri) {
    UriParts p;
    const std::size_t afterScheme = uri.find("://") + 3;
    p.scheme = uri.substr(0, afterScheme);
    std::string_view rest = uri.substr(afterScheme);
    const std::size_t query = rest.find('?');
    std::string_view parameters = query == std::string_view::npos ? std::string_view() : rest.substr(query + 1);
    rest = rest.substr(0, query);
    const std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    p.path = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        p.user = authority.substr(0, std::min(authority.find(':'), at));
        authority = authority.substr(at + 1);
    }
    p.hosts = authority;
    while (!parameters.empty()) {
        const std::size_t amp = parameters.find('&');
        p.parameters.push_back(parameters.substr(0, amp));
        parameters = amp == std::string_view::npos ? std::string_view() : parameters.substr(amp + 1);
    }
    return p;
}

std::string_view KeyOf(std::string_view parameter) { return parameter.substr(0, parameter.find('=')); }

}  // namespace

std::string ShownLocation(std::string_view location) {
    if (!IsServerLocation(location)) return std::string(location);
    const UriParts p = Split(location);
    std::string shown(p.scheme);
    if (!p.user.empty()) shown.append(p.user).append("@");
    shown.append(p.hosts).append(p.path);
    char separator = '?';
    for (std::string_view parameter : p.parameters) {
        if (KeyOf(parameter) == "password") continue;
        shown.append(1, separator).append(parameter);
        separator = '&';
    }
    return shown;
}

std::string DefaultLibraryLocation() {
    if (const char* env = std::getenv("QUENDA_LIBRARY"); env && *env) return env;
    return DefaultLibraryFile().native();
}

bool LibraryMayExist(const std::string& location) {
    std::error_code ec;
    return IsServerLocation(location) || std::filesystem::exists(location, ec);
}

}  // namespace quenda
