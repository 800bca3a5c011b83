// What each command takes from the command line, read and checked in one
// place before anything is asked of the library.
#include "app/app.h"

#include "console/console.h"

#include <algorithm>
#include <cstring>

const FileTests PlatformFiles = {IsExistingFile, IsPlainFile, IsExistingFolder, FullPath};

namespace {

// The switches' texts; the first commands' are found anywhere in the text.
struct SwitchText {
  Switch flag;
  const char *text;
  bool anywhere;
};
const SwitchText SwitchTexts[] = {
    {ReadOnly, "/ro", true},
    {Force, "/force", true},
    {Discard, "/discard", true},
    {All, "/all", false},
    {RemovePayload, "/removepayload", false},
    {LimitAccess, "/limitaccess", false},
    {Append, "/append", false},
    {Recurse, "/recurse", false},
    {Optimize, "/optimize", false},
    {CheckIntegrity, "/checkintegrity", false},
};

// The options that take a value, written "/option:<value>", and those of the
// whole line that take none.
const char *const ValueOptions[] = {
    "/index:",  "/name:",        "/logpath:",     "/loglevel:",   "/scratchdir:",
    "/windir:", "/sysdrivedir:", "/packagename:", "/packagepath:"};
const char *const LineOptions[] = {"/exitcode"};

// Every value of an option written as a prefix must be the same one.
bool AllSame(const std::vector<std::wstring> &values) {
  return std::all_of(values.begin(), values.end(),
                     [&](const std::wstring &value) { return value == values.front(); });
}

// The one value of an option written as a prefix, empty where it is not
// given; raises the message where it is given twice with different values.
std::wstring OneValue(const std::vector<std::wstring> &arguments, const char *prefix,
                      const char *twice, bool &given) {
  const std::vector<std::wstring> values = OptionValuesOf(arguments, prefix);
  if (!AllSame(values))
    RaiseError("Exception", twice);
  given = !values.empty();
  return values.empty() ? std::wstring() : values.front();
}

bool HasArgument(const std::vector<std::wstring> &arguments, const char *option) {
  return std::any_of(arguments.begin(), arguments.end(),
                     [&](const std::wstring &argument) { return SameOption(argument, option); });
}

unsigned SwitchesOf(unsigned wanted, const CommandLine &line) {
  unsigned on = 0;
  for (const SwitchText &s : SwitchTexts)
    if ((wanted & s.flag) != 0 &&
        (s.anywhere ? TextPos(s.text, line.text) > 0 : HasArgument(line.arguments, s.text)))
      on |= s.flag;
  return on;
}

// The values from the argument at index n on (2 for argument 3): the
// arguments that are neither an option nor a command's keyword, in order.
std::vector<std::wstring> ValuesFrom(const std::vector<std::wstring> &arguments, size_t n) {
  std::vector<std::wstring> values = ValuesAfter(arguments, n);
  // A keyword without its slash is a command, not a value.
  values.erase(std::remove_if(values.begin(), values.end(),
                              [](const std::wstring &value) {
                                return std::any_of(Commands, Commands + CommandCount,
                                                   [&](const Command &command) {
                                                     return SameOption(value, command.keyword);
                                                   });
                              }),
               values.end());
  return values;
}

// The choice of the command line. Raises, before any file is read, when an
// index and a name are both given, a name is empty or given twice otherwise,
// and, where an index must be one, when it is no number or given twice
// otherwise; where it need not, such an index chooses nothing.
ImageChoice ChosenImage(const std::vector<std::wstring> &arguments, bool indexMustBeANumber) {
  const std::vector<std::wstring> indexes = OptionValuesOf(arguments, "/index:");
  const std::vector<std::wstring> names = OptionValuesOf(arguments, "/name:");
  if (!indexes.empty() && !names.empty())
    RaiseError("Exception", "image index and name both given");
  ImageChoice choice = {false, 1, !names.empty(), names.empty() ? std::wstring() : names[0]};
  if (choice.byName && choice.name.empty())
    RaiseError("Exception", "image name is empty");
  if (!AllSame(names))
    RaiseError("Exception", "image name is given twice");
  // Leading zeros are a number's: "/index:007" and "/index:7" are the same.
  for (const std::wstring &text : indexes) {
    UINT index = 0;
    if (!ParseImageIndex(text, index) || (choice.byIndex && index != choice.index)) {
      if (indexMustBeANumber)
        RaiseError("Exception", "image index is not a number");
      return {false, 1, false, std::wstring()};
    }
    choice.byIndex = true;
    choice.index = index;
  }
  return choice;
}

// A package file is a text that reads as a path; anything else is a name.
bool IsPackageFile(const std::wstring &package) {
  const auto endsWith = [&](const char *suffix) {
    const size_t length = strlen(suffix);
    return package.size() >= length && SameOption(package.substr(package.size() - length), suffix);
  };
  return package.find_first_of(L"\\/:") != std::wstring::npos || endsWith(".cab") ||
         endsWith(".msu");
}

// A source: a folder that must exist, or an image ("wim:<file>:<index>")
// whose file must exist and whose index must be a number; the empty text for
// none.
void RequireSource(const std::wstring &source, const FileTests &files) {
  if (source.empty())
    return;
  if (!IsImageSource(source)) {
    RequireFolder(source, files);
    return;
  }
  // The file is all between the prefix and the last colon.
  const size_t colon = source.rfind(L':');
  const std::wstring file = colon > 3 ? source.substr(4, colon - 4) : std::wstring();
  RequireFile(file, false, files);
  UINT index = 0;
  if (!ParseImageIndex(source.substr(colon + 1), index))
    RaiseError("Exception", "image index is not a number");
}

// The package a feature command is limited to, from its option.
PackageRef PackageOf(PackageOption option, const std::vector<std::wstring> &arguments,
                     const FileTests &files) {
  bool byName = false, byPath = false;
  const std::wstring name =
      OneValue(arguments, "/packagename:", "package name is given twice", byName);
  const std::wstring path =
      OneValue(arguments, "/packagepath:", "package path is given twice", byPath);
  if (byName && byPath)
    RaiseError("Exception", "package name and path both given");
  if (byName && name.empty())
    RaiseError("Exception", "package name is empty");
  if (byPath && option == PackageOption::NameOnly)
    RaiseError("Exception", "a feature is disabled by its package's name");
  if (byName)
    return {name, DismPackageName};
  if (!byPath)
    return {};
  RequireFile(path, false, files);
  return {files.fullPath(path), DismPackagePath};
}

const std::wstring &Nth(const std::vector<std::wstring> &values, size_t n) {
  static const std::wstring none;
  return n < values.size() ? values[n] : none;
}

} // namespace

