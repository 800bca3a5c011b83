// Loads DismAPI.dll from beside itself through the binding and calls the
// wrappers named on its command line, in order, printing what each gave
// (open checks its folder as the session commands do):
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
    int count = ArgumentCount();
    for (int n = 1; n <= count; ++n) {
      const std::string op = NarrowText(Argument(n).c_str());
      if (op == "init") {
        Plain("init", dism_Initialize(NarrowText(Argument(++n).c_str())));
      } else if (op == "imageinfo") {
        HRESULT s = dism_GetImageInfo(Argument(++n), Images);
        Report("imageinfo", s, Images, [](const DismImageInfo &r) { return r.ImageName; });
      } else if (op == "mounted") {
        HRESULT s = dism_GetMountedImageInfo(Mounted);
        Report("mounted", s, Mounted, [](const DismMountedImageInfo &r) { return r.MountPath; });
      } else if (op == "packages") {
        HRESULT s = dism_GetPackages(PackageRecords);
        Report("packages", s, PackageRecords, [](const DismPackage &r) { return r.PackageName; });
      } else if (op == "drivers") {
        HRESULT s = dism_GetDrivers(DriverRecords);
        Report("drivers", s, DriverRecords,
               [](const DismDriverPackage &r) { return r.PublishedName; });
      } else if (op == "open") {
        // As a session command opens it: on a folder that must exist.
        const std::wstring folder = Argument(++n);
        RequireFolder(folder);
        Plain("open", dism_OpenSession(folder));
        WriteLine("handle=" + UnsignedText(SessionHandle));
      } else if (op == "close") {
        Plain("close", dism_CloseSession());
      } else if (op == "addpackage") {
        Plain("addpackage", dism_AddPackage(Argument(++n)));
      } else if (op == "adddriver") {
        Plain("adddriver", dism_AddDriver(Argument(++n)));
      } else if (op == "addcapability") {
        Plain("addcapability", dism_AddCapability(Argument(++n), L""));
      } else if (op == "unmount") {
        const std::wstring folder = Argument(++n);
        Plain("unmount", dism_UnmountImage(folder, wcstoul(Argument(++n).c_str(), nullptr, 0)));
      } else if (op == "mount") {
        const std::wstring image = Argument(++n), folder = Argument(++n);
        Plain("mount",
              dism_MountImage(image, folder, wcstoul(Argument(++n).c_str(), nullptr, 0), 1));
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
