// A stand-in for DismAPI.dll, for the tests only. It answers from
// standin.txt beside itself and writes every call, with every argument, to
// journal.txt beside itself. Lines of standin.txt (UTF-8):
//   status <Entry> <n> [<n> ...]   statuses of successive calls; the last repeats
//   lasterror <text>               Value of DismGetLastErrorMessage; <null> for null
//   handle <n>                     session handle DismOpenSession gives
//   image <index>|<name>|<major>|<minor>|<build>
//   mounted <mount path>|<image file>|<index>|<mode>|<status>
//   package <name>                 driver <name>
//   packages <count> <prefix>      names prefix0, prefix1, ... (instead of package lines)
//   nullbuffer <Entry> <count>     set the count but leave the buffer null
//   count <Entry> <count>          hand out the records but claim this count
//   slow <Entry> <steps> <ms>      a long operation: reports steps of progress,
//                                  ms apart, and stops when its cancel event is set
//   nocancel <Entry>               ... runs to its end all the same, and succeeds
// The long operations journal their cancel event as it was when they returned:
// null, clear or set.
//   limit <Entry> <n> [<n> ...]    records handed out by successive calls at most
//   feature <name>|<state>         capability <name>|<state>
//   late <Entry> <ms>              one more progress report, 57 of 100, from a
//                                  thread of its own this long after the call
//   health <n>                     the state DismCheckImageHealth reports
//   parent <name>|<state>          a parent of every feature (DismGetFeatureParent)
//   reservedstorage <n>            the state DismGetReservedStorageState reports
//                                  (1, enabled, without it)
//   detail <Record>.<Field> <value> a field of a detail record: Image (every
//                                  image's), Customized (an image's .wim facts),
//                                  Package, Feature, Capability, DriverPackage;
//                                  a text, <null>, a number or a time
//                                  (2021-09-14T01:02:03.004); fields not given
//                                  are null and 0
//   nullarray <Record>.<Field> <count>  a null array with that count
//   language <text>                a language of every image
//   property Package|Feature <name>|<value>|<path>   a custom property
//   pkgfeature <name>|<state>      a feature of the package's details
//   hwdriver <manufacturer>|<description>|<hardware id>|<architecture>|
//            <service>|<compatible ids>|<exclude ids>   a driver of a driver's details
//   nullrecord <Entry>             a detail entry answers without a record (the
//                                  driver package, for DismGetDriverInfo)
// The images of a real .wim file carry its description, size, architecture,
// service pack build, folder and file counts and times as the XML says.
//   unelevated                     a process without elevation: DismInitialize
//                                  answers -2147024156 (elevation required) and
//                                  every later call -1073479679 (not initialised)
// A session call answered 1 (reload the session) leaves its session to be
// reloaded: every later call on it but the close answers -1073479676
// (DISMAPI_E_INVALID_DISM_SESSION) until a session is opened again.
// DismOpenSession, DismAddDriver and DismGetMountedImageInfo are held by
// "slow" too, for steps times ms, with no event to stop them.
// In texts <cr>, <lf> and <xHH> stand for control characters.
// A text of <null> is a null pointer. Without image lines, DismGetImageInfo
// reads the images of a real .wim file from the XML the file carries.
#include <windows.h>

#include <dismapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "../helpers/utf.h"
// The reserved-storage entries, which mingw-w64's header lacks, as the
// binding declares them.
#include "../../udismapi/udismapi.h"

namespace {

struct Script {
  std::map<std::string, std::vector<HRESULT>> statuses;
  std::map<std::string, size_t> calls;
  std::map<std::string, UINT> nullBuffers, claimedCounts;
  std::map<std::string, std::pair<UINT, DWORD>> slow; // steps, ms apart
  std::map<std::string, bool> noCancel;
  std::map<std::string, std::vector<HRESULT>> limits;
  std::map<std::string, DWORD> late;
  std::vector<std::vector<std::wstring>> features, capabilities;
  bool hasLastError = false;
  std::wstring lastError;
  bool lastErrorNull = false;
  DismSession handle = 1;
  std::vector<std::vector<std::wstring>> images, mounted;
  std::vector<std::wstring> packages, drivers;
  unsigned long generated = 0; // "packages <count> <prefix>": made at hand-out
  std::wstring generatedPrefix;
  DismImageHealthState health = DismImageHealthy;
  std::vector<std::vector<std::wstring>> parents;
  DWORD reservedStorage = 1;
  bool unelevated = false;
  bool reloadDue = false; // the open session was answered 1
  std::map<std::string, std::string> details;
  std::map<std::string, UINT> nullArrays;
  std::vector<std::wstring> languages;
  std::vector<std::vector<std::wstring>> packageProperties, featureProperties, packageFeatures,
      drivers2;
  std::map<std::string, bool> nullRecords;
};

Script *script = nullptr;
HMODULE self = nullptr;
DismString *lastErrorString = nullptr;

std::string Beside(const char *name) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(self, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

// A text of the script, with <cr>, <lf> and <xHH> for control characters.
std::wstring Wide(const std::string &escaped) {
  std::string utf8;
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped.compare(i, 4, "<cr>") == 0) {
      utf8 += '\r';
      i += 3;
    } else if (escaped.compare(i, 4, "<lf>") == 0) {
      utf8 += '\n';
      i += 3;
    } else if (escaped.compare(i, 2, "<x") == 0 && i + 4 < escaped.size() &&
               escaped[i + 4] == '>') {
      utf8 += (char)strtoul(escaped.substr(i + 2, 2).c_str(), nullptr, 16);
      i += 4;
    } else {
      utf8 += escaped[i];
    }
  }
  return Utf16(utf8);
}

std::vector<std::wstring> Fields(const std::string &text) {
  std::vector<std::wstring> fields;
  size_t start = 0;
  for (;;) {
    size_t bar = text.find('|', start);
    fields.push_back(Wide(text.substr(start, bar - start)));
    if (bar == std::string::npos)
      return fields;
    start = bar + 1;
  }
}

