// main.cpp: the show's script. Start-up questions, display, tables and
// images, every part's load before the music starts, the eight runs in
// their fixed order, then an orderly shutdown.
#include "skarn.h"
#include "../engine3d/engine3d.h"
#include "../parts/parts.h"

static const char *const show_title = "skarn for LINUX by velk";

int main(int argc, char **argv)
{
    Image *frame_image = nullptr;

    show_open_standard_files();
    show_install_stop_handlers();
    printf("*** %s *** \n", show_title);
    sound_setup();
    display_open(argc, argv, show_title, 320, 240);
    trig_build_tables();
    random_seed();

    if (image_create(&work_image_a, 320, 240) != 0 || image_create(&work_image_b, 320, 240) != 0 ||
        image_create(&frame_image, 320, 240) != 0)
        show_fatal("Cann't allocate image!\n", -1);

    render_set_target(frame_image->pixels, frame_image->width, frame_image->height);
    music_load("music/skarn.xm");

    // Load phase: everything is in memory before the music starts.
    blank_screen(frame_image);
    part1_load();
    blank_screen(frame_image);
    part2_load("grafika/1/hatter04.pcx", 1, 1);
    blank_screen(frame_image);
    part3_load();
    blank_screen(frame_image);
    part4_load("grafika/4/news1.pcx", "grafika/3/eger2.pcx", "grafika/3/eger3.pcx");
    blank_screen(frame_image);
    part5_load();
    blank_screen(frame_image);
    part6_load();
    blank_screen(frame_image);
    part7_load();

    music_start();

    // Show phase, paced by the clock. Part 3 dissolves part 2's last frame,
    // so nothing is blanked between them; part 5 runs before part 4.
    blank_screen(frame_image);
    part1_run(frame_image, 217);
    blank_screen(frame_image);
    part2_run(frame_image, 245);
    part3_run(frame_image, 27, 0);
    blank_screen(frame_image);
    part5_run(frame_image);
    blank_screen(frame_image);
    part4_run(frame_image, 165);
    blank_screen(frame_image);
    part6_run(frame_image, 106);
    blank_screen(frame_image);
    part7_run(frame_image);
    blank_screen(frame_image);
    part8_run(frame_image, 20, 20, "grafika/5/grimfall.pcx");
    blank_screen(frame_image);

    music_stop();
    sound_shutdown();
    part1_free();
    part2_free();
    part3_free();
    part4_free();
    part5_free();
    part6_free();
    part7_free();
    image_destroy(&frame_image);
    display_close();
    image_destroy(&work_image_a);
    image_destroy(&work_image_b);

    printf("------------------- Skarn ------------------\n");
    printf("- Grimfall - '99 - On The CONTEST - Hungary -\n");
    printf("--------- a software show by velk ---------\n\n");
    // A stop that came during the shutdown still ends the process by its signal.
    show_check_stop();
    return 0;
}
