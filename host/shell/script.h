// script.h - a script file read into lines, and the full name of a path.
#pragma once

#include <string>
#include <vector>

// The lines of a script file (UTF-8, or UTF-16 with its byte-order mark),
// without their line ends.  False with a message when it cannot be read.
bool ReadScript(const std::wstring &path, std::vector<std::wstring> &lines);
// The full name of a path; the path itself if that fails.
std::wstring FullPath(const std::wstring &path);
