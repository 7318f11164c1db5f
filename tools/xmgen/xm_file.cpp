// xm_file.cpp: serialises module records into the extended-module layout:
// header and order table, packed patterns, then each instrument with its
// sample header and delta-coded sample data. All numbers little-endian.
#include "xm_file.h"

#include <cstring>

namespace {

void put8(std::vector<uint8_t> &out, unsigned v) { out.push_back(uint8_t(v)); }

void put16(std::vector<uint8_t> &out, unsigned v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.push_back(uint8_t(v >> (8 * i)));
}

// Fixed-width text field, cut or padded with zero bytes.
void put_text(std::vector<uint8_t> &out, const std::string &text, size_t width)
{
    for (size_t i = 0; i < width; i++)
        out.push_back(i < text.size() ? uint8_t(text[i]) : 0);
}

constexpr uint32_t header_size = 276;        // from its own field to the end of the order table
constexpr uint32_t instrument_header = 263;  // with one sample, as the 1.04 format writes it
constexpr uint32_t sample_header = 40;

} // namespace

XmPattern xm_pattern_make(int rows, int channels)
{
    XmPattern p;
    p.rows = rows;
    p.cells.assign(size_t(rows) * size_t(channels), XmCell{});
    return p;
}

std::vector<uint8_t> xm_pack_pattern(const XmPattern &pattern, int channels)
{
    std::vector<uint8_t> out;
    for (int r = 0; r < pattern.rows; r++) {
        for (int c = 0; c < channels; c++) {
            const XmCell &cell = pattern.cells[size_t(r) * size_t(channels) + size_t(c)];
            const uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.param};
            unsigned mask = 0;
            for (int i = 0; i < 5; i++)
                if (fields[i])
                    mask |= 1u << i;
            if (mask == 0x1f) {
                out.insert(out.end(), fields, fields + 5);
                continue;
            }
            out.push_back(uint8_t(0x80 | mask));
            for (int i = 0; i < 5; i++)
                if (mask & (1u << i))
                    out.push_back(fields[i]);
        }
    }
    return out;
}

std::vector<uint8_t> xm_delta_encode16(const std::vector<int16_t> &data)
{
    std::vector<uint8_t> out;
    out.reserve(data.size() * 2);
    int16_t previous = 0;
    for (int16_t v : data) {
        // The difference wraps modulo 2^16, as the reader's running sum does.
        uint16_t delta = uint16_t(uint16_t(v) - uint16_t(previous));
        put16(out, delta);
        previous = v;
    }
    return out;
}

std::string xm_check(const XmModule &m)
{
    if (m.channels < 1 || m.channels > xm_max_channels)
        return "channel count out of range";
    if (m.orders.empty() || m.orders.size() > 256)
        return "order list must hold 1 to 256 entries";
    if (m.patterns.empty() || m.patterns.size() > 256)
        return "there must be 1 to 256 patterns";
    if (m.instruments.size() > 128)
        return "too many instruments";
    if (m.speed < 1 || m.speed > 31 || m.bpm < 32 || m.bpm > 255)
        return "start tempo out of range";
    if (m.restart < 0 || size_t(m.restart) >= m.orders.size())
        return "restart position outside the order list";
    for (uint8_t o : m.orders)
        if (o >= m.patterns.size())
            return "order list names a missing pattern";
    for (const XmPattern &p : m.patterns) {
        if (p.rows < 1 || p.rows > xm_max_rows)
            return "pattern row count out of range";
        if (p.cells.size() != size_t(p.rows) * size_t(m.channels))
            return "pattern cell count does not match its rows";
        // The reader keeps the packed size in a signed 16-bit field.
        if (xm_pack_pattern(p, m.channels).size() > 32767)
            return "pattern too large when packed";
        for (const XmCell &c : p.cells) {
            if (c.note > xm_note_off)
                return "note out of range";
            if (c.instrument > m.instruments.size())
                return "cell names a missing instrument";
        }
    }
    for (const XmInstrument &in : m.instruments) {
        const XmSample &s = in.sample;
        if (in.volume_envelope.size() == 1 || in.volume_envelope.size() > 12)
            return "volume envelope needs 2 to 12 points";
        if (in.volume_sustain >= int(in.volume_envelope.size()))
            return "sustain point outside the envelope";
        for (size_t i = 1; i < in.volume_envelope.size(); i++)
            if (in.volume_envelope[i].x <= in.volume_envelope[i - 1].x)
                return "envelope points must move forward in time";
        for (const XmEnvelopePoint &p : in.volume_envelope)
            if (p.y > 64)
                return "envelope level above 64";
        if (s.data.empty() || s.data.size() > 0x3fffffff)
            return "sample empty or too long";
        if (s.volume > 64)
            return "sample volume above 64";
        if (s.loop != xm_loop_none &&
            (s.loop_length == 0 || s.loop_start >= s.data.size() ||
             s.loop_length > s.data.size() - s.loop_start))
            return "sample loop outside the sample";
    }
    return {};
}

