#pragma once
// The virtual camera's DirectShow source filter: one output pin, and for the first filter of a
// process the frame receiver that every filter of the process shares.
#include "filter/win32/dshow/SourceFilter.h"

namespace kalimo {

class COstrelPin;

class COstrel final : public dshow::SourceFilter {
 public:
  // The class factory's creation function; nullptr (and *phr set) on failure.
  static COstrel* CreateInstance(HRESULT* phr);

  ~COstrel() override;

  // IAMStreamConfig and IKsPropertySet are answered by the pin, so a client finds them on the
  // filter too; everything else is the filter's own.
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;

 private:
  explicit COstrel(HRESULT* phr);
  COstrelPin* m_pPin = nullptr;
};

}  // namespace kalimo
