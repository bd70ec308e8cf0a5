#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// A fresh folder for one test that is also the current directory while the test runs.
class CTempFolder {
  public:
    CTempFolder() : m_previous(std::filesystem::current_path()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "launcher-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
        std::filesystem::current_path(m_path);
    }
    ~CTempFolder() {
        std::filesystem::current_path(m_previous);
        std::filesystem::remove_all(m_path);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    static void Touch(const std::string& name) { std::ofstream(name) << "x"; }

  private:
    std::filesystem::path m_previous;
    std::filesystem::path m_path;
};
