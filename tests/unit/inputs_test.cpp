// What each command takes from its arguments, read against a file system of
// the test's own.
#include "app/app.h"

#include "console/console.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// The test's file system: a few files and folders; "*" matches any run of
// characters in a pattern, as the platform's search does.
// Its devices answer as files and folders do, as the platform's may.
const std::set<std::wstring> Files = {L"C:\\w\\boot.wim", L"C:\\w\\item.cab",
                                      L"C:\\w\\a.xml",    L"C:\\w\\x.inf",
                                      L"item.cab",        L"CON",
                                      L"NUL.cab",         L"NUL",
                                      L"C:\\w\\nul.txt",  L"\\\\.\\C:\\x.wim",
                                      L"COM1.inf",        L"conin$"};
const std::set<std::wstring> Folders = {L"C:\\m",   L"C:\\sxs",
                                        L"C:\\drv", L"C:\\w",
                                        L"LPT1",    L"C:\\m\\Windows",
                                        L"D:\\",    L"D:\\Windows",
                                        L"C:\\",    L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1"};

bool Matches(const wchar_t *pattern, const wchar_t *text) {
  if (*pattern == L'*')
    return Matches(pattern + 1, text) || (*text != L'\0' && Matches(pattern, text + 1));
  return *pattern == *text && (*text == L'\0' || Matches(pattern + 1, text + 1));
}
const FileTests Fake = {
    [](const std::wstring &path) {
      for (const std::wstring &file : Files)
        if (Matches(path.c_str(), file.c_str()))
          return true;
      return false;
    },
    [](const std::wstring &path) {
      return path.find(L'*') == std::wstring::npos && Files.count(path) > 0;
    },
    [](const std::wstring &path) { return Folders.count(path) > 0; },
    [](const std::wstring &path) {
      return path.find(L':') == std::wstring::npos ? L"C:\\w\\" + path : path;
    },
};

// The inputs in one line, each field that is set.
std::string Described(const Inputs &in) {
  std::string text;
  const auto add = [&](const char *label, const std::wstring &value) {
    if (!value.empty())
      text += std::string(text.empty() ? "" : " ") + label + "=" + NarrowText(value.c_str());
  };
  add("online", in.online ? L"yes" : L"");
  add("target", in.target);
  add("name", in.name);
  add("folder", in.driverFolder ? L"yes" : L"");
  add("kind", in.packageKind == DismPackageNone ? L"" : WideText(UnsignedText(in.packageKind)));
  for (const std::wstring &source : in.sources)
    add("source", source);
  add("package", in.package.identifier);
  add("from", in.package.kind == DismPackageNone ? L"" : WideText(UnsignedText(in.package.kind)));
  add("windir", in.windowsFolder);
  add("sysdrive", in.systemDrive);
  add("index", in.image.byIndex ? WideText(UnsignedText(in.image.index)) : L"");
  add("image", in.image.byName ? in.image.name : L"");
  add("switches", in.switches ? WideText(UnsignedText(in.switches)) : L"");
  return text;
}

// What a line gives a row: its inputs, or the message of the check that
// refused it.
std::string Read(const InputRules &rules, const std::vector<std::wstring> &arguments) {
  const std::string text = SearchText(arguments);
  try {
    return Described(ReadInputs(rules, {arguments, text}, Fake));
  } catch (const Error &error) {
    return "raised:" + error.message;
  }
}

const InputRules &RulesOf(const char *keyword) {
  for (size_t i = 0; i < CommandCount; ++i)
    if (std::string(Commands[i].keyword) == keyword)
      return Commands[i].inputs;
  throw std::invalid_argument(keyword);
}

TEST(Inputs, EachRowReadsAndChecksItsArguments) {
  struct {
    std::vector<std::wstring> arguments; // the first is the keyword
    std::string inputs;
  } cases[] = {
      // Targets: a folder that must exist, or the running Windows.
      {{L"/get-packages", L"C:\\m"}, "target=C:\\m"},
      {{L"/get-packages", L"/ONLINE"}, "online=yes"},
      {{L"/get-packages"}, "raised:folder does not exist"},
      {{L"/get-packages", L"C:\\w\\boot.wim"}, "raised:folder does not exist"},
      {{L"/get-packages", L"online"}, "raised:folder does not exist"},
      {{L"/get-packages", L"/onlinex"}, "raised:folder does not exist"},
      {{L"/get-packages", L"/online "}, "raised:folder does not exist"},
      {{L"/get-packages", L"T:/online"}, "raised:folder does not exist"},
      {{L"/remount-image", L"/online"}, "raised:folder does not exist"},
      {{L"/remount-image", L"C:\\m"}, "target=C:\\m"},
      {{L"/unmount-image", L"nowhere", L"/discard"}, "target=nowhere switches=4"},
      // The first commands' files: argument 3, a pattern that matches counts.
      {{L"/add-package", L"C:\\m", L"C:\\w\\item.cab"}, "target=C:\\m name=C:\\w\\item.cab"},
      {{L"/add-package", L"C:\\m", L"C:\\w\\*.cab"}, "target=C:\\m name=C:\\w\\*.cab"},
      {{L"/add-package", L"C:\\m", L"C:\\w\\none.cab"}, "raised:file does not exist"},
      {{L"/add-package", L"C:\\none", L"C:\\w\\none.cab"}, "raised:folder does not exist"},
      {{L"/add-package", L"/online", L"C:\\m"}, "raised:file does not exist"},
      {{L"/add-driver", L"C:\\m", L"C:\\w\\x.inf"}, "target=C:\\m name=C:\\w\\x.inf"},
      {{L"/add-driver", L"C:\\m", L"C:\\drv"}, "raised:file does not exist"},
      {{L"/add-driver", L"C:\\m", L"C:\\drv", L"/recurse"},
       "target=C:\\m name=C:\\drv folder=yes switches=128"},
      {{L"/add-driver", L"C:\\m", L"C:\\w\\x.inf", L"/RECURSE"},
       "target=C:\\m name=C:\\w\\x.inf switches=128"},
      {{L"/add-driver", L"C:\\m", L"C:\\none", L"/recurse"}, "raised:file does not exist"},
      {{L"/add-capability", L"C:\\m", L"/x", L"C:\\sxs"}, "target=C:\\m name=/x source=C:\\sxs"},
      {{L"/add-capability", L"C:\\m", L""}, "target=C:\\m"},
      // Names: the first value after the target, in its own case.
      {{L"/remove-driver", L"C:\\m", L"/x", L"oem3.inf"}, "target=C:\\m name=oem3.inf"},
      {{L"/remove-driver", L"C:\\m"}, "raised:driver missing"},
      {{L"/remove-capability", L"/online"}, "raised:capability missing"},
      {{L"/disable-feature", L"C:\\m", L"/removepayload"}, "raised:feature name missing"},
      {{L"/enable-feature", L"C:\\m", L"/all"}, "raised:feature name missing"},
      {{L"/get-featureinfo", L"C:\\m", L"get-imageinfo"}, "raised:feature name missing"},
      {{L"/disable-feature", L"C:\\m", L"NetFx3", L"/RemovePayload"},
       "target=C:\\m name=NetFx3 switches=16"},
      // Packages by form: a path or a package file's ending is a file.
      {{L"/remove-package", L"C:\\m", L"Package_for_KB1"},
       "target=C:\\m name=Package_for_KB1 kind=1"},
      {{L"/remove-package", L"C:\\m", L"item.cab"}, "target=C:\\m name=C:\\w\\item.cab kind=2"},
      {{L"/get-packageinfo", L"C:\\m", L"C:\\w\\item.cab"},
       "target=C:\\m name=C:\\w\\item.cab kind=2"},
      {{L"/remove-package", L"C:\\m"}, "raised:package missing"},
      {{L"/remove-package", L"C:\\m", L"C:\\w\\none.cab"}, "raised:file does not exist"},
      {{L"/remove-package", L"C:\\m", L"C:\\w\\*.cab"}, "raised:file does not exist"},
      {{L"/remove-package", L"C:\\m", L"none.MSU"}, "raised:file does not exist"},
      {{L"/remove-package", L"C:\\m", L"c:x"}, "raised:file does not exist"},
      // Sources by position and kind: after the name, or after the target.
      {{L"/enable-feature", L"C:\\m", L"NetFx3", L"/all", L"C:\\sxs"},
       "target=C:\\m name=NetFx3 source=C:\\sxs switches=8"},
      {{L"/enable-feature", L"C:\\m", L"NetFx3", L"wim:C:\\w\\boot.wim:0002"},
       "target=C:\\m name=NetFx3 source=wim:C:\\w\\boot.wim:0002"},
      {{L"/enable-feature", L"C:\\m", L"NetFx3", L"C:\\none"}, "raised:folder does not exist"},
      {{L"/enable-feature", L"C:\\m", L"NetFx3", L"wim:C:\\w\\none.wim:1"},
       "raised:file does not exist"},
      {{L"/enable-feature", L"C:\\none", L"NetFx3", L"wim:none.wim:1"},
       "raised:folder does not exist"},
      {{L"/add-capability", L"C:\\m", L"Lang", L"C:\\none"}, "raised:folder does not exist"},
      {{L"/restore-health", L"/online", L"WIM:C:\\w\\boot.wim:1", L"/limitaccess"},
       "online=yes source=WIM:C:\\w\\boot.wim:1 switches=32"},
      {{L"/restore-health", L"C:\\m", L"wim:C:\\w\\boot.wim"}, "raised:file does not exist"},
      {{L"/restore-health", L"C:\\m", L"wim:C:\\w\\boot.wim:0"},
       "raised:image index is not a number"},
      {{L"/restore-health", L"C:\\m", L"wim:C:\\w\\boot.wim:x"},
       "raised:image index is not a number"},
      {{L"/restore-health", L"C:\\m", L"wim:C:\\w\\*.wim:1"}, "raised:file does not exist"},
      // Answer files: an existing file, no pattern.
      {{L"/apply-unattend", L"C:\\m", L"C:\\w\\a.xml"}, "target=C:\\m name=C:\\w\\a.xml"},
      {{L"/apply-unattend", L"C:\\m", L"C:\\w\\none.xml"}, "raised:file does not exist"},
      {{L"/apply-unattend", L"C:\\m", L"C:\\m"}, "raised:file does not exist"},
      {{L"/apply-unattend", L"C:\\m"}, "raised:file does not exist"},
      // Switches: the later ones whole arguments, the first ones anywhere.
      {{L"/commit-image", L"C:\\m", L"/APPEND"}, "target=C:\\m switches=64"},
      {{L"/commit-image", L"C:\\m", L"c:/appendix"}, "target=C:\\m"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"c:/root", L"/FORCE"},
       "target=C:\\w\\boot.wim name=c:/root switches=3"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m"}, "target=C:\\w\\boot.wim name=C:\\m"},
      {{L"/mount-image", L"C:\\w\\none.wim", L"C:\\m"}, "raised:file does not exist"},
      {{L"/mount-image", L"C:\\w\\*.wim", L"C:\\m"}, "target=C:\\w\\*.wim name=C:\\m"},
      {{L"get-imageinfo", L"C:\\w"}, "raised:file does not exist"},
      {{L"get-imageinfo", L""}, "raised:file does not exist"},
      // An image by index: leading zeros are a number's, every "/index:"
      // the same one, only a whole argument the option.
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/INDEX:4294967295"},
       "target=C:\\w\\boot.wim name=C:\\m index=4294967295"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:0002", L"/index:2"},
       "target=C:\\w\\boot.wim name=C:\\m index=2"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"c:/index:2"},
       "target=C:\\w\\boot.wim name=c:/index:2"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:"},
       "raised:image index is not a number"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:0"},
       "raised:image index is not a number"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:x"},
       "raised:image index is not a number"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:-1"},
       "raised:image index is not a number"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:4294967296"},
       "raised:image index is not a number"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:2x"},
       "raised:image index is not a number"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:2", L"/index:3"},
       "raised:image index is not a number"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:2 x"},
       "raised:image index is not a number"},
      // The choice is checked before the image file.
      {{L"/mount-image", L"C:\\w\\none.wim", L"C:\\m", L"/index:x"},
       "raised:image index is not a number"},
      // The listing's index that is no number chooses nothing.
      {{L"get-imageinfo", L"C:\\w\\boot.wim", L"/index:x"}, "target=C:\\w\\boot.wim"},
      {{L"get-imageinfo", L"C:\\w\\boot.wim", L"/index:2", L"/index:3"}, "target=C:\\w\\boot.wim"},
      {{L"get-imageinfo", L"C:\\w\\boot.wim", L"/index:6"}, "target=C:\\w\\boot.wim index=6"},
      // An image by name, in its own case and whole.
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/NAME:hOmE"},
       "target=C:\\w\\boot.wim name=C:\\m image=hOmE"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/name:Windows 10 Pro"},
       "target=C:\\w\\boot.wim name=C:\\m image=Windows 10 Pro"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/name:Home", L"/name:Home"},
       "target=C:\\w\\boot.wim name=C:\\m image=Home"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/name:"}, "raised:image name is empty"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/name:Home", L"/index:2"},
       "raised:image index and name both given"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/index:x", L"/name:"},
       "raised:image index and name both given"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/name:Home", L"/name:Pro"},
       "raised:image name is given twice"},
      {{L"get-imageinfo", L"C:\\w\\boot.wim", L"/name:"}, "raised:image name is empty"},
      // An offline Windows the tool did not mount: its Windows folder under
      // the target, its system drive a folder.
      {{L"/get-packages", L"C:\\m", L"/windir:Windows", L"/sysdrivedir:C:\\"},
       "target=C:\\m windir=Windows sysdrive=C:\\"},
      {{L"/get-packages", L"D:\\", L"/WINDIR:Windows"}, "target=D:\\ windir=Windows"},
      {{L"/add-driver", L"D:\\", L"C:\\w\\x.inf", L"/windir:Windows", L"/windir:Windows"},
       "target=D:\\ name=C:\\w\\x.inf windir=Windows"},
      {{L"/get-packages", L"C:\\m", L"/windir:Win"}, "raised:folder does not exist"},
      {{L"/get-packages", L"C:\\m", L"/windir:"}, "raised:folder does not exist"},
      {{L"/get-packages", L"C:\\m", L"/sysdrivedir:E:\\"}, "raised:folder does not exist"},
      {{L"/get-packages", L"C:\\m", L"/windir:Windows", L"/windir:windows"},
       "raised:windows folder is given twice"},
      {{L"/get-packages", L"C:\\m", L"/sysdrivedir:C:\\", L"/sysdrivedir:D:\\"},
       "raised:system drive is given twice"},
      {{L"/get-packages", L"/online", L"/windir:Windows"}, "raised:offline option with /online"},
      {{L"/get-packages", L"/online", L"/sysdrivedir:C:\\"}, "raised:offline option with /online"},
      {{L"/remount-image", L"C:\\m", L"/windir:nowhere"}, "target=C:\\m"},
      // Several sources, each checked in its turn; the package a feature
      // command is limited to; reserved storage on the running Windows alone.
      {{L"/enable-feature", L"C:\\m", L"NetFx3", L"C:\\sxs", L"/all", L"wim:C:\\w\\boot.wim:2"},
       "target=C:\\m name=NetFx3 source=C:\\sxs source=wim:C:\\w\\boot.wim:2 switches=8"},
      {{L"/add-capability", L"C:\\m", L"Lang", L"C:\\sxs", L"C:\\drv", L"C:\\w"},
       "target=C:\\m name=Lang source=C:\\sxs source=C:\\drv source=C:\\w"},
      {{L"/restore-health", L"C:\\m", L"C:\\sxs", L"C:\\none"}, "raised:folder does not exist"},
      {{L"/get-features", L"C:\\m", L"/packagename:Package_for_KB1"},
       "target=C:\\m package=Package_for_KB1 from=1"},
      {{L"/get-featureparent", L"C:\\m", L"NetFx3", L"/PACKAGEPATH:item.cab"},
       "target=C:\\m name=NetFx3 package=C:\\w\\item.cab from=2"},
      {{L"/get-featureinfo", L"C:\\m", L"X", L"/packagepath:C:\\w\\*.cab"},
       "raised:file does not exist"},
      {{L"/enable-feature", L"C:\\m", L"X", L"/packagename:"}, "raised:package name is empty"},
      {{L"/get-features", L"C:\\m", L"/packagename:a", L"/packagename:b"},
       "raised:package name is given twice"},
      {{L"/get-features", L"C:\\m", L"/packagepath:item.cab", L"/packagepath:NUL.cab"},
       "raised:package path is given twice"},
      {{L"/get-features", L"C:\\m", L"/packagename:a", L"/packagepath:item.cab"},
       "raised:package name and path both given"},
      {{L"/disable-feature", L"C:\\m", L"X", L"/packagename:P"},
       "target=C:\\m name=X package=P from=1"},
      {{L"/disable-feature", L"C:\\m", L"X", L"/packagepath:item.cab"},
       "raised:a feature is disabled by its package's name"},
      {{L"/get-packages", L"C:\\m", L"/packagename:P"}, "target=C:\\m"},
      {{L"/get-reservedstorage", L"/ONLINE"}, "online=yes"},
      {{L"/get-reservedstorage", L"C:\\m"},
       "raised:reserved storage is a setting of the running Windows"},
      {{L"/set-reservedstorage"}, "raised:reserved storage is a setting of the running Windows"},
      {{L"/set-reservedstorage", L"/online", L"Enable"}, "online=yes name=enable"},
      {{L"/set-reservedstorage", L"/online", L"DISABLE"}, "online=yes name=disable"},
      {{L"/set-reservedstorage", L"/online", L"off"}, "raised:reserved storage state missing"},
      {{L"/set-reservedstorage", L"/online"}, "raised:reserved storage state missing"},
      {{L"/set-reservedstorage", L"/online", L"enable", L"/windir:W"},
       "raised:offline option with /online"},
      {{L"/mount-image", L"C:\\w\\boot.wim", L"C:\\m", L"/Optimize", L"/checkintegrity"},
       "target=C:\\w\\boot.wim name=C:\\m switches=768"},
      {{L"/commit-image", L"C:\\m", L"c:/checkintegrity"}, "target=C:\\m"},
      // A device is no file and no folder, for every kind of check.
      {{L"/add-package", L"C:\\m", L"NUL.cab"}, "raised:file does not exist"},
      {{L"/remove-package", L"C:\\m", L"NUL.cab"}, "raised:file does not exist"},
      {{L"/apply-unattend", L"C:\\m", L"CON"}, "raised:file does not exist"},
      {{L"/apply-unattend", L"C:\\m", L"C:\\w\\nul.txt"}, "raised:file does not exist"},
      {{L"/restore-health", L"C:\\m", L"wim:NUL:1"}, "raised:file does not exist"},
      {{L"/restore-health", L"C:\\m", L"LPT1"}, "raised:folder does not exist"},
      {{L"/enable-feature", L"C:\\m", L"NetFx3", L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1"},
       "raised:folder does not exist"},
      {{L"/add-driver", L"C:\\m", L"COM1.inf"}, "raised:file does not exist"},
      {{L"/add-driver", L"C:\\m", L"LPT1", L"/recurse"}, "raised:file does not exist"},
      {{L"/mount-image", L"\\\\.\\C:\\x.wim", L"C:\\m"}, "raised:file does not exist"},
      {{L"get-imageinfo", L"conin$"}, "raised:file does not exist"},
      {{L"/get-packages", L"LPT1"}, "raised:folder does not exist"},
      {{L"/remount-image", L"LPT1"}, "raised:folder does not exist"},
  };
  for (const auto &c : cases) {
    const std::string keyword = NarrowText(c.arguments[0].c_str());
    std::string line;
    for (const std::wstring &argument : c.arguments)
      line += " [" + NarrowText(argument.c_str()) + "]";
    EXPECT_EQ(Read(RulesOf(keyword.c_str()), c.arguments), c.inputs) << line;
  }
}

