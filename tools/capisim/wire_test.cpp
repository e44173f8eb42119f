#include "wire.h"

#include <gtest/gtest.h>

namespace capisim {
namespace {

TEST(FrameReader, SplitsPacketsWhateverTheChunks) {
    Bytes stream = Frame({1, 2, 3});
    Bytes second = Frame({9});
    stream.insert(stream.end(), second.begin(), second.end());
    EXPECT_EQ(stream[0], 0);
    EXPECT_EQ(stream[1], 5) << "length counts itself";
    for (size_t chunk : {1, 2, 3, 7, 100}) {
        FrameReader reader;
        std::vector<Bytes> bodies;
        for (size_t at = 0; at < stream.size(); at += chunk) {
            reader.Append(stream.data() + at, std::min(chunk, stream.size() - at));
            Bytes body;
            while (reader.Next(body) == FrameReader::Result::kPacket) bodies.push_back(body);
        }
        ASSERT_EQ(bodies.size(), 2u) << chunk;
        EXPECT_EQ(bodies[0], (Bytes{1, 2, 3}));
        EXPECT_EQ(bodies[1], (Bytes{9}));
    }
}

TEST(FrameReader, LengthBelowTwoIsMalformed) {
    for (uint8_t length : {0, 1}) {
        FrameReader reader;
        uint8_t bytes[] = {0, length, 5};
        reader.Append(bytes, sizeof bytes);
        Bytes body;
        EXPECT_EQ(reader.Next(body), FrameReader::Result::kMalformed);
    }
}

TEST(RemoteRequest, RegisterAsTheRemoteDriverSendsIt) {
    Bytes body{0, 0, 0, 0, 0xF2, 0xFF, 7, 0, 0, 0, 0, 0, 0x00, 0x08, 2, 0, 7, 0, 0x00, 0x08, 2};
    auto request = ParseRemoteRequest(body);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->op, RemoteOp::kRegister);
    EXPECT_EQ(request->reg.maxLogicalConnections, 2);
    EXPECT_EQ(request->reg.maxBDataBlocks, 7);
    EXPECT_EQ(request->reg.maxBDataLength, 2048);
    Bytes reply = RegisterReply(*request, 0x1002);
    EXPECT_EQ(reply, (Bytes{0, 0, 0, 0, 0xF3, 0xFF, 7, 0, 0x02, 0x10}));
    body.resize(15);
    EXPECT_FALSE(ParseRemoteRequest(body)) << "cut-off register";
}

TEST(RemoteRequest, ProfileAndInformationReplies) {
    Bytes body{0, 0, 0, 0, 0xE0, 0xFF, 0, 0, 1, 0, 0, 0};
    auto request = ParseRemoteRequest(body);
    ASSERT_TRUE(request);
    Bytes profile = ProfileReply(*request, 1);
    ASSERT_EQ(profile.size(), 8u + 2 + 64);
    EXPECT_EQ(profile[4], 0xE1);
    EXPECT_EQ(profile[8] | profile[9] << 8, 0) << "result";
    EXPECT_EQ(profile[10], 1) << "controllers";
    EXPECT_EQ(profile[12], 2) << "B channels";
    request->controller = 2;
    EXPECT_EQ(ProfileReply(*request, 1)[8], 0x02) << "no controller 2";

    body[4] = 0xFA;
    Bytes name = ManufacturerReply(*ParseRemoteRequest(body), "Telvora capisim");
    EXPECT_EQ(name[5], 0xFF);
    EXPECT_EQ(std::string(name.begin() + 9, name.begin() + 24), "Telvora capisim");
    body[4] = 0x42;
    EXPECT_FALSE(ParseRemoteRequest(body)) << "unknown remote command";
}

}  // namespace
}  // namespace capisim