// "<Entry> <n> [<n> ...]" into the entry's list.
void ReadNumbers(std::map<std::string, std::vector<HRESULT>> &lists, const std::string &rest) {
  size_t at = rest.find(' ');
  std::vector<HRESULT> &list = lists[rest.substr(0, at)];
  const char *p = rest.c_str() + (at == std::string::npos ? rest.size() : at);
  char *end = nullptr;
  for (long long n = strtoll(p, &end, 0); end != p; n = strtoll(p, &end, 0)) {
    list.push_back((HRESULT)(LONG)n);
    p = end;
  }
}

// "<Entry> <n>" into the entry's value.
template <typename Value>
void ReadEntryValue(std::map<std::string, Value> &values, const std::string &rest) {
  size_t at = rest.find(' ');
  values[rest.substr(0, at)] =
      (Value)strtoul(at == std::string::npos ? "" : rest.c_str() + at, nullptr, 0);
}

// The script's directives: the first word of a line, and how the rest of the
// line is read.
const struct {
  const char *word;
  void (*read)(Script &s, const std::string &rest);
} Directives[] = {
    {"status", [](Script &s, const std::string &rest) { ReadNumbers(s.statuses, rest); }},
    {"limit", [](Script &s, const std::string &rest) { ReadNumbers(s.limits, rest); }},
    {"lasterror",
     [](Script &s, const std::string &rest) {
       s.hasLastError = true;
       s.lastErrorNull = rest == "<null>";
       s.lastError = Wide(rest);
     }},
    {"handle",
     [](Script &s, const std::string &rest) {
       s.handle = (DismSession)strtoul(rest.c_str(), nullptr, 0);
     }},
    {"image", [](Script &s, const std::string &rest) { s.images.push_back(Fields(rest)); }},
    {"mounted", [](Script &s, const std::string &rest) { s.mounted.push_back(Fields(rest)); }},
    {"package", [](Script &s, const std::string &rest) { s.packages.push_back(Wide(rest)); }},
    {"driver", [](Script &s, const std::string &rest) { s.drivers.push_back(Wide(rest)); }},
    {"packages",
     [](Script &s, const std::string &rest) {
       char *end = nullptr;
       s.generated = strtoul(rest.c_str(), &end, 0);
       s.generatedPrefix = Wide(*end ? end + 1 : "");
     }},
    {"slow",
     [](Script &s, const std::string &rest) {
       unsigned steps = 0, ms = 0;
       char entry[64] = "";
       if (sscanf(rest.c_str(), "%63s %u %u", entry, &steps, &ms) == 3)
         s.slow[entry] = {steps, ms};
     }},
    {"feature", [](Script &s, const std::string &rest) { s.features.push_back(Fields(rest)); }},
    {"parent", [](Script &s, const std::string &rest) { s.parents.push_back(Fields(rest)); }},
    {"reservedstorage",
     [](Script &s, const std::string &rest) {
       s.reservedStorage = strtoul(rest.c_str(), nullptr, 0);
     }},
    {"capability",
     [](Script &s, const std::string &rest) { s.capabilities.push_back(Fields(rest)); }},
    {"late", [](Script &s, const std::string &rest) { ReadEntryValue(s.late, rest); }},
    {"nocancel", [](Script &s, const std::string &rest) { s.noCancel[rest] = true; }},
    {"nullbuffer", [](Script &s, const std::string &rest) { ReadEntryValue(s.nullBuffers, rest); }},
    {"count", [](Script &s, const std::string &rest) { ReadEntryValue(s.claimedCounts, rest); }},
    {"health",
     [](Script &s, const std::string &rest) {
       s.health = (DismImageHealthState)strtol(rest.c_str(), nullptr, 0);
     }},
    {"unelevated", [](Script &s, const std::string &) { s.unelevated = true; }},
    {"detail",
     [](Script &s, const std::string &rest) {
       const size_t at = rest.find(' ');
       s.details[rest.substr(0, at)] = at == std::string::npos ? "" : rest.substr(at + 1);
     }},
    {"nullarray", [](Script &s, const std::string &rest) { ReadEntryValue(s.nullArrays, rest); }},
    {"language", [](Script &s, const std::string &rest) { s.languages.push_back(Wide(rest)); }},
    {"property",
     [](Script &s, const std::string &rest) {
       const size_t at = rest.find(' ');
       (rest.compare(0, at, "Feature") == 0 ? s.featureProperties : s.packageProperties)
           .push_back(Fields(at == std::string::npos ? "" : rest.substr(at + 1)));
     }},
    {"pkgfeature",
     [](Script &s, const std::string &rest) { s.packageFeatures.push_back(Fields(rest)); }},
    {"hwdriver", [](Script &s, const std::string &rest) { s.drivers2.push_back(Fields(rest)); }},
    {"nullrecord", [](Script &s, const std::string &rest) { s.nullRecords[rest] = true; }},
};

Script &Load() {
  if (script)
    return *script;
  script = new Script;
  FILE *file = fopen(Beside("standin.txt").c_str(), "rb");
  if (!file)
    return *script;
  char line[4096];
  while (fgets(line, sizeof line, file)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
      text.pop_back();
    size_t blank = text.find(' ');
    const std::string word = text.substr(0, blank);
    const std::string rest = blank == std::string::npos ? "" : text.substr(blank + 1);
    for (const auto &directive : Directives)
      if (word == directive.word)
        directive.read(*script, rest);
  }
  fclose(file);
  return *script;
}

// The scripted value for this call of the entry, or otherwise.
HRESULT Scripted(const std::map<std::string, std::vector<HRESULT>> &values, const char *entry,
                 size_t call, HRESULT otherwise) {
  auto found = values.find(entry);
  if (found == values.end() || found->second.empty())
    return otherwise;
  const std::vector<HRESULT> &list = found->second;
  return list[call < list.size() ? call : list.size() - 1];
}

HRESULT Status(const char *entry) {
  Script &s = Load();
  size_t call = s.calls[entry]++;
  if (s.unelevated)
    return strcmp(entry, "DismInitialize") == 0 ? (HRESULT)0x800702E4
                                                : (HRESULT)DISMAPI_E_DISMAPI_NOT_INITIALIZED;
  return Scripted(s.statuses, entry, call, S_OK);
}

