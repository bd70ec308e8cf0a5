// Names and one-line descriptions of the result codes that the Direct3D and D3DX subsets return,
// and of the common system codes, for the error log.
#include "platform/D3DX9.h"

namespace {

struct ResultText {
    HRESULT code;
    const char* name;
    const char* description;
};

const ResultText g_resultTexts[] = {
    {S_OK, "S_OK", "The operation completed successfully."},
    {S_FALSE, "S_FALSE", "The operation completed successfully but returned a false result."},
    {E_NOTIMPL, "E_NOTIMPL", "The function is not implemented."},
    {E_NOINTERFACE, "E_NOINTERFACE", "The requested interface is not supported."},
    {E_POINTER, "E_POINTER", "An invalid pointer was passed."},
    {E_FAIL, "E_FAIL", "An undetermined error occurred."},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "Not enough memory to complete the call."},
    {E_INVALIDARG, "E_INVALIDARG", "An invalid parameter was passed to the function."},
    {D3DERR_WRONGTEXTUREFORMAT, "D3DERR_WRONGTEXTUREFORMAT",
     "The pixel format of the texture surface is not valid."},
    {D3DERR_UNSUPPORTEDCOLOROPERATION, "D3DERR_UNSUPPORTEDCOLOROPERATION",
     "The device does not support a specified texture-blending operation for color values."},
    {D3DERR_UNSUPPORTEDCOLORARG, "D3DERR_UNSUPPORTEDCOLORARG",
     "The device does not support a specified texture-blending argument for color values."},
    {D3DERR_UNSUPPORTEDALPHAOPERATION, "D3DERR_UNSUPPORTEDALPHAOPERATION",
     "The device does not support a specified texture-blending operation for the alpha channel."},
    {D3DERR_UNSUPPORTEDALPHAARG, "D3DERR_UNSUPPORTEDALPHAARG",
     "The device does not support a specified texture-blending argument for the alpha channel."},
    {D3DERR_TOOMANYOPERATIONS, "D3DERR_TOOMANYOPERATIONS",
     "The application is requesting more texture-filtering operations than the device supports."},
    {D3DERR_CONFLICTINGTEXTUREFILTER, "D3DERR_CONFLICTINGTEXTUREFILTER",
     "The current texture filters cannot be used together."},
    {D3DERR_UNSUPPORTEDFACTORVALUE, "D3DERR_UNSUPPORTEDFACTORVALUE",
     "The device does not support the specified texture factor value."},
    {D3DERR_CONFLICTINGRENDERSTATE, "D3DERR_CONFLICTINGRENDERSTATE",
     "The currently set render states cannot be used together."},
    {D3DERR_UNSUPPORTEDTEXTUREFILTER, "D3DERR_UNSUPPORTEDTEXTUREFILTER",
     "The device does not support the specified texture filter."},
    {D3DERR_CONFLICTINGTEXTUREPALETTE, "D3DERR_CONFLICTINGTEXTUREPALETTE",
     "The current textures cannot be used simultaneously."},
    {D3DERR_DRIVERINTERNALERROR, "D3DERR_DRIVERINTERNALERROR", "Internal driver error."},
    {D3DERR_NOTFOUND, "D3DERR_NOTFOUND", "The requested item was not found."},
    {D3DERR_MOREDATA, "D3DERR_MOREDATA",
     "There is more data available than the specified buffer size can hold."},
    {D3DERR_DEVICELOST, "D3DERR_DEVICELOST", "The device has been lost but cannot be reset at this time."},
    {D3DERR_DEVICENOTRESET, "D3DERR_DEVICENOTRESET",
     "The device has been lost but can be reset at this time."},
    {D3DERR_NOTAVAILABLE, "D3DERR_NOTAVAILABLE", "This device does not support the queried technique."},
    {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY",
     "Direct3D does not have enough display memory to perform the operation."},
    {D3DERR_INVALIDDEVICE, "D3DERR_INVALIDDEVICE", "The requested device type is not valid."},
    {D3DERR_INVALIDCALL, "D3DERR_INVALIDCALL",
     "The method call is invalid, for example a parameter has an invalid value."},
    {D3DERR_DRIVERINVALIDCALL, "D3DERR_DRIVERINVALIDCALL", "The driver reports an invalid call."},
    {D3DERR_WASSTILLDRAWING, "D3DERR_WASSTILLDRAWING",
     "The previous operation on this surface has not finished yet."},
    {D3DXERR_CANNOTMODIFYINDEXBUFFER, "D3DXERR_CANNOTMODIFYINDEXBUFFER",
     "The index buffer cannot be modified."},
    {D3DXERR_INVALIDMESH, "D3DXERR_INVALIDMESH", "The mesh is invalid."},
    {D3DXERR_CANNOTATTRSORT, "D3DXERR_CANNOTATTRSORT",
     "Attribute sort is not supported as an optimization technique."},
    {D3DXERR_SKINNINGNOTSUPPORTED, "D3DXERR_SKINNINGNOTSUPPORTED", "Skinning is not supported."},
    {D3DXERR_TOOMANYINFLUENCES, "D3DXERR_TOOMANYINFLUENCES", "Too many influences specified."},
    {D3DXERR_INVALIDDATA, "D3DXERR_INVALIDDATA", "The data is invalid."},
    {D3DXERR_LOADEDMESHASNODATA, "D3DXERR_LOADEDMESHASNODATA", "The mesh has no data."},
    {D3DXERR_DUPLICATENAMEDFRAGMENT, "D3DXERR_DUPLICATENAMEDFRAGMENT",
     "A fragment with that name already exists."},
};

const ResultText* Find(HRESULT hr) {
    for (const ResultText& t : g_resultTexts)
        if (t.code == hr)
            return &t;
    return nullptr;
}

} // namespace

const char* DXGetErrorString9A(HRESULT hr) {
    const ResultText* t = Find(hr);
    return t ? t->name : "Unknown";
}

const char* DXGetErrorDescription9A(HRESULT hr) {
    const ResultText* t = Find(hr);
    return t ? t->description : "n/a";
}
