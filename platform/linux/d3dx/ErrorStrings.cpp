// Names and one-line descriptions of the result codes that the Direct3D and D3DX subsets return,
// and of the common system codes, for the error log.
#include "platform/D3DX9.h"

namespace {

struct ResultText {
    HRESULT code;
    const char* name;
    const char* description;
};

// The code's symbolic name is its own spelling.
#define RESULT_TEXT(code, description)                                                                       \
    { code, #code, description }

const ResultText g_resultTexts[] = {
    RESULT_TEXT(S_OK, "The operation completed successfully."),
    RESULT_TEXT(S_FALSE, "The operation completed successfully but returned a false result."),
    RESULT_TEXT(E_NOTIMPL, "The function is not implemented."),
    RESULT_TEXT(E_NOINTERFACE, "The requested interface is not supported."),
    RESULT_TEXT(E_POINTER, "An invalid pointer was passed."),
    RESULT_TEXT(E_FAIL, "An undetermined error occurred."),
    RESULT_TEXT(E_OUTOFMEMORY, "Not enough memory to complete the call."),
    RESULT_TEXT(E_INVALIDARG, "An invalid parameter was passed to the function."),
    RESULT_TEXT(D3DERR_WRONGTEXTUREFORMAT, "The pixel format of the texture surface is not valid."),
    RESULT_TEXT(D3DERR_UNSUPPORTEDCOLOROPERATION,
                "The device does not support a specified texture-blending operation for color values."),
    RESULT_TEXT(D3DERR_UNSUPPORTEDCOLORARG,
                "The device does not support a specified texture-blending argument for color values."),
    RESULT_TEXT(D3DERR_UNSUPPORTEDALPHAOPERATION,
                "The device does not support a specified texture-blending operation for the alpha channel."),
    RESULT_TEXT(D3DERR_UNSUPPORTEDALPHAARG,
                "The device does not support a specified texture-blending argument for the alpha channel."),
    RESULT_TEXT(D3DERR_TOOMANYOPERATIONS,
                "The application is requesting more texture-filtering operations than the device supports."),
    RESULT_TEXT(D3DERR_CONFLICTINGTEXTUREFILTER, "The current texture filters cannot be used together."),
    RESULT_TEXT(D3DERR_UNSUPPORTEDFACTORVALUE,
                "The device does not support the specified texture factor value."),
    RESULT_TEXT(D3DERR_CONFLICTINGRENDERSTATE, "The currently set render states cannot be used together."),
    RESULT_TEXT(D3DERR_UNSUPPORTEDTEXTUREFILTER, "The device does not support the specified texture filter."),
    RESULT_TEXT(D3DERR_CONFLICTINGTEXTUREPALETTE, "The current textures cannot be used simultaneously."),
    RESULT_TEXT(D3DERR_DRIVERINTERNALERROR, "Internal driver error."),
    RESULT_TEXT(D3DERR_NOTFOUND, "The requested item was not found."),
    RESULT_TEXT(D3DERR_MOREDATA, "There is more data available than the specified buffer size can hold."),
    RESULT_TEXT(D3DERR_DEVICELOST, "The device has been lost but cannot be reset at this time."),
    RESULT_TEXT(D3DERR_DEVICENOTRESET, "The device has been lost but can be reset at this time."),
    RESULT_TEXT(D3DERR_NOTAVAILABLE, "This device does not support the queried technique."),
    RESULT_TEXT(D3DERR_OUTOFVIDEOMEMORY,
                "Direct3D does not have enough display memory to perform the operation."),
    RESULT_TEXT(D3DERR_INVALIDDEVICE, "The requested device type is not valid."),
    RESULT_TEXT(D3DERR_INVALIDCALL,
                "The method call is invalid, for example a parameter has an invalid value."),
    RESULT_TEXT(D3DERR_DRIVERINVALIDCALL, "The driver reports an invalid call."),
    RESULT_TEXT(D3DERR_WASSTILLDRAWING, "The previous operation on this surface has not finished yet."),
    RESULT_TEXT(D3DXERR_CANNOTMODIFYINDEXBUFFER, "The index buffer cannot be modified."),
    RESULT_TEXT(D3DXERR_INVALIDMESH, "The mesh is invalid."),
    RESULT_TEXT(D3DXERR_CANNOTATTRSORT, "Attribute sort is not supported as an optimization technique."),
    RESULT_TEXT(D3DXERR_SKINNINGNOTSUPPORTED, "Skinning is not supported."),
    RESULT_TEXT(D3DXERR_TOOMANYINFLUENCES, "Too many influences specified."),
    RESULT_TEXT(D3DXERR_INVALIDDATA, "The data is invalid."),
    RESULT_TEXT(D3DXERR_LOADEDMESHASNODATA, "The mesh has no data."),
    RESULT_TEXT(D3DXERR_DUPLICATENAMEDFRAGMENT, "A fragment with that name already exists."),
};
#undef RESULT_TEXT

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
