// ostrel-register: makes the virtual camera visible to the current user's applications, or
// (--uninstall) removes it again.
#include <cstdio>
#include <cstring>
#include <string>

#include "filter/OstrelRegistration.h"
#include "platform/ProgramPaths.h"

int main(int argc, char** argv) {
  bool uninstall = false;
  std::string plugin = kalimo::platform::ProgramDirectory() + "/" + kalimo::kPluginFileName;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--uninstall") == 0) {
      uninstall = true;
    } else if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
      plugin = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--uninstall] [--plugin PATH]\n", argv[0]);
      return 2;
    }
  }
  std::string message;
  const bool ok = uninstall ? kalimo::UnregisterOstrel(message) : kalimo::RegisterOstrel(plugin, message);
  std::fprintf(ok ? stdout : stderr, "%s\n", message.c_str());
  return ok ? 0 : 1;
}