void RefuseUnknownOptions(const std::vector<std::wstring> &arguments) {
  for (const std::wstring &argument : arguments) {
    if (argument.empty() || argument[0] != L'/' || SameOption(argument, "/online"))
      continue;
    const bool known =
        std::any_of(std::begin(SwitchTexts), std::end(SwitchTexts),
                    [&](const SwitchText &s) { return SameOption(argument, s.text); }) ||
        std::any_of(
            std::begin(ValueOptions), std::end(ValueOptions),
            [&](const char *prefix) { return !OptionValuesOf({argument}, prefix).empty(); }) ||
        std::any_of(std::begin(LineOptions), std::end(LineOptions),
                    [&](const char *option) { return SameOption(argument, option); }) ||
        std::any_of(Commands, Commands + CommandCount,
                    [&](const Command &command) { return IsKeyword(command, argument); });
    if (!known)
      RaiseError("Exception", "unknown option " + NarrowText(argument.c_str()));
  }
}

namespace {

// A device is no file and no folder, whatever the file system answers: the
// name as given and the full path the platform makes of it.
bool IsDevice(const std::wstring &path, const FileTests &files) {
  return NamesADevice(path) || NamesADevice(files.fullPath(path));
}

} // namespace

void RequireFolder(const std::wstring &path, const FileTests &files) {
  if (IsDevice(path, files) || !files.isFolder(path))
    RaiseError("Exception", "folder does not exist");
}

void RequireFile(const std::wstring &path, bool patternCounts, const FileTests &files) {
  if (IsDevice(path, files) || !(patternCounts ? files.matchesFile(path) : files.isFile(path)))
    RaiseError("Exception", "file does not exist");
}

bool ParseImageIndex(const std::wstring &text, UINT &index) {
  size_t first = text.find_first_not_of(L'0');
  const std::wstring digits = first == std::wstring::npos ? L"" : text.substr(first);
  if (text.empty() || digits.size() > 10 ||
      digits.find_first_not_of(L"0123456789") != std::wstring::npos)
    return false;
  unsigned long long value = 0;
  for (wchar_t digit : digits)
    value = value * 10 + static_cast<unsigned>(digit - L'0');
  if (value < 1 || value > 0xFFFFFFFFull)
    return false;
  index = static_cast<UINT>(value);
  return true;
}

const DismImageInfo *ChosenRecord(const _DismImagesInfo &images, const ImageChoice &choice) {
  for (const DismImageInfo &image : images) {
    if (choice.byName ? image.ImageName != nullptr &&
                            CompareStringOrdinal(image.ImageName, -1, choice.name.c_str(), -1,
                                                 TRUE) == CSTR_EQUAL
                      : !choice.byIndex || image.ImageIndex == choice.index)
      return &image;
  }
  return nullptr;
}

bool ExitCodeAsked(const std::vector<std::wstring> &arguments) {
  return HasArgument(arguments, "/exitcode");
}