// The answer of a call on the open session: refused while the session is to
// be reloaded; a 1 makes it so.
HRESULT OnSession(HRESULT status) {
  Script &s = Load();
  if (s.reloadDue)
    return (HRESULT)DISMAPI_E_INVALID_DISM_SESSION;
  if (status == DISMAPI_S_RELOAD_IMAGE_SESSION_REQUIRED)
    s.reloadDue = true;
  return status;
}

// Journal argument texts.
std::string Str(PCWSTR text) {
  return text ? "\"" + Utf8(text) + "\"" : "null";
}
std::string Ptr(const void *p) {
  return p ? "ptr" : "null";
}
std::string Num(unsigned long long n) {
  return std::to_string(n);
}
// Source paths as ["a", "b"], or null.
std::string Paths(PCWSTR *paths, UINT count) {
  if (!paths)
    return "null";
  std::string list = "[";
  for (UINT i = 0; i < count; ++i)
    list += (i ? ", " : "") + Str(paths[i]);
  return list + "]";
}

void Journal(const char *entry, const std::vector<std::string> &arguments) {
  std::string line = std::string(entry) + "(";
  for (size_t i = 0; i < arguments.size(); ++i)
    line += (i ? ", " : "") + arguments[i];
  line += ")\r\n";
  FILE *file = fopen(Beside("journal.txt").c_str(), "ab");
  if (file) {
    fwrite(line.data(), 1, line.size(), file);
    fclose(file);
  }
}

// Copies a text into memory that stays until the process ends.
PCWSTR Keep(const std::wstring &text) {
  if (text == L"<null>")
    return nullptr;
  wchar_t *copy = (wchar_t *)HeapAlloc(GetProcessHeap(), 0, (text.size() + 1) * sizeof(wchar_t));
  memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return copy;
}

UINT Number(const std::vector<std::wstring> &fields, size_t i) {
  return i < fields.size() ? (UINT)wcstoul(fields[i].c_str(), nullptr, 0) : 0;
}

std::wstring Text(const std::vector<std::wstring> &fields, size_t i) {
  return i < fields.size() ? fields[i] : std::wstring();
}

// A field of a detail record, as scripted.
const std::string *Detail(const std::string &key) {
  const Script &s = Load();
  auto found = s.details.find(key);
  return found == s.details.end() ? nullptr : &found->second;
}
PCWSTR DetailText(const std::string &key) {
  const std::string *value = Detail(key);
  return value ? Keep(Wide(*value)) : nullptr;
}
unsigned long long DetailNumber(const std::string &key, unsigned long long otherwise = 0) {
  const std::string *value = Detail(key);
  return value ? strtoull(value->c_str(), nullptr, 0) : otherwise;
}
SYSTEMTIME DetailTime(const std::string &key) {
  SYSTEMTIME time = {};
  if (const std::string *value = Detail(key)) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
    sscanf(value->c_str(), "%u-%u-%uT%u:%u:%u.%u", &y, &mo, &d, &h, &mi, &sec, &ms);
    time = {(WORD)y, (WORD)mo, 0, (WORD)d, (WORD)h, (WORD)mi, (WORD)sec, (WORD)ms};
  }
  return time;
}
// An array of records made from lines of fields, or a null one with a count
// where so scripted; never given back.
template <typename Record, typename Fill>
Record *Array(const std::vector<std::vector<std::wstring>> &lines, const std::string &key,
              UINT &count, Fill fill) {
  auto null = Load().nullArrays.find(key);
  if (null != Load().nullArrays.end()) {
    count = null->second;
    return nullptr;
  }
  count = (UINT)lines.size();
  if (lines.empty())
    return nullptr;
  Record *records =
      (Record *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, lines.size() * sizeof(Record));
  for (size_t i = 0; i < lines.size(); ++i)
    fill(records[i], lines[i]);
  return records;
}
DismCustomProperty *Properties(const std::vector<std::vector<std::wstring>> &lines,
                               const std::string &key, UINT &count) {
  return Array<DismCustomProperty>(lines, key, count,
                                   [](DismCustomProperty &r, const std::vector<std::wstring> &f) {
                                     r.Name = Keep(Text(f, 0));
                                     r.Value = Keep(Text(f, 1));
                                     r.Path = Keep(Text(f, 2));
                                   });
}
template <typename Record> Record *NewRecord() {
  return (Record *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Record));
}

// Hands out count records, or none with the count set when so scripted.
template <typename Record, typename Fill>
void HandOut(const char *entry, size_t count, Record **buffer, UINT *outCount, Fill fill) {
  Script &s = Load();
  auto null = s.nullBuffers.find(entry);
  if (null != s.nullBuffers.end()) {
    *buffer = nullptr;
    *outCount = null->second;
    return;
  }
  size_t limit = (size_t)Scripted(s.limits, entry, s.calls[entry], (HRESULT)count);
  if (limit < count)
    count = limit;
  if (count == 0)
    return;
  Record *records = (Record *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(Record));
  for (size_t i = 0; i < count; ++i)
    fill(records[i], i);
  *buffer = records;
  auto claimed = s.claimedCounts.find(entry);
  *outCount = claimed != s.claimedCounts.end() ? claimed->second : (UINT)count;
}

std::string Event(HANDLE event) {
  if (!event)
    return "null";
  return WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? "set" : "clear";
}

void Hold(const char *entry) {
  Script &s = Load();
  auto slow = s.slow.find(entry);
  if (slow != s.slow.end())
    Sleep(slow->second.first * slow->second.second);
}

struct LateReport {
  DWORD ms;
  DISM_PROGRESS_CALLBACK progress;
  PVOID userData;
};

DWORD WINAPI ReportLate(LPVOID parameter) {
  LateReport *late = (LateReport *)parameter;
  Sleep(late->ms);
  late->progress(57, 100, late->userData);
  return 0;
}