// On a line with a later command, every argument that begins with "/" is a
// keyword, an option of the tool (whole, its value after the colon), or
// "/online".
TEST(Inputs, UnknownOptions) {
  struct {
    std::vector<std::wstring> arguments;
    std::string refused; // empty when none is
  } cases[] = {
      {{L"/restore-health", L"c:\\m", L"sxs", L"/limitaccess"}, ""},
      {{L"/restore-health", L"c:\\m", L"sxs", L"/limitacess"}, "unknown option /limitacess"},
      {{L"/commit-image", L"c:\\m", L"/apend"}, "unknown option /apend"},
      {{L"/enable-feature", L"c:\\m", L"NetFx3", L"/sources/sxs"}, "unknown option /sources/sxs"},
      {{L"/remove-driver", L"c:\\m", L"/x", L"oem3.inf"}, "unknown option /x"},
      {{L"/get-features", L"/ONLINE", L"/Mount-Image", L"/GET-IMAGEINFO", L"/ro", L"/FORCE"}, ""},
      {{L"/get-features", L"/dismcleanupmountpoints", L"/discard", L"/all", L"/RemovePayload"}, ""},
      {{L"/get-features", L"/append", L"/recurse", L"/Index:7", L"/NAME:", L"/name:x y"}, ""},
      {{L"/get-features", L"/index"}, "unknown option /index"},
      {{L"/get-features", L"/online:"}, "unknown option /online:"},
      {{L"/get-features", L"/ro:"}, "unknown option /ro:"},
      {{L"/get-features", L"/"}, "unknown option /"},
      {{L"/get-features", L"/get-featuresx"}, "unknown option /get-featuresx"},
      {{L"/get-features", L"c:/x", L"get-imageinfo", L"x/y"}, ""},
      {{L"/get-features", L"/ExitCode", L"/logpath:x", L"/loglevel:9", L"/scratchdir:"}, ""},
      {{L"/get-features", L"/windir:w", L"/SysDriveDir:c:\\"}, ""},
      {{L"/get-features", L"/exitcode:1"}, "unknown option /exitcode:1"},
      {{L"/get-features", L"/packagename:x", L"/PackagePath:y", L"/optimize", L"/CheckIntegrity"},
       ""},
      {{L"/get-features", L"/packagename"}, "unknown option /packagename"},
  };
  for (const auto &c : cases) {
    std::string refused;
    try {
      RefuseUnknownOptions(c.arguments);
    } catch (const Error &error) {
      refused = error.message;
    }
    EXPECT_EQ(refused, c.refused) << NarrowText(c.arguments.back().c_str());
  }
}

