// The recording D3DX font: draws nothing, records Begin, DrawTextA and End into the call log of
// the device it was made for (when that is a CRecordingDevice), in order with the draws.
#include "platform/test/RecordingDevice.h"

#include <algorithm>
#include <cstring>

namespace {

class CRecordingFont : public d3d9rules::CCounted<ID3DXFont> {
  public:
    CRecordingFont(IDirect3DDevice9* device, const LOGFONTA& logFont)
        : m_device(device), m_recorder(dynamic_cast<CRecordingDevice*>(device)), m_logFont(logFont) {
        m_device->AddRef();
    }

    HRESULT Begin() override {
        if (m_recorder)
            m_recorder->RecordFontCall(CallKind::FontBegin, this, nullptr, D3D_OK);
        return D3D_OK;
    }

    HRESULT End() override {
        if (m_recorder)
            m_recorder->RecordFontCall(CallKind::FontEnd, this, nullptr, D3D_OK);
        return D3D_OK;
    }

    INT DrawTextA(LPCSTR text, INT count, LPRECT rect, DWORD format, D3DCOLOR color) override {
        RecordedText record{this, m_logFont, {}, count, rect ? *rect : RECT{}, format, color};
        if (text) {
            // A byte count may stop short of the end, and the text need not end in a zero.
            size_t length = count >= 0 ? strnlen(text, static_cast<size_t>(count)) : std::strlen(text);
            record.text.assign(text, length);
        }
        INT height = 0;
        if (!record.text.empty()) {
            // The cell height of the font, a line per line break unless single-line.
            INT cell = m_logFont.lfHeight > 0 ? m_logFont.lfHeight : (-m_logFont.lfHeight * 6 + 4) / 5;
            INT lines = 1;
            if (!(format & DT_SINGLELINE))
                lines += static_cast<INT>(std::count(record.text.begin(), record.text.end(), '\n'));
            height = cell * lines;
        }
        if (m_recorder)
            m_recorder->RecordFontCall(CallKind::FontDrawText, this, &record, D3D_OK);
        return height;
    }

  private:
    ~CRecordingFont() override { m_device->Release(); }

    IDirect3DDevice9* m_device;
    CRecordingDevice* m_recorder;
    LOGFONTA m_logFont;
};

} // namespace

HRESULT D3DXCreateFontIndirect(IDirect3DDevice9* device, const LOGFONTA* logFont, ID3DXFont** font) {
    if (!device || !logFont || !font)
        return D3DERR_INVALIDCALL;
    *font = nullptr;
    auto* recorder = dynamic_cast<CRecordingDevice*>(device);
    HRESULT hr = g_recordingSettings.failFontCreation ? g_recordingSettings.fontCreationError : D3D_OK;
    ID3DXFont* made = SUCCEEDED(hr) ? new CRecordingFont(device, *logFont) : nullptr;
    if (recorder) {
        RecordedText description{made, *logFont, {}, 0, RECT{}, 0, 0};
        recorder->RecordFontCall(CallKind::CreateFont, made, &description, hr);
    }
    *font = made;
    return hr;
}
