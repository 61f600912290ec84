#ifndef HOST_WIN32_PATHS_H
#define HOST_WIN32_PATHS_H

// Paths: the framework speaks of backslash-separated paths in 16-bit text;
// hostPath() is the one place that turns one into a file-system name (UTF-8,
// '/' for '\'), and logicalPath() the way back. Every path the factory
// hands out is in the framework's form.

#include <string>

#include "rw/wstring.h"

std::string hostPath(const RWWString& path);
RWWString logicalPath(const std::string& name);

#endif
