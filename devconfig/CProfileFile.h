#pragma once

#include "base/FileIo.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class CProfileText;

// Profile strings over one file on disk, key by key: every read opens and parses the file
// anew, every write changes one key and keeps the rest of the file byte for byte (see
// CProfileText for the text rules). Used for the player's config.cfg and the camera's
// blackbox.cfg, which the camera reads back, so nothing but the written value may change.
//
// Writes are atomic: the new text goes to a temporary file in the same folder, is flushed to
// the device and then renamed over the old file, so a failure at any point leaves the old file
// whole. A path that is a symbolic link is written through to its target.
//
// Files larger than kMaxFileSize are not profile files: reads give the default and writes fail
// without touching them.
//
// Threads: the object only holds the path; calls from several threads are safe, but two
// writers of the same file at once may lose one of the two changes (never the file).
class CProfileFile {
public:
    static constexpr size_t kMaxFileSize = 1024 * 1024; // bytes

    explicit CProfileFile(std::string path) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }

    // The key's value, or defaultText when the file, the section or the key is missing; the
    // result is cut to bufferSize - 1 bytes, as a C buffer of that size with its terminator
    // would hold (empty for a size of 0).
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultText, size_t bufferSize) const;

    // The key's value as a decimal number (DecimalValue), or defaultValue when the key is
    // missing or its value is empty.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

    // Stores value under section/key, creating the file or the section when missing. False when
    // the file cannot be read or replaced, or when the names or the value cannot be stored
    // (CProfileText::Set); the file is then unchanged.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;

    // The whole file's bytes. Fails with ENOENT when it is missing, EFBIG when it is larger than
    // kMaxFileSize, EINVAL when it is not a regular file, or the failed read's errno.
    fileio::Result ReadText(std::string& out) const;

    // Several changes in one replacement of the file: edit gets the file's text (empty when the
    // file is missing) and changes it key by key; its result true stores the text, false
    // (EINVAL) leaves the file as it is. An unchanged text of an existing file is not written.
    fileio::Result Update(const std::function<bool(CProfileText& text)>& edit) const;

    // Replaces the whole file with bytes, atomically as above, keeping an old file's permissions.
    fileio::Result Replace(std::string_view bytes) const;

    // Creates the file empty when it does not exist; an existing file is never changed.
    // False when the file neither exists nor can be created.
    bool CreateIfMissing() const;

private:
    std::string m_path;
};
