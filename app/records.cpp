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

bool Version(RecordLine &line, UINT major, UINT minor, UINT build) {
  return Written(line, VersionTriple(major, minor, build));
}

template <size_t N> bool Word(RecordLine &line, UINT value, const wchar_t *const (&words)[N]) {
  line.text = nullptr;
  line.written = EnumWord(value, words);
  return true;
}

template <typename Record, size_t N>
void FieldLines(const Field<Record> (&fields)[N], const Record &record, RecordLines &lines) {
  size_t used = 0;
  for (const Field<Record> &field : fields) {
    if (used == lines.size())
      lines.emplace_back();
    RecordLine &line = lines[used];
    line.label = field.label;
    if (field.value(record, line))
      ++used;
  }
  lines.resize(used);
}

const wchar_t *const StateWords[] = {L"NotPresent", L"UninstallPending",  L"Staged",
                                     L"Removed",    L"Installed",         L"InstallPending",
                                     L"Superseded", L"PartiallyInstalled"};
const wchar_t *const MountModeWords[] = {L"RW", L"RO"};
const wchar_t *const MountStatusWords[] = {L"OK", L"NeedsRemount", L"Invalid"};

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

} // namespace

std::wstring EnumWord(UINT value, const wchar_t *const words[], size_t count) {
  if (value < count)
    return words[value];
  const std::string digits = UnsignedText(value);
  return std::wstring(digits.begin(), digits.end());
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
