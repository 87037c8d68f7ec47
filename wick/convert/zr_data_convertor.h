// zrDataConvertor: byte strings to hexadecimal, directory-string and search-filter texts and back.
#pragma once
#include "com_object.h"
#include "raii.h"
#include "wick_h.h"

namespace wick {

class ZrDataConvertor
    : public corv::CoClass<ZrDataConvertor, IzrDataConvertor, corv::FreeThreaded, corv::SafeForScripting> {
public:
  // IzrDataConvertor
  STDMETHODIMP convert(zrDATA_CONVERSION Direction, BSTR* SourceString, BSTR* ResultString) override;
  STDMETHODIMP printf(long FormatType, BSTR* FormatString, BSTR* BinaryData, SAFEARRAY** argv,
                      VARIANT_BOOL* Result) override;
  STDMETHODIMP scanf(long FormatType, BSTR* FormatString, BSTR* BinaryData, SAFEARRAY** argv,
                     VARIANT_BOOL* Result) override;

private:
  corv::CritSec lock_;  // every call runs under it: calls on one object are serialised
};

}  // namespace wick
