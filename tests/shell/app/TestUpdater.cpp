// Stand-ins for the updater component: one that takes over (UpdateSoftware answers 3) and, built
// with KALIMO_WITHOUT_UPDATE, one that lacks UpdateSoftware. Both append each call to the file
// named by KALIMO_TEST_UPDATER_RECORD.
#include <cstdio>
#include <cstdlib>

#define KALIMO_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
void Record(const char* line) {
  const char* path = std::getenv("KALIMO_TEST_UPDATER_RECORD");
  if (!path) return;
  if (FILE* file = std::fopen(path, "a")) {
    std::fputs(line, file);
    std::fputc('\n', file);
    std::fclose(file);
  }
}
}  // namespace

#ifndef KALIMO_WITHOUT_UPDATE
KALIMO_EXPORT int UpdateSoftware(const char* productKey, const char* productName, const char* exeName) {
  char line[512];
  std::snprintf(line, sizeof line, "update %s %s %s", productKey, productName, exeName);
  Record(line);
  return 3;
}
#endif

KALIMO_EXPORT void ReleaseUpdater() { Record("release"); }
