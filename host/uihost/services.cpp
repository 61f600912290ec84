// The system services, recorded with scripted answers, and the desktop's
// own accessors.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "host/uihost/state.h"
#include "host/win32/paths.h"

namespace uihost {

namespace {

std::u16string units(const RWWString& s) { return std::u16string(s.data(), s.length()); }

// A path of the system split into its folder and its last part.
void splitPath(const std::u16string& path, std::u16string& folder, std::u16string& name) {
  const size_t slash = path.find_last_of(u'\\');
  folder = slash == std::u16string::npos ? u"" : path.substr(0, slash);
  name = slash == std::u16string::npos ? path : path.substr(slash + 1);
}

DWORD attributesOf(const std::string& hostName, const std::u16string& name) {
  struct stat s;
  if (stat(hostName.c_str(), &s) != 0) return INVALID_FILE_ATTRIBUTES;
  DWORD a = 0;
  if (S_ISDIR(s.st_mode)) a |= FILE_ATTRIBUTE_DIRECTORY;
  if (!name.empty() && name[0] == u'.') a |= FILE_ATTRIBUTE_HIDDEN;
  if (access(hostName.c_str(), W_OK) != 0) a |= FILE_ATTRIBUTE_READONLY;
  return a ? a : FILE_ATTRIBUTE_NORMAL;
}

std::string hostFolder(const std::u16string& folder) {
  const std::string h = hostPath(RWWString(folder.c_str()));
  return h.empty() ? std::string(".") : h;
}

}  // namespace

bool wildcardMatch(const std::u16string& pattern, const std::u16string& name) {
  const std::u16string p = fold(pattern), n = fold(name);
  size_t pi = 0, ni = 0, star = std::u16string::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni])) {
      ++pi, ++ni;
    } else if (pi < p.size() && p[pi] == u'*') {
      star = pi++;
      mark = ni;
    } else if (star != std::u16string::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  // "*.*" takes names without a dot too, as the platform's matching does.
  return pi == p.size() || p.substr(pi) == u".*";
}

std::vector<std::u16string> listFolder(const std::string& folder, const std::u16string& pattern, bool hidden) {
  std::vector<std::u16string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* e = readdir(dir)) {
    const std::u16string name = units(logicalPath(e->d_name));
    if (name == u"." || name == u"..") continue;
    if (!hidden && (attributesOf(folder + "/" + e->d_name, name) & FILE_ATTRIBUTE_HIDDEN)) continue;
    if (wildcardMatch(pattern, name)) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
    const std::u16string fa = fold(a), fb = fold(b);
    return fa != fb ? fa < fb : a < b;
  });
  return names;
}

// ------------------------------------------------------------- accessors

void reset() {
  for (const std::string& open : openObjects()) misused("left open at reset: " + open);
  Desktop& d = desk();
  d.windows.clear();
  resetGdi();
  resetModules();
  d.searches.clear();
  d.timers.clear();
  d.posted.clear();
  d.focus = 0;
  d.cursor = 0;
  d.clock = 0;
  d.lastError = 0;
  d.runs = 0;
  d.dialogScripts.clear();
  d.messageBoxes.clear();
  d.openFiles.clear();
  d.winExecAnswer = 33;
  d.winHelpAnswer = 1;
  d.profile.clear();
  d.userName = u"user";
  d.binaryTypes.clear();
  d.fonts.clear();
  d.log.clear();
  d.misuse.clear();
}

const std::vector<std::string>& log() { return desk().log; }
void clearLog() { desk().log.clear(); }

std::vector<std::string> logLines(const std::string& prefix) {
  std::vector<std::string> lines;
  for (const std::string& l : desk().log)
    if (l.compare(0, prefix.size(), prefix) == 0) lines.push_back(l);
  return lines;
}

const std::vector<std::string>& misuse() { return desk().misuse; }
void clearMisuse() { desk().misuse.clear(); }

std::vector<std::string> openObjects() {
  std::vector<std::string> open;
  for (auto& [h, w] : desk().windows) open.push_back(w.kind + " window " + hex(h) + " id " + std::to_string(w.id));
  for (auto& [h, o] : desk().gdi)
    if (!o.stock) open.push_back(o.kind + " " + hex(h));
  for (auto& [h, m] : desk().modules)
    if (!m.plugin) open.push_back("module " + hex(h) + " \"" + narrow(m.name) + "\"");
  for (auto& [h, s] : desk().searches) open.push_back("search " + hex(h));
  if (!desk().resolvers.empty()) open.push_back(std::to_string(desk().resolvers.size()) + " resolver(s)");
  return open;
}