// The options read before the library is initialised, and what they refuse.
TEST(Inputs, StartOptions) {
  struct {
    std::vector<std::wstring> arguments;
    std::string options; // level, log file, scratch folder; or the refusal
  } cases[] = {
      {{}, "1 [] []"},
      {{L"/get-packages", L"C:\\m"}, "1 [] []"},
      {{L"/loglevel:1"}, "0 [] []"},
      {{L"/LogLevel:3", L"/loglevel:3"}, "2 [] []"},
      {{L"/logpath:C:\\w\\new.log"}, "1 [C:\\w\\new.log] []"},
      {{L"/logpath:new.log"}, "1 [C:\\w\\new.log] []"},
      {{L"/logpath:C:\\root.log"}, "1 [C:\\root.log] []"},
      {{L"/scratchdir:C:\\sxs", L"/loglevel:2"}, "1 [] [C:\\sxs]"},
      {{L"/loglevel:0"}, "log level is not a number from 1 to 3"},
      {{L"/loglevel:4"}, "log level is not a number from 1 to 3"},
      {{L"/loglevel:"}, "log level is not a number from 1 to 3"},
      {{L"/loglevel:02"}, "log level is not a number from 1 to 3"},
      {{L"/loglevel:2", L"/loglevel:3"}, "log level is given twice"},
      {{L"/logpath:C:\\none\\x.log"}, "folder does not exist"},
      {{L"/logpath:"}, "folder does not exist"},
      {{L"/logpath:a.log", L"/logpath:b.log"}, "log path is given twice"},
      {{L"/scratchdir:C:\\none"}, "folder does not exist"},
      {{L"/scratchdir:LPT1"}, "folder does not exist"},
      {{L"/scratchdir:C:\\m", L"/scratchdir:C:\\w"}, "scratch folder is given twice"},
  };
  for (const auto &c : cases) {
    std::string got;
    try {
      const StartOptions options = ReadStartOptions(c.arguments, Fake);
      got = UnsignedText(options.level) + " [" + NarrowText(options.logFile.c_str()) + "] [" +
            NarrowText(options.scratchFolder.c_str()) + "]";
    } catch (const Error &error) {
      got = error.message;
    }
    EXPECT_EQ(got, c.options) << (c.arguments.empty() ? "" : NarrowText(c.arguments[0].c_str()));
  }
  EXPECT_TRUE(ExitCodeAsked({L"/get-packages", L"/EXITCODE"}));
  EXPECT_FALSE(ExitCodeAsked({L"/get-packages", L"c:/exitcode", L"/exitcode:1"}));
}

