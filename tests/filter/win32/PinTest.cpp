// ostrel-pin-test.exe: the camera's pin and filter objects in this process (linked in, not loaded
// from the DLL), so that calls a graph never makes in this order can be checked directly; and the
// DLL's own exports. Each argument is one group of checks.
#include <cwchar>
#include <map>

#include "filter/core/FrameReceiver.h"
#include "filter/win32/COstrel.h"
#include "filter/win32/COstrelPin.h"
#include "tests/filter/win32/Check.h"
#include "tests/filter/win32/WinTestSupport.h"

using namespace kalimo;
using namespace kalimo::test;

namespace {

// A filter with its pin, released at the end of the scope.
struct Camera {
  Camera() {
    HRESULT hr = E_FAIL;
    filter = COstrel::CreateInstance(&hr);
    if (filter) {
      filter->AddRef();
      pin = static_cast<COstrelPin*>(filter->Pin(0));
    }
  }
  ~Camera() {
    if (filter) filter->Release();
  }
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;
  COstrel* filter = nullptr;
  COstrelPin* pin = nullptr;
};

const VIDEOINFOHEADER* Info(const AM_MEDIA_TYPE& type) {
  return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

// An RGB type of the given subtype, bit count and size, as a client proposes it.
struct ProposedType {
  ProposedType(const GUID& subtype, WORD bitCount, LONG width, LONG height) {
    type.majortype = MEDIATYPE_Video;
    type.subtype = subtype;
    type.formattype = FORMAT_VideoInfo;
    type.bFixedSizeSamples = TRUE;
    VIDEOINFOHEADER* info = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocateFormat(sizeof(VIDEOINFOHEADER)));
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = bitCount;
    info->bmiHeader.biSizeImage = static_cast<DWORD>(((width * bitCount + 31) / 32) * 4 * (height < 0 ? -height : height));
    type.lSampleSize = static_cast<ULONG>(info->bmiHeader.biSizeImage);
  }
  dshow::MediaType type;
};

// GetMediaType offers five equal RGB24 types of the current size; CheckMediaType accepts only
// what FillBuffer fills.
void MediaTypes() {
  UseOwnFrameSection(L"media-types");
  Camera camera;
  REQUIRE(camera.pin);
  dshow::MediaType type;
  CHECK_HR(E_INVALIDARG, camera.pin->GetMediaType(-1, &type));
  for (int position = 0; position < 5; ++position) {
    CHECK_HR(S_OK, camera.pin->GetMediaType(position, &type));
    CHECK(type.majortype == MEDIATYPE_Video && type.subtype == MEDIASUBTYPE_RGB24 &&
          type.formattype == FORMAT_VideoInfo && type.bFixedSizeSamples && type.lSampleSize == 921600);
    CHECK(type.cbFormat == sizeof(VIDEOINFO) && Info(type)->bmiHeader.biWidth == 640 &&
          Info(type)->bmiHeader.biHeight == 480 && Info(type)->bmiHeader.biBitCount == 24 &&
          Info(type)->bmiHeader.biSizeImage == 921600);
    CHECK(camera.pin->CheckMediaType(&type) == S_OK);
  }
  CHECK_HR(VFW_S_NO_MORE_ITEMS, camera.pin->GetMediaType(5, &type));

  // The same five through the COM enumerator a graph uses.
  ComPtr<IEnumMediaTypes> types;
  REQUIRE(SUCCEEDED(camera.pin->EnumMediaTypes(types.Put())));
  AM_MEDIA_TYPE* listed[8] = {};
  ULONG fetched = 0;
  CHECK_HR(S_FALSE, types->Next(8, listed, &fetched));
  CHECK(fetched == 5);
  for (ULONG i = 0; i < fetched; ++i) dshow::DeleteMediaType(listed[i]);

  struct Case {
    const char* what;
    GUID subtype;
    WORD bitCount;
    LONG width, height;
    HRESULT expected;
  } cases[] = {
      {"RGB24 640x480", MEDIASUBTYPE_RGB24, 24, 640, 480, S_OK},
      {"RGB24 640x-480 (top-down)", MEDIASUBTYPE_RGB24, 24, 640, -480, E_INVALIDARG},
      {"RGB24 320x240 before SetFormat", MEDIASUBTYPE_RGB24, 24, 320, 240, E_INVALIDARG},
      {"RGB32 640x480 (never filled)", MEDIASUBTYPE_RGB32, 32, 640, 480, E_INVALIDARG},
      {"RGB565 640x480 (never filled)", MEDIASUBTYPE_RGB565, 16, 640, 480, E_INVALIDARG},
      {"YUY2 640x480", MEDIASUBTYPE_YUY2, 16, 640, 480, E_INVALIDARG},
  };
  for (const Case& c : cases) {
    ProposedType proposed(c.subtype, c.bitCount, c.width, c.height);
    const HRESULT result = camera.pin->CheckMediaType(&proposed.type);
    if (result != c.expected) std::fprintf(stderr, "CheckMediaType %s: 0x%08lX\n", c.what, static_cast<unsigned long>(result));
    CHECK(result == c.expected);
    CHECK(camera.pin->QueryAccept(&proposed.type) == (c.expected == S_OK ? S_OK : S_FALSE));
  }
  ProposedType variable(MEDIASUBTYPE_RGB24, 24, 640, 480);
  variable.type.bFixedSizeSamples = FALSE;
  CHECK_HR(E_INVALIDARG, camera.pin->CheckMediaType(&variable.type));
  ProposedType audio(MEDIASUBTYPE_RGB24, 24, 640, 480);
  audio.type.majortype = MEDIATYPE_Audio;
  CHECK_HR(E_INVALIDARG, camera.pin->CheckMediaType(&audio.type));
  ProposedType formatless(MEDIASUBTYPE_RGB24, 24, 640, 480);
  formatless.type.AllocateFormat(0);
  formatless.type.formattype = GUID_NULL;
  CHECK_HR(E_INVALIDARG, camera.pin->CheckMediaType(&formatless.type));
  CHECK_HR(E_POINTER, camera.pin->CheckMediaType(nullptr));

  // The allocator gets buffers of at least the picture.
  ComPtr<IMemAllocator> allocator;
  REQUIRE(SUCCEEDED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                     allocator.PutVoid())));
  ALLOCATOR_PROPERTIES request{};
  CHECK_HR(S_OK, camera.pin->DecideBufferSize(allocator.Get(), &request));
  ALLOCATOR_PROPERTIES granted{};
  CHECK(SUCCEEDED(allocator->GetProperties(&granted)) && granted.cbBuffer >= 921600 && granted.cBuffers >= 1);
}

