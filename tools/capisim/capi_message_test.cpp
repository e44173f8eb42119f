#include "capi_message.h"

#include <gtest/gtest.h>

namespace capisim {
namespace {

Bytes ConnectReqBytes() {
    // CONNECT_REQ to controller 1, CIP 2, called 0x80 "123", calling 0x00 0x80 "9",
    // then eight empty structs.
    Bytes b{0,    0,   1,   0,   0x02, 0x80, 5,    0,   1, 0, 0, 0, 2, 0, 4,
            0x80, '1', '2', '3', 3,    0x00, 0x80, '9', 0, 0, 0, 0, 0, 0, 0};
    b[0] = uint8_t(b.size());
    return b;
}

TEST(CapiMessage, DecodesConnectReqFields) {
    auto r = Decode(ConnectReqBytes());
    ASSERT_TRUE(r.message) << r.error;
    const Message& m = *r.message;
    EXPECT_EQ(m.command, kConnect);
    EXPECT_EQ(m.subcommand, kReq);
    EXPECT_EQ(m.number, 5);
    EXPECT_EQ(m.Address(), 1u);
    EXPECT_EQ(m.Value(field::kCip), 2u);
    EXPECT_EQ(CalledDigits(m.Struct(field::kCalledNumber)), "123");
    EXPECT_EQ(CallingDigits(m.Struct(field::kCallingNumber)), "9");
    EXPECT_TRUE(m.Struct(field::kBProtocol).empty());
}

TEST(CapiMessage, MalformedBodiesAreRefused) {
    Bytes truncatedStruct = ConnectReqBytes();
    truncatedStruct[14] = 40;  // called number claims more bytes than the message has
    Bytes lengthTooBig = ConnectReqBytes();
    lengthTooBig[0] = 200;
    Bytes unknownCommand = ConnectReqBytes();
    unknownCommand[4] = 0x77;
    Bytes cutDword{10, 0, 1, 0, 0x04, 0x80, 0, 0, 1, 0};
    Bytes dataMissing{22, 0, 1, 0, 0x86, 0x80, 0, 0, 1, 1, 1,  0,
                      0,  0, 0, 0, 10,   0,    1, 0, 0, 0, 'x'};
    Bytes dataWrongLength{24, 0, 1, 0, 0x86, 0x80, 0, 0, 1, 1, 1, 0,
                          0,  0, 0, 0, 0,    0,    1, 0, 0, 0, 0, 0};
    for (const Bytes& b : {Bytes{1, 2, 3}, truncatedStruct, lengthTooBig, unknownCommand, cutDword,
                           dataMissing, dataWrongLength}) {
        EXPECT_FALSE(Decode(b).message) << Decode(b).error;
    }
}

TEST(CapiMessage, DataB3ReqInBothFormsCarriesTheDataBehindIt) {
    for (bool data64 : {false, true}) {
        Bytes b{0, 0, 1, 0, 0x86, 0x80, 9, 0, 1, 1, 1, 0, 0, 0, 0, 0, 3, 0, 0x34, 0x12, 0, 0};
        if (data64) b.insert(b.end(), 8, 0);
        b[0] = uint8_t(b.size());
        b.insert(b.end(), {'a', 'b', 'c', 'z'});
        auto r = Decode(b);
        ASSERT_TRUE(r.message) << r.error;
        EXPECT_EQ(r.message->data, (Bytes{'a', 'b', 'c'}));
        EXPECT_EQ(r.message->Value(field::kDataHandle), 0x1234u);
    }
}

TEST(CapiMessage, EncodesIndicationsAsLaidOut) {
    Message ind = Make(kDataB3, kInd, 3, {0x10101u, 0u, 2u, 7u, 0u});
    ind.data = {0xAA, 0xBB};
    Bytes b = Encode(ind);
    EXPECT_EQ(b, (Bytes{22, 0, 0, 0, 0x86, 0x82, 3, 0, 1, 1, 1,    0,
                        0,  0, 0, 0, 2,    0,    7, 0, 0, 0, 0xAA, 0xBB}));

    Bytes longStruct(300, 'x');
    Bytes c = Encode(Make(kConnectB3, kInd, 1, {0x10101u, longStruct}));
    ASSERT_EQ(c.size(), 12u + 3 + 300);
    EXPECT_EQ(c[12], 0xFF) << "long struct escape";
    EXPECT_EQ(c[13] | c[14] << 8, 300);
    auto back = Decode(Encode(Make(kConnectB3, kReq, 1, {0x101u, longStruct})));
    ASSERT_TRUE(back.message);
    EXPECT_EQ(back.message->Struct(1), longStruct);
}

TEST(CapiMessage, MissingTrailingStructsReadAsEmpty) {
    Bytes b{12, 0, 1, 0, 0x04, 0x80, 0, 0, 0x01, 0x01, 0, 0};
    auto r = Decode(b);
    ASSERT_TRUE(r.message) << r.error;
    EXPECT_TRUE(r.message->Struct(1).empty());
}

}  // namespace
}  // namespace capisim