std::vector<uint8_t> xm_write(const XmModule &m)
{
    std::vector<uint8_t> out;
    put_text(out, "Extended Module: ", 17);
    put_text(out, m.name, 20);
    put8(out, 0x1a);
    put_text(out, "skarn xmgen", 20);
    put16(out, 0x0104);
    put32(out, header_size);
    put16(out, unsigned(m.orders.size()));
    put16(out, unsigned(m.restart));
    put16(out, unsigned(m.channels));
    put16(out, unsigned(m.patterns.size()));
    put16(out, unsigned(m.instruments.size()));
    put16(out, 1);  // linear frequency table
    put16(out, unsigned(m.speed));
    put16(out, unsigned(m.bpm));
    for (int i = 0; i < 256; i++)
        put8(out, i < int(m.orders.size()) ? m.orders[size_t(i)] : 0);

    for (const XmPattern &p : m.patterns) {
        std::vector<uint8_t> packed = xm_pack_pattern(p, m.channels);
        put32(out, 9);
        put8(out, 0);
        put16(out, unsigned(p.rows));
        put16(out, unsigned(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }

    for (const XmInstrument &in : m.instruments) {
        const XmSample &s = in.sample;
        put32(out, instrument_header);
        put_text(out, in.name, 22);
        put8(out, 0);
        put16(out, 1);
        put32(out, sample_header);
        for (int i = 0; i < 96; i++)
            put8(out, 0);  // every key plays sample 0
        for (int i = 0; i < 12; i++) {
            bool used = i < int(in.volume_envelope.size());
            put16(out, used ? in.volume_envelope[size_t(i)].x : 0);
            put16(out, used ? in.volume_envelope[size_t(i)].y : 0);
        }
        for (int i = 0; i < 24; i++)
            put16(out, 0);  // no panning envelope
        put8(out, unsigned(in.volume_envelope.size()));
        put8(out, 0);
        put8(out, in.volume_sustain < 0 ? 0 : unsigned(in.volume_sustain));
        put8(out, 0);  // volume loop start
        put8(out, 0);  // volume loop end
        put8(out, 0);  // panning sustain, loop start, loop end
        put8(out, 0);
        put8(out, 0);
        unsigned vol_type = 0;
        if (!in.volume_envelope.empty())
            vol_type = 1 | (in.volume_sustain >= 0 ? 2 : 0);
        put8(out, vol_type);
        put8(out, 0);
        put8(out, in.vibrato_type);
        put8(out, in.vibrato_sweep);
        put8(out, in.vibrato_depth);
        put8(out, in.vibrato_rate);
        put16(out, in.fadeout);
        for (int i = 0; i < 22; i++)
            put8(out, 0);  // reserved

        put32(out, uint32_t(s.data.size() * 2));
        put32(out, s.loop == xm_loop_none ? 0 : s.loop_start * 2);
        put32(out, s.loop == xm_loop_none ? 0 : s.loop_length * 2);
        put8(out, s.volume);
        put8(out, uint8_t(s.finetune));
        put8(out, 0x10 | unsigned(s.loop));  // 16-bit data
        put8(out, s.panning);
        put8(out, uint8_t(s.relative_note));
        put8(out, 0);
        put_text(out, s.name, 22);

        std::vector<uint8_t> data = xm_delta_encode16(s.data);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}
