#include "platform/com/msacm.h"

namespace {

// The checks common to both queries.
MMRESULT CheckQuery(HACMDRIVER driver, DWORD cbStruct, DWORD need, DWORD flags, DWORD maxKind) {
  if (cbStruct < need) return MMSYSERR_INVALPARAM;
  if (flags > maxKind) return MMSYSERR_INVALFLAG;
  if (driver != nullptr) return MMSYSERR_INVALHANDLE;
  return MMSYSERR_NOERROR;
}

}  // namespace

MMRESULT acmFormatTagDetailsW(HACMDRIVER driver, ACMFORMATTAGDETAILSW* details, DWORD flags) {
  if (!details) return MMSYSERR_INVALPARAM;
  const MMRESULT r = CheckQuery(driver, details->cbStruct, sizeof(ACMFORMATTAGDETAILSW), flags,
                                ACM_FORMATTAGDETAILSF_LARGESTSIZE);
  if (r != MMSYSERR_NOERROR) return r;
  // No codec is installed: no tag is known, whatever it is.
  return ACMERR_NOTPOSSIBLE;
}

MMRESULT acmFormatDetailsW(HACMDRIVER driver, ACMFORMATDETAILSW* details, DWORD flags) {
  if (!details) return MMSYSERR_INVALPARAM;
  const MMRESULT r = CheckQuery(driver, details->cbStruct, sizeof(ACMFORMATDETAILSW), flags,
                                ACM_FORMATDETAILSF_FORMAT);
  if (r != MMSYSERR_NOERROR) return r;
  if (flags == ACM_FORMATDETAILSF_FORMAT && (!details->pwfx || details->cbwfx < 16))
    return MMSYSERR_INVALPARAM;
  return ACMERR_NOTPOSSIBLE;
}
