// The usage lines, and the help: every form of every command, what each
// command does and what each of its arguments takes.
#include "app/app.h"

#include "console/console.h"

#include <algorithm>

const char *const UsageLines[] = {
    "vantorix 0.2",
    "vantorix /get-imageinfo c:\\temp\\boot.wim",
    "vantorix /mount-image c:\\temp\\boot.wim c:\\mount [/ro] [/force] ",
    "vantorix /unmount-image c:\\mount [/discard] [/force]",
    "vantorix /add-package c:\\mount c:\\temp\\package.cab",
    "vantorix /add-driver c:\\mount c:\\temp\\driver.inf",
    "vantorix /add-capability c:\\mount Language.Basic~~~en-US~0.0.1.0",
    "vantorix /get-drivers",
    "vantorix /get-packages",
    "vantorix /get-mountedimageinfo",
};
const size_t UsageLineCount = sizeof UsageLines / sizeof UsageLines[0];

// The help: the usage lines, then every other command and option form.
const char *const HelpLines[] = {
    "vantorix /mount-image c:\\temp\\install.wim c:\\mount /index:6 [/ro] [/force]",
    "vantorix /mount-image c:\\temp\\install.wim c:\\mount \"/name:Windows 10 Pro\" [/ro] [/force]",
    "vantorix /get-imageinfo c:\\temp\\install.wim /index:6",
    "vantorix /get-imageinfo c:\\temp\\install.wim \"/name:Windows 10 Pro\"",
    "vantorix /remount-image c:\\mount",
    "vantorix /commit-image c:\\mount [/append]",
    "vantorix /add-driver c:\\mount c:\\drivers /recurse",
    "vantorix /add-capability c:\\mount Language.Basic~~~en-US~0.0.1.0 c:\\sources",
    "vantorix /remove-package c:\\mount "
    "Package_for_KB5005565~31bf3856ad364e35~amd64~~19041.1237.1.8",
    "vantorix /remove-package c:\\mount c:\\temp\\package.cab",
    "vantorix /remove-driver c:\\mount oem3.inf",
    "vantorix /remove-capability c:\\mount Language.Basic~~~en-US~0.0.1.0",
    "vantorix /enable-feature c:\\mount NetFx3 [c:\\sources\\sxs] [/all]",
    "vantorix /disable-feature c:\\mount NetFx3 [/removepayload]",
    "vantorix /get-features c:\\mount",
    "vantorix /get-capabilities c:\\mount",
    "vantorix /get-drivers c:\\mount",
    "vantorix /get-packages c:\\mount",
    "vantorix /apply-unattend c:\\mount c:\\temp\\unattend.xml",
    "vantorix /check-health c:\\mount",
    "vantorix /scan-health c:\\mount",
    "vantorix /restore-health c:\\mount [c:\\sources] [/limitaccess]",
    "vantorix /restore-health /online wim:d:\\sources\\install.wim:6 /limitaccess",
    "vantorix /enable-feature /online NetFx3 wim:d:\\sources\\install.wim:6 [/all]",
    "vantorix /get-packages /online",
    "vantorix /get-packageinfo c:\\mount "
    "Package_for_KB5005565~31bf3856ad364e35~amd64~~19041.1237.1.8",
    "vantorix /get-featureinfo c:\\mount NetFx3",
    "vantorix /get-capabilityinfo c:\\mount Language.Basic~~~en-US~0.0.1.0",
    "vantorix /get-driverinfo c:\\mount oem3.inf",
    "vantorix dismcleanupmountpoints",
    "vantorix /get-packages c:\\mount [/exitcode] [/logpath:c:\\logs\\dism.log] [/loglevel:3] "
    "[/scratchdir:c:\\scratch]",
    "vantorix /add-driver d:\\ c:\\drivers /recurse /windir:Windows [/sysdrivedir:d:\\]",
    "vantorix /get-featureparent c:\\mount NetFx3",
    "vantorix /get-features c:\\mount "
    "[/packagename:Package_for_KB5005565~31bf3856ad364e35~amd64~~19041.1237.1.8]",
    "vantorix /get-featureinfo c:\\mount NetFx3 [/packagepath:c:\\temp\\package.cab]",
    "vantorix /enable-feature c:\\mount NetFx3 c:\\sources\\sxs wim:d:\\sources\\install.wim:6 "
    "[/all]",
    "vantorix /get-reservedstorage /online",
    "vantorix /set-reservedstorage /online disable",
    "vantorix /mount-image c:\\temp\\install.wim c:\\mount /index:6 [/optimize] [/checkintegrity]",
    "vantorix /commit-image c:\\mount [/append] [/checkintegrity]",
    "vantorix /unmount-image c:\\mount [/checkintegrity]",
    "vantorix /?",
};
const size_t HelpLineCount = sizeof HelpLines / sizeof HelpLines[0];

