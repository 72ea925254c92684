// ostrel-client.exe: a DirectShow client of the registered Kalimo camera, as a chat application
// uses it. Each argument is one test; the exit code says whether every check held.
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <map>

#include "common/FrameSectionLayout.h"
#include "filter/win32/ostrel-feed/BmpFile.h"
#include "platform/win32/WideText.h"

#include "tests/filter/win32/Check.h"
#include "tests/filter/win32/WinTestSupport.h"

using namespace kalimo::test;

namespace {

constexpr REFERENCE_TIME kFrameLength = 333333;
constexpr DWORD kPatience = 20000;  // how long a test waits for frames before it gives up

const std::wstring kClassKey = L"CLSID\\{1FCE9E0A-F821-4585-A0EC-84B37141C1E9}";
const std::wstring kInstanceKey = L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance\\Virtual Camera";
// The filter's entry in the default DirectShow filters category.
const std::wstring kFilterEntryKey =
    L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\{1FCE9E0A-F821-4585-A0EC-84B37141C1E9}";

bool ReadRegistryText(const std::wstring& key, const wchar_t* value, std::wstring& text) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return false;
  }
  text = data;
  return true;
}

bool KeyExists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

size_t CountOf(const std::vector<std::wstring>& names, const wchar_t* name) {
  size_t count = 0;
  for (const auto& candidate : names) count += candidate == name;
  return count;
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
  return count;
}

// After registration: one device of that name, the COM keys, and a filter behind the moniker.
void Registration() {
  CHECK(CountOf(VideoInputDeviceNames(), kCameraName) == 1);
  std::wstring text;
  CHECK(ReadRegistryText(kClassKey, nullptr, text) && text == kCameraName);
  CHECK(ReadRegistryText(kClassKey + L"\\InprocServer32", nullptr, text) && text.size() > 10 &&
        _wcsicmp(text.c_str() + text.size() - 10, L"\\Ostrel.ax") == 0);
  CHECK(ReadRegistryText(kClassKey + L"\\InprocServer32", L"ThreadingModel", text) && text == L"Both");
  CHECK(ReadRegistryText(kInstanceKey, L"FriendlyName", text) && text == kCameraName);
  CHECK(ReadRegistryText(kFilterEntryKey, L"FriendlyName", text) && text == kCameraName);

  ComPtr<IBaseFilter> camera;
  CHECK_HR(S_OK, BindCamera(kCameraName, camera.Put()));
  REQUIRE(camera);
  CLSID classId{};
  CHECK(SUCCEEDED(camera->GetClassID(&classId)) && classId == kOstrelClassId);
  ComPtr<IEnumPins> pins;
  REQUIRE(SUCCEEDED(camera->EnumPins(pins.Put())));
  ComPtr<IPin> pin;
  ULONG fetched = 0;
  CHECK_HR(S_OK, pins->Next(1, pin.Put(), &fetched));
  REQUIRE(pin);
  PIN_INFO info{};
  CHECK(SUCCEEDED(pin->QueryPinInfo(&info)) && info.dir == PINDIR_OUTPUT && std::wcscmp(info.achName, L"Out") == 0);
  if (info.pFilter) info.pFilter->Release();
  ComPtr<IPin> second;
  CHECK_HR(S_FALSE, pins->Next(1, second.Put(), &fetched));  // one pin only
}

// After unregistration: neither the device nor the COM keys are left.
void Unregistered() {
  CHECK(CountOf(VideoInputDeviceNames(), kCameraName) == 0);
  CHECK(!KeyExists(kClassKey));
  CHECK(!KeyExists(kInstanceKey));
  CHECK(!KeyExists(kFilterEntryKey));
}

