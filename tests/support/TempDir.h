#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Whole-file helpers for tests.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);

// Runs `write` with the process's file size limit at `bytes` and SIGXFSZ ignored, so that
// writing past it fails with EFBIG, for root too. Fails the calling test when the limit cannot
// be set.
void WithFileSizeLimit(uint64_t bytes, const std::function<void()>& write);

// Runs a shell command, returns its exit status and (when output is given) its standard
// output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// What ffprobe says about a file, as comma-separated rows (ffprobe's -of csv=p=0), for the
// given arguments; fails the calling test when ffprobe reports an error.
std::string Probe(const std::string& args, const std::string& path);