namespace {

// What a command does: a line after its last form in the help.
struct About {
  const char *keyword;
  const char *does;
};
const About Abouts[] = {
    {"/mount-image", "mounts an image of an image file into a folder"},
    {"/unmount-image", "unmounts the image of a folder, saving its changes, or dropping them"},
    {"/add-package", "adds a package to an image"},
    {"/add-driver", "adds a driver, or every driver below a folder, to an image"},
    {"/add-capability", "adds a capability to an image"},
    {"/get-packages", "lists the packages of an image"},
    {"/get-drivers", "lists the drivers added to an image"},
    {"get-imageinfo", "lists the images of an image file, or the details of one of them"},
    {"dismcleanupmountpoints", "cleans up what mounts left behind; prints nothing"},
    {"/get-mountedimageinfo", "lists the images mounted on this machine"},
    {"/remount-image", "mounts again an image whose mount needs it, as after a restart"},
    {"/remove-package", "removes a package from an image"},
    {"/remove-driver", "removes a driver from an image"},
    {"/remove-capability", "removes a capability from an image"},
    {"/enable-feature", "enables a feature of an image"},
    {"/disable-feature", "disables a feature of an image"},
    {"/get-features", "lists the features of an image and their states"},
    {"/get-capabilities", "lists the capabilities of an image and their states"},
    {"/apply-unattend", "applies the servicing settings of an answer file to an image"},
    {"/check-health", "tells whether an earlier scan found an image damaged"},
    {"/scan-health", "scans an image for damage"},
    {"/restore-health", "repairs a damaged image"},
    {"/get-packageinfo", "prints the details of a package"},
    {"/get-featureinfo", "prints the details of a feature"},
    {"/get-capabilityinfo", "prints the details of a capability"},
    {"/get-driverinfo", "prints the details of a driver and of each device it serves"},
    {"/get-featureparent", "lists the features that must be enabled before a feature"},
    {"/get-reservedstorage", "tells whether the running Windows keeps storage for its updates"},
    {"/set-reservedstorage", "turns the running Windows' reserved storage on or off"},
    {"/commit-image", "saves the changes of a mounted image to its image file, keeping it mounted"},
    {"/?", "prints this help; with keywords, only their forms and what each argument takes"},
};

// What an argument of a form takes: for the command named, or for any.
struct Takes {
  const char *keyword; // null for every command
  const char *word;    // as the form writes it; a prefix where it ends in ":"
  const char *takes;
};
const Takes ArgumentTexts[] = {
    {"/mount-image", "c:\\mount", "an empty folder to mount the image into"},
    {"/mount-image", "/force",
     "first unmounts whatever is mounted in the folder, throwing its changes away"},
    {"/unmount-image", "c:\\mount", "the folder the image is mounted in"},
    {"/unmount-image", "/force",
     "first closes file-browser windows, which would hold the folder open"},
    {"/remount-image", "c:\\mount", "the folder the image is mounted in"},
    {nullptr, "c:\\mount", "the folder the image is mounted in, or /online"},
    {nullptr, "/online", "the running Windows"},
    {nullptr, "c:\\temp\\boot.wim", "an image file (.wim)"},
    {nullptr, "c:\\temp\\install.wim", "an image file (.wim)"},
    {nullptr, "/index:", "the image of that index, from 1"},
    {nullptr, "/name:", "the image of that name, ignoring case"},
    {nullptr, "/ro", "mounts read-only"},
    {nullptr, "/discard", "throws the changes away"},
    {nullptr, "c:\\temp\\package.cab", "a package file (.cab or .msu)"},
    {nullptr, "Package_for_KB5005565~31bf3856ad364e35~amd64~~19041.1237.1.8",
     "a package name, as /get-packages lists it"},
    {nullptr, "c:\\temp\\driver.inf", "a driver file (.inf)"},
    {nullptr, "c:\\drivers", "a folder of drivers"},
    {nullptr, "/recurse", "every driver (.inf) in the folder and in all folders below it"},
    {nullptr, "oem3.inf", "a driver's published name, as /get-drivers lists it"},
    {nullptr, "Language.Basic~~~en-US~0.0.1.0", "a capability name, as /get-capabilities lists it"},
    {nullptr, "NetFx3", "a feature name, as /get-features lists it"},
    {nullptr, "c:\\sources", "a folder to take the files from, never an online service"},
    {nullptr, "c:\\sources\\sxs", "a folder to take the files from, never an online service"},
    {nullptr, "wim:d:\\sources\\install.wim:6",
     "an image of an image file to take the files from (wim:<file>:<index>)"},
    {nullptr, "/all", "enables the features it needs too"},
    {nullptr, "/removepayload", "removes the feature's files too"},
    {nullptr, "/limitaccess", "asks no online service for the files"},
    {nullptr, "/append", "saves the changes as a new image of the image file"},
    {nullptr, "c:\\temp\\unattend.xml", "an answer file"},
    {nullptr, "/exitcode",
     "ends with the first failure's status, else 3010 where a restart must finish, else 0"},
    {nullptr, "/logpath:", "the library's log file, in a folder that exists (else dism.log here)"},
    {nullptr, "/loglevel:", "1 errors, 2 errors and warnings (else), 3 also information"},
    {nullptr, "/scratchdir:", "a folder for the library's scratch files"},
    {nullptr, "d:\\", "the drive of an offline Windows the tool did not mount"},
    {nullptr, "/windir:", "its Windows folder, relative to that drive"},
    {nullptr, "/sysdrivedir:", "the folder its boot manager lies in, usually a drive root"},
    {nullptr, "/packagename:", "only the features of the package of that name"},
    {nullptr, "/packagepath:", "only the features of that package file (.cab)"},
    {nullptr, "/optimize", "maps only the top folder at first, the rest when it is used"},
    {"/mount-image", "/checkintegrity", "checks the image file's integrity data first"},
    {nullptr, "/checkintegrity", "writes integrity data into the image file"},
    {nullptr, "disable", "enable or disable"},
};

// The keyword a form names: its first argument.
std::wstring KeywordOf(const char *form) {
  return WideText(ArgumentOf(form, 1));
}

bool Names(const char *keyword, const std::wstring &argument) {
  for (size_t i = 0; i < CommandCount; ++i)
    if (IsKeyword(Commands[i], argument))
      return std::string(Commands[i].keyword) == keyword;
  return argument == L"/?" && std::string(keyword) == "/?";
}

// Every form of the help: the usage lines' (not the first, the version) and
// the others, in the order the help prints them.
std::vector<const char *> Forms() {
  std::vector<const char *> forms(UsageLines + 1, UsageLines + UsageLineCount);
  forms.insert(forms.end(), HelpLines, HelpLines + HelpLineCount);
  return forms;
}

} // namespace