TEST(Inputs, ChosenRecordByIndexAndName) {
  DismImageInfo images[4] = {};
  const wchar_t *names[] = {L"Pro", L"Home", L"\u00fcber", nullptr};
  const UINT indexes[] = {1, 2, 4294967295u, 7};
  for (int i = 0; i < 4; ++i) {
    images[i].ImageIndex = indexes[i];
    images[i].ImageName = names[i];
  }
  const _DismImagesInfo records = {images, 4};
  struct {
    ImageChoice choice;
    int record; // -1 for none
  } cases[] = {
      {{false, 1, false, L""}, 0},          {{true, 2, false, L""}, 1},
      {{true, 4294967295u, false, L""}, 2}, {{true, 3, false, L""}, -1},
      {{false, 1, true, L"hOmE"}, 1},       {{false, 1, true, L"\u00dcBER"}, 2},
      {{false, 1, true, L"Nothing"}, -1},   {{false, 1, true, L"Pro "}, -1},
  };
  for (const auto &c : cases) {
    const DismImageInfo *record = ChosenRecord(records, c.choice);
    EXPECT_EQ(record == nullptr ? -1 : static_cast<int>(record - images), c.record)
        << NarrowText(c.choice.name.c_str()) << c.choice.index;
  }
  EXPECT_EQ(ChosenRecord(_DismImagesInfo(), {false, 1, false, L""}), nullptr);
}

} // namespace
