// Loads DismAPI.dll from beside itself through the binding and calls the
// wrappers named on its command line, in order, printing what each gave
// (a file or folder is first checked as the commands check it):
//   init <log> | imageinfo <file> | mounted | packages | drivers | open <folder>
//   | close | addpackage <file> | adddriver <file> | addcapability <name>
//   | unmount <folder> <flags> | mount <image> <folder> <flags> | lasterror
#include "app/app.h"

#include <cstdlib>

namespace {

_DismImagesInfo Images;
_DismMountedImagesInfo Mounted;
_DismPackages PackageRecords;
_DismDriverPackages DriverRecords;
Session Opened;

template <typename Array, typename Name>
void Report(const char *op, HRESULT status, const Array &array, Name name) {
  std::string first = array.empty() ? "-" : NarrowText(name(array.front()));
  WriteLine(std::string(op) + " status=" + SignedText(status) +
            " size=" + std::to_string(array.size()) + " first=" + first);
}

void Plain(const char *op, HRESULT status) {
  WriteLine(std::string(op) + " status=" + SignedText(status));
}

} // namespace

int main() {
  InstallStopHandler(); // as the tool does: the long operations get its stop event
  try {
    LoadDismApi();
    const auto file = [](const std::wstring &path) {
      RequireFile(path, true, PlatformFiles);
      return path;
    };
    int count = ArgumentCount();
    for (int n = 1; n <= count; ++n) {
      const std::string op = NarrowText(Argument(n).c_str());
      if (op == "init") {
        Plain("init", dism_Initialize(DismLogErrorsWarnings, Argument(++n), L""));
      } else if (op == "imageinfo") {
        HRESULT s = dism_GetImageInfo(file(Argument(++n)), Images);
        Report("imageinfo", s, Images, [](const DismImageInfo &r) { return r.ImageName; });
      } else if (op == "mounted") {
        HRESULT s = dism_GetMountedImageInfo(Mounted);
        Report("mounted", s, Mounted, [](const DismMountedImageInfo &r) { return r.MountPath; });
      } else if (op == "packages") {
        HRESULT s = dism_GetPackages(Opened, PackageRecords);
        Report("packages", s, PackageRecords, [](const DismPackage &r) { return r.PackageName; });
      } else if (op == "drivers") {
        HRESULT s = dism_GetDrivers(Opened, DriverRecords);
        Report("drivers", s, DriverRecords,
               [](const DismDriverPackage &r) { return r.PublishedName; });
      } else if (op == "open") {
        // As a session command opens it: on a folder that must exist.
        const std::wstring folder = Argument(++n);
        RequireFolder(folder, PlatformFiles);
        Plain("open", dism_OpenSession(folder, L"", L"", Opened));
        WriteLine("handle=" + UnsignedText(Opened.handle));
      } else if (op == "close") {
        Plain("close", dism_CloseSession(Opened));
      } else if (op == "addpackage") {
        Plain("addpackage", dism_AddPackage("DismAddPackage", Opened, file(Argument(++n))));
      } else if (op == "adddriver") {
        Plain("adddriver", dism_AddDriver(Opened, file(Argument(++n))));
      } else if (op == "addcapability") {
        Plain("addcapability", dism_AddCapability("DismAddCapability", Opened, Argument(++n), {}));
      } else if (op == "unmount") {
        const std::wstring folder = Argument(++n);
        Plain("unmount", dism_UnmountImage("DismUnMountImage", folder,
                                           wcstoul(Argument(++n).c_str(), nullptr, 0)));
      } else if (op == "mount") {
        const std::wstring image = file(Argument(++n)), folder = Argument(++n);
        Plain("mount", dism_MountImage("DismMountImage", image, folder,
                                       wcstoul(Argument(++n).c_str(), nullptr, 0), 1));
      } else if (op == "lasterror") {
        WriteLine("lasterror=[" + dism_LastErrorMessage() + "]");
      } else {
        WriteLine("unknown operation " + op);
        EndProcess(2);
      }
    }
  } catch (const Error &error) {
    WriteLine("raised:" + error.message);
    EndProcess(3);
  }
  EndProcess(0);
}