const char *WhatItDoes(const char *keyword) {
  for (const About &about : Abouts)
    if (std::string(about.keyword) == keyword)
      return about.does;
  return nullptr;
}

const char *WhatItTakes(const char *keyword, const std::string &word) {
  for (const Takes &t : ArgumentTexts) {
    const std::string known = t.word;
    const bool same =
        known.back() == ':' ? word.compare(0, known.size(), known) == 0 : word == known;
    if (same && (t.keyword == nullptr || std::string(t.keyword) == keyword))
      return t.takes;
  }
  return nullptr;
}

std::vector<std::string> HelpWords(const char *form) {
  std::vector<std::string> words = ArgumentsOf(form);
  if (!words.empty())
    words.erase(words.begin()); // the keyword
  for (std::string &word : words) {
    if (word.size() >= 2 && word.front() == '[' && word.back() == ']')
      word = word.substr(1, word.size() - 2);
  }
  return words;
}

void PrintUsage() {
  for (size_t i = 0; i < UsageLineCount; ++i)
    WriteLine(UsageLines[i]);
}

void PrintHelp(const CommandLine &line) {
  // The commands asked about, each once, in the order asked.
  std::vector<const char *> asked;
  for (const std::wstring &argument : line.arguments)
    for (const About &about : Abouts)
      if (Names(about.keyword, argument) && argument != L"/?" &&
          std::find(asked.begin(), asked.end(), about.keyword) == asked.end())
        asked.push_back(about.keyword);
  const std::vector<const char *> forms = Forms();
  if (asked.empty()) {
    WriteLine(UsageLines[0]);
    for (size_t i = 0; i < forms.size(); ++i) {
      WriteLine(forms[i]);
      const std::wstring keyword = KeywordOf(forms[i]);
      const bool last = std::none_of(forms.begin() + i + 1, forms.end(),
                                     [&](const char *form) { return KeywordOf(form) == keyword; });
      for (const About &about : Abouts)
        if (last && Names(about.keyword, keyword))
          WriteLine(std::string("  ") + about.does);
    }
    return;
  }
  for (const char *keyword : asked)
    for (const char *form : forms) {
      if (!Names(keyword, KeywordOf(form)))
        continue;
      WriteLine(form);
      for (const std::string &word : HelpWords(form)) {
        const char *takes = WhatItTakes(keyword, word);
        WriteLine("  " + word + " - " + (takes != nullptr ? takes : ""));
      }
    }
}
