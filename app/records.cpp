// The lines of the records the listings print, from a small table of fields
// for each kind of record.
#include "app/app.h"

namespace {

// A text of the record, written from where it lies; null is the empty text.
bool Text(RecordLine &line, PCWSTR text) {
  line.text = text != nullptr ? text : L"";
  return true;
}

bool Written(RecordLine &line, const std::string &ascii) {
  line.text = nullptr;
  line.written.assign(ascii.begin(), ascii.end());
  return true;
}

bool Number(RecordLine &line, UINT value) {
  return Written(line, UnsignedText(value));
}

bool Number64(RecordLine &line, UINT64 value) {
  return Written(line, Unsigned64Text(value));
}

bool YesNo(RecordLine &line, BOOL value) {
  return Written(line, value != FALSE ? "Yes" : "No");
}

bool Time(RecordLine &line, const SYSTEMTIME &time) {
  return Written(line, TimeText(time));
}

bool Version(RecordLine &line, UINT major, UINT minor, UINT build) {
  return Written(line, VersionTriple(major, minor, build));
}

template <size_t N> bool Word(RecordLine &line, UINT value, const wchar_t *const (&words)[N]) {
  line.text = nullptr;
  line.written = EnumWord(value, words);
  return true;
}

// The lines of the fields, after the lines already used.
template <typename Record, size_t N>
void AddFields(const Field<Record> (&fields)[N], const Record &record, RecordLines &lines,
               size_t &used) {
  for (const Field<Record> &field : fields) {
    if (used == lines.size())
      lines.emplace_back();
    RecordLine &line = lines[used];
    line.label = field.label;
    if (field.value(record, line))
      ++used;
  }
}

// One more line, its value a text of the record or one written for it.
RecordLine &AddLine(RecordLines &lines, size_t &used, const wchar_t *label) {
  if (used == lines.size())
    lines.emplace_back();
  RecordLine &line = lines[used++];
  line.label = label;
  return line;
}

template <typename Record, size_t N>
void FieldLines(const Field<Record> (&fields)[N], const Record &record, RecordLines &lines) {
  size_t used = 0;
  AddFields(fields, record, lines, used);
  lines.resize(used);
}

const wchar_t *const StateWords[] = {L"NotPresent", L"UninstallPending",  L"Staged",
                                     L"Removed",    L"Installed",         L"InstallPending",
                                     L"Superseded", L"PartiallyInstalled"};
const wchar_t *const MountModeWords[] = {L"RW", L"RO"};
const wchar_t *const MountStatusWords[] = {L"OK", L"NeedsRemount", L"Invalid"};
const wchar_t *const ReleaseTypeWords[] = {
    L"CriticalUpdate", L"Driver",  L"FeaturePack",  L"Hotfix",       L"SecurityUpdate",
    L"SoftwareUpdate", L"Update",  L"UpdateRollup", L"LanguagePack", L"Foundation",
    L"ServicePack",    L"Product", L"LocalPack",    L"Other",        L"OnDemandPack"};
const wchar_t *const RestartWords[] = {L"No", L"Possible", L"Required"};
const wchar_t *const OfflineWords[] = {L"Installable", L"NotInstallable",
                                       L"InstallableUndetermined"};
const wchar_t *const SignatureWords[] = {L"Unknown", L"Unsigned", L"Signed"};
const wchar_t *const BootableWords[] = {L"Yes", L"No", L"Unknown"};
// The processor architectures of the platform's header; the others have none.
const wchar_t *const ArchitectureWords[] = {L"x86",  nullptr,    nullptr, nullptr, nullptr,
                                            L"arm",  L"ia64",    nullptr, nullptr, L"x64",
                                            nullptr, L"neutral", L"arm64"};

bool State(RecordLine &l, DismPackageFeatureState v) {
  return Word(l, static_cast<UINT>(v), StateWords);
}
bool ReleaseType(RecordLine &l, DismReleaseType v) {
  return Word(l, static_cast<UINT>(v), ReleaseTypeWords);
}
bool Restart(RecordLine &l, DismRestartType v) {
  return Word(l, static_cast<UINT>(v), RestartWords);
}
bool Offline(RecordLine &l, DismFullyOfflineInstallableType v) {
  return Word(l, static_cast<UINT>(v), OfflineWords);
}
bool Signature(RecordLine &l, DismDriverSignature v) {
  return Word(l, static_cast<UINT>(v), SignatureWords);
}
bool Bootable(RecordLine &l, DismImageBootable v) {
  return Word(l, static_cast<UINT>(v), BootableWords);
}
bool Architecture(RecordLine &l, UINT v) {
  return Word(l, v, ArchitectureWords);
}
// Its words start at -1.
bool ImageType(RecordLine &l, DismImageType v) {
  const wchar_t *const words[] = {L"Unsupported", L"Wim", L"Vhd"};
  const UINT value = static_cast<UINT>(v);
  if (value + 1 < 3)
    return Text(l, words[value + 1]);
  return Number(l, value);
}

// A field of a record: its own name as the label, and how its value is
// written.
#define DETAIL(Record, name, how)                                                                  \
  {                                                                                                \
    L"" #name L":", [](const Record &r, RecordLine &l) { return how(l, r.name); }                  \
  }

const Field<DismImageInfo> ImageFields[] = {
    {L"Index:", [](const DismImageInfo &r, RecordLine &l) { return Number(l, r.ImageIndex); }},
    {L"ImageName:", [](const DismImageInfo &r, RecordLine &l) { return Text(l, r.ImageName); }},
    {L"Version:",
     [](const DismImageInfo &r, RecordLine &l) {
       return Version(l, r.MajorVersion, r.MinorVersion, r.Build);
     }},
};

const Field<DismMountedImageInfo> MountedImageFields[] = {
    {L"MountPath: ",
     [](const DismMountedImageInfo &r, RecordLine &l) { return Text(l, r.MountPath); }},
    {L"ImageFilePath: ",
     [](const DismMountedImageInfo &r, RecordLine &l) { return Text(l, r.ImageFilePath); }},
    {L"ImageIndex: ",
     [](const DismMountedImageInfo &r, RecordLine &l) { return Number(l, r.ImageIndex); }},
    // Read-write, or read-only for any other mode.
    {L"MountMode: ",
     [](const DismMountedImageInfo &r, RecordLine &l) {
       return Word(l, r.MountMode == DismReadWrite ? 0 : 1, MountModeWords);
     }},
    // A status without a word has no line.
    {L"MountStatus: ",
     [](const DismMountedImageInfo &r, RecordLine &l) {
       const UINT status = static_cast<UINT>(r.MountStatus);
       return status < sizeof MountStatusWords / sizeof MountStatusWords[0] &&
              Word(l, status, MountStatusWords);
     }},
};

const Field<DismPackage> PackageFields[] = {
    {L"", [](const DismPackage &r, RecordLine &l) { return Text(l, r.PackageName); }},
};

const Field<DismDriverPackage> DriverFields[] = {
    {L"", [](const DismDriverPackage &r, RecordLine &l) { return Text(l, r.PublishedName); }},
};

const Field<DismFeature> FeatureFields[] = {
    {L"FeatureName:", [](const DismFeature &r, RecordLine &l) { return Text(l, r.FeatureName); }},
    {L"State:", [](const DismFeature &r,
                   RecordLine &l) { return Word(l, static_cast<UINT>(r.State), StateWords); }},
};

const Field<DismCapability> CapabilityFields[] = {
    {L"CapabilityName:", [](const DismCapability &r, RecordLine &l) { return Text(l, r.Name); }},
    {L"State:", [](const DismCapability &r,
                   RecordLine &l) { return Word(l, static_cast<UINT>(r.State), StateWords); }},
};

const Field<DismImageInfo> ImageDetailFields[] = {
    DETAIL(DismImageInfo, ImageType, ImageType),
    DETAIL(DismImageInfo, ImageDescription, Text),
    DETAIL(DismImageInfo, ImageSize, Number64),
    DETAIL(DismImageInfo, Architecture, Architecture),
    DETAIL(DismImageInfo, ProductName, Text),
    DETAIL(DismImageInfo, EditionId, Text),
    DETAIL(DismImageInfo, InstallationType, Text),
    DETAIL(DismImageInfo, Hal, Text),
    DETAIL(DismImageInfo, ProductType, Text),
    DETAIL(DismImageInfo, ProductSuite, Text),
    DETAIL(DismImageInfo, SpBuild, Number),
    DETAIL(DismImageInfo, SpLevel, Number),
    DETAIL(DismImageInfo, Bootable, Bootable),
    DETAIL(DismImageInfo, SystemRoot, Text),
};

const Field<DismWimCustomizedInfo> CustomizedFields[] = {
    DETAIL(DismWimCustomizedInfo, DirectoryCount, Number),
    DETAIL(DismWimCustomizedInfo, FileCount, Number),
    DETAIL(DismWimCustomizedInfo, CreatedTime, Time),
    DETAIL(DismWimCustomizedInfo, ModifiedTime, Time),
};

const Field<DismPackageInfo> PackageInfoFields[] = {
    DETAIL(DismPackageInfo, PackageName, Text),
    DETAIL(DismPackageInfo, PackageState, State),
    DETAIL(DismPackageInfo, ReleaseType, ReleaseType),
    DETAIL(DismPackageInfo, InstallTime, Time),
    DETAIL(DismPackageInfo, Applicable, YesNo),
    DETAIL(DismPackageInfo, Copyright, Text),
    DETAIL(DismPackageInfo, Company, Text),
    DETAIL(DismPackageInfo, CreationTime, Time),
    DETAIL(DismPackageInfo, DisplayName, Text),
    DETAIL(DismPackageInfo, Description, Text),
    DETAIL(DismPackageInfo, InstallClient, Text),
    DETAIL(DismPackageInfo, InstallPackageName, Text),
    DETAIL(DismPackageInfo, LastUpdateTime, Time),
    DETAIL(DismPackageInfo, ProductName, Text),
    DETAIL(DismPackageInfo, ProductVersion, Text),
    DETAIL(DismPackageInfo, RestartRequired, Restart),
    DETAIL(DismPackageInfo, FullyOffline, Offline),
    DETAIL(DismPackageInfo, SupportInformation, Text),
};

const Field<DismFeatureInfo> FeatureInfoFields[] = {
    DETAIL(DismFeatureInfo, FeatureName, Text),        DETAIL(DismFeatureInfo, FeatureState, State),
    DETAIL(DismFeatureInfo, DisplayName, Text),        DETAIL(DismFeatureInfo, Description, Text),
    DETAIL(DismFeatureInfo, RestartRequired, Restart),
};

const Field<DismCapabilityInfo> CapabilityInfoFields[] = {
    DETAIL(DismCapabilityInfo, Name, Text),
    DETAIL(DismCapabilityInfo, State, State),
    DETAIL(DismCapabilityInfo, DisplayName, Text),
    DETAIL(DismCapabilityInfo, Description, Text),
    DETAIL(DismCapabilityInfo, DownloadSize, Number),
    DETAIL(DismCapabilityInfo, InstallSize, Number),
};

const Field<DismDriverPackage> DriverPackageFields[] = {
    DETAIL(DismDriverPackage, PublishedName, Text),
    DETAIL(DismDriverPackage, OriginalFileName, Text),
    DETAIL(DismDriverPackage, InBox, YesNo),
    DETAIL(DismDriverPackage, CatalogFile, Text),
    DETAIL(DismDriverPackage, ClassName, Text),
    DETAIL(DismDriverPackage, ClassGuid, Text),
    DETAIL(DismDriverPackage, ClassDescription, Text),
    DETAIL(DismDriverPackage, BootCritical, YesNo),
    DETAIL(DismDriverPackage, DriverSignature, Signature),
    DETAIL(DismDriverPackage, ProviderName, Text),
    DETAIL(DismDriverPackage, Date, Time),
    {L"Version:",
     [](const DismDriverPackage &r, RecordLine &l) {
       return Written(l, VersionTriple(r.MajorVersion, r.MinorVersion, r.Build) + "." +
                             UnsignedText(r.Revision));
     }},
};

const Field<DismDriver> DriverDetailFields[] = {
    DETAIL(DismDriver, ManufacturerName, Text), DETAIL(DismDriver, HardwareDescription, Text),
    DETAIL(DismDriver, HardwareId, Text),       DETAIL(DismDriver, Architecture, Architecture),
    DETAIL(DismDriver, ServiceName, Text),      DETAIL(DismDriver, CompatibleIds, Text),
    DETAIL(DismDriver, ExcludeIds, Text),
};

#undef DETAIL

// "CustomProperty:", then the path and a backslash where it has a path, the
// name, "=" and the value.
void AddCustomProperties(const DismCustomProperty *properties, UINT count, RecordLines &lines,
                         size_t &used) {
  for (UINT i = 0; properties != nullptr && i < count; ++i) {
    const DismCustomProperty &property = properties[i];
    RecordLine &line = AddLine(lines, used, L"CustomProperty:");
    line.text = nullptr;
    line.written.clear();
    if (property.Path != nullptr && *property.Path != L'\0')
      line.written.append(property.Path).append(L"\\");
    line.written.append(property.Name ? property.Name : L"");
    line.written.append(L"=").append(property.Value ? property.Value : L"");
  }
}

} // namespace