// A long operation as scripted: its progress in steps, watching the cancel
// event between them; then its scripted status, or the cancel code.
HRESULT Steps(const char *entry, HANDLE cancel, DISM_PROGRESS_CALLBACK progress, PVOID userData) {
  Script &s = Load();
  auto slow = s.slow.find(entry);
  if (slow != s.slow.end()) {
    const UINT steps = slow->second.first;
    const bool stops = s.noCancel.find(entry) == s.noCancel.end();
    for (UINT step = 0; step <= steps; ++step) {
      if (progress)
        progress(step, steps, userData);
      if (step == steps)
        break;
      if (cancel && stops) {
        if (WaitForSingleObject(cancel, slow->second.second) == WAIT_OBJECT_0) {
          s.calls[entry]++;
          return HRESULT_FROM_WIN32(ERROR_CANCELLED);
        }
      } else {
        Sleep(slow->second.second);
      }
    }
    if (!stops) {
      s.calls[entry]++;
      return S_OK;
    }
  }
  return Status(entry);
}

// The steps, then a late report when so scripted, after the call returned.
HRESULT LongOperation(const char *entry, HANDLE cancel, DISM_PROGRESS_CALLBACK progress,
                      PVOID userData) {
  HRESULT status = Steps(entry, cancel, progress, userData);
  auto late = Load().late.find(entry);
  if (late != Load().late.end() && progress)
    CloseHandle(CreateThread(nullptr, 0, ReportLate,
                             new LateReport{late->second, progress, userData}, 0, nullptr));
  return status;
}

// The text between <tag> and </tag> in the XML, from at on.
std::wstring Element(const std::wstring &xml, const wchar_t *tag, size_t at, size_t end) {
  std::wstring open = std::wstring(L"<") + tag + L">", close = std::wstring(L"</") + tag + L">";
  size_t from = xml.find(open, at);
  if (from == std::wstring::npos || from > end)
    return std::wstring();
  from += open.size();
  size_t to = xml.find(close, from);
  return to == std::wstring::npos ? std::wstring() : xml.substr(from, to - from);
}

// A time of a .wim file's XML, its FILETIME in two parts, as UTC.
SYSTEMTIME WimTime(const std::wstring &element) {
  FILETIME file = {};
  file.dwHighDateTime =
      wcstoul(Element(element, L"HIGHPART", 0, element.size()).c_str(), nullptr, 0);
  file.dwLowDateTime = wcstoul(Element(element, L"LOWPART", 0, element.size()).c_str(), nullptr, 0);
  SYSTEMTIME time = {};
  FileTimeToSystemTime(&file, &time);
  return time;
}

// Image lines (index, name, major, minor, build, description, size,
// architecture, service pack build, folders, files, creation and change
// times) of a .wim file: its header names where the XML that describes the
// images lies, in UTF-16.
std::vector<std::vector<std::wstring>> WimImages(PCWSTR path) {
  std::vector<std::vector<std::wstring>> images;
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return images;
  unsigned char header[208] = {};
  DWORD read = 0;
  ReadFile(file, header, sizeof header, &read, nullptr);
  unsigned long long size = 0, offset = 0;
  memcpy(&size, header + 72, 8);
  memcpy(&offset, header + 80, 8);
  size &= 0x00FFFFFFFFFFFFFFull;
  std::wstring xml;
  if (read == sizeof header && memcmp(header, "MSWIM\0\0\0", 8) == 0 && size < (1u << 24)) {
    xml.resize(size / 2);
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    ReadFile(file, &xml[0], (DWORD)(xml.size() * 2), &read, nullptr);
  }
  CloseHandle(file);
  for (size_t at = xml.find(L"<IMAGE INDEX=\""); at != std::wstring::npos;
       at = xml.find(L"<IMAGE INDEX=\"", at + 1)) {
    size_t end = xml.find(L"</IMAGE>", at);
    std::wstring index = xml.substr(at + 14, xml.find(L'"', at + 14) - at - 14);
    images.push_back({index, Element(xml, L"NAME", at, end), Element(xml, L"MAJOR", at, end),
                      Element(xml, L"MINOR", at, end), Element(xml, L"BUILD", at, end),
                      Element(xml, L"DESCRIPTION", at, end), Element(xml, L"TOTALBYTES", at, end),
                      Element(xml, L"ARCH", at, end), Element(xml, L"SPBUILD", at, end),
                      Element(xml, L"DIRCOUNT", at, end), Element(xml, L"FILECOUNT", at, end),
                      Element(xml, L"CREATIONTIME", at, end),
                      Element(xml, L"LASTMODIFICATIONTIME", at, end)});
  }
  return images;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH)
    self = instance;
  return TRUE;
}

HRESULT WINAPI DismInitialize(DismLogLevel LogLevel, PCWSTR LogFilePath, PCWSTR ScratchDirectory) {
  Journal("DismInitialize", {Num(LogLevel), Str(LogFilePath), Str(ScratchDirectory)});
  return Status("DismInitialize");
}

HRESULT WINAPI DismShutdown(void) {
  Journal("DismShutdown", {});
  return Status("DismShutdown");
}

HRESULT WINAPI DismMountImage(PCWSTR ImageFilePath, PCWSTR MountPath, UINT ImageIndex,
                              PCWSTR ImageName, DismImageIdentifier ImageIdentifier, DWORD Flags,
                              HANDLE CancelEvent, DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
  HRESULT status = LongOperation("DismMountImage", CancelEvent, Progress, UserData);
  Journal("DismMountImage", {Str(ImageFilePath), Str(MountPath), Num(ImageIndex), Str(ImageName),
                             Num(ImageIdentifier), Num(Flags), Event(CancelEvent),
                             Ptr((void *)Progress), Ptr(UserData)});
  return status;
}

HRESULT WINAPI DismUnmountImage(PCWSTR MountPath, DWORD Flags, HANDLE CancelEvent,
                                DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
  HRESULT status = LongOperation("DismUnmountImage", CancelEvent, Progress, UserData);
  Journal("DismUnmountImage",
          {Str(MountPath), Num(Flags), Event(CancelEvent), Ptr((void *)Progress), Ptr(UserData)});
  return status;
}