// The whole road of a frame: black before the first frame, then the picture upright and exact,
// a half-size source stretched, stamps of 1/30 s that continue after Stop and Run.
void Capture() {
  UseOwnFrameSection(L"capture");
  const std::wstring folder = MakeTempFolder(L"capture");
  const auto picture = TestPicture(640, 480, 1);
  const auto small = TestPicture(320, 240, 2);
  const std::wstring pictureFile = SaveTestBmp(folder, L"picture.bmp", picture, 640, 480);
  const std::wstring smallFile = SaveTestBmp(folder, L"small.bmp", small, 320, 240);

  SampleCollector collector;
  ComPtr<IBaseFilter> camera;
  CHECK_HR(S_OK, BindCamera(kCameraName, camera.Put()));
  REQUIRE(camera);
  CaptureGraph graph;
  CHECK_HR(S_OK, graph.Build(camera.Get(), &collector));
  long width = 0, height = 0;
  CHECK(graph.ConnectedSize(width, height) && width == 640 && height == 480);
  const ULONGLONG runCalled = GetTickCount64();
  REQUIRE(SUCCEEDED(graph.Run()));

  // No section yet: black samples of the full picture size.
  REQUIRE(collector.WaitForCount(5, kPatience));
  for (const auto& record : collector.Records()) CHECK(record.black && record.length == 921600);

  collector.Expect(picture);
  HANDLE feed = StartFeed(L"--bmp \"" + pictureFile + L"\" --fps 30");
  REQUIRE(feed);
  auto matchesThen = [](size_t more) {
    return [more](const std::vector<SampleRecord>& records) {
      size_t first = records.size();
      for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].matchesExpected) {
          first = i;
          break;
        }
      }
      return first < records.size() && records.size() >= first + more;
    };
  };
  CHECK(collector.WaitFor(matchesThen(40), kPatience));
  {
    // Once the picture has arrived, every sample carries it exactly.
    const auto records = collector.Records();
    size_t first = 0;
    while (first < records.size() && !records[first].matchesExpected) ++first;
    for (size_t i = first; i < records.size(); ++i) CHECK(records[i].matchesExpected);
    // Paced on the graph's clock: sample n is not delivered before n / 30 s of stream time, and
    // stream time starts no earlier than Run (the margin covers the tick counter's granularity).
    for (size_t i = 0; i < records.size(); ++i) {
      if (records[i].arrivedMs + 50 < runCalled + i * 1000 / 30) {
        std::fprintf(stderr, "sample %zu arrived %llu ms after Run\n", i, records[i].arrivedMs - runCalled);
        CHECK(!"samples come no faster than 30 a second");
        break;
      }
    }
  }
  StopProgram(feed);

  // A 320 x 240 source, stretched to the negotiated 640 x 480 by repeating pixels.
  collector.Expect(DoubledPicture(small, 320, 240));
  feed = StartFeed(L"--bmp \"" + smallFile + L"\" --fps 30");
  REQUIRE(feed);
  CHECK(collector.WaitFor([](const std::vector<SampleRecord>& records) {
    return !records.empty() && records.back().matchesExpected;
  }, kPatience));
  StopProgram(feed);

  // Stop and run again: the count of frames goes on.
  CHECK(SUCCEEDED(graph.Stop()));
  const size_t firstRun = collector.Records().size();
  REQUIRE(SUCCEEDED(graph.Run()));
  CHECK(collector.WaitForCount(firstRun + 5, kPatience));
  CHECK(SUCCEEDED(graph.Stop()));

  const auto records = collector.Records();
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].start != static_cast<REFERENCE_TIME>(i) * kFrameLength ||
        records[i].stop != records[i].start + kFrameLength) {
      std::fprintf(stderr, "sample %zu stamped %lld-%lld\n", i, records[i].start, records[i].stop);
      CHECK(!"samples are stamped n x 333333 to (n + 1) x 333333");
      break;
    }
  }
  RemoveFolder(folder);
}