// Two capabilities; SetFormat with the second changes what the pin offers and accepts.
void StreamConfig() {
  UseOwnFrameSection(L"stream-config");
  Camera camera;
  REQUIRE(camera.pin);
  ComPtr<IAMStreamConfig> config;
  CHECK_HR(S_OK, camera.pin->QueryInterface(IID_IAMStreamConfig, config.PutVoid()));
  REQUIRE(config);
  int count = 0, size = 0;
  CHECK_HR(S_OK, config->GetNumberOfCapabilities(&count, &size));
  CHECK(count == 2 && size == sizeof(VIDEO_STREAM_CONFIG_CAPS) && size == 128);

  const struct {
    int index;
    LONG width, height;
  } capabilities[] = {{0, 640, 480}, {1, 320, 240}};
  for (const auto& capability : capabilities) {
    AM_MEDIA_TYPE* type = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    CHECK_HR(S_OK, config->GetStreamCaps(capability.index, &type, reinterpret_cast<BYTE*>(&caps)));
    REQUIRE(type);
    const LONG imageSize = capability.width * capability.height * 3;
    CHECK(type->subtype == MEDIASUBTYPE_RGB24 && type->formattype == FORMAT_VideoInfo &&
          type->cbFormat == sizeof(VIDEOINFOHEADER) && !type->bFixedSizeSamples &&
          type->lSampleSize == static_cast<ULONG>(imageSize));
    CHECK(Info(*type)->bmiHeader.biWidth == capability.width && Info(*type)->bmiHeader.biHeight == capability.height &&
          Info(*type)->bmiHeader.biSizeImage == static_cast<DWORD>(imageSize) &&
          Info(*type)->AvgTimePerFrame == 333333);
    CHECK(caps.guid == FORMAT_VideoInfo && caps.MaxOutputSize.cx == capability.width &&
          caps.MaxOutputSize.cy == capability.height && caps.MinFrameInterval == 200000);
    dshow::DeleteMediaType(type);
  }
  for (int index : {2, -1}) {
    AM_MEDIA_TYPE* type = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    CHECK_HR(E_INVALIDARG, config->GetStreamCaps(index, &type, reinterpret_cast<BYTE*>(&caps)));
    CHECK(type == nullptr);
  }
  VIDEO_STREAM_CONFIG_CAPS caps{};
  CHECK_HR(E_INVALIDARG, config->GetStreamCaps(0, nullptr, reinterpret_cast<BYTE*>(&caps)));

  // A type the pin could not fill is refused and changes nothing.
  ProposedType rgb32(MEDIASUBTYPE_RGB32, 32, 320, 240);
  CHECK_HR(VFW_E_INVALIDMEDIATYPE, config->SetFormat(&rgb32.type));
  ProposedType flat(MEDIASUBTYPE_RGB24, 24, 320, 0);
  CHECK_HR(VFW_E_INVALIDMEDIATYPE, config->SetFormat(&flat.type));
  CHECK_HR(S_OK, config->SetFormat(nullptr));

  AM_MEDIA_TYPE* small = nullptr;
  REQUIRE(SUCCEEDED(config->GetStreamCaps(1, &small, reinterpret_cast<BYTE*>(&caps))));
  CHECK_HR(S_OK, config->SetFormat(small));
  dshow::DeleteMediaType(small);
  dshow::MediaType offered;
  CHECK_HR(S_OK, camera.pin->GetMediaType(0, &offered));
  CHECK(Info(offered)->bmiHeader.biWidth == 320 && Info(offered)->bmiHeader.biHeight == 240 &&
        offered.lSampleSize == 230400);
  ProposedType small24(MEDIASUBTYPE_RGB24, 24, 320, 240);
  ProposedType large24(MEDIASUBTYPE_RGB24, 24, 640, 480);
  CHECK_HR(S_OK, camera.pin->CheckMediaType(&small24.type));
  CHECK_HR(E_INVALIDARG, camera.pin->CheckMediaType(&large24.type));
  AM_MEDIA_TYPE* current = nullptr;
  CHECK_HR(S_OK, config->GetFormat(&current));
  CHECK(current && Info(*current)->bmiHeader.biWidth == 320);
  dshow::DeleteMediaType(current);
}

