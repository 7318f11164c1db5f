// xm_reader.cpp: the tests' own reader of extended modules.
#include "xm_reader.h"

#include <cstdio>

namespace {

struct Cursor {
    const std::vector<uint8_t> &b;
    size_t at = 0;
    bool bad = false;
    bool need(size_t n)
    {
        if (at + n > b.size())
            bad = true;
        return !bad;
    }
    unsigned u8() { return need(1) ? b[at++] : 0; }
    unsigned u16()
    {
        unsigned lo = u8();
        return lo | (u8() << 8);
    }
    uint32_t u32()
    {
        uint32_t lo = u16();
        return lo | (uint32_t(u16()) << 16);
    }
    std::string text(size_t n)
    {
        std::string s;
        for (size_t i = 0; i < n; i++) {
            char c = char(u8());
            if (c)
                s += c;
        }
        return s;
    }
};

bool fail(std::string *error, const std::string &what)
{
    *error = what;
    return false;
}

} // namespace

bool xm_read(const std::vector<uint8_t> &bytes, ReadModule *m, std::string *error)
{
    Cursor c{bytes};
    m->id = c.text(17);
    if (m->id != "Extended Module: ")
        return fail(error, "bad id");
    m->name = c.text(20);
    if (c.u8() != 0x1a)
        return fail(error, "no 0x1a after the name");
    m->tracker = c.text(20);
    m->version = int(c.u16());
    size_t header_start = c.at;
    uint32_t header_size = c.u32();
    unsigned length = c.u16();
    m->restart = int(c.u16());
    m->channels = int(c.u16());
    unsigned patterns = c.u16();
    unsigned instruments = c.u16();
    m->flags = int(c.u16());
    m->speed = int(c.u16());
    m->bpm = int(c.u16());
    if (c.bad || length < 1 || length > 256 || patterns > 256 || instruments > 128 || m->channels < 1 ||
        m->channels > 32)
        return fail(error, "header counts out of range");
    for (unsigned i = 0; i < 256; i++) {
        int o = int(c.u8());
        if (i < length)
            m->orders.push_back(o);
    }
    c.at = header_start + header_size;

    for (unsigned p = 0; p < patterns; p++) {
        size_t start = c.at;
        uint32_t hl = c.u32();
        if (c.u8() != 0)
            return fail(error, "unknown pattern packing");
        ReadPattern pat;
        pat.rows = int(c.u16());
        unsigned packed = c.u16();
        if (c.bad || pat.rows < 1 || pat.rows > 256)
            return fail(error, "bad pattern header");
        c.at = start + hl;
        size_t data_end = c.at + packed;
        if (data_end > bytes.size())
            return fail(error, "pattern data past the end");
        pat.cells.resize(size_t(pat.rows) * size_t(m->channels));
        for (ReadCell &cell : pat.cells) {
            if (c.at >= data_end)
                return fail(error, "packed pattern shorter than its rows");
            unsigned first = c.u8();
            unsigned mask = first & 0x80 ? first & 0x1f : 0x1f;
            int *field[5] = {&cell.note, &cell.instrument, &cell.volume, &cell.effect, &cell.param};
            for (int i = 0; i < 5; i++) {
                if (!(mask & (1u << i)))
                    continue;
                if (i == 0 && !(first & 0x80))
                    *field[0] = int(first);
                else
                    *field[i] = int(c.u8());
            }
        }
        if (c.at != data_end)
            return fail(error, "packed size does not match the cells");
        m->patterns.push_back(std::move(pat));
    }

    for (unsigned i = 0; i < instruments; i++) {
        ReadInstrument in;
        size_t start = c.at;
        uint32_t size = c.u32();
        in.name = c.text(22);
        c.u8();
        in.samples = int(c.u16());
        if (c.bad || size < 29)
            return fail(error, "bad instrument header");
        if (in.samples != 1)
            return fail(error, "expected one sample per instrument");
        uint32_t sample_header = c.u32();
        c.at += 96 + 48 + 48;
        in.volume_points = int(c.u8());
        c.u8();
        in.volume_sustain = int(c.u8());
        c.at += 5;
        in.volume_type = int(c.u8());
        c.u8();
        c.u8();
        c.u8();
        in.vibrato_depth = int(c.u8());
        c.u8();
        in.fadeout = int(c.u16());
        c.at = start + size;
        size_t sh = c.at;
        uint32_t length = c.u32();
        uint32_t loop_start = c.u32();
        uint32_t loop_length = c.u32();
        in.sample_volume = int(c.u8());
        in.finetune = int(int8_t(c.u8()));
        unsigned type = c.u8();
        in.panning = int(c.u8());
        in.relative_note = int(int8_t(c.u8()));
        in.loop_type = int(type & 3);
        in.sixteen_bit = (type & 0x10) != 0;
        c.at = sh + sample_header;
        if (c.bad || c.at + length > bytes.size())
            return fail(error, "sample data past the end");
        unsigned unit = in.sixteen_bit ? 2 : 1;
        if (length % unit)
            return fail(error, "odd length for 16-bit data");
        in.loop_start = loop_start / unit;
        in.loop_length = loop_length / unit;
        int16_t acc = 0;
        for (uint32_t k = 0; k < length / unit; k++) {
            if (in.sixteen_bit) {
                acc = int16_t(uint16_t(acc) + uint16_t(c.u16()));
                in.data.push_back(acc);
            } else {
                acc = int16_t(int8_t(uint8_t(acc) + uint8_t(c.u8())));
                in.data.push_back(int16_t(acc * 256));
            }
        }
        m->instruments.push_back(std::move(in));
    }
    if (c.bad)
        return fail(error, "file ends early");
    if (c.at != bytes.size())
        return fail(error, "bytes left after the last sample");
    return true;
}

std::vector<PlayedRow> xm_played_rows(const ReadModule &m)
{
    std::vector<PlayedRow> rows;
    double t = 0;
    int speed = m.speed, bpm = m.bpm;
    for (int order : m.orders) {
        const ReadPattern &p = m.patterns[size_t(order)];
        for (int r = 0; r < p.rows; r++) {
            const ReadCell *cells = &p.cells[size_t(r) * size_t(m.channels)];
            for (int ch = 0; ch < m.channels; ch++)
                if (cells[ch].effect == 0x0f && cells[ch].param > 0)
                    (cells[ch].param < 32 ? speed : bpm) = cells[ch].param;
            rows.push_back({cells, t});
            t += speed * 2.5 / bpm;
        }
    }
    rows.push_back({nullptr, t});
    return rows;
}

std::vector<double> xm_order_times(const ReadModule &m, int *jumps)
{
    const std::vector<PlayedRow> rows = xm_played_rows(m);
    std::vector<double> times;
    *jumps = 0;
    size_t at = 0;
    for (int order : m.orders) {
        times.push_back(rows[at].time);
        const ReadPattern &p = m.patterns[size_t(order)];
        for (const ReadCell &cell : p.cells)
            if (cell.effect == 0x0b || cell.effect == 0x0d)
                (*jumps)++;
        at += size_t(p.rows);
    }
    times.push_back(rows.back().time);
    return times;
}

std::vector<uint8_t> read_whole_file(const std::string &path)
{
    std::vector<uint8_t> out;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}
