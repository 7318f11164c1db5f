// bench_engine3d.cpp: each triangle filler on a screen covered with
// triangles, the radix depth sort of 10000 pairs and the wireframe of a
// 1000-triangle object.
#include "engine3d.h"
#include "gfx2d.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// 20 x 15 cells of 16 x 16 pixels, two triangles each: the whole 320 x 240.
struct ScreenOfTriangles {
    std::vector<uint8_t> frame = std::vector<uint8_t>(320 * 240);
    std::vector<ScreenTriangle> tris;
    std::vector<TexCoords> uvs;
    std::vector<TriangleShading> shades;
    std::vector<uint8_t> tex = std::vector<uint8_t>(256 * 256);
    ShadeTable table;
    ScreenOfTriangles()
    {
        render_set_target(frame.data(), 320, 240);
        for (int y = 0; y < 240; y += 16)
            for (int x = 0; x < 320; x += 16) {
                tris.push_back(ScreenTriangle{x, y, x + 16, y, x, y + 16});
                tris.push_back(ScreenTriangle{x + 16, y, x + 16, y + 16, x, y + 16});
                uvs.push_back(TexCoords{0, 0, 63, 0, 0, 63});
                uvs.push_back(TexCoords{63, 0, 63, 63, 0, 63});
                shades.push_back(TriangleShading{5, 300, 40, 320, 20, 340});
                shades.push_back(TriangleShading{40, 320, 60, 360, 20, 340});
            }
        for (size_t i = 0; i < tex.size(); i++)
            tex[i] = (uint8_t)(i * 7);
        for (int l = 0; l < 64; l++)
            for (int c = 0; c < 256; c++)
                table.level[l][c] = (uint8_t)(l ^ c);
    }
};

template <int FILLER, int TEX_WIDTH>
void BM_Filler(benchmark::State &state)
{
    ScreenOfTriangles s;
    for (auto _ : state) {
        for (size_t i = 0; i < s.tris.size(); i++) {
            const ScreenTriangle *xy = &s.tris[i];
            const TexCoords *uv = &s.uvs[i];
            const TriangleShading *sh = &s.shades[i];
            switch (FILLER) {
            case 0: tri_fill_flat(xy, (unsigned)i); break;
            case 1: tri_fill_gouraud(xy, sh); break;
            case 2: tri_fill_gouraud_shaded(xy, sh, 7, &s.table); break;
            case 3: tri_fill_affine(s.tex.data(), TEX_WIDTH, xy, uv); break;
            case 4: tri_fill_affine_shaded(s.tex.data(), TEX_WIDTH, xy, uv, sh, &s.table); break;
            case 5: tri_fill_perspective(s.tex.data(), TEX_WIDTH, xy, uv, sh); break;
            case 6: tri_fill_perspective_shaded(s.tex.data(), TEX_WIDTH, xy, uv, sh, &s.table); break;
            }
        }
        benchmark::DoNotOptimize(s.frame.data());
    }
    state.SetItemsProcessed(state.iterations() * 320 * 240);
    state.counters["triangles"] = (double)s.tris.size();
}

BENCHMARK_TEMPLATE(BM_Filler, 0, 0)->Name("tri_fill_flat");
BENCHMARK_TEMPLATE(BM_Filler, 1, 0)->Name("tri_fill_gouraud");
BENCHMARK_TEMPLATE(BM_Filler, 2, 0)->Name("tri_fill_gouraud_shaded");
BENCHMARK_TEMPLATE(BM_Filler, 3, 64)->Name("tri_fill_affine/64");
BENCHMARK_TEMPLATE(BM_Filler, 3, 100)->Name("tri_fill_affine/any");
BENCHMARK_TEMPLATE(BM_Filler, 4, 64)->Name("tri_fill_affine_shaded/64");
BENCHMARK_TEMPLATE(BM_Filler, 5, 64)->Name("tri_fill_perspective/64");
BENCHMARK_TEMPLATE(BM_Filler, 5, 100)->Name("tri_fill_perspective/any");
BENCHMARK_TEMPLATE(BM_Filler, 6, 64)->Name("tri_fill_perspective_shaded/64");

void BM_SortByDepth(benchmark::State &state)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> key(0, 0x7FFF);
    std::vector<DepthPair> input(10000), pairs(10000);
    for (auto &p : input)
        p = DepthPair{key(rng), nullptr};
    for (auto _ : state) {
        state.PauseTiming();
        pairs = input;
        state.ResumeTiming();
        render_sort_by_depth(pairs.data(), 10000);
        benchmark::DoNotOptimize(pairs.data());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_SortByDepth)->Name("render_sort_by_depth/10000");

// 1000 random facing triangles already projected, sorted and outlined.
void BM_Wireframe(benchmark::State &state)
{
    Object3D *obj = nullptr;
    if (object_alloc(&obj, 600, 1000) != 0) {
        state.SkipWithError("cannot allocate");
        return;
    }
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> x(-150, 150), y(-110, 110), z(100, 900);
    for (int i = 0; i < 600; i++) {
        std::memset(&obj->vertices[i], 0, sizeof(Vertex3D));
        obj->vertices[i].view = Vec4{x(rng), y(rng), z(rng), 1};
    }
    for (int i = 0; i < 1000; i++) {
        std::memset(&obj->triangles[i], 0, sizeof(Triangle3D));
        obj->triangles[i].a = (i * 7) % 600;
        obj->triangles[i].b = (i * 13 + 1) % 600;
        obj->triangles[i].c = (i * 29 + 2) % 600;
        obj->triangles[i].colour = (uint8_t)i;
        obj->triangles[i].visible = 1;
    }
    Image *img = nullptr;
    image_create(&img, 320, 240);
    for (auto _ : state) {
        render_wireframe(img, obj, 160, 120, 1, 1);
        benchmark::DoNotOptimize(img->pixels);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    image_destroy(&img);
    object_free(&obj);
}
BENCHMARK(BM_Wireframe)->Name("render_wireframe/1000");

}  // namespace