// SetFormat with the second capability before connecting: the client gets 320 x 240; with the
// first one on the connected pin, the graph reconnects it at 640 x 480.
void SetFormat() {
  UseOwnFrameSection(L"setformat");
  const std::wstring folder = MakeTempFolder(L"setformat");
  const auto small = TestPicture(320, 240, 3);
  const std::wstring smallFile = SaveTestBmp(folder, L"small.bmp", small, 320, 240);

  ComPtr<IBaseFilter> camera;
  CHECK_HR(S_OK, BindCamera(kCameraName, camera.Put()));
  REQUIRE(camera);
  ComPtr<IAMStreamConfig> config;
  CHECK_HR(S_OK, camera->QueryInterface(IID_IAMStreamConfig, config.PutVoid()));
  REQUIRE(config);
  AM_MEDIA_TYPE* caps = nullptr;
  VIDEO_STREAM_CONFIG_CAPS scc{};
  CHECK_HR(S_OK, config->GetStreamCaps(1, &caps, reinterpret_cast<BYTE*>(&scc)));
  REQUIRE(caps);

  SampleCollector collector;
  collector.Expect(small);
  CaptureGraph graph;
  CHECK_HR(S_OK, graph.Build(camera.Get(), &collector, caps));
  CoTaskMemFree(caps->pbFormat);
  CoTaskMemFree(caps);
  long width = 0, height = 0;
  CHECK(graph.ConnectedSize(width, height) && width == 320 && height == 240);

  HANDLE feed = StartFeed(L"--bmp \"" + smallFile + L"\" --fps 30");
  REQUIRE(feed);
  REQUIRE(SUCCEEDED(graph.Run()));
  CHECK(collector.WaitFor([](const std::vector<SampleRecord>& records) {
    return !records.empty() && records.back().matchesExpected && records.back().length == 230400;
  }, kPatience));
  // A paused pin answers at once.
  CHECK(SUCCEEDED(graph.Pause()));
  Sleep(100);
  AM_MEDIA_TYPE* current = nullptr;
  CHECK_HR(S_OK, config->GetFormat(&current));
  if (current) CoTaskMemFree(current->pbFormat);
  CoTaskMemFree(current);
  REQUIRE(SUCCEEDED(graph.Run()));
  // While samples flow, the size cannot change under them.
  AM_MEDIA_TYPE* running = nullptr;
  CHECK_HR(S_OK, config->GetStreamCaps(0, &running, reinterpret_cast<BYTE*>(&scc)));
  REQUIRE(running);
  CHECK_HR(VFW_E_NOT_STOPPED, config->SetFormat(running));
  CoTaskMemFree(running->pbFormat);
  CoTaskMemFree(running);
  graph.Stop();
  StopProgram(feed);

  // Back to the first capability on the connected pin: the graph reconnects the pin at 640 x 480.
  // (Wine's Smart Tee behind it keeps its own outputs' type, so the check is on the pin itself.)
  AM_MEDIA_TYPE* large = nullptr;
  CHECK_HR(S_OK, config->GetStreamCaps(0, &large, reinterpret_cast<BYTE*>(&scc)));
  REQUIRE(large);
  CHECK_HR(S_OK, config->SetFormat(large));
  CoTaskMemFree(large->pbFormat);
  CoTaskMemFree(large);
  ComPtr<IPin> pin;
  CHECK_HR(S_OK, graph.Builder()->FindPin(camera.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, FALSE,
                                          0, pin.Put()));
  AM_MEDIA_TYPE connected{};
  CHECK(pin && SUCCEEDED(pin->ConnectionMediaType(&connected)) && connected.cbFormat >= sizeof(VIDEOINFOHEADER) &&
        reinterpret_cast<VIDEOINFOHEADER*>(connected.pbFormat)->bmiHeader.biWidth == 640 &&
        reinterpret_cast<VIDEOINFOHEADER*>(connected.pbFormat)->bmiHeader.biHeight == 480);
  CoTaskMemFree(connected.pbFormat);
  RemoveFolder(folder);
}