// IKsPropertySet reports the capture category; IQualityControl ignores quality messages.
void PropertySet() {
  UseOwnFrameSection(L"property-set");
  Camera camera;
  REQUIRE(camera.pin);
  ComPtr<IKsPropertySet> properties;
  CHECK_HR(S_OK, camera.pin->QueryInterface(IID_IKsPropertySet, properties.PutVoid()));
  REQUIRE(properties);
  GUID category = GUID_NULL;
  DWORD returned = 0;
  CHECK_HR(S_OK, properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16, &returned));
  CHECK(category == PIN_CATEGORY_CAPTURE && returned == 16);
  unsigned char small[15] = {};
  returned = 0;
  CHECK_HR(E_UNEXPECTED, properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, small, 15, &returned));
  CHECK(returned == 16);
  returned = 0;
  CHECK_HR(S_OK, properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0, &returned));
  CHECK(returned == 16);
  CHECK_HR(E_POINTER, properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0, nullptr));
  CHECK_HR(E_PROP_SET_UNSUPPORTED, properties->Get(GUID_NULL, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16,
                                                   &returned));
  CHECK_HR(E_PROP_ID_UNSUPPORTED, properties->Get(AMPROPSETID_Pin, 1, nullptr, 0, &category, 16, &returned));
  CHECK_HR(E_NOTIMPL, properties->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16));

  ComPtr<IQualityControl> quality;
  CHECK_HR(S_OK, camera.pin->QueryInterface(IID_IQualityControl, quality.PutVoid()));
  REQUIRE(quality);
  Quality message{};
  CHECK_HR(E_FAIL, quality->Notify(camera.filter, message));
}

