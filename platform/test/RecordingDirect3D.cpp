// The recording Direct3D object and Direct3DCreate9, apart from the device so that a test can
// use the recording device beside the OpenGL one.
#include "platform/test/RecordingDevice.h"

CRecordingDirect3D::~CRecordingDirect3D() {
    if (g_pLastRecordingDirect3D == this)
        g_pLastRecordingDirect3D = nullptr;
}

HRESULT CRecordingDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (!mode || adapter != D3DADAPTER_DEFAULT)
        return D3DERR_INVALIDCALL;
    *mode = g_recordingSettings.displayMode;
    return D3D_OK;
}

HRESULT CRecordingDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
    if (!caps || adapter != D3DADAPTER_DEFAULT)
        return D3DERR_INVALIDCALL;
    *caps = D3DCAPS9{};
    caps->DeviceType = type;
    caps->MaxTextureWidth = caps->MaxTextureHeight = g_recordingSettings.deviceKnobs.maxTextureSize > 0
                                                         ? g_recordingSettings.deviceKnobs.maxTextureSize
                                                         : 8192;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxStreams = 16;
    return D3D_OK;
}

HRESULT CRecordingDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) {
    HRESULT hr = D3D_OK;
    if (!device || !parameters || adapter != D3DADAPTER_DEFAULT)
        hr = D3DERR_INVALIDCALL;
    else if (g_recordingSettings.refuseDevices || (g_recordingSettings.refuseHardwareVertexProcessing &&
                                                   (behaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING)))
        hr = g_recordingSettings.createDeviceError;
    g_deviceRequests.push_back(DeviceRequest{adapter, type, focusWindow, behaviorFlags,
                                             parameters ? *parameters : D3DPRESENT_PARAMETERS{}, hr});
    if (device)
        *device = nullptr;
    if (FAILED(hr))
        return hr;
    auto* made = new CRecordingDevice(parameters, this);
    made->knobs = g_recordingSettings.deviceKnobs;
    g_pLastRecordingDevice = made;
    if (g_recordingSettings.onDeviceCreated)
        g_recordingSettings.onDeviceCreated(*made);
    *device = made;
    return D3D_OK;
}

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    if (g_recordingSettings.direct3DUnavailable || sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    g_pLastRecordingDirect3D = new CRecordingDirect3D();
    return g_pLastRecordingDirect3D;
}
