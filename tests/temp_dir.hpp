// A folder of its own in the system's temporary folder, removed with everything in it at the end.
// Paths are UTF-8 text, as everywhere in the program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace testdir {

// A UTF-8 path as the system's path, and back.
inline std::filesystem::path Native(const std::string& utf8) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}
inline std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

class TempDir {
  public:
    TempDir() {
        std::random_device random;
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const std::filesystem::path candidate = base / ("tk358fw-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, error)) {
                m_path = Utf8(candidate);
            }
        }
    }
    ~TempDir() {
        if (!m_path.empty()) {
            std::error_code error;
            std::filesystem::remove_all(Native(m_path), error);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes a file of these bytes into the folder; returns its path.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = m_path + "/" + name;
        std::ofstream out(Native(path), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // Empty when no folder could be made.
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

}  // namespace testdir