HRESULT WINAPI DismOpenSession(PCWSTR ImagePath, PCWSTR WindowsDirectory, PCWSTR SystemDrive,
                               DismSession *Session) {
  Journal("DismOpenSession",
          {Str(ImagePath), Str(WindowsDirectory), Str(SystemDrive), Ptr(Session)});
  Hold("DismOpenSession");
  HRESULT status = Status("DismOpenSession");
  if (status == S_OK && Session) {
    *Session = Load().handle;
    Load().reloadDue = false;
  }
  return status;
}

HRESULT WINAPI DismCloseSession(DismSession Session) {
  Journal("DismCloseSession", {Num(Session)});
  return Status("DismCloseSession");
}

HRESULT WINAPI DismGetLastErrorMessage(DismString **ErrorMessage) {
  Journal("DismGetLastErrorMessage", {Ptr(ErrorMessage)});
  HRESULT status = Status("DismGetLastErrorMessage");
  Script &s = Load();
  if (status == S_OK && ErrorMessage) {
    lastErrorString = (DismString *)HeapAlloc(GetProcessHeap(), 0, sizeof(DismString));
    lastErrorString->Value = s.lastErrorNull ? nullptr : Keep(s.lastError);
    *ErrorMessage = lastErrorString;
  }
  return status;
}

HRESULT WINAPI DismGetImageInfo(PCWSTR ImageFilePath, DismImageInfo **ImageInfo, UINT *Count) {
  Journal("DismGetImageInfo", {Str(ImageFilePath), Ptr(ImageInfo), Ptr(Count)});
  const Script &s = Load();
  const std::vector<std::vector<std::wstring>> images =
      s.images.empty() && ImageFilePath ? WimImages(ImageFilePath) : s.images;
  const bool wim = s.images.empty();
  HandOut("DismGetImageInfo", images.size(), ImageInfo, Count, [&](DismImageInfo &r, size_t i) {
    const std::vector<std::wstring> &f = images[i];
    r.ImageIndex = Number(f, 0);
    r.ImageName = Keep(Text(f, 1));
    r.MajorVersion = Number(f, 2);
    r.MinorVersion = Number(f, 3);
    r.Build = Number(f, 4);
    r.ImageType = (DismImageType)DetailNumber("Image.ImageType");
    r.ImageDescription = wim ? Keep(Text(f, 5)) : DetailText("Image.ImageDescription");
    r.ImageSize = wim ? wcstoull(Text(f, 6).c_str(), nullptr, 0) : DetailNumber("Image.ImageSize");
    r.Architecture = wim ? Number(f, 7) : (UINT)DetailNumber("Image.Architecture");
    r.ProductName = DetailText("Image.ProductName");
    r.EditionId = DetailText("Image.EditionId");
    r.InstallationType = DetailText("Image.InstallationType");
    r.Hal = DetailText("Image.Hal");
    r.ProductType = DetailText("Image.ProductType");
    r.ProductSuite = DetailText("Image.ProductSuite");
    r.SpBuild = wim ? Number(f, 8) : (UINT)DetailNumber("Image.SpBuild");
    r.SpLevel = (UINT)DetailNumber("Image.SpLevel");
    r.Bootable = (DismImageBootable)DetailNumber("Image.Bootable", wim ? DismImageBootableNo : 0);
    r.SystemRoot = DetailText("Image.SystemRoot");
    std::vector<std::vector<std::wstring>> languages;
    for (const std::wstring &language : s.languages)
      languages.push_back({language});
    r.Language = Array<DismLanguage>(
        languages, "Image.Language", r.LanguageCount,
        [](DismLanguage &l, const std::vector<std::wstring> &v) { l.Value = Keep(v[0]); });
    r.DefaultLanguageIndex = (UINT)DetailNumber("Image.DefaultLanguageIndex");
    bool customized = wim;
    for (const auto &detail : s.details)
      customized = customized || detail.first.compare(0, 11, "Customized.") == 0;
    if (customized) {
      DismWimCustomizedInfo *info = NewRecord<DismWimCustomizedInfo>();
      info->Size = sizeof *info;
      info->DirectoryCount = wim ? Number(f, 9) : (UINT)DetailNumber("Customized.DirectoryCount");
      info->FileCount = wim ? Number(f, 10) : (UINT)DetailNumber("Customized.FileCount");
      info->CreatedTime = wim ? WimTime(Text(f, 11)) : DetailTime("Customized.CreatedTime");
      info->ModifiedTime = wim ? WimTime(Text(f, 12)) : DetailTime("Customized.ModifiedTime");
      r.CustomizedInfo = info;
    }
  });
  return Status("DismGetImageInfo");
}

HRESULT WINAPI DismGetMountedImageInfo(DismMountedImageInfo **MountedImageInfo, UINT *Count) {
  Journal("DismGetMountedImageInfo", {Ptr(MountedImageInfo), Ptr(Count)});
  Hold("DismGetMountedImageInfo");
  const Script &s = Load();
  HandOut("DismGetMountedImageInfo", s.mounted.size(), MountedImageInfo, Count,
          [&](DismMountedImageInfo &r, size_t i) {
            const std::vector<std::wstring> &f = s.mounted[i];
            r.MountPath = Keep(Text(f, 0));
            r.ImageFilePath = Keep(Text(f, 1));
            r.ImageIndex = Number(f, 2);
            r.MountMode = (DismMountMode)Number(f, 3);
            r.MountStatus = (DismMountStatus)Number(f, 4);
          });
  return Status("DismGetMountedImageInfo");
}

HRESULT WINAPI DismCleanupMountpoints(void) {
  Journal("DismCleanupMountpoints", {});
  return Status("DismCleanupMountpoints");
}

HRESULT WINAPI DismDelete(VOID *DismStructure) {
  Journal("DismDelete",
          {DismStructure && DismStructure == lastErrorString ? "lasterror" : Ptr(DismStructure)});
  return Status("DismDelete");
}

