#include "KeyStore.h"

#include "TextFile.h"
#include "Utils.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ferrolyt {

namespace {

std::filesystem::path& OverrideFile()
{
    static std::filesystem::path file;
    return file;
}

const char* RootName(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::ClassesRoot: return "HKCR";
    case RegistryRoot::CurrentUser: return "HKCU";
    case RegistryRoot::LocalMachine: return "HKLM";
    case RegistryRoot::Users: return "HKU";
    case RegistryRoot::CurrentConfig: return "HKCC";
    }
    return "HKLM";
}

std::string_view Trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A key path in one form: single backslashes, none at either end, '/'
// left as it is (the registry allows it inside key names).
std::string NormaliseKey(std::string_view key)
{
    std::string out;
    for (char c : key) {
        if (c == '\\' && (out.empty() || out.back() == '\\'))
            continue;
        out += c;
    }
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

// The form compared: case folded, and the section name's root and path
// normalised.
std::string FoldSection(std::string_view section) { return UpperCase1251(NormaliseKey(Trim(section))); }

std::string FoldName(std::string_view name) { return UpperCase1251(Trim(name)); }

// One line of the file, parsed.
struct IniLine {
    std::string text;    // the line as read (without its line break)
    enum Kind { Other, Section, Entry } kind = Other;
    std::string section; // folded section name (Section)
    std::string name;    // folded name (Entry)
    std::string value;   // trimmed value (Entry)
};

std::vector<IniLine> ParseIni(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::vector<IniLine> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t lf = bytes.find('\n', pos);
        if (lf == std::string_view::npos)
            lf = bytes.size();
        std::string_view raw = bytes.substr(pos, lf - pos);
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        pos = lf + 1;

        IniLine line;
        line.text = std::string(raw);
        const std::string_view t = Trim(raw);
        if (t.empty() || t.front() == ';' || t.front() == '#') {
            // comment or empty
        } else if (t.front() == '[') {
            const std::size_t close = t.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                line.kind = IniLine::Section;
                line.section = FoldSection(t.substr(1, close - 1));
            }
        } else {
            const std::size_t eq = t.find('=');
            if (eq != std::string_view::npos && !Trim(t.substr(0, eq)).empty()) {
                line.kind = IniLine::Entry;
                line.name = FoldName(t.substr(0, eq));
                line.value = std::string(Trim(t.substr(eq + 1)));
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// Reads the store: nullopt with the status when it cannot be read.
std::optional<std::vector<IniLine>> LoadStore(int& status, std::string* error)
{
    const std::filesystem::path file = KeyStoreFile();
    if (file.empty()) {
        status = ErrorFileNotFound;
        if (error)
            *error = "немає теки налаштувань (ні XDG_CONFIG_HOME, ні HOME)";
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        status = (errno == ENOENT || errno == ENOTDIR) ? ErrorFileNotFound : ErrorAccessDenied;
        if (error)
            *error = "немає файлу " + file.string();
        return std::nullopt;
    }
    try {
        status = ErrorSuccess;
        return ParseIni(ReadFileBytes(file));
    } catch (const std::exception& e) {
        status = ErrorAccessDenied;
        if (error)
            *error = e.what();
        return std::nullopt;
    }
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

void Store(const std::vector<IniLine>& lines)
{
    const std::filesystem::path file = KeyStoreFile();
    if (file.empty())
        throw TextFileError("немає теки налаштувань (ні XDG_CONFIG_HOME, ні HOME)");
    std::string bytes;
    for (const IniLine& line : lines) {
        bytes += line.text;
        bytes += '\n';
    }
    if (file.has_parent_path()) {
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        if (ec)
            throw TextFileError("не вдалося створити теку " + file.parent_path().string() + ": " + ec.message());
    }
    WriteFileAtomically(file, bytes);
}

} // namespace

std::filesystem::path KeyStoreFile()
{
    if (!OverrideFile().empty())
        return OverrideFile();
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (xdg && *xdg && std::filesystem::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home)
            return {};
        base = std::filesystem::path(home) / ".config";
    }
    return base / "Ferrolyt" / "registry.ini";
}

void SetKeyStoreFile(const std::filesystem::path& file) { OverrideFile() = file; }

std::string RegistrySectionName(RegistryRoot root, const std::string& key)
{
    const std::string path = NormaliseKey(key);
    return path.empty() ? std::string(RootName(root)) : std::string(RootName(root)) + "\\" + path;
}

int ReadRegistryString(RegistryRoot root, const std::string& key, const std::string& valueName, std::string& dest,
                       std::size_t capacity)
{
    dest.clear();
    try {
        int status = ErrorSuccess;
        const auto lines = LoadStore(status, nullptr);
        if (!lines)
            return status;
        const std::string section = FoldSection(RegistrySectionName(root, key));
        const std::string name = FoldName(valueName);
        bool keyFound = false;
        bool inSection = false;
        for (const IniLine& line : *lines) {
            if (line.kind == IniLine::Section) {
                inSection = line.section == section;
                keyFound = keyFound || inSection;
            } else if (inSection && line.kind == IniLine::Entry && line.name == name) {
                std::string value = line.value;
                const std::size_t nul = value.find('\0');
                if (nul != std::string::npos)
                    value.resize(nul);
                dest = Utf8Left(value, capacity);
                return ErrorSuccess;
            }
        }
        return keyFound ? ErrorSuccess : ErrorFileNotFound;
    } catch (...) {
        dest.clear();
        return ErrorAccessDenied;
    }
}

int WriteRegistryString(RegistryRoot root, const std::string& key, const std::string& valueName,
                        const std::string& value, std::string* error)
{
    const std::string sectionName = RegistrySectionName(root, key);
    if (HasLineBreak(sectionName) || sectionName.find(']') != std::string::npos || HasLineBreak(valueName) ||
        Trim(valueName).empty() || valueName.find('=') != std::string::npos || HasLineBreak(value) ||
        value.find('\0') != std::string::npos) {
        if (error)
            *error = "ключ, ім'я або значення не можна записати у файл INI";
        return ErrorInvalidParameter;
    }
    try {
        int status = ErrorSuccess;
        std::string loadError;
        auto loaded = LoadStore(status, &loadError);
        if (!loaded && status != ErrorFileNotFound) {
            if (error)
                *error = loadError;
            return status;
        }
        std::vector<IniLine> lines = loaded ? std::move(*loaded) : std::vector<IniLine>{};

        const std::string section = FoldSection(sectionName);
        const std::string name = FoldName(valueName);
        IniLine entry;
        entry.kind = IniLine::Entry;
        entry.text = std::string(Trim(valueName)) + "=" + value;
        entry.name = name;
        entry.value = std::string(Trim(value));

        bool inSection = false;
        std::optional<std::size_t> insertAt; // after the last entry of the first matching section
        bool done = false;
        for (std::size_t k = 0; k < lines.size() && !done; ++k) {
            IniLine& line = lines[k];
            if (line.kind == IniLine::Section) {
                if (inSection)
                    break; // the first matching section ended without the name
                inSection = line.section == section;
                if (inSection)
                    insertAt = k + 1;
            } else if (inSection && line.kind == IniLine::Entry) {
                if (line.name == name) {
                    line = entry;
                    done = true;
                } else {
                    insertAt = k + 1;
                }
            }
        }
        if (!done) {
            if (insertAt) {
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*insertAt), entry);
            } else {
                if (!lines.empty() && !Trim(lines.back().text).empty()) {
                    IniLine blank;
                    lines.push_back(blank);
                }
                IniLine header;
                header.kind = IniLine::Section;
                header.text = "[" + sectionName + "]";
                header.section = section;
                lines.push_back(header);
                lines.push_back(entry);
            }
        }
        Store(lines);
        return ErrorSuccess;
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return ErrorAccessDenied;
    }
}

int DeleteRegistryValue(RegistryRoot root, const std::string& key, const std::string& valueName, std::string* error)
{
    try {
        int status = ErrorSuccess;
        auto lines = LoadStore(status, error);
        if (!lines)
            return status;
        const std::string section = FoldSection(RegistrySectionName(root, key));
        const std::string name = FoldName(valueName);
        bool inSection = false;
        for (std::size_t k = 0; k < lines->size(); ++k) {
            const IniLine& line = (*lines)[k];
            if (line.kind == IniLine::Section) {
                inSection = line.section == section;
            } else if (inSection && line.kind == IniLine::Entry && line.name == name) {
                lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(k));
                Store(*lines);
                return ErrorSuccess;
            }
        }
        return ErrorFileNotFound;
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return ErrorAccessDenied;
    }
}

} // namespace ferrolyt