std::wstring EnumWord(UINT value, const wchar_t *const words[], size_t count) {
  if (value < count && words[value] != nullptr)
    return words[value];
  const std::string digits = UnsignedText(value);
  return std::wstring(digits.begin(), digits.end());
}

void PrintLines(const RecordLines &lines) {
  for (const RecordLine &line : lines)
    WriteWideLine(line.label, line.value());
}

void ImageLines(const DismImageInfo &image, RecordLines &lines) {
  FieldLines(ImageFields, image, lines);
}

void MountedImageLines(const DismMountedImageInfo &image, RecordLines &lines) {
  FieldLines(MountedImageFields, image, lines);
}

void PackageLines(const DismPackage &package, RecordLines &lines) {
  FieldLines(PackageFields, package, lines);
}

void DriverLines(const DismDriverPackage &driver, RecordLines &lines) {
  FieldLines(DriverFields, driver, lines);
}

void FeatureLines(const DismFeature &feature, RecordLines &lines) {
  FieldLines(FeatureFields, feature, lines);
}

void CapabilityLines(const DismCapability &capability, RecordLines &lines) {
  FieldLines(CapabilityFields, capability, lines);
}

void ImageDetailLines(const DismImageInfo &image, RecordLines &lines) {
  size_t used = 0;
  AddFields(ImageFields, image, lines, used);
  AddFields(ImageDetailFields, image, lines, used);
  for (UINT i = 0; image.Language != nullptr && i < image.LanguageCount; ++i)
    Text(AddLine(lines, used, L"Language:"), image.Language[i].Value);
  if (image.Language != nullptr && image.DefaultLanguageIndex < image.LanguageCount)
    Text(AddLine(lines, used, L"DefaultLanguage:"),
         image.Language[image.DefaultLanguageIndex].Value);
  // What a .wim file says of the image.
  if (image.CustomizedInfo != nullptr)
    AddFields(CustomizedFields, *static_cast<const DismWimCustomizedInfo *>(image.CustomizedInfo),
              lines, used);
  lines.resize(used);
}

