// What the fuzz targets share: taking an input apart into the pieces a peer
// sends, a scratch folder for the targets that read files, and message
// boxes that nobody has to answer.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "msgbox.h"

namespace fuzz {

// Reads an input front to back; whatever is asked for beyond its end is empty.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}

    bool Empty() const { return left_ == 0; }
    std::size_t Left() const { return left_; }
    std::uint8_t Byte() {
        if (left_ == 0) return 0;
        --left_;
        return *p_++;
    }
    std::string_view Peek(std::size_t n) const {
        return std::string_view(reinterpret_cast<const char*>(p_), n < left_ ? n : left_);
    }
    std::string_view Take(std::size_t n) {
        if (n > left_) n = left_;
        std::string_view s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        left_ -= n;
        return s;
    }
    // A length byte, then that many bytes (fewer at the end of the input).
    std::string_view Block() { return Take(Byte()); }
    // Up to the next NUL byte, which is skipped; the rest when there is none.
    std::string_view Text() {
        std::string_view rest(reinterpret_cast<const char*>(p_), left_);
        std::size_t end = rest.find('\0');
        if (end == std::string_view::npos) return Take(left_);
        std::string_view s = Take(end);
        Take(1);
        return s;
    }
    std::string_view Rest() { return Take(left_); }

private:
    const std::uint8_t* p_;
    std::size_t left_;
};

// A folder of this process for the files a target reads, in memory where
// the system offers it; it goes when the process ends normally.
class ScratchDir {
public:
    ScratchDir() {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string tmpl = base + "/telvora_fuzz.XXXXXX";
        path_ = mkdtemp(tmpl.data()) ? tmpl : base;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

    std::string Put(const std::string& name, std::string_view content) const {
        std::string path = File(name);
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        return path;
    }
    void Remove(const std::string& name) const { unlink(File(name).c_str()); }

private:
    std::string path_;
};

// Boxes take their default answer without a word: a target shows many.
inline void SilenceMessageBoxes() {
    SetMessageBoxHandler([](const std::string&, const std::string&, unsigned type) {
        return DefaultMessageBoxAnswer(type);
    });
}

}  // namespace fuzz