HRESULT WINAPI DismAddPackage(DismSession Session, PCWSTR PackagePath, WINBOOL IgnoreCheck,
                              WINBOOL PreventPending, HANDLE CancelEvent,
                              DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
  HRESULT status = LongOperation("DismAddPackage", CancelEvent, Progress, UserData);
  Journal("DismAddPackage", {Num(Session), Str(PackagePath), Num(IgnoreCheck), Num(PreventPending),
                             Event(CancelEvent), Ptr((void *)Progress), Ptr(UserData)});
  return OnSession(status);
}

HRESULT WINAPI DismGetPackages(DismSession Session, DismPackage **Package, UINT *Count) {
  Journal("DismGetPackages", {Num(Session), Ptr(Package), Ptr(Count)});
  const Script &s = Load();
  if (s.generated > 0) {
    // Large listings: the names in one block, as a library would keep them.
    const size_t width = s.generatedPrefix.size() + 11;
    wchar_t *names =
        (wchar_t *)HeapAlloc(GetProcessHeap(), 0, s.generated * width * sizeof(wchar_t));
    HandOut("DismGetPackages", s.generated, Package, Count, [&](DismPackage &r, size_t i) {
      wchar_t *name = names + i * width;
      swprintf(name, width, L"%ls%lu", s.generatedPrefix.c_str(), (unsigned long)i);
      r.PackageName = name;
    });
  } else {
    HandOut("DismGetPackages", s.packages.size(), Package, Count,
            [&](DismPackage &r, size_t i) { r.PackageName = Keep(s.packages[i]); });
  }
  return Status("DismGetPackages");
}

HRESULT WINAPI DismGetFeatures(DismSession Session, PCWSTR Identifier,
                               DismPackageIdentifier PackageIdentifier, DismFeature **Feature,
                               UINT *Count) {
  Journal("DismGetFeatures",
          {Num(Session), Str(Identifier), Num(PackageIdentifier), Ptr(Feature), Ptr(Count)});
  const Script &s = Load();
  HandOut("DismGetFeatures", s.features.size(), Feature, Count, [&](DismFeature &r, size_t i) {
    r.FeatureName = Keep(Text(s.features[i], 0));
    r.State = (DismPackageFeatureState)Number(s.features[i], 1);
  });
  return Status("DismGetFeatures");
}

HRESULT WINAPI DismGetCapabilities(DismSession Session, DismCapability **Capability, UINT *Count) {
  Journal("DismGetCapabilities", {Num(Session), Ptr(Capability), Ptr(Count)});
  const Script &s = Load();
  HandOut("DismGetCapabilities", s.capabilities.size(), Capability, Count,
          [&](DismCapability &r, size_t i) {
            r.Name = Keep(Text(s.capabilities[i], 0));
            r.State = (DismPackageFeatureState)Number(s.capabilities[i], 1);
          });
  return Status("DismGetCapabilities");
}

HRESULT WINAPI DismRemountImage(PCWSTR MountPath) {
  Journal("DismRemountImage", {Str(MountPath)});
  return Status("DismRemountImage");
}

HRESULT WINAPI DismCommitImage(DismSession Session, DWORD Flags, HANDLE CancelEvent,
                               DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
  HRESULT status = LongOperation("DismCommitImage", CancelEvent, Progress, UserData);
  Journal("DismCommitImage",
          {Num(Session), Num(Flags), Event(CancelEvent), Ptr((void *)Progress), Ptr(UserData)});
  return OnSession(status);
}

HRESULT WINAPI DismRemovePackage(DismSession Session, PCWSTR Identifier,
                                 DismPackageIdentifier PackageIdentifier, HANDLE CancelEvent,
                                 DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
  HRESULT status = LongOperation("DismRemovePackage", CancelEvent, Progress, UserData);
  Journal("DismRemovePackage", {Num(Session), Str(Identifier), Num(PackageIdentifier),
                                Event(CancelEvent), Ptr((void *)Progress), Ptr(UserData)});
  return OnSession(status);
}

HRESULT WINAPI DismRemoveDriver(DismSession Session, PCWSTR DriverPath) {
  Journal("DismRemoveDriver", {Num(Session), Str(DriverPath)});
  return OnSession(Status("DismRemoveDriver"));
}

HRESULT WINAPI DismRemoveCapability(DismSession Session, PCWSTR Name, HANDLE CancelEvent,
                                    DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
  HRESULT status = LongOperation("DismRemoveCapability", CancelEvent, Progress, UserData);
  Journal("DismRemoveCapability",
          {Num(Session), Str(Name), Event(CancelEvent), Ptr((void *)Progress), Ptr(UserData)});
  return OnSession(status);
}

HRESULT WINAPI DismEnableFeature(DismSession Session, PCWSTR FeatureName, PCWSTR Identifier,
                                 DismPackageIdentifier PackageIdentifier, WINBOOL LimitAccess,
                                 PCWSTR *SourcePaths, UINT SourcePathCount, WINBOOL EnableAll,
                                 HANDLE CancelEvent, DISM_PROGRESS_CALLBACK Progress,
                                 PVOID UserData) {
  HRESULT status = LongOperation("DismEnableFeature", CancelEvent, Progress, UserData);
  Journal("DismEnableFeature",
          {Num(Session), Str(FeatureName), Str(Identifier), Num(PackageIdentifier),
           Num(LimitAccess), Paths(SourcePaths, SourcePathCount), Num(SourcePathCount),
           Num(EnableAll), Event(CancelEvent), Ptr((void *)Progress), Ptr(UserData)});
  return OnSession(status);
}

HRESULT WINAPI DismDisableFeature(DismSession Session, PCWSTR FeatureName, PCWSTR PackageName,
                                  WINBOOL RemovePayload, HANDLE CancelEvent,
                                  DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
  HRESULT status = LongOperation("DismDisableFeature", CancelEvent, Progress, UserData);
  Journal("DismDisableFeature",
          {Num(Session), Str(FeatureName), Str(PackageName), Num(RemovePayload), Event(CancelEvent),
           Ptr((void *)Progress), Ptr(UserData)});
  return OnSession(status);
}

HRESULT WINAPI DismAddDriver(DismSession Session, PCWSTR DriverPath, WINBOOL ForceUnsigned) {
  Journal("DismAddDriver", {Num(Session), Str(DriverPath), Num(ForceUnsigned)});
  Hold("DismAddDriver");
  return OnSession(Status("DismAddDriver"));
}

