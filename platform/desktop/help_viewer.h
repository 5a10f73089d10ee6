// The help viewer: the handheld started its help program with a command line such as
// "file:Veldra.htm#Main_Contents"; here the desktop's own viewer (xdg-open, or the
// program VELDRA_HELP_OPENER names) opens the installed page at that fragment.
//
// The page is looked for, in this order, in <program's folder>/../share/veldra/ (where
// `cmake --install` puts it) and in the program's own folder (where the build puts a
// copy). The viewer is started detached, so that it outlives the program; its answer is
// waited for up to two seconds, which is when xdg-open has handed the page to a browser,
// or said it has none.
//
// Failure: false, with a line on standard error, when the command line is not of that
// form, the page is in none of the folders, or the viewer cannot be started or ends with
// a failure within those two seconds (xdg-open without a browser to open the page in).
// Thread: any.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veldra {

inline constexpr const char* helpOpenerVariable = "VELDRA_HELP_OPENER";

bool startHelpViewer(std::string_view commandLine);

// The same with the page looked for in folders (each ending in '/').
bool startHelpViewer(std::string_view commandLine, const std::vector<std::string>& folders);

// The folders the page is looked for in, for the running program.
std::vector<std::string> helpFolders();

// The page's path for a "file:NAME#FRAGMENT" command line, as the running program finds
// it, or empty.
std::string helpPagePath(std::string_view commandLine);

// The URL for a "file:NAME#FRAGMENT" command line with NAME in one of folders
// ("file:///usr/share/veldra/Veldra.htm#Main_Contents"), or empty.
std::string helpUrl(std::string_view commandLine, const std::vector<std::string>& folders);

}  // namespace veldra
