// Stands in for Kalimo.exe in the tests: notes in the file named by KALIMO_LAUNCH_RECORD that it
// was started, and ends.
#include <windows.h>

int wmain() {
  wchar_t path[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"KALIMO_LAUNCH_RECORD", path, MAX_PATH)) return 1;
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, "started\r\n", 9, &written, nullptr);
  CloseHandle(file);
  return 0;
}
