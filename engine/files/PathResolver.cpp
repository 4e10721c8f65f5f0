#include "PathResolver.h"

#include "Utils.h"

#include <optional>
#include <vector>

namespace ferrolyt {

namespace fs = std::filesystem;

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::vector<std::string> Components(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > pos)
            parts.push_back(path.substr(pos, slash - pos));
        pos = slash + 1;
    }
    return parts;
}

bool Exists(const fs::path& p)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec)) && !ec;
}

// The entry of `folder` named `component`: as written when it exists, else
// the only case-insensitive match.
std::optional<fs::path> MatchComponent(const fs::path& folder, const std::string& component)
{
    const fs::path dir = folder.empty() ? fs::path(".") : folder;
    if (component == ".")
        return folder;
    if (component == "..")
        return folder.empty() ? fs::path("..") : folder / "..";
    const fs::path exact = folder / component;
    if (Exists(exact))
        return exact;
    const std::string wanted = UpperCase1251(component);
    std::optional<fs::path> found;
    std::error_code ec;
    fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return std::nullopt;
    for (fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            return std::nullopt;
        const std::string name = it->path().filename().string();
        if (UpperCase1251(name) != wanted)
            continue;
        if (found)
            return std::nullopt; // ambiguous
        found = folder / name;
    }
    if (ec)
        return std::nullopt;
    return found;
}

// Resolves the components below `base` one at a time.
std::optional<fs::path> ResolveBelow(const fs::path& base, const std::vector<std::string>& parts, std::size_t from)
{
    fs::path current = base;
    for (std::size_t k = from; k < parts.size(); ++k) {
        const auto next = MatchComponent(current, parts[k]);
        if (!next)
            return std::nullopt;
        current = *next;
    }
    if (from >= parts.size() || !Exists(current))
        return std::nullopt;
    return current;
}

fs::path Join(const fs::path& base, const std::string& relative)
{
    if (relative.empty())
        return base;
    return base.empty() ? fs::path(relative) : base / relative;
}

} // namespace

ConvertedName ConvertWindowsName(const std::string& name)
{
    ConvertedName r;
    std::string s = name;
    for (char& c : s)
        if (c == '\\')
            c = '/';
    const bool hadBackslash = name.find('\\') != std::string::npos;
    if (s.size() >= 2 && IsAsciiLetter(s[0]) && s[1] == ':') {
        r.hadDrive = true;
        s.erase(0, 2);
    }
    if (!s.empty() && s[0] == '/') {
        r.rooted = true;
        if (s.size() >= 2 && s[1] == '/' && !r.hadDrive && hadBackslash)
            r.unc = true;
        std::size_t k = 0;
        while (k < s.size() && s[k] == '/')
            ++k;
        s.erase(0, k);
    }
    r.path = s;
    return r;
}

fs::path ResolveDataPath(const fs::path& baseFolder, const std::string& name)
{
    const ConvertedName conv = ConvertWindowsName(name);
    const std::vector<std::string> parts = Components(conv.path);

    if (!conv.rooted) {
        const fs::path plain = Join(baseFolder, conv.path);
        if (Exists(plain))
            return plain;
        if (const auto found = ResolveBelow(baseFolder, parts, 0))
            return *found;
        return plain;
    }

    // A rooted name. A real POSIX path (no drive, no backslash) first.
    if (!conv.hadDrive && name.find('\\') == std::string::npos) {
        const fs::path posix = fs::path("/") / conv.path;
        if (Exists(posix))
            return posix;
        if (const auto found = ResolveBelow(fs::path("/"), parts, 0))
            return *found;
    }
    // Its trailing parts below the base folder, longest first.
    for (std::size_t from = 0; from < parts.size(); ++from) {
        std::string tail;
        for (std::size_t k = from; k < parts.size(); ++k)
            tail += (tail.empty() ? "" : "/") + parts[k];
        const fs::path plain = Join(baseFolder, tail);
        if (Exists(plain))
            return plain;
        if (const auto found = ResolveBelow(baseFolder, parts, from))
            return *found;
    }
    return Join(baseFolder, parts.empty() ? std::string() : parts.back());
}

} // namespace ferrolyt
