#include "profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/profile_test.XXXXXX";
        dir_ = mkdtemp(tmpl);
        path_ = dir_ + "/test.ini";
    }
    void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

    void Put(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Content() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string Read(const char* app, const char* key, const char* def = "default",
                     DWORD size = 256, DWORD* ret = nullptr) {
        std::string buf(size + 8, '#');
        DWORD n = GetPrivateProfileString(app, key, def, buf.data(), size, path_.c_str());
        if (ret) *ret = n;
        return std::string(buf.data(), n);
    }

    std::string dir_, path_;
};

const char* kSample =
    "; settings of the test\n"
    "top=before any section\n"
    "[Section1]\n"
    "name1=val1\n"
    "  NaMe2 =  spaced value  \n"
    "quoted=\"  keep  \"\n"
    "single='x'\n"
    "half=\"abc\n"
    "pair=\"a\" \"b\"\n"
    "empty=\n"
    "bare\n"
    "#hash=1\n"
    "inline=value ; not a comment\n"
    "multi = a = b = c \n"
    "=noname\n"
    "dup=first\n"
    "dup=second\n"
    ";commented=1\n"
    "\n"
    "[ Section2 ] trailing text\n"
    "k=v2\n"
    "[section1]\n"
    "later=only in the duplicate\n"
    "[]\n"
    "e=in the empty section\n"
    "[broken\n";

TEST_F(ProfileTest, ReadsValuesAsWindowsDoes) {
    Put(kSample);
    struct Case {
        const char* app;
        const char* key;
        const char* def;
        std::string expected;
    } cases[] = {
        {"Section1", "name1", "d", "val1"},
        {"SECTION1", "NAME1", "d", "val1"},          // case does not matter
        {" Section1 ", " name1 ", "d", "val1"},      // blanks around names are ignored
        {"Section1", "name2", "d", "spaced value"},  // value trimmed
        {"Section1", "quoted", "d", "  keep  "},     // quotes keep edge blanks
        {"Section1", "single", "d", "x"},            // single quotes too
        {"Section1", "half", "d", "\"abc"},          // unbalanced quote stays
        {"Section1", "pair", "d", "a\" \"b"},        // only the outer pair goes
        {"Section1", "empty", "d", ""},              // present but empty: not the default
        {"Section1", "bare", "d", "d"},              // no "=": as if missing
        {"Section1", "#hash", "d", "1"},             // "#" starts no comment
        {"Section1", "inline", "d", "value ; not a comment"},
        {"Section1", "multi", "d", "a = b = c"},          // split at the first "="
        {"Section1", "", "d", "noname"},                  // a key with an empty name
        {"Section1", "dup", "d", "first"},                // first duplicate wins
        {"Section1", ";commented", "d", "d"},             // comments are not keys
        {"Section1", "later", "d", "d"},                  // a later duplicate section is unseen
        {"Section1", "top", "d", "d"},                    // lines above the first header
        {"Section2", "k", "d", "v2"},                     // header name trimmed, tail ignored
        {"", "e", "d", "in the empty section"},           // "[]" is a section named ""
        {"Section1", "missing", "default  ", "default"},  // trailing spaces leave the default
        {"Section1", "missing", "  lead  ", "  lead"},    // leading ones stay
        {"Section1", "missing", nullptr, ""},             // no default means ""
        {"NoSection", "name1", "d", "d"},
    };
    for (const Case& c : cases) {
        DWORD ret = 0;
        EXPECT_EQ(Read(c.app, c.key, c.def, 256, &ret), c.expected) << c.app << "/" << c.key;
        EXPECT_EQ(ret, c.expected.size()) << c.app << "/" << c.key;
    }
}

TEST_F(ProfileTest, LineEndsOfEveryKindAreAccepted) {
    for (const char* text : {"[s]\r\na=1\r\nb=2\r\n", "[s]\ra=1\rb=2", "[s]\na=1\nb=2"}) {
        Put(text);
        EXPECT_EQ(Read("s", "a"), "1");
        EXPECT_EQ(Read("s", "b"), "2");
    }
}

TEST_F(ProfileTest, BufferSizeCutsValuesAndLists) {
    Put("[s]\nname1=val1\nname2=x\nname4=y\n[section2]\n");
    struct Case {
        const char* app;
        const char* key;
        DWORD size;
        std::string bytes;
        DWORD ret;
    } cases[] = {
        {"s", "name1", 4, std::string("val\0", 4), 3},
        {"s", "name1", 5, std::string("val1\0", 5), 4},
        {"s", "name1", 1, std::string("\0", 1), 0},
        {"s", nullptr, 256, std::string("name1\0name2\0name4\0\0", 19), 18},
        {"s", nullptr, 16, std::string("name1\0name2\0na\0\0", 16), 14},
        {"s", nullptr, 19, std::string("name1\0name2\0name4\0\0", 19), 17},  // exact fit
        {nullptr, nullptr, 256, std::string("s\0section2\0\0", 12), 11},
        {nullptr, nullptr, 8, std::string("s\0sect\0\0", 8), 6},
    };
    for (const Case& c : cases) {
        std::string buf(c.size + 4, '#');
        DWORD n = GetPrivateProfileString(c.app, c.key, "d", buf.data(), c.size, path_.c_str());
        EXPECT_EQ(n, c.ret) << c.size;
        EXPECT_EQ(buf.substr(0, c.bytes.size()), c.bytes) << c.size;
        EXPECT_EQ(buf.substr(c.size), "####");  // nothing written past the buffer
    }
    char untouched[4] = "abc";
    EXPECT_EQ(GetPrivateProfileString("s", "name1", "d", untouched, 0, path_.c_str()), 0u);
    EXPECT_STREQ(untouched, "abc");
}

