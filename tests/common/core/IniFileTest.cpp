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
        "; comment\r\n[Connection]\r\nType=4\r\ncomport=7\r\nBaudRate=abc\r\nPhoneNumber=10.0.0.1\r\n\r\n"
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
