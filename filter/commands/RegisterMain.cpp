// ostrel-register: makes the virtual camera visible to the current user's applications, or
// (--uninstall) removes it again.
#include <cstdio>
#include <cstring>
#include <string>

#include "filter/commands/OstrelRegistration.h"
#include "platform/ProgramPaths.h"

namespace {
void PrintUsage(std::FILE* to, const char* program) {
  std::fprintf(to,
               "usage: %s [--uninstall] [--plugin PATH]\n"
               "Registers the virtual camera for the current user: links the camera plugin into the user's\n"
               "GStreamer plugin folder and writes the camera's device entry (its name \"%s\").\n"
               "  --plugin PATH  the plugin to link (default: %s beside this program)\n"
               "  --uninstall    remove the link and the device entry again\n",
               program, kalimo::kRegisteredCameraName, kalimo::kPluginFileName);
}
}  // namespace

int main(int argc, char** argv) {
  bool uninstall = false;
  std::string plugin = kalimo::platform::ProgramDirectory() + "/" + kalimo::kPluginFileName;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--uninstall") == 0) {
      uninstall = true;
    } else if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
      plugin = argv[++i];
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout, argv[0]);
      return 0;
    } else {
      PrintUsage(stderr, argv[0]);
      return 2;
    }
  }
  std::string message;
  const bool ok = uninstall ? kalimo::UnregisterOstrel(message) : kalimo::RegisterOstrel(plugin, message);
  std::fprintf(ok ? stdout : stderr, "%s\n", message.c_str());
  return ok ? 0 : 1;
}