TEST_F(ProfileTest, A256ByteBufferReadsAtMost255Characters) {
    std::string longValue(300, 'x');
    ASSERT_TRUE(WritePrivateProfileString("s", "long", longValue.c_str(), path_.c_str()));
    DWORD ret = 0;
    EXPECT_EQ(Read("s", "long", "", 256, &ret), std::string(255, 'x'));
    EXPECT_EQ(ret, 255u);
}

TEST_F(ProfileTest, MissingFileGivesDefaults) {
    DWORD ret = 0;
    EXPECT_EQ(Read("s", "k", "default", 256, &ret), "default");
    EXPECT_EQ(ret, 7u);
    EXPECT_EQ(GetPrivateProfileInt("s", "k", 42, path_.c_str()), 42u);
    char buf[8] = "#######";
    EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, "d", buf, 8, path_.c_str()), 0u);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(buf[1], '#');
    EXPECT_EQ(Read("s", "k", "d", 256, nullptr), "d");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", buf, 8, ""), 4u);
}

TEST_F(ProfileTest, IntegersAsWindowsConvertsThem) {
    struct Case {
        const char* value;
        UINT expected;
    } cases[] = {
        {"1", 1},          {"  12", 12},
        {"+1", 1},         {"-1", 4294967295u},
        {"--1", 0},        {"42A94967297", 42},
        {"102abc", 102},   {"B4294967297", 0},  // no number: 0, not the default
        {"4294967296", 0},                      // wraps
        {"4294967297", 1}, {"-4294967297", 4294967295u},
        {"12 34", 12},     {"\"7\"", 7},
        {"0X1F", 0},       {"010", 10},
        {"", 99},  // empty: the default
    };
    for (const Case& c : cases) {
        Put(std::string("[s]\nk=") + c.value + "\n");
        EXPECT_EQ(GetPrivateProfileInt("s", "k", 99, path_.c_str()), c.expected) << c.value;
    }
    Put("[s]\n");
    EXPECT_EQ(GetPrivateProfileInt("s", "k", -1, path_.c_str()), 4294967295u);
}

TEST_F(ProfileTest, WritesChangeOnlyTheirEntry) {
    struct Case {
        std::string before;
        const char* app;
        const char* key;
        const char* value;
        std::string after;
    } cases[] = {
        {"", "App", "key", "string", "[App]\nkey=string\n"},
        {"; keep me\n[A]\n  Key1 = old  \n\n[B]\nx=1\n", "a", "KEY1", "new",
         "; keep me\n[A]\nKey1=new\n\n[B]\nx=1\n"},
        {"[A]\nk1=1\n; c\n\n[B]\nx=1\n", "A", "k2", "2", "[A]\nk1=1\n; c\nk2=2\n\n[B]\nx=1\n"},
        {"[A]\nk=1", "B", "x", "y", "[A]\nk=1\n[B]\nx=y\n"},
        {"[A]\nk=1", "A", "j", "2", "[A]\nk=1\nj=2\n"},
        {"[A]\r\nk=1\r\nm=2\r\n", "A", "k", "9", "[A]\r\nk=9\r\nm=2\r\n"},
        {"[A]\nname3\n", "A", "name3", "v", "[A]\nname3=v\n"},
        {"[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"},
        {"[A]\nk=1\nj=2\n", "A", "k", nullptr, "[A]\nj=2\n"},
        {"[A]\nk=1\n", "A", "k", nullptr, "[A]\n"},
        {"[A]\nd=1\nd=2\n", "A", "d", nullptr, "[A]\nd=2\n"},
        {"[A]\nk=1\n[A]\nk=2\n", "A", "k", nullptr, "[A]\n[A]\nk=2\n"},
        {"[A]\nk=1\n;c\n\n[B]\nx=1\n", "A", nullptr, "ignored", "[B]\nx=1\n"},
        {"[A]\nk=1\n[B]\nx=1\n[A]\nz=3\n", "A", nullptr, nullptr, "[B]\nx=1\n[A]\nz=3\n"},
        {"[A]\nk=1\n", "A", "gone", nullptr, "[A]\nk=1\n"},
        {"[A]\nk=1\n", "A", "k", "line\nbreak", "[A]\nk=line break\n"},
        {"\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "2", "\xEF\xBB\xBF[A]\nk=2\n"},
    };
    for (const Case& c : cases) {
        Put(c.before);
        EXPECT_TRUE(WritePrivateProfileString(c.app, c.key, c.value, path_.c_str()));
        EXPECT_EQ(Content(), c.after) << c.before;
    }
}

TEST_F(ProfileTest, RefusedWrites) {
    EXPECT_FALSE(WritePrivateProfileString(nullptr, "k", "v", path_.c_str()));
    EXPECT_EQ(access(path_.c_str(), F_OK), -1);  // not created
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "v", ""));
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "v", (dir_ + "/no/such/x.ini").c_str()));
    for (const char* key : {"a=b", "[x]", ";c", "two\nlines"}) {
        EXPECT_FALSE(WritePrivateProfileString("A", key, "v", path_.c_str())) << key;
    }
    EXPECT_FALSE(WritePrivateProfileString("A\nB", "k", "v", path_.c_str()));
}

