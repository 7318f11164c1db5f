// Byte-exact checks of the module writer: cell packing, delta coding, the
// header and instrument layout, and the checks that refuse bad records.
#include "xm_file.h"
#include "xm_reader.h"

#include <gtest/gtest.h>

namespace {

XmModule tiny_module()
{
    XmModule m;
    m.name = "tiny";
    m.channels = 2;
    m.speed = 5;
    m.bpm = 140;
    m.orders = {0, 1, 0};
    m.patterns.push_back(xm_pattern_make(4, 2));
    m.patterns.push_back(xm_pattern_make(1, 2));
    m.patterns[0].cells[0] = {49, 1, 0x50, 0x0f, 0x21};
    m.patterns[0].cells[3] = {xm_note_off, 0, 0, 0, 0};
    XmInstrument in;
    in.name = "saw";
    in.sample.name = "saw";
    in.sample.data = {0, 1000, -1000, 32767, -32768};
    in.sample.loop = xm_loop_forward;
    in.sample.loop_start = 1;
    in.sample.loop_length = 4;
    in.sample.relative_note = -12;
    in.sample.finetune = -3;
    in.volume_envelope = {{0, 64}, {10, 32}};
    in.volume_sustain = 1;
    in.fadeout = 1234;
    m.instruments.push_back(in);
    return m;
}

uint32_t le32(const std::vector<uint8_t> &b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

unsigned le16(const std::vector<uint8_t> &b, size_t at) { return unsigned(b[at]) | unsigned(b[at + 1]) << 8; }

} // namespace

TEST(XmPack, EmptyPartialAndFullCells)
{
    XmPattern p = xm_pattern_make(1, 4);
    p.cells[1] = {61, 3, 0, 0, 0};            // note and instrument
    p.cells[2] = {1, 2, 0x30, 0x0c, 0x40};    // every field: written whole
    p.cells[3] = {0, 0, 0, 0x0f, 0x80};       // effect only
    std::vector<uint8_t> want = {0x80, 0x83, 61, 3, 1, 2, 0x30, 0x0c, 0x40, 0x98, 0x0f, 0x80};
    EXPECT_EQ(xm_pack_pattern(p, 4), want);
}

TEST(XmPack, RowsComeBeforeChannels)
{
    XmPattern p = xm_pattern_make(2, 2);
    p.cells[1] = {5, 0, 0, 0, 0};  // row 0, channel 1
    p.cells[2] = {7, 0, 0, 0, 0};  // row 1, channel 0
    std::vector<uint8_t> want = {0x80, 0x81, 5, 0x81, 7, 0x80};
    EXPECT_EQ(xm_pack_pattern(p, 2), want);
}

TEST(XmDelta, DifferencesWrapAtSixteenBits)
{
    // Deltas 0, 32767, then -65535 and +32768, which only fit modulo 2^16.
    std::vector<int16_t> data = {0, 32767, -32768, -32768, 0};
    std::vector<uint8_t> want = {0x00, 0x00, 0xff, 0x7f, 0x01, 0x00, 0x00, 0x00, 0x00, 0x80};
    EXPECT_EQ(xm_delta_encode16(data), want);
}

TEST(XmWrite, HeaderFieldsAtTheirOffsets)
{
    XmModule m = tiny_module();
    ASSERT_EQ(xm_check(m), "");
    std::vector<uint8_t> b = xm_write(m);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
    EXPECT_EQ(std::string(b.begin() + 17, b.begin() + 21), "tiny");
    EXPECT_EQ(b[21], 0);
    EXPECT_EQ(b[37], 0x1a);
    EXPECT_EQ(le16(b, 58), 0x0104u);
    EXPECT_EQ(le32(b, 60), 276u);
    EXPECT_EQ(le16(b, 64), 3u);  // song length
    EXPECT_EQ(le16(b, 66), 0u);  // restart
    EXPECT_EQ(le16(b, 68), 2u);  // channels
    EXPECT_EQ(le16(b, 70), 2u);  // patterns
    EXPECT_EQ(le16(b, 72), 1u);  // instruments
    EXPECT_EQ(le16(b, 74), 1u);  // linear frequencies
    EXPECT_EQ(le16(b, 76), 5u);
    EXPECT_EQ(le16(b, 78), 140u);
    EXPECT_EQ(b[80], 0);
    EXPECT_EQ(b[81], 1);
    EXPECT_EQ(b[82], 0);
    for (size_t i = 83; i < 336; i++)
        ASSERT_EQ(b[i], 0) << i;
    // First pattern header right after the order table.
    EXPECT_EQ(le32(b, 336), 9u);
    EXPECT_EQ(b[340], 0);
    EXPECT_EQ(le16(b, 341), 4u);
    unsigned packed0 = le16(b, 343);
    EXPECT_EQ(packed0, 5u + 2 + 6);  // a full cell, a key off, six empty cells
    size_t p1 = 345 + packed0;
    EXPECT_EQ(le16(b, p1 + 5), 1u);
    size_t ins = p1 + 9 + 2;
    EXPECT_EQ(le32(b, ins), 263u);
    EXPECT_EQ(le16(b, ins + 27), 1u);
    EXPECT_EQ(le32(b, ins + 29), 40u);
    size_t sh = ins + 263;
    EXPECT_EQ(le32(b, sh), 10u);     // bytes of 16-bit data
    EXPECT_EQ(le32(b, sh + 4), 2u);  // loop start in bytes
    EXPECT_EQ(le32(b, sh + 8), 8u);  // loop length in bytes
    EXPECT_EQ(int8_t(b[sh + 13]), -3);
    EXPECT_EQ(b[sh + 14], 0x11);  // forward loop, 16-bit
    EXPECT_EQ(int8_t(b[sh + 16]), -12);
    EXPECT_EQ(b.size(), sh + 40 + 10);
}

TEST(XmWrite, ReadsBackThroughTheTestReader)
{
    XmModule m = tiny_module();
    ReadModule r;
    std::string error;
    ASSERT_TRUE(xm_read(xm_write(m), &r, &error)) << error;
    EXPECT_EQ(r.orders, (std::vector<int>{0, 1, 0}));
    ASSERT_EQ(r.patterns.size(), 2u);
    EXPECT_EQ(r.patterns[0].cells[0].note, 49);
    EXPECT_EQ(r.patterns[0].cells[0].param, 0x21);
    EXPECT_EQ(r.patterns[0].cells[3].note, xm_note_off);
    ASSERT_EQ(r.instruments.size(), 1u);
    const ReadInstrument &in = r.instruments[0];
    EXPECT_EQ(in.data, m.instruments[0].sample.data);
    EXPECT_EQ(in.volume_points, 2);
    EXPECT_EQ(in.volume_sustain, 1);
    EXPECT_EQ(in.volume_type, 3);
    EXPECT_EQ(in.fadeout, 1234);
    EXPECT_EQ(in.loop_start, 1u);
    EXPECT_EQ(in.loop_length, 4u);
    int jumps = 0;
    std::vector<double> t = xm_order_times(r, &jumps);
    // Speed 5 at 140 bpm until the F21 of the first row: 33 bpm from there.
    ASSERT_EQ(t.size(), 4u);
    EXPECT_NEAR(t[1], 4 * 5 * 2.5 / 33, 1e-9);
    EXPECT_EQ(jumps, 0);
}

TEST(XmCheck, RefusesWhatCannotBeWritten)
{
    XmModule good = tiny_module();
    EXPECT_EQ(xm_check(good), "");
    struct Case {
        const char *what;
        void (*spoil)(XmModule &);
    };
    const Case cases[] = {
        {"no orders", [](XmModule &m) { m.orders.clear(); }},
        {"257 orders", [](XmModule &m) { m.orders.assign(257, 0); }},
        {"missing pattern", [](XmModule &m) { m.orders.push_back(2); }},
        {"no channels", [](XmModule &m) { m.channels = 0; }},
        {"33 channels", [](XmModule &m) { m.channels = 33; }},
        {"restart past end", [](XmModule &m) { m.restart = 3; }},
        {"zero rows", [](XmModule &m) { m.patterns[1] = xm_pattern_make(0, 2); }},
        {"257 rows", [](XmModule &m) { m.patterns[1] = xm_pattern_make(257, 2); }},
        {"cells short", [](XmModule &m) { m.patterns[1].cells.pop_back(); }},
        {"note 98", [](XmModule &m) { m.patterns[1].cells[0].note = 98; }},
        {"instrument 2", [](XmModule &m) { m.patterns[1].cells[0].instrument = 2; }},
        {"bpm 31", [](XmModule &m) { m.bpm = 31; }},
        {"speed 0", [](XmModule &m) { m.speed = 0; }},
        {"one envelope point", [](XmModule &m) { m.instruments[0].volume_envelope.resize(1); }},
        {"13 envelope points", [](XmModule &m) {
             m.instruments[0].volume_envelope.clear();
             for (uint16_t i = 0; i < 13; i++)
                 m.instruments[0].volume_envelope.push_back({i, 10});
         }},
        {"envelope goes back", [](XmModule &m) { m.instruments[0].volume_envelope[1].x = 0; }},
        {"envelope level 65", [](XmModule &m) { m.instruments[0].volume_envelope[0].y = 65; }},
        {"sustain past end", [](XmModule &m) { m.instruments[0].volume_sustain = 2; }},
        {"empty sample", [](XmModule &m) { m.instruments[0].sample.data.clear(); }},
        {"loop past end", [](XmModule &m) { m.instruments[0].sample.loop_length = 5; }},
        {"empty loop", [](XmModule &m) { m.instruments[0].sample.loop_length = 0; }},
        {"volume 65", [](XmModule &m) { m.instruments[0].sample.volume = 65; }},
        {"pattern too big when packed", [](XmModule &m) {
             m.channels = 32;
             m.patterns.assign(1, xm_pattern_make(256, 32));
             m.orders = {0};
             for (XmCell &c : m.patterns[0].cells)
                 c = {1, 1, 0x10, 1, 1};
         }},
    };
    for (const Case &c : cases) {
        XmModule m = tiny_module();
        c.spoil(m);
        EXPECT_NE(xm_check(m), "") << c.what;
    }
}

TEST(XmReader, RejectsTruncatedAndPaddedFiles)
{
    std::vector<uint8_t> b = xm_write(tiny_module());
    ReadModule r;
    std::string error;
    for (size_t cut : {size_t(10), size_t(100), size_t(340), b.size() / 2, b.size() - 1}) {
        ReadModule partial;
        EXPECT_FALSE(xm_read(std::vector<uint8_t>(b.begin(), b.begin() + std::ptrdiff_t(cut)), &partial, &error))
            << cut;
    }
    b.push_back(0);
    EXPECT_FALSE(xm_read(b, &r, &error));
}