HRESULT WINAPI DismGetDrivers(DismSession Session, WINBOOL AllDrivers,
                              DismDriverPackage **DriverPackage, UINT *Count) {
  Journal("DismGetDrivers", {Num(Session), Num(AllDrivers), Ptr(DriverPackage), Ptr(Count)});
  const Script &s = Load();
  HandOut("DismGetDrivers", s.drivers.size(), DriverPackage, Count,
          [&](DismDriverPackage &r, size_t i) { r.PublishedName = Keep(s.drivers[i]); });
  return Status("DismGetDrivers");
}

HRESULT WINAPI DismAddCapability(DismSession Session, PCWSTR Name, WINBOOL LimitAccess,
                                 PCWSTR *SourcePaths, UINT SourcePathCount, HANDLE CancelEvent,
                                 DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
  HRESULT status = LongOperation("DismAddCapability", CancelEvent, Progress, UserData);
  Journal("DismAddCapability",
          {Num(Session), Str(Name), Num(LimitAccess), Paths(SourcePaths, SourcePathCount),
           Num(SourcePathCount), Event(CancelEvent), Ptr((void *)Progress), Ptr(UserData)});
  return OnSession(status);
}

HRESULT WINAPI DismApplyUnattend(DismSession Session, PCWSTR UnattendFile, WINBOOL SingleSession) {
  Journal("DismApplyUnattend", {Num(Session), Str(UnattendFile), Num(SingleSession)});
  return OnSession(Status("DismApplyUnattend"));
}

HRESULT WINAPI DismCheckImageHealth(DismSession Session, WINBOOL ScanImage, HANDLE CancelEvent,
                                    DISM_PROGRESS_CALLBACK Progress, PVOID UserData,
                                    DismImageHealthState *ImageHealth) {
  HRESULT status = LongOperation("DismCheckImageHealth", CancelEvent, Progress, UserData);
  Journal("DismCheckImageHealth", {Num(Session), Num(ScanImage), Event(CancelEvent),
                                   Ptr((void *)Progress), Ptr(UserData), Ptr(ImageHealth)});
  if (ImageHealth)
    *ImageHealth = Load().health;
  return OnSession(status);
}

HRESULT WINAPI DismRestoreImageHealth(DismSession Session, PCWSTR *SourcePaths,
                                      UINT SourcePathCount, WINBOOL LimitAccess, HANDLE CancelEvent,
                                      DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
  HRESULT status = LongOperation("DismRestoreImageHealth", CancelEvent, Progress, UserData);
  Journal("DismRestoreImageHealth",
          {Num(Session), Paths(SourcePaths, SourcePathCount), Num(SourcePathCount),
           Num(LimitAccess), Event(CancelEvent), Ptr((void *)Progress), Ptr(UserData)});
  return OnSession(status);
}

// The details of the package, from the script, into the record.
void FillPackageInfo(Script &s, DismPackageInfo *r) {
  r->PackageName = DetailText("Package.PackageName");
  r->PackageState = (DismPackageFeatureState)DetailNumber("Package.PackageState");
  r->ReleaseType = (DismReleaseType)DetailNumber("Package.ReleaseType");
  r->InstallTime = DetailTime("Package.InstallTime");
  r->Applicable = (WINBOOL)DetailNumber("Package.Applicable");
  r->Copyright = DetailText("Package.Copyright");
  r->Company = DetailText("Package.Company");
  r->CreationTime = DetailTime("Package.CreationTime");
  r->DisplayName = DetailText("Package.DisplayName");
  r->Description = DetailText("Package.Description");
  r->InstallClient = DetailText("Package.InstallClient");
  r->InstallPackageName = DetailText("Package.InstallPackageName");
  r->LastUpdateTime = DetailTime("Package.LastUpdateTime");
  r->ProductName = DetailText("Package.ProductName");
  r->ProductVersion = DetailText("Package.ProductVersion");
  r->RestartRequired = (DismRestartType)DetailNumber("Package.RestartRequired");
  r->FullyOffline = (DismFullyOfflineInstallableType)DetailNumber("Package.FullyOffline");
  r->SupportInformation = DetailText("Package.SupportInformation");
  r->CustomProperty =
      Properties(s.packageProperties, "Package.CustomProperty", r->CustomPropertyCount);
  r->Feature = Array<DismFeature>(s.packageFeatures, "Package.Feature", r->FeatureCount,
                                  [](DismFeature &f, const std::vector<std::wstring> &v) {
                                    f.FeatureName = Keep(Text(v, 0));
                                    f.State = (DismPackageFeatureState)Number(v, 1);
                                  });
}

HRESULT WINAPI DismGetPackageInfo(DismSession Session, PCWSTR Identifier,
                                  DismPackageIdentifier PackageIdentifier,
                                  DismPackageInfo **PackageInfo) {
  Journal("DismGetPackageInfo",
          {Num(Session), Str(Identifier), Num(PackageIdentifier), Ptr(PackageInfo)});
  Script &s = Load();
  if (PackageInfo && !s.nullRecords["DismGetPackageInfo"]) {
    DismPackageInfo *r = NewRecord<DismPackageInfo>();
    FillPackageInfo(s, r);
    *PackageInfo = r;
  }
  return OnSession(Status("DismGetPackageInfo"));
}

// The same record and the capability the package belongs to.
HRESULT WINAPI DismGetPackageInfoEx(DismSession Session, PCWSTR Identifier,
                                    DismPackageIdentifier PackageIdentifier,
                                    DismPackageInfoEx **PackageInfoEx) {
  Journal("DismGetPackageInfoEx",
          {Num(Session), Str(Identifier), Num(PackageIdentifier), Ptr(PackageInfoEx)});
  Script &s = Load();
  if (PackageInfoEx && !s.nullRecords["DismGetPackageInfoEx"]) {
    DismPackageInfoEx *r = NewRecord<DismPackageInfoEx>();
    FillPackageInfo(s, r);
    r->CapabilityId = DetailText("Package.CapabilityId");
    *PackageInfoEx = r;
  }
  return OnSession(Status("DismGetPackageInfoEx"));
}