TEST_F(ProfileTest, RemovingFromAMissingFileSucceeds) {
    EXPECT_TRUE(WritePrivateProfileString("A", "k", nullptr, path_.c_str()));
    EXPECT_TRUE(WritePrivateProfileString("A", nullptr, nullptr, path_.c_str()));
    EXPECT_EQ(Content(), "");
}

TEST_F(ProfileTest, AnUnchangedValueLeavesTheFileAlone) {
    Put("[A]\nk=1\n");
    struct stat before, after;
    ASSERT_EQ(stat(path_.c_str(), &before), 0);
    EXPECT_TRUE(WritePrivateProfileString("A", "k", "1", path_.c_str()));
    ASSERT_EQ(stat(path_.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(ProfileTest, ReadsSeeChangesMadeBehindTheirBack) {
    Put("[A]\nk=123\n");
    EXPECT_EQ(GetPrivateProfileInt("A", "k", 0, path_.c_str()), 123u);
    Put("[A]\nk=124\n");  // rewritten in place, as an editor may do
    EXPECT_EQ(GetPrivateProfileInt("A", "k", 0, path_.c_str()), 124u);
    unlink(path_.c_str());
    EXPECT_EQ(GetPrivateProfileInt("A", "k", 421, path_.c_str()), 421u);
}

TEST_F(ProfileTest, TransactionMatchesSingleWrites) {
    std::string base = "; top\n[A]\nk=1\nold=x\n\n[B]\ny=2\n";
    auto apply = [&](bool batch) {
        Put(base);
        ProfileTransaction tx(path_);
        auto write = [&](const char* app, const char* key, const char* value) {
            if (batch && !key) {
                tx.RemoveSection(app);
            } else if (batch && !value) {
                tx.RemoveKey(app, key);
            } else if (batch) {
                tx.Write(app, key, value);
            } else {
                EXPECT_TRUE(WritePrivateProfileString(app, key, value, path_.c_str()));
            }
        };
        write("A", "k", "2");
        write("A", "new", "n");
        write("A", "old", nullptr);
        write("C", "c", "3");
        write("B", nullptr, nullptr);
        write("C", "d", "4");
        if (batch) {
            EXPECT_TRUE(tx.Commit());
        }
        return Content();
    };
    std::string single = apply(false);
    EXPECT_EQ(single, "; top\n[A]\nk=2\nnew=n\n\n[C]\nc=3\nd=4\n");
    EXPECT_EQ(apply(true), single);
}

TEST_F(ProfileTest, ReplacedFileKeepsItsPermissions) {
    Put("[A]\nk=1\n");
    chmod(path_.c_str(), 0640);
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", path_.c_str()));
    struct stat st;
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ProfileTest, ALinkStaysALinkAndItsTargetGetsTheChange) {
    mkdir((dir_ + "/real").c_str(), 0777);
    struct Case {
        std::string linkText, target;
        bool exists;
    } cases[] = {
        {"real/a.ini", dir_ + "/real/a.ini", true},          // relative
        {dir_ + "/real/b.ini", dir_ + "/real/b.ini", true},  // absolute
        {"real/c.ini", dir_ + "/real/c.ini", false},         // dangling until written
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.linkText);
        if (c.exists) std::ofstream(c.target) << "[S]\nold=1\n";
        unlink(path_.c_str());
        ASSERT_EQ(symlink(c.linkText.c_str(), path_.c_str()), 0);
        ASSERT_TRUE(WritePrivateProfileString("S", "new", "2", path_.c_str()));
        struct stat st;
        ASSERT_EQ(lstat(path_.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_EQ(Read("S", "new"), "2");
        std::ifstream in(c.target);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_EQ(text.str(), c.exists ? "[S]\nold=1\nnew=2\n" : "[S]\nnew=2\n");
    }
}

TEST_F(ProfileTest, AFileThatCannotBeReadIsNotTakenForAMissingOne) {
    EXPECT_FALSE(ReadProfile(path_));
    EXPECT_EQ(errno, ENOENT);
    mkdir(path_.c_str(), 0777);  // a folder where the file should be
    EXPECT_FALSE(ReadProfile(path_));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(
        UpdatePrivateProfile(path_, [](ProfileEditor& e) { return e.Set("S", "k", "v"); }));
}

}  // namespace
