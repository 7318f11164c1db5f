// vm_screen_checks.cpp: reading screens and pictures, and the checks the VM
// tests make of them (see vm_screen.h).
#include "vm_screen.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

static bool read_file(const std::string &path, std::string *bytes)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream s;
    s << f.rdbuf();
    *bytes = s.str();
    return true;
}

static uint32_t rgb_at(const uint8_t *p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }
static uint32_t pixel(const Shot &s, int x, int y) { return rgb_at(&s.rgb[3 * (size_t(y) * s.w + x)]); }

bool shot_parse_ppm(const std::string &b, Shot *out)
{
    // "P6", width, height, maxval, each after white space (or a comment),
    // then one white-space byte and the pixels.
    size_t at = 2;
    long v[3];
    if (b.compare(0, 2, "P6") != 0)
        return false;
    for (long &n : v) {
        for (;;) {
            while (at < b.size() && isspace((unsigned char)b[at]))
                at++;
            if (at < b.size() && b[at] == '#')
                at = b.find('\n', at);
            else
                break;
            if (at == std::string::npos)
                return false;
        }
        if (at >= b.size() || !isdigit((unsigned char)b[at]))
            return false;
        n = 0;
        while (at < b.size() && isdigit((unsigned char)b[at]) && n < 100000)
            n = n * 10 + (b[at++] - '0');
    }
    if (v[0] < 1 || v[1] < 1 || v[0] > 16384 || v[1] > 16384 || v[2] != 255 || at >= b.size() ||
        !isspace((unsigned char)b[at]))
        return false;
    const size_t size = size_t(v[0]) * v[1] * 3;
    if (b.size() - at - 1 < size)
        return false;
    out->w = int(v[0]);
    out->h = int(v[1]);
    out->rgb.assign(b.begin() + at + 1, b.begin() + at + 1 + size);
    return true;
}

bool shot_read_ppm(const std::string &path, Shot *out)
{
    std::string b;
    return read_file(path, &b) && shot_parse_ppm(b, out);
}

bool shot_parse_pcx(const std::string &b, Shot *pic, std::vector<uint8_t> *palette)
{
    // 128-byte header; 256-colour palette in the last 769 bytes (0x0c, then
    // 768 bytes of RGB).
    if (b.size() < 128 + 769 || b[0] != 0x0a || b[2] != 1 || b[3] != 8 || b[65] != 1 ||
        b[b.size() - 769] != 0x0c)
        return false;
    auto u16 = [&](size_t at) { return int((uint8_t)b[at] | (uint8_t)b[at + 1] << 8); };
    const int w = u16(8) - u16(4) + 1, h = u16(10) - u16(6) + 1, line = u16(66);
    if (w < 1 || h < 1 || line < w)
        return false;
    const uint8_t *pal = (const uint8_t *)b.data() + b.size() - 768;
    if (palette)
        palette->assign(pal, pal + 768);
    if (!pic)
        return true;
    pic->w = w;
    pic->h = h;
    pic->rgb.assign(size_t(w) * h * 3, 0);
    size_t at = 128;
    const size_t end = b.size() - 769;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < line;) {
            if (at >= end)
                return false;
            int run = 1, c = (uint8_t)b[at++];
            if (c >= 0xc0) {
                if (at >= end)
                    return false;
                run = c & 0x3f;
                c = (uint8_t)b[at++];
            }
            for (; run > 0 && x < line; run--, x++)
                if (x < w)
                    memcpy(&pic->rgb[3 * (size_t(y) * w + x)], pal + 3 * c, 3);
        }
    }
    return true;
}

bool shot_read_pcx(const std::string &path, Shot *pic, std::vector<uint8_t> *palette)
{
    std::string b;
    return read_file(path, &b) && shot_parse_pcx(b, pic, palette);
}

// A 6-bit DAC component as qemu widens it to 8 bits: v << 2, the low bit
// copied into the two new ones.
static int dac_widen(int v) { return v * 4 + (v % 2) * 3; }

static bool parse_box(const std::string &s, Check *c)
{
    char tail;
    return sscanf(s.c_str(), "%dx%d+%d+%d%c", &c->w, &c->h, &c->x, &c->y, &tail) == 4 && c->w > 0 && c->h > 0 &&
           c->x >= 0 && c->y >= 0;
}
static bool parse_size(const std::string &s, Check *c)
{
    char tail;
    return sscanf(s.c_str(), "%dx%d%c", &c->w, &c->h, &tail) == 2;
}

static std::string printed(const char *fmt, double a, double b = 0)
{
    char line[200];
    snprintf(line, sizeof line, fmt, a, b);
    return line;
}

static size_t count_colour(const Shot &s, uint32_t colour)
{
    size_t n = 0;
    for (size_t i = 0; i < s.rgb.size(); i += 3)
        n += rgb_at(&s.rgb[i]) == colour;
    return n;
}

static std::unordered_set<uint32_t> colours_in(const Shot &s, int x0, int y0, int x1, int y1)
{
    std::unordered_set<uint32_t> seen;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++)
            seen.insert(pixel(s, x, y));
    return seen;
}