void setHooks(const Hooks& hooks) { desk().hooks = hooks; }

void setWinExecAnswer(UINT answer) { desk().winExecAnswer = answer; }
void setWinHelpAnswer(BOOL answer) { desk().winHelpAnswer = answer; }
void setProfileString(const std::u16string& section, const std::u16string& key, const std::u16string& value) {
  desk().profile[{fold(section), fold(key)}] = value;
}
void setUserName(const std::u16string& name) { desk().userName = name; }
void setBinaryType(const std::u16string& name, DWORD type) { desk().binaryTypes[fold(name)] = type; }
void scriptOpenFile(std::function<std::u16string(const OPENFILENAMEW&, const std::vector<std::u16string>&)> answer) {
  desk().openFiles.push_back(std::move(answer));
}
void setFontFamilies(const std::vector<FontFamily>& families) { desk().fonts = families; }

}  // namespace uihost

using namespace uihost;

DWORD GetLastError() { return desk().lastError; }
void SetLastError(DWORD error) { desk().lastError = error; }

UINT WinExec(const char* commandLine, UINT show) {
  note("WinExec \"" + std::string(commandLine ? commandLine : "") + "\" show=" + std::to_string(show) + " -> " +
       std::to_string(desk().winExecAnswer));
  return desk().winExecAnswer;
}

BOOL WinHelpA(HWND window, const char* file, UINT command, uintptr_t data) {
  if (window && !windowFor(window, "WinHelpA")) return 0;
  std::string line = "WinHelpA " + hex(window) + " \"" + std::string(file ? file : "") + "\" " + std::to_string(command);
  if (command == HELP_WM_HELP || command == HELP_CONTEXTMENU) {
    // The table of {item, help id} pairs, read up to the pair of item 0.
    const auto* pairs = reinterpret_cast<const int32_t*>(data);
    line += " pairs";
    for (int i = 0; pairs && i < 4096; ++i) {
      if (pairs[2 * i] == 0) break;
      line += " " + std::to_string(pairs[2 * i]) + ":" + std::to_string(pairs[2 * i + 1]);
    }
  } else {
    line += " " + std::to_string(data);
  }
  note(line + " -> " + std::to_string(desk().winHelpAnswer));
  return desk().winHelpAnswer;
}

UINT GetProfileIntW(const char16_t* section, const char16_t* key, int32_t fallback) {
  auto v = desk().profile.find({fold(textOf(section)), fold(textOf(key))});
  if (v == desk().profile.end()) return static_cast<UINT>(fallback);
  const std::u16string& t = v->second;
  size_t i = 0;
  while (i < t.size() && t[i] == u' ') ++i;
  bool negative = i < t.size() && t[i] == u'-';
  if (negative) ++i;
  int64_t n = 0;
  for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9' && n < 0x100000000ll; ++i) n = n * 10 + (t[i] - u'0');
  return static_cast<UINT>(negative ? -n : n);
}

DWORD GetProfileStringW(const char16_t* section, const char16_t* key, const char16_t* fallback, char16_t* buffer,
                        DWORD capacity) {
  auto v = desk().profile.find({fold(textOf(section)), fold(textOf(key))});
  const std::u16string t = v == desk().profile.end() ? textOf(fallback) : v->second;
  return static_cast<DWORD>(copyOut(t, buffer, static_cast<int32_t>(std::min<DWORD>(capacity, 0x7FFFFFFF))));
}

BOOL GetBinaryTypeW(const char16_t* name, DWORD* type) {
  auto t = desk().binaryTypes.find(fold(textOf(name)));
  if (t == desk().binaryTypes.end()) {
    desk().lastError = 193;
    return 0;
  }
  if (type) *type = t->second;
  return 1;
}

