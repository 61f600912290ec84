// Modules: resource files found by name, modules the tests register, the
// resources in them, their version data, and the display-string resolver.

#include <dirent.h>

#include <fstream>
#include <iterator>

#include "host/uihost/state.h"
#include "host/win32/paths.h"

namespace uihost {

namespace {

std::u16string baseName(const std::u16string& name) {
  const size_t slash = name.find_last_of(u"\\/");
  return slash == std::u16string::npos ? name : name.substr(slash + 1);
}

// A module's name as it is compared: its last part, without case, and a
// library's ".DLL" read as the resource file's ".RES".
std::u16string moduleKey(const std::u16string& name) {
  std::u16string key = fold(baseName(name));
  if (key.size() > 4 && key.compare(key.size() - 4, 4, u".DLL") == 0) key.replace(key.size() - 4, 4, u".RES");
  return key;
}

Module* moduleFor(HMODULE module, const char* call) {
  if (module == 0) return nullptr;
  auto m = desk().modules.find(module);
  if (m == desk().modules.end()) {
    misused(std::string(call) + " on a closed or unknown module " + hex(module));
    return nullptr;
  }
  return &m->second;
}

HMODULE addModule(Module m) {
  m.handle = newHandle();
  m.uses = 1;
  if (m.resources.version) m.versionData = buildVersionData(*m.resources.version);
  const HMODULE h = m.handle;
  desk().modules.emplace(h, std::move(m));
  return h;
}

// The file of the resource folder whose name is key, without case.
bool findResourceFile(const std::u16string& key, std::string& path, RWWString& logical) {
  const std::string folder = hostPath(desk().resourceFolder);
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (dirent* e = readdir(dir)) {
    const RWWString name = logicalPath(e->d_name);
    const std::u16string units(name.data(), name.length());
    if (fold(units) == key) {
      path = (folder.empty() ? std::string(".") : folder) + "/" + e->d_name;
      const RWWString sep(u"\\");
      logical = desk().resourceFolder;
      logical += sep;
      logical += name;
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

// A resource file of the resource folder, read and parsed into m.
bool readModuleFile(const std::u16string& wanted, Module& m, std::string& error) {
  std::string path;
  RWWString logical;
  if (!findResourceFile(moduleKey(wanted), path, logical)) {
    error = "not found";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": cannot be read";
    return false;
  }
  m.name = wanted;
  m.fileName = logical;
  return parseResources(text, narrow(baseName(std::u16string(logical.data(), logical.length()))), m.resources, error);
}

Module* moduleByName(const std::u16string& name) {
  const std::u16string key = moduleKey(name);
  for (auto& [h, m] : desk().modules)
    if (moduleKey(m.name) == key) return &m;
  return nullptr;
}

}  // namespace

void setResourceFolder(const RWWString& folder) { desk().resourceFolder = folder; }

bool registerModule(const std::u16string& name, const std::map<std::string, FARPROC>& procedures,
                    const std::string& resourceText, const std::u16string& fileName) {
  Module m;
  m.name = name;
  m.fileName = RWWString((fileName.empty() ? name : fileName).c_str());
  m.procedures = procedures;
  std::string error;
  if (!resourceText.empty() && !parseResources(resourceText, narrow(name), m.resources, error)) {
    note("registerModule: " + error);
    return false;
  }
  desk().registered[moduleKey(name)] = std::move(m);
  return true;
}

HMODULE loadedModule(const std::u16string& name) {
  Module* m = moduleByName(name);
  return m ? m->handle : 0;
}

HMODULE registerPlugin(const std::u16string& name, const RWWString& fileName) {
  Module m;
  m.name = name;
  m.fileName = fileName;
  m.plugin = true;
  return addModule(std::move(m));
}

void releasePlugin(HMODULE module) {
  if (desk().modules.erase(module)) desk().closed.insert(module);
}

}  // namespace uihost

using namespace uihost;

HMODULE LoadLibraryW(const char16_t* name) {
  const std::u16string wanted = textOf(name);
  if (Module* m = moduleByName(wanted)) {
    ++m->uses;
    note("LoadLibraryW \"" + narrow(wanted) + "\" -> " + hex(m->handle) + " (" + std::to_string(m->uses) + " uses)");
    return m->handle;
  }
  const std::u16string key = moduleKey(wanted);
  auto r = desk().registered.find(key);
  if (r != desk().registered.end()) {
    const HMODULE h = addModule(r->second);
    note("LoadLibraryW \"" + narrow(wanted) + "\" -> " + hex(h));
    return h;
  }
  Module m;
  std::string error;
  if (!readModuleFile(wanted, m, error)) {
    note("LoadLibraryW \"" + narrow(wanted) + "\": " + error + " -> 0");
    desk().lastError = error == "not found" ? DWORD{ERROR_FILE_NOT_FOUND} : DWORD{193};
    return 0;
  }
  const HMODULE h = addModule(std::move(m));
  note("LoadLibraryW \"" + narrow(wanted) + "\" -> " + hex(h));
  return h;
}

BOOL FreeLibrary(HMODULE module) {
  Module* m = moduleFor(module, "FreeLibrary");
  if (!m) return 0;
  if (m->plugin) {
    misused("FreeLibrary of the plug-in itself");
    return 0;
  }
  note("FreeLibrary " + hex(module) + " (" + std::to_string(m->uses - 1) + " uses left)");
  if (--m->uses == 0) {
    desk().modules.erase(module);
    desk().closed.insert(module);
  }
  return 1;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  Module* m = moduleFor(module, "GetProcAddress");
  if (!m || !name) return nullptr;
  auto p = m->procedures.find(name);
  return p == m->procedures.end() ? nullptr : p->second;
}

DWORD GetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD capacity) {
  std::u16string path = u"C:\\QXHOST\\UIHOST.EXE";
  if (module) {
    Module* m = moduleFor(module, "GetModuleFileNameW");
    if (!m) return 0;
    path.assign(m->fileName.data(), m->fileName.length());
  }
  if (!buffer || capacity == 0) return 0;
  const int32_t n = copyOut(path, buffer, static_cast<int32_t>(capacity));
  if (static_cast<size_t>(n) < path.size()) {
    desk().lastError = ERROR_INSUFFICIENT_BUFFER;
    return capacity;
  }
  return static_cast<DWORD>(n);
}

int32_t LoadStringW(HINSTANCE module, UINT id, char16_t* buffer, int32_t capacity) {
  if (buffer && capacity > 0) buffer[0] = 0;
  Module* m = moduleFor(module, "LoadStringW");
  if (!m || !buffer || capacity <= 0) return 0;
  auto s = m->resources.strings.find(id);
  if (s == m->resources.strings.end()) return 0;
  return copyOut(s->second, buffer, capacity);
}

HBITMAP LoadBitmapW(HINSTANCE module, const char16_t* name) {
  Module* m = moduleFor(module, "LoadBitmapW");
  if (!m || !IS_INTRESOURCE(name)) return 0;
  const int32_t id = static_cast<int32_t>(reinterpret_cast<uintptr_t>(name));
  auto b = m->resources.bitmaps.find(id);
  if (b == m->resources.bitmaps.end()) {
    note("LoadBitmapW " + std::to_string(id) + ": missing -> 0");
    return 0;
  }
  const HBITMAP h = CreateBitmap(b->second.width, b->second.height, 1, b->second.bits, nullptr);
  note("LoadBitmapW " + std::to_string(id) + " -> " + hex(h));
  return h;
}

HCURSOR LoadCursorW(HINSTANCE module, const char16_t* name) {
  if (!IS_INTRESOURCE(name)) return 0;
  const uintptr_t id = reinterpret_cast<uintptr_t>(name);
  if (module) {
    Module* m = moduleFor(module, "LoadCursorW");
    if (!m || !m->resources.cursors.count(static_cast<int32_t>(id))) {
      note("LoadCursorW " + std::to_string(id) + ": missing -> 0");
      return 0;
    }
  } else if (id < 32512 || id > 32651) {
    return 0;
  }
  // A cursor is shared: the same one for every load.
  HCURSOR& c = desk().cursors[{module, id}];
  if (!c) c = newHandle();
  return c;
}

HCURSOR SetCursor(HCURSOR cursor) {
  const HCURSOR old = desk().cursor;
  desk().cursor = cursor;
  std::string which = hex(cursor);
  for (auto& [k, h] : desk().cursors)
    if (h == cursor) which += " (" + std::to_string(k.second) + ")";
  note("SetCursor " + which);
  return old;
}

HCURSOR GetCursor() { return desk().cursor; }

namespace {
// The version data of a module by name: a loaded one, a registered one, or
// a resource file of the resource folder read for the purpose.
bool versionData(const char16_t* name, std::vector<uint8_t>& data) {
  const std::u16string wanted = textOf(name);
  const Module* found = moduleByName(wanted);
  for (auto& [h, m] : desk().modules)
    if (!found && fold(std::u16string(m.fileName.data(), m.fileName.length())) == fold(wanted)) found = &m;
  Module read;
  if (!found) {
    auto r = desk().registered.find(moduleKey(wanted));
    std::string error;
    if (r != desk().registered.end()) found = &r->second;
    else if (readModuleFile(wanted, read, error)) found = &read;
    else if (error != "not found") note("version data of \"" + narrow(wanted) + "\": " + error);
  }
  if (!found) return false;
  data = found->versionData;
  if (data.empty() && found->resources.version) data = buildVersionData(*found->resources.version);
  return !data.empty();
}
}  // namespace

DWORD GetFileVersionInfoSizeW(const char16_t* name, DWORD* handle) {
  if (handle) *handle = 0;
  std::vector<uint8_t> data;
  if (!versionData(name, data)) {
    desk().lastError = 1813;  // no such resource
    return 0;
  }
  return static_cast<DWORD>(data.size());
}

BOOL GetFileVersionInfoW(const char16_t* name, DWORD, DWORD size, void* data) {
  std::vector<uint8_t> version;
  if (!data || size == 0 || !versionData(name, version)) return 0;
  const size_t n = std::min<size_t>(size, version.size());
  std::copy(version.begin(), version.begin() + static_cast<std::ptrdiff_t>(n), static_cast<uint8_t*>(data));
  // A block cut short says so in its root length.
  if (n < version.size() && n >= 2) {
    static_cast<uint8_t*>(data)[0] = static_cast<uint8_t>(n);
    static_cast<uint8_t*>(data)[1] = static_cast<uint8_t>(n >> 8);
  }
  return 1;
}

BOOL VerQueryValueW(const void* block, const char16_t* path, void** value, UINT* length) {
  if (!block || !path || !value || !length) return 0;
  const auto* bytes = static_cast<const uint8_t*>(block);
  // The data carries its size in its root block, as the platform reads it.
  const size_t size = static_cast<size_t>(bytes[0] | (bytes[1] << 8));
  const void* found = nullptr;
  uint32_t n = 0;
  if (!queryVersion(bytes, size, textOf(path), &found, &n)) return 0;
  *value = const_cast<void*>(found);
  *length = n;
  return 1;
}

DWORD VerLanguageNameW(DWORD language, char16_t* buffer, DWORD capacity) {
  static const std::map<DWORD, std::u16string> names{
      {0x0000, u"Language Neutral"},       {0x0407, u"German (Germany)"}, {0x0409, u"English (United States)"},
      {0x0809, u"English (United Kingdom)"}, {0x040C, u"French (France)"}, {0x0410, u"Italian (Italy)"},
      {0x0C0A, u"Spanish (Spain)"}};
  auto n = names.find(language & 0xFFFF);
  const std::u16string text = n == names.end() ? u"Language Neutral" : n->second;
  if (!buffer || capacity == 0) return static_cast<DWORD>(text.size());
  return static_cast<DWORD>(copyOut(text, buffer, static_cast<int32_t>(capacity)));
}

// ---------------------------------------------------------- the resolver

struct UIHostResolver {
  HMODULE module = 0;
  const GDisplayString* displayString = nullptr;
};

namespace {
void resolve(HMODULE module, const GDisplayString* displayString, RWWString& text) {
  text = RWWString();
  uint16_t id = 0;
  RWWString first;
  if (!displayString || !desk().hooks.displayString || !desk().hooks.displayString(displayString, id, first)) return;
  char16_t buffer[257];
  if (id && module && LoadStringW(module, id, buffer, 257) > 0) {
    text = RWWString(buffer);
    return;
  }
  text = first;
}
}  // namespace

UIHostResolver* UIHostResolverCreate(HMODULE module, const GDisplayString* displayString) {
  if (module && !desk().modules.count(module)) misused("resolver over a closed or unknown module " + hex(module));
  auto* r = new UIHostResolver{module, displayString};
  desk().resolvers.insert(r);
  return r;
}

void UIHostResolverText(UIHostResolver* resolver, RWWString& text) {
  if (!desk().resolvers.count(resolver)) {
    misused("resolver text on a destroyed resolver");
    text = RWWString();
    return;
  }
  resolve(resolver->module, resolver->displayString, text);
}

void UIHostResolverTextOf(UIHostResolver* resolver, RWWString& text, const GDisplayString* displayString) {
  if (!desk().resolvers.count(resolver)) {
    misused("resolver text on a destroyed resolver");
    text = RWWString();
    return;
  }
  resolve(resolver->module, displayString, text);
}

void UIHostResolverDestroy(UIHostResolver* resolver) {
  if (!desk().resolvers.erase(resolver)) {
    misused("resolver destroyed twice or never made");
    return;
  }
  delete resolver;
}

void uihost::resetModules() {
  desk().modules.clear();
  desk().registered.clear();
  desk().cursors.clear();
  for (UIHostResolver* r : desk().resolvers) delete r;
  desk().resolvers.clear();
}