static bool box_fits(const Check &c, const Shot &s, std::string *account)
{
    if (c.x + c.w <= s.w && c.y + c.h <= s.h)
        return true;
    *account = "the screen is smaller than the box";
    return false;
}

static bool check_part(const Check &c, const Shot &s, std::string *account)
{
    if (s.w != c.w || s.h != c.h) {
        *account = "the screen is " + std::to_string(s.w) + "x" + std::to_string(s.h);
        return false;
    }
    const auto seen = colours_in(s, 0, 0, s.w, s.h);
    size_t foreign = 0;
    for (uint32_t col : seen)
        foreign += !std::binary_search(c.colours.begin(), c.colours.end(), col);
    const size_t corner = colours_in(s, s.w - s.w / 4, s.h - s.h / 4, s.w, s.h).size();
    *account = std::to_string(seen.size()) + " colours, " + std::to_string(foreign) + " not in the palette, " +
               std::to_string(corner) + " in the bottom right quarter";
    return seen.size() >= 32 && foreign == 0 && corner >= 8;
}

static bool check_frame(const Check &c, const Shot &s, std::string *account)
{
    if (!box_fits(c, s, account))
        return false;
    auto inside = [&](int x, int y) { return x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h; };
    std::unordered_set<uint32_t> outside;
    for (int y = 0; y < s.h && outside.size() < 2; y++)
        for (int x = 0; x < s.w; x++)
            if (!inside(x, y))
                outside.insert(pixel(s, x, y));
    if (outside.size() > 1) {
        *account = "drawn outside the box";
        return false;
    }
    // Each colour once: a frame holds a few hundred.
    std::unordered_map<uint32_t, size_t> histogram;
    for (int y = c.y; y < c.y + c.h; y++)
        for (int x = c.x; x < c.x + c.w; x++)
            histogram[pixel(s, x, y)]++;
    const double total = double(c.w) * c.h;
    const int tol = int(c.n);
    size_t lit = 0;
    for (auto [col, n] : histogram)
        if ((col >> 16) > 32 || (col >> 8 & 255) > 32 || (col & 255) > 32)
            lit += n;
    double best = 0;
    for (const auto &pal : c.palettes) {
        size_t fit = 0;
        for (auto [col, n] : histogram) {
            const int r = col >> 16, g = col >> 8 & 255, b = col & 255;
            for (int i = 0; i < 256; i++)
                if (abs(r - pal[3 * i]) <= tol && abs(g - pal[3 * i + 1]) <= tol && abs(b - pal[3 * i + 2]) <= tol) {
                    fit += n;
                    break;
                }
        }
        best = std::max(best, fit / total);
    }
    *account = printed("%.1f%% in the palette, %.1f%% lit", 100 * best, 100 * lit / total);
    return best >= 0.99 && lit >= 0.2 * total;
}

// Text rows of 16 pixels, compared whole: a console scrolled by some rows
// still matches where its rows line up.
static bool check_text_of(const Shot &s, const Shot &ref, std::string *account)
{
    const size_t row = size_t(s.w) * 16 * 3;
    auto rows = [&](const Shot &p) {
        std::vector<std::string> r;
        if (p.w == s.w)
            for (int y = 0; y + 16 <= p.h; y += 16)
                r.emplace_back((const char *)&p.rgb[size_t(y) * p.w * 3], row);
        return r;
    };
    const auto shot = rows(s), want = rows(ref);
    const std::string blank(row, '\0');
    size_t longest = 0;
    for (size_t i = 0; i < shot.size(); i++)
        for (size_t j = 0; j < want.size(); j++) {
            size_t k = 0, lit = 0;
            while (i + k < shot.size() && j + k < want.size() && shot[i + k] == want[j + k])
                lit += want[j + k] != blank, k++;
            longest = std::max(longest, k);
            if (k >= 12 && lit >= 8) {
                *account = std::to_string(k) + " text rows as the reference shows them";
                return true;
            }
        }
    *account = "at most " + std::to_string(longest) + " text rows alike (of them too few lit)";
    return false;
}

static bool check_doubled(const Shot &s, std::string *account)
{
    // Each pixel against its block's bottom right pixel.
    int rows = 0;
    for (int y = 0; y < s.h; y++) {
        const int by = std::min(y | 1, s.h - 1);
        for (int x = 0; x < s.w; x++)
            if (pixel(s, x, y) != pixel(s, std::min(x | 1, s.w - 1), by)) {
                rows++;
                break;
            }
    }
    *account = std::to_string(rows) + " rows with pixels that differ from their 2x2 block";
    return rows <= 1;
}