std::wstring ZemvioFolder() {
  wchar_t appData[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
  return std::wstring(appData) + L"\\Zemvio\\";
}

// The camera's log: the section missing, arriving and going again, each logged once.
void Log() {
  const std::wstring folder = ZemvioFolder();
  RemoveFolder(folder);
  CHECK(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring temp = MakeTempFolder(L"log");
  UseOwnFrameSection(L"log");
  const std::wstring pictureFile = SaveTestBmp(temp, L"picture.bmp", TestPicture(64, 48, 4), 64, 48);
  {
    ComPtr<IBaseFilter> camera;
    CHECK_HR(S_OK, CoCreateInstance(kOstrelClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    camera.PutVoid()));
    Sleep(300);  // some polls without a section
    HANDLE feed = StartFeed(L"--bmp \"" + pictureFile + L"\" --fps 30 --seconds 1");
    REQUIRE(feed);
    WaitForSingleObject(feed, kPatience);
    CloseHandle(feed);
    Sleep(300);  // the section is gone with its only writer
  }
  // Each change is logged once, however many polls see it.
  std::string log;
  CHECK(ReadWholeFile(folder + L"logvam.log", log));
  CHECK(log ==
        "Could not open file mapping object.(2)\r\n"
        "Success to open file mapping object.\r\n"
        "Could not open file mapping object.(2)\r\n");
  if (Failures()) std::fprintf(stderr, "logvam.log:\n%s\n", log.c_str());
  RemoveFolder(folder);
  RemoveFolder(temp);
}

// The first sample starts Kalimo.exe beside the DLL, once in the pin's life; with a window titled
// "Kalimo" present, nothing is started.
void Launch(bool windowPresent) {
  UseOwnFrameSection(windowPresent ? L"launch-window" : L"launch");
  const std::wstring folder = MakeTempFolder(windowPresent ? L"launch-window" : L"launch");
  const std::wstring record = folder + L"launched.txt";
  CHECK(CopyFileW((ProgramFolder() + L"Ostrel.ax").c_str(), (folder + L"Ostrel.ax").c_str(), FALSE));
  CHECK(CopyFileW((ProgramFolder() + L"kalimo-stand-in.exe").c_str(), (folder + L"Kalimo.exe").c_str(), FALSE));
  _wputenv_s(L"KALIMO_LAUNCH_RECORD", record.c_str());

  HWND window = nullptr;
  if (windowPresent) {
    window = CreateWindowExW(0, L"STATIC", L"Kalimo", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    REQUIRE(window);
  }
  HMODULE module = LoadLibraryW((folder + L"Ostrel.ax").c_str());
  REQUIRE(module);
  {
    auto getClassObject =
        reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    REQUIRE(getClassObject);
    ComPtr<IClassFactory> factory;
    CHECK_HR(S_OK, getClassObject(kOstrelClassId, IID_IClassFactory, factory.PutVoid()));
    REQUIRE(factory);
    ComPtr<IBaseFilter> camera;
    CHECK_HR(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, camera.PutVoid()));
    REQUIRE(camera);
    SampleCollector collector;
    CaptureGraph graph;
    CHECK_HR(S_OK, graph.Build(camera.Get(), &collector));
    for (int run = 1; run <= 2; ++run) {
      REQUIRE(SUCCEEDED(graph.Run()));
      CHECK(collector.WaitForCount(static_cast<size_t>(5 * run), kPatience));
      CHECK(SUCCEEDED(graph.Stop()));
    }
  }
  const ULONGLONG end = GetTickCount64() + (windowPresent ? 1500 : kPatience);
  std::string launched;
  while (GetTickCount64() < end && !ReadWholeFile(record, launched)) Sleep(50);
  if (windowPresent) {
    CHECK(!ReadWholeFile(record, launched));
    DestroyWindow(window);
  } else {
    Sleep(500);  // a second start, if there were one, would have written by now
    CHECK(ReadWholeFile(record, launched) && Occurrences(launched, "started\r\n") == 1);
  }
  FreeLibrary(module);
  RemoveFolder(folder);
}

// Waits for the section that a running ostrel-feed.exe writes and copies its first `bytes` bytes.
bool ReadSectionWhileFeeding(const std::wstring& name, size_t bytes, std::string& copy) {
  const ULONGLONG end = GetTickCount64() + kPatience;
  while (GetTickCount64() < end) {
    HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str());
    if (section) {
      const void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, bytes);
      if (view) copy.assign(static_cast<const char*>(view), bytes);
      if (view) UnmapViewOfFile(view);
      CloseHandle(section);
      if (copy.size() == bytes && copy[0] != 0) return true;
    }
    Sleep(20);
  }
  return false;
}