BOOL GetUserNameW(char16_t* buffer, DWORD* size) {
  if (!size) return 0;
  const DWORD needed = static_cast<DWORD>(desk().userName.size() + 1);
  if (!buffer || *size < needed) {
    *size = needed;
    desk().lastError = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  copyOut(desk().userName, buffer, static_cast<int32_t>(needed));
  *size = needed;
  return 1;
}

namespace {
bool fillFind(const std::u16string& folder, const std::u16string& name, WIN32_FIND_DATAW* data) {
  *data = WIN32_FIND_DATAW();
  const std::string host = hostFolder(folder) + "/" + hostPath(RWWString(name.c_str()));
  data->dwFileAttributes = attributesOf(host, name);
  struct stat s;
  if (stat(host.c_str(), &s) == 0 && !S_ISDIR(s.st_mode)) {
    data->nFileSizeLow = static_cast<DWORD>(s.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(s.st_size) >> 32);
  }
  copyOut(name, data->cFileName, 260);
  return true;
}
}  // namespace

HANDLE FindFirstFileW(const char16_t* pattern, WIN32_FIND_DATAW* data) {
  if (!pattern || !data) return INVALID_HANDLE_VALUE;
  std::u16string folder, name;
  splitPath(pattern, folder, name);
  std::vector<std::u16string> names = listFolder(hostFolder(folder), name, true);
  note("FindFirstFileW \"" + narrow(pattern) + "\" " + std::to_string(names.size()) + " found");
  if (names.empty()) {
    desk().lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  std::vector<WIN32_FIND_DATAW> found(names.size());
  for (size_t i = 0; i < names.size(); ++i) fillFind(folder, names[i], &found[i]);
  *data = found.front();
  found.erase(found.begin());
  const HANDLE h = newHandle();
  desk().searches[h] = std::move(found);
  return h;
}

BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* data) {
  auto s = desk().searches.find(search);
  if (s == desk().searches.end()) {
    misused("FindNextFileW on a closed or unknown search " + hex(search));
    desk().lastError = ERROR_INVALID_HANDLE;
    return 0;
  }
  if (s->second.empty() || !data) {
    desk().lastError = ERROR_NO_MORE_FILES;
    return 0;
  }
  *data = s->second.front();
  s->second.erase(s->second.begin());
  return 1;
}

BOOL FindClose(HANDLE search) {
  if (!desk().searches.erase(search)) {
    misused("FindClose on a closed or unknown search " + hex(search));
    return 0;
  }
  desk().closed.insert(search);
  return 1;
}

DWORD GetFileAttributesW(const char16_t* name) {
  if (!name) return INVALID_FILE_ATTRIBUTES;
  std::u16string folder, last;
  splitPath(name, folder, last);
  const DWORD a = attributesOf(hostPath(RWWString(name)), last);
  if (a == INVALID_FILE_ATTRIBUTES) desk().lastError = ERROR_FILE_NOT_FOUND;
  return a;
}

BOOL GetOpenFileNameW(OPENFILENAMEW* request) {
  if (!request || !request->lpstrFile || request->nMaxFile == 0) return 0;
  if (request->hwndOwner && !windowFor(request->hwndOwner, "GetOpenFileNameW")) return 0;
  // The first filter's patterns ("*.A;*.B"), all files without one.
  std::vector<std::u16string> patterns;
  if (request->lpstrFilter) {
    const char16_t* p = request->lpstrFilter;
    p += std::char_traits<char16_t>::length(p) + 1;
    std::u16string list(p);
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(u';', start);
      if (end == std::u16string::npos) end = list.size();
      if (end > start) patterns.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  if (patterns.empty()) patterns.push_back(u"*.*");
  const std::u16string folder = textOf(request->lpstrInitialDir);
  std::vector<std::u16string> shown;
  for (const std::u16string& p : patterns)
    for (const std::u16string& n : listFolder(hostFolder(folder), p, false))
      if (!(attributesOf(hostFolder(folder) + "/" + hostPath(RWWString(n.c_str())), n) & FILE_ATTRIBUTE_DIRECTORY) &&
          std::find(shown.begin(), shown.end(), n) == shown.end())
        shown.push_back(n);
  std::sort(shown.begin(), shown.end(), [](const std::u16string& a, const std::u16string& b) { return fold(a) < fold(b); });
  std::u16string chosen;
  if (!desk().openFiles.empty()) {
    auto script = std::move(desk().openFiles.front());
    desk().openFiles.pop_front();
    chosen = script(*request, shown);
  }
  note("GetOpenFileNameW \"" + narrow(folder) + "\" " + std::to_string(shown.size()) + " shown -> \"" + narrow(chosen) +
       "\"");
  if (chosen.empty() || chosen.size() + 1 > request->nMaxFile) return 0;
  copyOut(chosen, request->lpstrFile, static_cast<int32_t>(request->nMaxFile));
  return 1;
}
