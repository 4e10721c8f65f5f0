#pragma once
// Resolves the Windows-style file names found inside project and task files
// ("DATA\STEEL.MAT", "C:\Ferrolyt\Steel.con") against the folders of this
// file system.
//
// ResolveDataPath(baseFolder, name):
//  1. '\' becomes '/'. A drive prefix "X:" is dropped; a name that was
//     rooted ("C:\...", "\...", "\\server\share\...") cannot exist here as
//     written, so its trailing parts are tried against baseFolder from the
//     longest to the shortest ("a/b/f", "b/f", "f"), and the first that
//     resolves to an existing entry wins. A rooted name that is a real
//     POSIX path ("/home/u/x.CON", no drive, no backslash) is first tried
//     as it stands.
//  2. A relative name is resolved below baseFolder one component at a time:
//     "." is skipped, ".." goes to the parent, and each other component is
//     taken as written when that entry exists, else as the only entry of its
//     folder whose name matches it case-insensitively (ASCII and Cyrillic,
//     UpperCase1251). Two or more such entries are ambiguous and count as
//     no match.
//  3. Result: the exact path when it exists, else the case-insensitive match,
//     else the plain converted path (baseFolder / converted name; for a
//     rooted name: baseFolder / its bare file name), so that the caller's
//     "Неможливо завантажити файл" names it.
// Never throws; file-system errors count as "no such entry". An empty
// baseFolder means the current folder.

#include <filesystem>
#include <string>

namespace ferrolyt {

std::filesystem::path ResolveDataPath(const std::filesystem::path& baseFolder, const std::string& name);

// Step 1 alone: the name with '/' separators and without its drive prefix,
// and whether it was rooted.
struct ConvertedName {
    std::string path;    // "x/y.CON"; for a rooted name without its leading '/'
    bool rooted = false; // began with a drive and a separator, a separator, or "\\"
    bool hadDrive = false;
    bool unc = false;    // "\\server\share\..."
};
ConvertedName ConvertWindowsName(const std::string& name);

} // namespace ferrolyt