DWORD RunFeedToEnd(const std::wstring& arguments) {
  HANDLE feed = StartFeed(arguments);
  if (!feed) return 9999;
  DWORD code = 9999;
  if (WaitForSingleObject(feed, kPatience) == WAIT_OBJECT_0) GetExitCodeProcess(feed, &code);
  StopProgram(feed);
  return code;
}

// A writer without the right to create global objects writes "Local\X"; a camera configured with
// "Global\X" finds it there.
void SessionSection() {
  const std::wstring folder = MakeTempFolder(L"session");
  const auto picture = TestPicture(640, 480, 9);
  const std::wstring pictureFile = SaveTestBmp(folder, L"picture.bmp", picture, 640, 480);
  const std::wstring name = L"ostrel-test-session-" + std::to_wstring(GetCurrentProcessId());
  _wputenv_s(L"KALIMO_SECTION", (L"Local\\" + name).c_str());  // what the feed inherits
  HANDLE feed = StartFeed(L"--bmp \"" + pictureFile + L"\" --fps 30");
  REQUIRE(feed);
  _wputenv_s(L"KALIMO_SECTION", (L"Global\\" + name).c_str());  // what the camera reads

  ComPtr<IBaseFilter> camera;
  CHECK_HR(S_OK, BindCamera(kCameraName, camera.Put()));
  REQUIRE(camera);
  SampleCollector collector;
  collector.Expect(picture);
  CaptureGraph graph;
  CHECK_HR(S_OK, graph.Build(camera.Get(), &collector));
  REQUIRE(SUCCEEDED(graph.Run()));
  CHECK(collector.WaitFor([](const std::vector<SampleRecord>& records) {
    return !records.empty() && records.back().matchesExpected;
  }, kPatience));
  graph.Stop();
  StopProgram(feed);
  RemoveFolder(folder);
}

