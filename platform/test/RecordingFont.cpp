// The recording D3DX font: draws nothing, records Begin, DrawTextA and End into the call log of
// the device it was made for (when that is a CRecordingDevice), in order with the draws.
#include "platform/test/RecordingDevice.h"

#include <algorithm>
#include <cstring>

namespace {

class CRecordingFont : public ID3DXFont {
  public:
    CRecordingFont(IDirect3DDevice9* device, const LOGFONTA& logFont)
        : device_(device), recorder_(dynamic_cast<CRecordingDevice*>(device)), logFont_(logFont) {
        device_->AddRef();
    }

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT Begin() override {
        if (recorder_)
            recorder_->RecordFontCall(CallKind::FontBegin, this, nullptr, D3D_OK);
        return D3D_OK;
    }

    HRESULT End() override {
        if (recorder_)
            recorder_->RecordFontCall(CallKind::FontEnd, this, nullptr, D3D_OK);
        return D3D_OK;
    }

    INT DrawTextA(LPCSTR text, INT count, LPRECT rect, DWORD format, D3DCOLOR color) override {
        RecordedText record{this, logFont_, {}, count, rect ? *rect : RECT{}, format, color};
        if (text) {
            // A byte count may stop short of the end, and the text need not end in a zero.
            size_t length = count >= 0 ? strnlen(text, static_cast<size_t>(count)) : std::strlen(text);
            record.text.assign(text, length);
        }
        INT height = 0;
        if (!record.text.empty()) {
            // The cell height of the font, a line per line break unless single-line.
            INT cell = logFont_.lfHeight > 0 ? logFont_.lfHeight : (-logFont_.lfHeight * 6 + 4) / 5;
            INT lines = 1;
            if (!(format & DT_SINGLELINE))
                lines += static_cast<INT>(std::count(record.text.begin(), record.text.end(), '\n'));
            height = cell * lines;
        }
        if (recorder_)
            recorder_->RecordFontCall(CallKind::FontDrawText, this, &record, D3D_OK);
        return height;
    }

  private:
    ~CRecordingFont() override { device_->Release(); }

    ULONG refs_ = 1;
    IDirect3DDevice9* device_;
    CRecordingDevice* recorder_;
    LOGFONTA logFont_;
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
