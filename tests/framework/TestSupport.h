// Helpers shared by the framework tests: a scratch folder that is the current directory while
// it lives, whole-file reads, small image files written with DevIL, and the layer hooks reset.
#pragma once

#include "platform/linux/Hooks.h"

#include <IL/il.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace test {

class ScratchFolder {
  public:
    ScratchFolder() : m_previous(std::filesystem::current_path()) {
        char pattern[] = "/tmp/framework_test_XXXXXX";
        m_path = mkdtemp(pattern);
        std::filesystem::current_path(m_path);
    }
    ~ScratchFolder() {
        std::filesystem::current_path(m_previous);
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }
    // A path inside the folder.
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::filesystem::path m_previous;
    std::string m_path;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// Writes an opaque image of one colour; the file type follows the extension.
inline void WriteImage(const std::string& path, int width, int height, uint32_t argb = 0xFF808080) {
    static bool started = false;
    if (!started) {
        ilInit();
        started = true;
    }
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = static_cast<uint8_t>(argb >> 16);
        rgba[i + 1] = static_cast<uint8_t>(argb >> 8);
        rgba[i + 2] = static_cast<uint8_t>(argb);
        rgba[i + 3] = static_cast<uint8_t>(argb >> 24);
    }
    ILuint name = ilGenImage();
    ilBindImage(name);
    ilTexImage(width, height, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, rgba.data());
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0)
        ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE);
    ilEnable(IL_FILE_OVERWRITE);
    ilSaveImage(path.c_str());
    ilDeleteImage(name);
}

// The five images the game loads at start-up, in folder/Gfx.
inline void WriteGameImages(const std::string& folder, const std::string& leaveOut = "") {
    std::filesystem::create_directories(folder + "/Gfx");
    const char* names[] = {"Kursor.tga", "Desktop.jpg", "Logo.jpg", "Buttons.png", "Brodmiel.png"};
    for (const char* name : names)
        if (leaveOut != name)
            WriteImage(folder + "/Gfx/" + name, 32, 32);
}

// Puts every layer hook back to the real behaviour.
inline void ResetHooks() {
    layer::SetTickSource({});
    layer::SetBeepSink({});
    layer::SetWinExecSink({});
    layer::SetModuleFileName("");
    layer::SetSleepSink({});
}

} // namespace test