void PackageInfoLines(const DismPackageInfo &package, RecordLines &lines) {
  size_t used = 0;
  AddFields(PackageInfoFields, package, lines, used);
  AddCustomProperties(package.CustomProperty, package.CustomPropertyCount, lines, used);
  for (UINT i = 0; package.Feature != nullptr && i < package.FeatureCount; ++i)
    AddFields(FeatureFields, package.Feature[i], lines, used);
  lines.resize(used);
}

void FeatureInfoLines(const DismFeatureInfo &feature, RecordLines &lines) {
  size_t used = 0;
  AddFields(FeatureInfoFields, feature, lines, used);
  AddCustomProperties(feature.CustomProperty, feature.CustomPropertyCount, lines, used);
  lines.resize(used);
}

void CapabilityInfoLines(const DismCapabilityInfo &capability, RecordLines &lines) {
  FieldLines(CapabilityInfoFields, capability, lines);
}

void DriverInfoLines(const DismDriverPackage *package, const DismDriver *drivers, size_t count,
                     RecordLines &lines) {
  size_t used = 0;
  if (package != nullptr)
    AddFields(DriverPackageFields, *package, lines, used);
  for (size_t i = 0; drivers != nullptr && i < count; ++i)
    AddFields(DriverDetailFields, drivers[i], lines, used);
  lines.resize(used);
}

std::string TimeText(const SYSTEMTIME &time) {
  const auto digits = [](unsigned value, size_t width) {
    std::string text = UnsignedText(value);
    return std::string(text.size() < width ? width - text.size() : 0, '0') + text;
  };
  const bool isNone = time.wYear == 0 && time.wMonth == 0 && time.wDay == 0 && time.wHour == 0 &&
                      time.wMinute == 0 && time.wSecond == 0;
  const bool inRange = time.wYear >= 1601 && time.wYear <= 9999 && time.wMonth >= 1 &&
                       time.wMonth <= 12 && time.wDay >= 1 && time.wDay <= 31 && time.wHour <= 23 &&
                       time.wMinute <= 59 && time.wSecond <= 59;
  // A time no clock can show is not printed as if it were one.
  if (!isNone && !inRange)
    return "?";
  return digits(time.wYear, 4) + "-" + digits(time.wMonth, 2) + "-" + digits(time.wDay, 2) + "T" +
         digits(time.wHour, 2) + ":" + digits(time.wMinute, 2) + ":" + digits(time.wSecond, 2);
}