StartOptions ReadStartOptions(const std::vector<std::wstring> &arguments, const FileTests &files) {
  StartOptions options;
  bool logGiven = false, levelGiven = false, scratchGiven = false;
  const std::wstring log = OneValue(arguments, "/logpath:", "log path is given twice", logGiven);
  const std::wstring level =
      OneValue(arguments, "/loglevel:", "log level is given twice", levelGiven);
  const std::wstring scratch =
      OneValue(arguments, "/scratchdir:", "scratch folder is given twice", scratchGiven);
  if (levelGiven) {
    // The platform's three levels, counted from 1 as administrators count them.
    if (level != L"1" && level != L"2" && level != L"3")
      RaiseError("Exception", "log level is not a number from 1 to 3");
    options.level = static_cast<DismLogLevel>(level[0] - L'1');
  }
  if (logGiven) {
    // The file is the library's to make; its folder must be there.
    options.logFile = log.empty() ? std::wstring() : files.fullPath(log);
    const size_t slash = options.logFile.find_last_of(L"\\/");
    std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : options.logFile.substr(0, slash);
    if (!folder.empty() && folder.back() == L':')
      folder += L'\\'; // a drive root
    RequireFolder(folder, files);
  }
  if (scratchGiven) {
    RequireFolder(scratch, files);
    options.scratchFolder = files.fullPath(scratch);
  }
  return options;
}

Inputs ReadInputs(const InputRules &rules, const CommandLine &line, const FileTests &files) {
  const std::vector<std::wstring> &arguments = line.arguments;
  Inputs in;
  if (rules.image != Image::None)
    in.image = ChosenImage(arguments, rules.image == Image::Chosen);

  const std::wstring &second = Nth(arguments, 1);
  if (rules.target == Target::Online && !SameOption(second, "/online")) {
    // The one setting of the running Windows alone the tool changes.
    RaiseError("Exception", "reserved storage is a setting of the running Windows");
  } else if (OpensASession(rules.target) && SameOption(second, "/online")) {
    in.online = true;
  } else if (rules.target != Target::None) {
    in.target = second;
    if (rules.target == Target::ImageFile)
      RequireFile(second, true, files);
    else if (rules.target == Target::Folder || rules.target == Target::FolderOrOnline)
      RequireFolder(second, files);
  }

  if (OpensASession(rules.target)) {
    bool windowsGiven = false, driveGiven = false;
    in.windowsFolder =
        OneValue(arguments, "/windir:", "windows folder is given twice", windowsGiven);
    in.systemDrive =
        OneValue(arguments, "/sysdrivedir:", "system drive is given twice", driveGiven);
    if (in.online && (windowsGiven || driveGiven))
      RaiseError("Exception", "offline option with /online");
    // The Windows folder lies under the target, as the library takes it.
    if (windowsGiven) {
      const bool slash =
          !in.target.empty() && (in.target.back() == L'\\' || in.target.back() == L'/');
      RequireFolder(in.windowsFolder.empty() ? std::wstring()
                                             : in.target + (slash ? L"" : L"\\") + in.windowsFolder,
                    files);
    }
    if (driveGiven)
      RequireFolder(in.systemDrive, files);
  }

  const std::wstring &third = Nth(arguments, 2);
  const std::vector<std::wstring> values = ValuesFrom(arguments, 2);
  switch (rules.name) {
  case Name::None:
    break;
  case Name::Argument3:
    in.name = third;
    break;
  case Name::Driver3:
    in.name = third;
    in.driverFolder = (SwitchesOf(Recurse, line) & Recurse) != 0 && !IsDevice(third, files) &&
                      files.isFolder(third);
    if (!in.driverFolder)
      RequireFile(third, true, files);
    break;
  case Name::File3:
    in.name = third;
    RequireFile(third, true, files);
    break;
  case Name::Value:
  case Name::Package:
    if (values.empty())
      RaiseError("Exception", rules.nameMissing);
    in.name = values[0];
    if (rules.name == Name::Package) {
      in.packageKind = IsPackageFile(in.name) ? DismPackagePath : DismPackageName;
      if (in.packageKind == DismPackagePath) {
        RequireFile(in.name, false, files);
        in.name = files.fullPath(in.name);
      }
    }
    break;
  case Name::AnswerFile:
    in.name = Nth(values, 0);
    RequireFile(in.name, false, files);
    break;
  case Name::OnOff:
    in.name = Nth(values, 0);
    if (!SameOption(in.name, "enable") && !SameOption(in.name, "disable"))
      RaiseError("Exception", rules.nameMissing);
    in.name = SameOption(in.name, "enable") ? L"enable" : L"disable";
    break;
  }

  if (rules.package != PackageOption::None)
    in.package = PackageOf(rules.package, arguments, files);

  if (rules.sources) {
    // After argument 3 where that is the name, after the first value where
    // that is, else after the target; each checked in its turn.
    const bool nameIsValue = rules.name != Name::None && rules.name != Name::Argument3;
    const std::vector<std::wstring> after = ValuesFrom(arguments, 3);
    const std::vector<std::wstring> &from = rules.name == Name::Argument3 ? after : values;
    for (size_t i = nameIsValue ? 1 : 0; i < from.size(); ++i) {
      RequireSource(from[i], files);
      in.sources.push_back(from[i]);
    }
  }
  in.switches = SwitchesOf(rules.switches, line);
  return in;
}
