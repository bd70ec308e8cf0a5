// The D3DX 9 subset that the game uses: textures from image files, fonts, and the names of
// result codes. Textures are decoded with DevIL; fonts are found with fontconfig and drawn
// with FreeType glyphs from a cache texture, through the device they were made for.
#pragma once

#include "platform/Direct3D9.h"

#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_D3DHRESULT(2900)
#define D3DXERR_INVALIDMESH MAKE_D3DHRESULT(2901)
#define D3DXERR_CANNOTATTRSORT MAKE_D3DHRESULT(2902)
#define D3DXERR_SKINNINGNOTSUPPORTED MAKE_D3DHRESULT(2903)
#define D3DXERR_TOOMANYINFLUENCES MAKE_D3DHRESULT(2904)
#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)
#define D3DXERR_LOADEDMESHASNODATA MAKE_D3DHRESULT(2906)
#define D3DXERR_DUPLICATENAMEDFRAGMENT MAKE_D3DHRESULT(2907)

#define LF_FACESIZE 32
#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define EASTEUROPE_CHARSET 238

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONTA LOGFONT;

// Draw-text format flags.
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400

class ID3DXFont : public IUnknown {
  public:
    // Begin and End bracket a run of DrawTextA calls inside a scene.
    virtual HRESULT Begin() = 0;
    // Draws the bytes of text (count -1: up to the terminating zero), read in the code page of
    // the font's character set (238: Windows-1250, otherwise Windows-1252), into rect with the
    // format flags and the ARGB colour. Returns the height of the text drawn, 0 on failure.
    virtual INT DrawTextA(LPCSTR text, INT count, LPRECT rect, DWORD format, D3DCOLOR color) = 0;
    virtual HRESULT End() = 0;
};

// Decodes the image file, rounds its sides up to powers of two, keeps its alpha channel and
// returns an A8R8G8B8 texture in the managed pool. Paths may use '\' as the folder separator.
// Failure: D3DXERR_INVALIDDATA for a file that cannot be read or decoded, the device's result
// when it refuses the texture.
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR srcFile, IDirect3DTexture9** texture);

// Finds the face through fontconfig; a missing face falls back to a metric-compatible one that
// is installed. lfHeight > 0 is the cell height in pixels.
HRESULT D3DXCreateFontIndirect(IDirect3DDevice9* device, const LOGFONTA* logFont, ID3DXFont** font);

// The symbolic name ("D3DERR_DEVICELOST") and a one-line English description of a result code.
// Unknown codes give "Unknown" and "n/a". The pointers are to static text.
const char* DXGetErrorString9A(HRESULT hr);
const char* DXGetErrorDescription9A(HRESULT hr);
