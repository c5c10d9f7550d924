// The command line of counter5x-sim.
#include <gtest/gtest.h>

#include "sim/counter5x/Options.h"

using namespace sim5x;

namespace {
ProgramOptions Parse(std::vector<std::string> args) { return ParseProgramOptions(args); }
}  // namespace

TEST(Sim5xOptions, DefaultsAndValues) {
    const auto d = Parse({"--pty"});
    EXPECT_TRUE(d.pty);
    EXPECT_EQ(d.meter.version, 53);
    EXPECT_EQ(d.meter.meterNumber, 1234567u);
    EXPECT_EQ(d.meter.ident, 1u);
    EXPECT_EQ(d.meter.password, 0);
    EXPECT_FALSE(d.meter.kopecks);

    const auto o = Parse({"--connect", "127.0.0.1:144", "--version=54", "--meter", "42", "--ident", "7", "--password", "65535",
                          "--kopecks", "--state", "s.txt", "--fault-silent", "always", "--fault-bad-crc", "2",
                          "--fault-split", "3:50", "--fault-trailing", "00 ff", "--fault-refuse", "6:13=4",
                          "--fault-refuse", "14:F", "--fault-slow-baud", "1200", "--fault-slow-gap", "5",
                          "--fault-delay", "100", "--fault-version", "55", "--fault-hangup-after", "1"});
    EXPECT_FALSE(o.pty);
    EXPECT_EQ(o.host, "127.0.0.1");
    EXPECT_EQ(o.port, 144);
    EXPECT_EQ(o.meter.version, 54);
    EXPECT_TRUE(o.versionGiven && o.meterGiven && o.identGiven && o.passwordGiven && o.kopecksGiven);
    EXPECT_EQ(o.meter.meterNumber, 42u);
    EXPECT_EQ(o.meter.ident, 7u);
    EXPECT_EQ(o.meter.password, 65535);
    EXPECT_EQ(o.stateFile, "s.txt");
    EXPECT_EQ(o.faults.silence, kAlways);
    EXPECT_EQ(o.faults.corruptCheck, 2);
    EXPECT_EQ(o.faults.splitChunk, 3);
    EXPECT_EQ(o.faults.splitGapMs, 50);
    EXPECT_EQ(o.faults.trailing, (std::vector<std::uint8_t>{0x00, 0xFF}));
    ASSERT_EQ(o.faults.refusals.size(), 2u);
    EXPECT_EQ(o.faults.refusals[0].command, 6);
    EXPECT_EQ(o.faults.refusals[0].selector, 13);
    EXPECT_EQ(o.faults.refusals[0].reason, 4);
    EXPECT_EQ(o.faults.refusals[1].command, 14);
    EXPECT_EQ(o.faults.refusals[1].selector, 'F');
    EXPECT_EQ(o.faults.refusals[1].reason, 2);
    EXPECT_EQ(o.faults.paceBaud, 1200);
    EXPECT_EQ(o.faults.byteGapMs, 5);
    EXPECT_EQ(o.faults.replyDelayMs, 100);
    EXPECT_EQ(o.faults.reportVersion, 55);
    EXPECT_EQ(o.faults.hangUpAfter, 1);
    EXPECT_EQ(d.faults.hangUpAfter, -1);
}

TEST(Sim5xOptions, BadCommandLinesNameTheProblem) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "nothing to answer on"},
        {{"--pty", "--version", "55"}, "--version: \"55\" is not a number in 51..54"},
        {{"--pty", "--meter"}, "--meter needs a value"},
        {{"--pty", "--password", "-1"}, "--password"},
        {{"--connect", "localhost"}, "HOST:PORT"},
        {{"--connect", "localhost:0"}, "--connect"},
        {{"--pty", "--fault-trailing", "0"}, "hex"},
        {{"--pty", "--fault-refuse", "14:AB"}, "one letter"},
        {{"--pty", "--frobnicate"}, "unknown option \"--frobnicate\""},
        {{"--pty=1"}, "takes no value"},
    };
    for (const auto& [args, message] : cases) {
        try {
            Parse(args);
            ADD_FAILURE() << message;
        } catch (const OptionError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(Parse({"--help"}).help);
}