bool check_prepare(const std::vector<std::string> &args, Check *c, std::string *why)
{
    *c = Check();
    c->name = args.empty() ? "" : args[0];
    const std::string &name = c->name;
    const size_t n = args.size();
    std::vector<uint8_t> pal;
    bool ok = false;
    if (name == "size" && n == 2)
        ok = parse_size(args[1], c);
    else if (name == "part" && n == 3 && parse_size(args[1], c) && shot_read_pcx(args[2], nullptr, &pal)) {
        for (int i = 0; i < 256; i++)
            c->colours.push_back(uint32_t(dac_widen(pal[3 * i] / 4)) << 16 | dac_widen(pal[3 * i + 1] / 4) << 8 |
                                 dac_widen(pal[3 * i + 2] / 4));
        std::sort(c->colours.begin(), c->colours.end());
        ok = true;
    } else if (name == "frame" && n >= 4 && parse_box(args[1], c)) {
        c->n = atol(args[2].c_str());
        c->palettes.resize(n - 3);
        ok = true;
        for (size_t i = 3; i < n; i++)
            ok = ok && shot_read_pcx(args[i], nullptr, &c->palettes[i - 3]);
    } else if (name == "blank" && n == 2)
        ok = parse_box(args[1], c);
    else if ((name == "text" || name == "doubled") && n == 1)
        ok = true;
    else if (name == "grey" && n == 2) {
        c->n = atol(args[1].c_str());
        ok = true;
    } else if (name == "text-of" && n == 2)
        ok = shot_read_ppm(args[1], &c->ref);
    if (!ok)
        *why = "cannot check " + (name.empty() ? std::string("nothing") : name) + " with these arguments";
    return ok;
}

bool check_judge(const Check &c, const Shot &s, std::string *account)
{
    if (c.name == "size") {
        *account = "the screen is " + std::to_string(s.w) + "x" + std::to_string(s.h);
        return s.w == c.w && s.h == c.h;
    }
    if (c.name == "part")
        return check_part(c, s, account);
    if (c.name == "frame")
        return check_frame(c, s, account);
    if (c.name == "blank") {
        if (!box_fits(c, s, account))
            return false;
        const size_t n = colours_in(s, c.x, c.y, c.x + c.w, c.y + c.h).size();
        *account = std::to_string(n) + " colours in the box";
        return n == 1;
    }
    if (c.name == "text") {
        const size_t n = colours_in(s, 0, 0, s.w, s.h).size(), grey = count_colour(s, 0xaaaaaa);
        *account = std::to_string(n) + " colours, " + std::to_string(grey) + " grey pixels";
        return n == 2 && grey > 100;
    }
    if (c.name == "grey") {
        const size_t grey = count_colour(s, 0xaaaaaa);
        *account = std::to_string(grey) + " grey pixels";
        return grey > size_t(c.n);
    }
    if (c.name == "text-of")
        return check_text_of(s, c.ref, account);
    return check_doubled(s, account);
}

// A component c at fade level k as the show computes it (c * k / 20 in
// 16.16 fixed point, 3276 being 65536 / 20), then as the 6-bit DAC holds it.
static int fade_level(int c, int k) { return dac_widen(((c * k * 3276) >> 16) >> 2); }

void closing_prepare(const Shot &pic, Closing *c)
{
    c->picture = pic;
    std::unordered_set<uint32_t> colours;
    for (size_t i = 0; i < pic.rgb.size(); i += 3)
        colours.insert(rgb_at(&pic.rgb[i]));
    c->want.assign(20, {});
    c->fits.assign(20, {});
    for (int k = 0; k < 20; k++) {
        for (uint32_t col : colours) {
            const uint32_t faded = uint32_t(fade_level(col >> 16, k + 1)) << 16 |
                                   fade_level(col >> 8 & 255, k + 1) << 8 | fade_level(col & 255, k + 1);
            c->want[k].emplace_back(col, faded);
            c->fits[k].push_back(faded);
        }
        std::sort(c->want[k].begin(), c->want[k].end());
        std::sort(c->fits[k].begin(), c->fits[k].end());
    }
}

const char *closing_judge(const Closing &c, const Shot &s)
{
    const Shot &pic = c.picture;
    if (s.w != 2 * pic.w || s.h != 2 * pic.h)
        return "other";
    std::unordered_set<uint32_t> shown;
    for (int y = 0; y < pic.h; y++)
        for (int x = 0; x < pic.w; x++)
            shown.insert(pixel(s, 2 * x, 2 * y));
    if (shown.size() < 32)
        return "other";
    for (int k = 0; k < 20; k++) {
        const auto &fits = c.fits[k];
        if (!std::all_of(shown.begin(), shown.end(),
                         [&](uint32_t col) { return std::binary_search(fits.begin(), fits.end(), col); }))
            continue;
        const auto &want = c.want[k];
        size_t same = 0;
        for (int y = 0; y < pic.h; y++)
            for (int x = 0; x < pic.w; x++) {
                const auto it = std::lower_bound(want.begin(), want.end(), std::make_pair(pixel(pic, x, y), 0u));
                same += it->second == pixel(s, 2 * x, 2 * y);
            }
        return same >= 0.99 * pic.w * pic.h ? "in-place" : "moved";
    }
    return "other";
}