using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(WINAPI*)();

// The filter routes the pin's interfaces; filters share one receiver; the DLL's class factory.
void Objects() {
  UseOwnFrameSection(L"objects");
  {
    Camera first;
    REQUIRE(first.filter);
    ComPtr<IAMStreamConfig> fromFilter, fromPin;
    CHECK_HR(S_OK, first.filter->QueryInterface(IID_IAMStreamConfig, fromFilter.PutVoid()));
    CHECK_HR(S_OK, first.pin->QueryInterface(IID_IAMStreamConfig, fromPin.PutVoid()));
    CHECK(fromFilter && fromFilter.Get() == fromPin.Get());
    ComPtr<IKsPropertySet> propertiesFromFilter;
    CHECK_HR(S_OK, first.filter->QueryInterface(IID_IKsPropertySet, propertiesFromFilter.PutVoid()));
    ComPtr<IPin> notAPin;
    CHECK_HR(E_NOINTERFACE, first.filter->QueryInterface(IID_IPin, notAPin.PutVoid()));

    FrameReceiver* shared = GetReceiver();
    CHECK(shared && shared->HasThread());
    {
      Camera second;
      CHECK(GetReceiver() == shared);
    }
    CHECK(GetReceiver() == shared && shared->HasThread());
  }
  CHECK(GetReceiver() == nullptr);

  HMODULE module = LoadLibraryW((ProgramFolder() + L"Ostrel.ax").c_str());
  REQUIRE(module);
  auto getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  auto canUnloadNow = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  REQUIRE(getClassObject && canUnloadNow);
  ComPtr<IClassFactory> factory;
  CHECK_HR(CLASS_E_CLASSNOTAVAILABLE, getClassObject(CLSID_NULL, IID_IClassFactory, factory.PutVoid()));
  CHECK_HR(E_NOINTERFACE, getClassObject(kOstrelClassId, IID_IBaseFilter, factory.PutVoid()));
  CHECK_HR(S_OK, canUnloadNow());
  CHECK_HR(S_OK, getClassObject(kOstrelClassId, IID_IClassFactory, factory.PutVoid()));
  REQUIRE(factory);
  CHECK_HR(S_FALSE, canUnloadNow());
  ComPtr<IBaseFilter> filter;
  ComPtr<IUnknown> outer;
  CHECK_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.Get()), IID_IUnknown,
                                                          filter.PutVoid()));
  CHECK_HR(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid()));
  factory.Reset();
  CHECK_HR(S_FALSE, canUnloadNow());  // the filter is still alive
  filter.Reset();
  CHECK_HR(S_OK, canUnloadNow());
  FreeLibrary(module);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::map<std::wstring, void (*)()> tests = {
      {L"media-types", MediaTypes},
      {L"stream-config", StreamConfig},
      {L"property-set", PropertySet},
      {L"objects", Objects},
  };
  if (argc != 2 || !tests.count(argv[1])) {
    std::fputs("usage: ostrel-pin-test.exe media-types|stream-config|property-set|objects\n", stderr);
    return 2;
  }
  return RunWithCom(tests.at(argv[1]));
}
