#include "test_pages.h"

namespace test {

BEGIN_MESSAGE_MAP(RecordingPage, ui::CPropertyPage)
ON_BN_CLICKED(res::IDC_GLIDE, OnGlide)
ON_BN_CLICKED(res::IDC_DIRECT3D, OnDirect3D)
ON_CBN_SELCHANGE(res::IDC_DEVICE, OnDevice)
ON_BN_CLICKED(res::IDC_MIP_HIGH, OnMipHigh)
END_MESSAGE_MAP()

}  // namespace test