// ostrel-feed.exe: the section's header and rows as it writes them, and its answers to bad input.
void Feed() {
  const std::wstring section = UseOwnFrameSection(L"feed");
  const std::wstring folder = MakeTempFolder(L"feed");

  // A top-down BMP arrives bottom-up; the header says 5 x 3 with 16-byte rows.
  const auto picture = TestPicture(5, 3, 7);
  std::string topDown = "BM";
  {
    kalimo::feed::DibPicture dib{5, 3, picture};
    const std::wstring path = folder + L"plain.bmp";
    CHECK(kalimo::feed::WriteBmpFile(kalimo::platform::WideToUtf8(path), dib));
    CHECK(ReadWholeFile(path, topDown));
    // Same file with a negative height and the rows in the other order.
    const std::int32_t negative = -3;
    std::memcpy(topDown.data() + 22, &negative, 4);
    for (int row = 0; row < 3; ++row) topDown.replace(54 + row * 16, 16, reinterpret_cast<const char*>(picture.data()) + (2 - row) * 16, 16);
    CHECK(WriteWholeFile(folder + L"topdown.bmp", topDown));
  }
  HANDLE feed = StartFeed(L"--bmp \"" + folder + L"topdown.bmp\" --fps 10");
  std::string copy;
  CHECK(ReadSectionWhileFeeding(section, 8 + picture.size(), copy));
  StopProgram(feed);
  CHECK(copy.compare(0, 8, std::string("\x05\x00\x03\x00\x30\x00\x00\x00", 8)) == 0);
  CHECK(copy.compare(8, picture.size(), std::string(picture.begin(), picture.end())) == 0);

  // The pattern fills the whole picture size it was given.
  feed = StartFeed(L"--pattern --size 64x48 --fps 30");
  CHECK(ReadSectionWhileFeeding(section, 8, copy));
  StopProgram(feed);
  CHECK(copy == std::string("\x40\x00\x30\x00\x00\x24\x00\x00", 8));  // 64 x 48, 192 x 48 bytes

  // Bad input: a clear refusal (1), or the usage for a wrong command line (2).
  std::string truncated = topDown.substr(0, topDown.size() - 1);
  std::string deep = topDown;
  deep[28] = 32;  // a 32-bit picture
  CHECK(WriteWholeFile(folder + L"text.bmp", "not a picture"));
  CHECK(WriteWholeFile(folder + L"truncated.bmp", truncated));
  CHECK(WriteWholeFile(folder + L"deep.bmp", deep));
  const struct {
    std::wstring arguments;
    DWORD expected;
  } cases[] = {
      {L"--bmp \"" + folder + L"text.bmp\" --frames 1", 1},
      {L"--bmp \"" + folder + L"truncated.bmp\" --frames 1", 1},
      {L"--bmp \"" + folder + L"deep.bmp\" --frames 1", 1},
      {L"--bmp \"" + folder + L"missing.bmp\" --frames 1", 1},
      {L"--fps 0", 2},
      {L"--size 0x5", 2},
      {L"--colour red", 2},
      {L"--pattern --frames 2", 0},
  };
  for (const auto& c : cases) {
    const DWORD code = RunFeedToEnd(c.arguments);
    if (code != c.expected) std::fprintf(stderr, "ostrel-feed %ls: exit code %lu\n", c.arguments.c_str(), code);
    CHECK(code == c.expected);
  }

  // The write counter behind the frame: a fresh section's counter is started from the clock (so a
  // reader cannot take the first frame for one it has seen), each frame moves it on by two, and a
  // second run over the same section keeps counting where the first stopped.
  HANDLE held = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                   static_cast<DWORD>(kalimo::kSectionObjectSize), section.c_str());
  REQUIRE(held);
  auto* view = static_cast<const unsigned char*>(MapViewOfFile(held, FILE_MAP_READ, 0, 0, 0));
  REQUIRE(view);
  CHECK(RunFeedToEnd(L"--pattern --size 8x4 --frames 3") == 0);
  const std::uint64_t afterFirstRun = kalimo::LoadSectionSequence(view);
  CHECK(afterFirstRun % 2 == 0);
  CHECK(afterFirstRun > (std::uint64_t{1} << 40));  // nanoseconds of the clock, not a count from 0
  CHECK(RunFeedToEnd(L"--pattern --size 8x4 --frames 2") == 0);
  CHECK(kalimo::LoadSectionSequence(view) == afterFirstRun + 4);
  UnmapViewOfFile(view);
  CloseHandle(held);
  RemoveFolder(folder);
}

// KeepAspect in the device entry, read when a client connects: a 1280 x 720 source lies in rows
// 60-419 of the 640 x 480 picture with black above and below; 0 stretches it over the whole picture.
// The expected pictures are built here by hand (rows counted from the bottom, as the DIB stores them).
void KeepAspect() {
  UseOwnFrameSection(L"keepaspect");
  const std::wstring folder = MakeTempFolder(L"keepaspect");
  const auto wide = TestPicture(1280, 720, 4);
  const std::wstring wideFile = SaveTestBmp(folder, L"wide.bmp", wide, 1280, 720);
  HANDLE feed = StartFeed(L"--bmp \"" + wideFile + L"\" --fps 30");
  REQUIRE(feed);
  for (const DWORD keepAspect : {1u, 0u}) {
    REQUIRE(RegSetKeyValueW(HKEY_CLASSES_ROOT, kInstanceKey.c_str(), L"KeepAspect", REG_DWORD, &keepAspect,
                            sizeof keepAspect) == ERROR_SUCCESS);
    std::vector<unsigned char> expected(640 * 480 * 3, 0);
    for (int row = 0; row < 480; ++row) {  // from the bottom
      if (keepAspect && (row < 60 || row >= 420)) continue;
      const int sourceRow = keepAspect ? (row - 60) * 720 / 360 : row * 720 / 480;
      for (int x = 0; x < 640; ++x) {
        std::memcpy(expected.data() + (row * 640 + x) * 3, wide.data() + (sourceRow * 1280 + x * 2) * 3, 3);
      }
    }
    SampleCollector collector;
    collector.Expect(expected);
    ComPtr<IBaseFilter> camera;
    CHECK_HR(S_OK, BindCamera(kCameraName, camera.Put()));
    REQUIRE(camera);
    CaptureGraph graph;
    CHECK_HR(S_OK, graph.Build(camera.Get(), &collector));
    REQUIRE(SUCCEEDED(graph.Run()));
    const bool matched = collector.WaitFor([](const std::vector<SampleRecord>& records) {
      return !records.empty() && records.back().matchesExpected;
    }, kPatience);
    if (!matched) std::fprintf(stderr, "KeepAspect %lu: the picture never matched\n", keepAspect);
    CHECK(matched);
    CHECK(SUCCEEDED(graph.Stop()));
  }
  RegDeleteKeyValueW(HKEY_CLASSES_ROOT, kInstanceKey.c_str(), L"KeepAspect");
  StopProgram(feed);
  RemoveFolder(folder);
}

