#include "core/startup.hpp"
#include "core/windows_name.hpp"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(StartupPaths, AreTheTemporaryDirectoryAndATailWithItsOwnBackslash) {
    StartupPaths p = startup_paths("C:\\Users\\me\\AppData\\Local\\Temp\\");
    EXPECT_EQ(p.tool_folder, "C:\\Users\\me\\AppData\\Local\\Temp\\\\ffutool");
    EXPECT_EQ(p.archive_file, "C:\\Users\\me\\AppData\\Local\\Temp\\\\tmp_tool.zip");
    EXPECT_EQ(p.tool_path, "C:\\Users\\me\\AppData\\Local\\Temp\\\\ffutool\\ffutool.exe");
    EXPECT_EQ(p.download_dir, "C:\\Users\\me\\AppData\\Local\\Temp\\\\wprtsoftware_");
}

TEST(SuccessMarker, IsTwoLineBreaksAndTheDrive) {
    struct Case {
        const char* temp; // nullptr: no drive
        const char* marker;
    } cases[] = {
        {"C:\\Windows\\Temp", "\r\n\r\nC:"},
        {"D", "\r\n\r\nD"},
        {"", "\r\n\r\n"},
        {nullptr, "\r\n\r\n"},
        {"临时", "\r\n\r\n\xc1\xd9"}, // the first two bytes: one GBK character
    };
    for (const Case& c : cases) {
        Text temp = c.temp ? c.temp : "";
        EXPECT_EQ(success_marker(c.temp ? &temp : nullptr), c.marker)
            << (c.temp ? c.temp : "(unset)");
    }
}

TEST(Ping, EveryReplyCountsAsAConnectionEvenInNoTime) {
    EXPECT_TRUE(ping_answered(0)); // a reply within the first millisecond
    EXPECT_TRUE(ping_answered(1));
    EXPECT_TRUE(ping_answered(1999));
    EXPECT_FALSE(ping_answered(-1));
}

TEST(WindowsName, NamesTheReleaseTheVersionNumbersGive) {
    EXPECT_EQ(windows_product_name(5, 1, false, false, "Service Pack 3"),
              "Microsoft Windows XP Professional Service Pack 3");
    EXPECT_EQ(windows_product_name(5, 1, false, true, ""), "Microsoft Windows XP Home Edition");
    EXPECT_EQ(windows_product_name(5, 2, true, false, ""), "Microsoft Windows Server 2003");
    EXPECT_EQ(windows_product_name(5, 0, false, false, ""), "Microsoft Windows 2000 Professional");
    EXPECT_EQ(windows_product_name(6, 1, false, false, "Service Pack 1"),
              "Microsoft Windows 7 Service Pack 1");
    EXPECT_EQ(windows_product_name(11, 7, false, false, ""), "Microsoft Windows 11.7");
}
