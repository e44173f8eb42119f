// A temporary folder for one test, removed with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class TestDir {
public:
    TestDir() {
        char tmpl[] = "/tmp/telvora_test.XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TestDir() { std::filesystem::remove_all(path_); }
    TestDir(const TestDir&) = delete;
    TestDir& operator=(const TestDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    void Put(const std::string& name, const std::string& text) const {
        std::ofstream(File(name), std::ios::binary) << text;
    }
    std::string Get(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

private:
    std::string path_;
};
