// The result-code lookup that the error log quotes.
#include "platform/D3DX9.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(ErrorStringsTest, NamesAndDescriptions) {
    EXPECT_STREQ(DXGetErrorString9A(D3DERR_DEVICELOST), "D3DERR_DEVICELOST");
    EXPECT_STREQ(DXGetErrorDescription9A(D3DERR_DEVICELOST),
                 "The device has been lost but cannot be reset at this time.");
    EXPECT_STREQ(DXGetErrorString9A(D3DERR_DEVICENOTRESET), "D3DERR_DEVICENOTRESET");
    EXPECT_STREQ(DXGetErrorString9A(D3DXERR_INVALIDDATA), "D3DXERR_INVALIDDATA");
    EXPECT_STREQ(DXGetErrorString9A(S_OK), "S_OK");
    EXPECT_STREQ(DXGetErrorString9A(E_FAIL), "E_FAIL");
    EXPECT_STREQ(DXGetErrorString9A(E_OUTOFMEMORY), "E_OUTOFMEMORY");
    EXPECT_STREQ(DXGetErrorString9A(E_INVALIDARG), "E_INVALIDARG");
    EXPECT_STREQ(DXGetErrorString9A(E_NOTIMPL), "E_NOTIMPL");
    EXPECT_STREQ(DXGetErrorString9A(0x12345678), "Unknown");
    EXPECT_STREQ(DXGetErrorDescription9A(0x12345678), "n/a");
    EXPECT_STREQ(DXGetErrorString9A(MAKE_D3DHRESULT(9999)), "Unknown");
}

TEST(ErrorStringsTest, EveryDeclaredCodeHasItsOwnNameAndAOneLineDescription) {
    const HRESULT codes[] = {D3DERR_WRONGTEXTUREFORMAT,
                             D3DERR_UNSUPPORTEDCOLOROPERATION,
                             D3DERR_UNSUPPORTEDCOLORARG,
                             D3DERR_UNSUPPORTEDALPHAOPERATION,
                             D3DERR_UNSUPPORTEDALPHAARG,
                             D3DERR_TOOMANYOPERATIONS,
                             D3DERR_CONFLICTINGTEXTUREFILTER,
                             D3DERR_UNSUPPORTEDFACTORVALUE,
                             D3DERR_CONFLICTINGRENDERSTATE,
                             D3DERR_UNSUPPORTEDTEXTUREFILTER,
                             D3DERR_CONFLICTINGTEXTUREPALETTE,
                             D3DERR_DRIVERINTERNALERROR,
                             D3DERR_NOTFOUND,
                             D3DERR_MOREDATA,
                             D3DERR_DEVICELOST,
                             D3DERR_DEVICENOTRESET,
                             D3DERR_NOTAVAILABLE,
                             D3DERR_OUTOFVIDEOMEMORY,
                             D3DERR_INVALIDDEVICE,
                             D3DERR_INVALIDCALL,
                             D3DERR_DRIVERINVALIDCALL,
                             D3DERR_WASSTILLDRAWING,
                             D3DXERR_CANNOTMODIFYINDEXBUFFER,
                             D3DXERR_INVALIDMESH,
                             D3DXERR_CANNOTATTRSORT,
                             D3DXERR_SKINNINGNOTSUPPORTED,
                             D3DXERR_TOOMANYINFLUENCES,
                             D3DXERR_INVALIDDATA,
                             D3DXERR_LOADEDMESHASNODATA,
                             D3DXERR_DUPLICATENAMEDFRAGMENT,
                             S_FALSE,
                             E_NOINTERFACE,
                             E_POINTER};
    std::set<std::string> names;
    for (HRESULT hr : codes) {
        std::string name = DXGetErrorString9A(hr);
        std::string description = DXGetErrorDescription9A(hr);
        EXPECT_NE(name, "Unknown") << std::hex << hr;
        EXPECT_TRUE(names.insert(name).second) << name;
        EXPECT_FALSE(description.empty()) << name;
        EXPECT_EQ(description.find('\n'), std::string::npos) << name;
    }
}

} // namespace
