#pragma once
// A fresh folder under the system's temporary directory, removed with its
// contents, and whole-file reading and writing for the tests that use it.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <stdlib.h>

namespace quillon::testing {

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string readText(const std::filesystem::path& file)
{
    const auto bytes = readBytes(file);
    return {bytes.begin(), bytes.end()};
}

inline void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillon-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a temporary folder");
        m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Both make the folders on the way and hand back the file's path.
    std::filesystem::path write(const std::string& relative, const std::vector<std::uint8_t>& bytes) const
    {
        const auto file = m_path / relative;
        std::filesystem::create_directories(file.parent_path());
        writeBytes(file, bytes);
        return file;
    }
    std::filesystem::path touch(const std::string& relative, const std::string& content = "x") const
    {
        return write(relative, std::vector<std::uint8_t>(content.begin(), content.end()));
    }

private:
    std::filesystem::path m_path;
};

} // namespace quillon::testing
