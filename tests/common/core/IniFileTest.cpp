#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include <filesystem>

#include "common/core/IniFile.h"
#include "common/core/TextCodec.h"

using common::IniFile;

TEST(TextCodec, Cp1251RoundTrip) {
    const std::string utf8 = "Составитель Ёё №5 «кв» —";
    const std::string cp = common::Utf8ToCp1251(utf8);
    EXPECT_EQ(cp, std::string("\xD1\xEE\xF1\xF2\xE0\xE2\xE8\xF2\xE5\xEB\xFC \xA8\xB8 \xB9" "5 \xAB\xEA\xE2\xBB \x97"));
    EXPECT_EQ(common::Cp1251ToUtf8(cp), utf8);
    EXPECT_EQ(common::Utf8ToCp1251("日本"), "??");
    std::string all;
    for (int b = 0x80; b <= 0xFF; ++b)
        if (b != 0x98) all += static_cast<char>(b);
    EXPECT_EQ(common::Utf8ToCp1251(common::Cp1251ToUtf8(all)), all);
}

TEST(IniFile, ReadsWithDefaultsAndUpdatesInPlace) {
    IniFile ini;
    ini.Parse("; comment\r\n[Connection]\r\nType=3\r\ncomport = 7 \r\nBaudRate=abc\r\n\r\n[Other]\r\nX=1\r\n");
    EXPECT_EQ(ini.ReadInteger("connection", "TYPE", 0), 3);
    EXPECT_EQ(ini.ReadInteger("Connection", "COMPort", 1), 7);
    EXPECT_EQ(ini.ReadInteger("Connection", "BaudRate", 1200), 1200);  // not a number
    EXPECT_EQ(ini.ReadString("Connection", "BaudRate", "1200"), "abc");
    EXPECT_EQ(ini.ReadString("Connection", "PhoneNumber", "none"), "none");
    EXPECT_EQ(ini.ReadInteger("Missing", "Type", 5), 5);

    ini.WriteInteger("Connection", "Type", 4);
    ini.WriteString("Connection", "PhoneNumber", "10.0.0.1");
    ini.WriteString("Parametrization", "User_FIOEdit", "ФИО\r\nвторая строка");
    EXPECT_EQ(ini.Render(), common::Utf8ToCp1251(
        "; comment\r\n[Connection]\r\nType=4\r\ncomport = 7 \r\nBaudRate=abc\r\nPhoneNumber=10.0.0.1\r\n\r\n"
        "[Other]\r\nX=1\r\n[Parametrization]\r\nUser_FIOEdit=ФИО  вторая строка\r\n"));
}

TEST(IniFile, SavesAtomicallyInWindows1251) {
    const auto dir = std::filesystem::temp_directory_path() / ("ini-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Quorvane_v3_4.INI").string();
    IniFile missing(path);
    EXPECT_TRUE(missing.Load());  // no file yet: empty
    missing.WriteString("Parametrization", "Organization_NameEdit", "Составитель");
    ASSERT_TRUE(missing.Save()) << missing.ErrorText;
    std::string bytes, err;
    ASSERT_TRUE(common::ReadWholeFile(path, bytes, err));
    EXPECT_EQ(bytes, "[Parametrization]\r\nOrganization_NameEdit=\xD1\xEE\xF1\xF2\xE0\xE2\xE8\xF2\xE5\xEB\xFC\r\n");
    IniFile again(path);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.ReadString("Parametrization", "Organization_NameEdit", ""), "Составитель");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left

    IniFile nowhere((dir / "no-such-dir" / "x.INI").string());
    EXPECT_FALSE(nowhere.Save());
    EXPECT_FALSE(nowhere.ErrorText.empty());
    std::filesystem::remove_all(dir);
}

TEST(IniFile, IntegersOutsideTheirFieldAreNotNumbers) {
    struct Case {
        const char* value;
        long long expected;  // the default 1 when the value is not a number
    } cases[] = {
        {"2147483647", 2147483647LL},    // the largest 32-bit value
        {"-2147483648", -2147483648LL},  // the smallest
        {"-7", -7},
        {"+12", 12},
        {" 42 ", 42},
        {"2147483648", 1},                // one past the field
        {"4294967297", 1},                // would wrap to 1 when narrowed
        {"9999999999999999999", 1},       // more digits than any integer holds
        {"-99999999999999999999999", 1},
        {"12a", 1},
        {"-", 1},
        {"", 1},
    };
    for (const auto& c : cases) {
        IniFile ini;
        ini.Parse(std::string("[S]\r\nK=") + c.value + "\r\n");
        EXPECT_EQ(ini.ReadInteger("S", "K", 1), c.expected) << c.value;
    }
    IniFile wide;
    wide.Parse("[S]\r\nK=4294967295\r\n");
    EXPECT_EQ(wide.ReadInteger("S", "K", 1, 0, 4294967295LL), 4294967295LL);
}

TEST(IniFile, SettingsFilesOfEveryShapeKeepWhatTheProgramDoesNotOwn) {
    namespace fs = std::filesystem;
    const auto dir = fs::temp_directory_path() / ("ini-shapes-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    // A foreign section with a comment and the byte 0x98, which has no
    // Windows-1251 character: all of it must come back byte for byte.
    const std::string foreign = "[Foreign]\r\n; \x98 comment \xC0\r\nkey = \x98value\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        bool behindLink;
    } cases[] = {
        {"CR LF", "[COMPORT]\r\nNUM=3\r\n" + foreign, false},
        {"CR only", "[COMPORT]\rNUM=3\r[Foreign]\r; \x98 comment \xC0\rkey = \x98value\r", false},
        {"LF only", "[COMPORT]\nNUM=3\n[Foreign]\n; \x98 comment \xC0\nkey = \x98value\n", false},
        {"out of range", "[COMPORT]\r\nNUM=2147483648\r\n" + foreign, false},
        {"behind a symbolic link", "[COMPORT]\r\nNUM=3\r\n" + foreign, true},
    };
    for (const auto& c : cases) {
        const fs::path real = dir / "real.INI";
        const fs::path link = dir / "Ostrilon.INI";
        fs::remove(real);
        fs::remove(link);
        std::string err;
        ASSERT_TRUE(common::WriteFileAtomically(real.string(), c.bytes, err)) << err;
        fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        const fs::path path = c.behindLink ? link : real;
        if (c.behindLink) fs::create_symlink("real.INI", link);

        IniFile ini(path.string());
        ASSERT_TRUE(ini.Load()) << c.name;
        const long long num = ini.ReadInteger("COMPORT", "NUM", 1);
        EXPECT_EQ(num, std::string(c.name) == "out of range" ? 1 : 3) << c.name;
        EXPECT_EQ(ini.ReadString("Foreign", "key", ""), ini.ReadString("foreign", "KEY", "x")) << c.name;
        ini.WriteInteger("COMPORT", "NUM", num);
        ini.WriteInteger("COMPORT", "SPEED", 1200);
        ASSERT_TRUE(ini.Save()) << c.name << ": " << ini.ErrorText;

        std::string bytes;
        ASSERT_TRUE(common::ReadWholeFile(path.string(), bytes, err));
        EXPECT_EQ(bytes, "[COMPORT]\r\nNUM=" + std::to_string(num) + "\r\nSPEED=1200\r\n" + foreign) << c.name;
        EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
            << c.name;
        if (c.behindLink) {
            EXPECT_TRUE(fs::is_symlink(link)) << c.name;
        }
        // Only the file itself (and the link) are left: no temporary.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), c.behindLink ? 2 : 1) << c.name;
    }
    fs::remove_all(dir);
}
