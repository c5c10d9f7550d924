// The state file: what the line changed survives a restart; damaged files
// are refused with a message and change nothing.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "sim/counter5x/Emulator.h"
#include "tests/sim/counter5x/Wire.h"

using namespace sim5x;
using wire::Bytes;

namespace {

constexpr wire::Key kKey = {1, 2, 3, 4};

struct TempDir {
    std::string path;
    TempDir() {
        char t[] = "/tmp/sim5x-state-XXXXXX";
        path = ::mkdtemp(t);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

bool Exists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0;
}

MeterSettings Small(int version = 53) {
    MeterSettings s;
    s.version = version;
    s.profilePoints = 10;
    return s;
}

}  // namespace

TEST(Sim5xState, WhatTheLineChangedSurvivesARestart) {
    TempDir dir;
    const std::string file = dir.path + "/meter.state";
    Emulator a(Small());
    a.setAutosave(file);
    a.setFixedSessionKey(kKey);
    auto ask = [&](const Bytes& req) { return wire::Parse(a.exchange(req), kKey); };
    ASSERT_TRUE(wire::Parse(a.exchange(wire::Auth(1234567, 1))));
    ASSERT_EQ(ask(wire::WriteArea(29, 0, 0, {15, 0, 0}, kKey))->code, 0);
    ASSERT_EQ(ask(wire::WriteArea(0, 0, 0, {0x01, 0x02, 0, 0}, kKey))->code, 0);
    ASSERT_EQ(ask(wire::Frame(8, {0, 0, 12, 0, 1, 6, 30, 20}, kKey))->code, 0);
    ASSERT_EQ(ask(wire::Frame(14, {'0'}, kKey))->code, 0);
    ASSERT_EQ(ask(wire::Frame(17, {'S'}, kKey))->code, 0);
    ASSERT_EQ(ask(wire::Frame(18, {'E', 'U', 'R'}, kKey))->code, 0);
    ASSERT_TRUE(Exists(file));
    EXPECT_FALSE(Exists(file + ".tmp"));
    EXPECT_EQ(a.lastSaveError(), "");

    const StateData s = ReadStateFile(file);
    EXPECT_EQ(s.version, 53);
    Emulator b(Small());
    b.applyState(s);
    EXPECT_EQ(b.record(29, 0), a.record(29, 0));
    EXPECT_EQ(b.password(), 0x0102);
    EXPECT_EQ(b.clockOffsetMs(), a.clockOffsetMs());
    EXPECT_TRUE(b.kopecks());
    EXPECT_EQ(b.contactor(), Contactor::Off);
    EXPECT_EQ(b.currency(), "EUR");
    EXPECT_EQ(b.record(14, 0), a.record(14, 0));
    // The identifier and the other configuration areas came back too.
    EXPECT_EQ(b.record(3, 0), a.record(3, 0));
    EXPECT_EQ(b.record(13, 5), a.record(13, 5));
}

TEST(Sim5xState, DamagedTextIsRefusedWithItsLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "not a counter5x-sim state file"},
        {"hello 1\n", "not a counter5x-sim state file"},
        {"counter5x-state 1\nversion 57\n", "f:2: \"version\" needs one number in 51..54"},
        {"counter5x-state 1\n# note\nfoo 1\n", "f:3: unknown key \"foo\""},
        {"counter5x-state 1\narea 29 0 0G\n", "f:2: \"area\" needs"},
        {"counter5x-state 1\narea 29\n", "f:2: \"area\" needs"},
        {"counter5x-state 1\ncontactor maybe\n", "\"contactor\" is on, off or released"},
        {"counter5x-state 1\npassword 70000\n", "0..65535"},
    };
    for (const Case& c : cases) {
        try {
            ParseState(c.text, "f");
            ADD_FAILURE() << c.text;
        } catch (const StateError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(Sim5xState, StatesThatDoNotFitTheMeterChangeNothing) {
    struct Case {
        int version;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {53, "counter5x-state 1\narea 29 0 0F\narea 29 0 0F0F\n", "line 3: area 29 index 0: 2 bytes, the record has 1"},
        {53, "counter5x-state 1\narea 4 0 0000000000000000000000000000\n", "statistics"},
        {54, "counter5x-state 1\narea 33 0 01\n", "no area 33"},
        {53, "counter5x-state 1\narea 23 20 0101\n", "has 20 records"},
        {53, "counter5x-state 1\nversion 51\narea 29 0 0F\n", "version 51"},
    };
    for (const Case& c : cases) {
        Emulator meter(Small(c.version));
        const Bytes before = meter.record(29, 0);
        try {
            meter.applyState(ParseState(c.text, "f"));
            ADD_FAILURE() << c.text;
        } catch (const StateError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(meter.record(29, 0), before);
    }
    EXPECT_THROW(ReadStateFile("/nonexistent/meter.state"), StateError);
}