// A section under the camera's name that another account owns shows nothing: black samples only.
// Which owner Wine lets a program give an object decides whether this can be checked here.
void ForeignSection() {
  const std::wstring name = UseOwnFrameSection(L"foreign");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // Owned by another user of a made-up domain; everybody may read and write.
  REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:S-1-5-21-1-2-3-1001D:(A;;GA;;;WD)", SDDL_REVISION_1,
                                                                &descriptor, nullptr));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(kalimo::kSectionObjectSize), name.c_str());
  LocalFree(descriptor);
  if (!section) {
    std::fprintf(stderr, "SKIPPED: this system refuses to create an object owned by another account (error %lu)\n",
                GetLastError());
    return;
  }
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR actual = nullptr;
  LPWSTR ownerText = nullptr;
  if (GetSecurityInfo(section, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &actual) != ERROR_SUCCESS || !owner || !ConvertSidToStringSidW(owner, &ownerText) ||
      std::wcscmp(ownerText, L"S-1-5-21-1-2-3-1001") != 0) {
    std::fprintf(stderr, "SKIPPED: this system does not keep the owner given to an object (%ls)\n", ownerText ? ownerText : L"none");
    if (ownerText) LocalFree(ownerText);
    if (actual) LocalFree(actual);
    CloseHandle(section);
    return;
  }
  LocalFree(ownerText);
  LocalFree(actual);
  // A whole picture with the write counter at a finished frame, as a writer leaves it.
  auto* view = static_cast<unsigned char*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  REQUIRE(view);
  const auto picture = TestPicture(640, 480, 5);
  kalimo::StoreSectionHeader(view, {640, 480, static_cast<std::int32_t>(picture.size())});
  std::memcpy(view + kalimo::kSectionHeaderSize, picture.data(), picture.size());
  kalimo::EndSectionWrite(view, 41);

  ComPtr<IBaseFilter> camera;
  CHECK_HR(S_OK, BindCamera(kCameraName, camera.Put()));
  REQUIRE(camera);
  SampleCollector collector;
  collector.Expect(picture);
  CaptureGraph graph;
  CHECK_HR(S_OK, graph.Build(camera.Get(), &collector));
  REQUIRE(SUCCEEDED(graph.Run()));
  REQUIRE(collector.WaitForCount(15, kPatience));
  graph.Stop();
  for (const auto& record : collector.Records()) CHECK(record.black && !record.matchesExpected);
  UnmapViewOfFile(view);
  CloseHandle(section);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::map<std::wstring, void (*)()> tests = {
      {L"registration", Registration},
      {L"unregistered", Unregistered},
      {L"capture", Capture},
      {L"setformat", SetFormat},
      {L"log", Log},
      {L"launch", [] { Launch(false); }},
      {L"launch-window", [] { Launch(true); }},
      {L"feed", Feed},
      {L"session", SessionSection},
      {L"keep-aspect", KeepAspect},
      {L"foreign-section", ForeignSection},
  };
  if (argc != 2 || !tests.count(argv[1])) {
    std::fputs("usage: ostrel-client.exe registration|unregistered|capture|setformat|log|launch|\n"
               "       launch-window|feed|session|keep-aspect|foreign-section\n",
               stderr);
    return 2;
  }
  return RunWithCom(tests.at(argv[1]));
}