HRESULT WINAPI DismGetFeatureParent(DismSession Session, PCWSTR FeatureName, PCWSTR Identifier,
                                    DismPackageIdentifier PackageIdentifier, DismFeature **Feature,
                                    UINT *Count) {
  Journal("DismGetFeatureParent", {Num(Session), Str(FeatureName), Str(Identifier),
                                   Num(PackageIdentifier), Ptr(Feature), Ptr(Count)});
  const Script &s = Load();
  HandOut("DismGetFeatureParent", s.parents.size(), Feature, Count, [&](DismFeature &r, size_t i) {
    r.FeatureName = Keep(Text(s.parents[i], 0));
    r.State = (DismPackageFeatureState)Number(s.parents[i], 1);
  });
  return OnSession(Status("DismGetFeatureParent"));
}

HRESULT WINAPI DismGetReservedStorageState(DismSession Session, DWORD *State) {
  Journal("DismGetReservedStorageState", {Num(Session), Ptr(State)});
  if (State)
    *State = Load().reservedStorage;
  return OnSession(Status("DismGetReservedStorageState"));
}

HRESULT WINAPI DismSetReservedStorageState(DismSession Session, DWORD State) {
  Journal("DismSetReservedStorageState", {Num(Session), Num(State)});
  return OnSession(Status("DismSetReservedStorageState"));
}

HRESULT WINAPI DismGetFeatureInfo(DismSession Session, PCWSTR FeatureName, PCWSTR Identifier,
                                  DismPackageIdentifier PackageIdentifier,
                                  DismFeatureInfo **FeatureInfo) {
  Journal("DismGetFeatureInfo", {Num(Session), Str(FeatureName), Str(Identifier),
                                 Num(PackageIdentifier), Ptr(FeatureInfo)});
  Script &s = Load();
  if (FeatureInfo && !s.nullRecords["DismGetFeatureInfo"]) {
    DismFeatureInfo *r = NewRecord<DismFeatureInfo>();
    r->FeatureName = DetailText("Feature.FeatureName");
    r->FeatureState = (DismPackageFeatureState)DetailNumber("Feature.FeatureState");
    r->DisplayName = DetailText("Feature.DisplayName");
    r->Description = DetailText("Feature.Description");
    r->RestartRequired = (DismRestartType)DetailNumber("Feature.RestartRequired");
    r->CustomProperty =
        Properties(s.featureProperties, "Feature.CustomProperty", r->CustomPropertyCount);
    *FeatureInfo = r;
  }
  return OnSession(Status("DismGetFeatureInfo"));
}

HRESULT WINAPI DismGetCapabilityInfo(DismSession Session, PCWSTR Name, DismCapabilityInfo **Info) {
  Journal("DismGetCapabilityInfo", {Num(Session), Str(Name), Ptr(Info)});
  if (Info && !Load().nullRecords["DismGetCapabilityInfo"]) {
    DismCapabilityInfo *r = NewRecord<DismCapabilityInfo>();
    r->Name = DetailText("Capability.Name");
    r->State = (DismPackageFeatureState)DetailNumber("Capability.State");
    r->DisplayName = DetailText("Capability.DisplayName");
    r->Description = DetailText("Capability.Description");
    r->DownloadSize = (DWORD)DetailNumber("Capability.DownloadSize");
    r->InstallSize = (DWORD)DetailNumber("Capability.InstallSize");
    *Info = r;
  }
  return OnSession(Status("DismGetCapabilityInfo"));
}

HRESULT WINAPI DismGetDriverInfo(DismSession Session, PCWSTR DriverPath, DismDriver **Driver,
                                 UINT *Count, DismDriverPackage **DriverPackage) {
  Journal("DismGetDriverInfo",
          {Num(Session), Str(DriverPath), Ptr(Driver), Ptr(Count), Ptr(DriverPackage)});
  Script &s = Load();
  if (Driver && Count)
    *Driver = Array<DismDriver>(s.drivers2, "Driver.Driver", *Count,
                                [](DismDriver &d, const std::vector<std::wstring> &v) {
                                  d.ManufacturerName = Keep(Text(v, 0));
                                  d.HardwareDescription = Keep(Text(v, 1));
                                  d.HardwareId = Keep(Text(v, 2));
                                  d.Architecture = Number(v, 3);
                                  d.ServiceName = Keep(Text(v, 4));
                                  d.CompatibleIds = Keep(Text(v, 5));
                                  d.ExcludeIds = Keep(Text(v, 6));
                                });
  if (DriverPackage && !s.nullRecords["DismGetDriverInfo"]) {
    DismDriverPackage *r = NewRecord<DismDriverPackage>();
    r->PublishedName = DetailText("DriverPackage.PublishedName");
    r->OriginalFileName = DetailText("DriverPackage.OriginalFileName");
    r->InBox = (WINBOOL)DetailNumber("DriverPackage.InBox");
    r->CatalogFile = DetailText("DriverPackage.CatalogFile");
    r->ClassName = DetailText("DriverPackage.ClassName");
    r->ClassGuid = DetailText("DriverPackage.ClassGuid");
    r->ClassDescription = DetailText("DriverPackage.ClassDescription");
    r->BootCritical = (WINBOOL)DetailNumber("DriverPackage.BootCritical");
    r->DriverSignature = (DismDriverSignature)DetailNumber("DriverPackage.DriverSignature");
    r->ProviderName = DetailText("DriverPackage.ProviderName");
    r->Date = DetailTime("DriverPackage.Date");
    r->MajorVersion = (UINT)DetailNumber("DriverPackage.MajorVersion");
    r->MinorVersion = (UINT)DetailNumber("DriverPackage.MinorVersion");
    r->Build = (UINT)DetailNumber("DriverPackage.Build");
    r->Revision = (UINT)DetailNumber("DriverPackage.Revision");
    *DriverPackage = r;
  }
  return OnSession(Status("DismGetDriverInfo"));
}

} // extern "C"
