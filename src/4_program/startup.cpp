#include "4_program/startup.h"
#include "2_screen/main_window.h"

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "1_player/archive_path.h"
#include "1_player/mixer.h"
#include "1_player/module_loader.h"
#include "1_player/settings.h"
#include "1_player/sound_output.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/level_meter.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/command_keys.h"
#include "3_panels/event_loop.h"
#include "3_panels/idle.h"
#include "3_panels/message_box.h"
#include "3_panels/module_loading.h"
#include "3_panels/panel_positions.h"
#include "3_panels/screen_resize.h"
#include "3_playlist/playlist_keys.h"
#include "3_playlist/playlist_lengths.h"
#include "3_playlist/playlist_panel.h"
#include "3_playlist/playlist_playback.h"
#include "3_playlist/playlist_store.h"
#include "4_program/command_arguments.h"
#include "4_program/command_line.h"
#include "4_program/lengths.h"
#include "4_program/main_loop.h"
#include "4_program/remote_client.h"
#include "4_program/mpris.h"
#include "4_program/remote_control.h"
#include "4_program/render.h"
#include "4_program/resume.h"
#include "4_program/shutdown.h"


namespace {

constexpr int kStartupFailure = -1;
constexpr int kEscapeDelayMs = 25;

// Prepares "$HOME/.xq": creates it when it cannot be read, otherwise reads
// the options file a first time for the sound options and refresh_delay.
void prepare_config_dir() {
    if (access(config_dir_path, R_OK) != 0) {
        std::fprintf(stderr, "XQ: Can't access '%s', creating it.\n", config_dir_path);
        mkdir(config_dir_path, S_IRWXU);
    } else {
        read_options(stderr);
    }
}

bool terminal_gone_at_start() { return terminal_input_gone(fileno(stdin)); }

}  // namespace

FailedStartText failed_start_text(int tried) {
    FailedStartText out{};
    const LoadFailure &failure = last_load_failure();
    const int n = std::snprintf(out.text, sizeof out.text, "XQ: Can't load '%s': %s\n", failure.path, failure.reason);
    if (tried > 1 && n > 0 && static_cast<std::size_t>(n) < sizeof out.text)
        std::snprintf(out.text + n, sizeof out.text - static_cast<std::size_t>(n),
                      "XQ: None of the %d modules could be played.\n", tried);
    return out;
}

namespace {

constexpr int kGoOn = 1;
// The status of a command line that is no use, as other command-line tools
// end.
constexpr int kBadCommandLine = 2;

// The options' part of start-up, before anything else: the usage, the
// version, or an argument that is no option of xq in its place ends the run
// here. Returns kGoOn, or the exit status.
int examine_options(int argc, char **argv) {
    int at = 0;
    switch (settling_argument(argc, argv, at)) {
    case ArgumentKind::missing: print_usage(stderr); return kStartupFailure;
    case ArgumentKind::usage: print_usage(stderr); return 0;
    case ArgumentKind::long_help: print_usage(stdout); return 0;
    case ArgumentKind::version: print_version_line(stderr); return 0;
    case ArgumentKind::unknown:
        std::fprintf(stderr, "XQ: Unknown option '%s'.\n", argv[at]);
        print_usage(stderr);
        return kBadCommandLine;
    case ArgumentKind::resume:
    case ArgumentKind::remote:
        std::fprintf(stderr, "XQ: %s comes first, before anything else.\n", argv[at]);
        print_usage(stderr);
        return kBadCommandLine;
    case ArgumentKind::path:
    case ArgumentKind::options_end:
    case ArgumentKind::render_option:
    case ArgumentKind::colors_option: break;
    }
    return kGoOn;
}

// The command line's part of start-up, once it holds no option but "--":
// fills the playlist, or names the one module in `path`. Returns kGoOn, or
// the exit status.
int examine_arguments(int argc, char **argv, const char *&path) {
    const int count = paths_without_options_end(argc, argv);
    if (count == 0) {
        print_usage(stderr);
        return kStartupFailure;
    }
    path = argv[1];
    const ArgumentSort sort = argument_sort(path);
    if (count > 1 || sort == ArgumentSort::directory || sort == ArgumentSort::playlist ||
        sort == ArgumentSort::archive) {
        // A directory's modules are sorted as the file selector sorts them.
        std::setlocale(LC_ALL, "");
        char cwd[kPathCapacity];
        if (!getcwd(cwd, sizeof cwd)) std::snprintf(cwd, sizeof cwd, ".");
        if (add_command_line_files(count, argv + 1, cwd, stderr) == 0) return kStartupFailure;
    } else if (!path_readable(path)) {
        std::fprintf(stderr, "XQ: Can't open '%s'\n", path);
        return kStartupFailure;
    }
    return kGoOn;
}

// The commands from outside the terminal: the control socket's descriptors
// and the session bus's, served at every idle step.
int outside_fds(pollfd *fds, int room) {
    const int count = remote_control_fds(fds, room);
    return count + mpris_fds(fds + count, room - count);
}

void serve_outside() {
    act_on_remote_commands();
    serve_mpris();
}

}  // namespace

int xq_main(int argc, char **argv) {
    ignore_write_signals();
    if (wants_remote(argc, argv)) return remote_main(argc - 2, argv + 2, stdout, stderr);
    if (argc > 1 && std::strcmp(argv[1], "--lengths") == 0) return lengths_main(argc - 2, argv + 2, stdout, stderr);
    const int options = examine_options(argc, argv);
    if (options != kGoOn) return options;
    ColorsOption colors;
    argc = take_colors_option(argc, argv, colors);
    if (colors.bad) {
        if (colors.bad[0] == '\0')
            std::fputs("XQ: --colors takes dark, light or terminal.\n", stderr);
        else
            std::fprintf(stderr, "XQ: --colors takes dark, light or terminal, not '%s'.\n", colors.bad);
        print_usage(stderr);
        return kBadCommandLine;
    }
    SubsongOption subsong;
    argc = take_subsong_option(argc, argv, subsong);
    if (subsong.bad) {
        std::fprintf(stderr, "XQ: --subsong takes a song's number from 1 to %d, or all.\n", kMostSubsongOption);
        print_usage(stderr);
        return kBadCommandLine;
    }
    const bool resuming = wants_resume(argc, argv);
    ResumeStart resume;
    const char *path = nullptr;
    if (resuming) {
        if (argc > 2) {
            std::fputs("XQ: --resume takes no module, playlist or directory.\n", stderr);
            return kStartupFailure;
        }
        if (prepare_resume(resume, stderr) != 0) return kStartupFailure;
        path = resume.path;
    } else {
        if (wants_render(argc, argv)) return render_main(argc, argv, subsong.given ? subsong.number - 1 : 0, subsong.all);
        if (subsong.all) {
            std::fputs("XQ: --subsong all goes with --render.\n", stderr);
            return kBadCommandLine;
        }
        const int status = examine_arguments(argc, argv, path);
        if (status != kGoOn) return status;
    }

    if (build_config_dir_path() != 0) {
        const char *home = std::getenv("HOME");
        if (!home || home[0] == '\0')
            std::fputs("XQ: HOME is not set; it names the directory of the options file.\n", stderr);
        else
            std::fprintf(stderr, "XQ: HOME is too long: the path of the options file must stay within %zu characters.\n",
                         kPathCapacity - 1);
        return kStartupFailure;
    }
    prepare_config_dir();
    // A fresh random playlist order each run.
    seed_shuffle(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
                 (static_cast<std::uint64_t>(getpid()) << 40));

    char sound_error[kPathCapacity];
    if (start_sound(sound_error, sizeof sound_error) != 0) {
        std::fprintf(stderr, "\nXQ: Couln't initialize sound, reason: %s.\n", sound_error);
        std::fputs("    Verify settings in $HOME/.xq/options\n", stderr);
        return kStartupFailure;
    }
    open_mixer();

    std::setlocale(LC_ALL, "");
    SCREEN *screen = newterm(nullptr, stdout, stdin);
    if (!screen) {
        std::fputs("XQ: Can't init ncurses.\n", stderr);
        return kStartupFailure;
    }
    set_term(screen);
    // Until the screen has been suspended and resumed once, ncurses flushes
    // its output at every cursor movement, which turns one update into
    // dozens of small writes; one suspend and resume before anything is
    // drawn makes an update a single write.
    endwin();
    doupdate();
    // An update is never cut short to look for typed keys first: the key
    // loops read keys often enough, and the check costs a system call per
    // changed line.
    typeahead(-1);
    cbreak();
    noecho();
    // Keys are read without waiting: the loops wait in one poll.
    timeout(0);
    curs_set(0);
    keypad(stdscr, TRUE);
    // After Escape, curses waits this long for the rest of a key's escape
    // sequence, and the screen stands still meanwhile: its default of a
    // second would make Escape feel slow.
    if (!std::getenv("ESCDELAY")) set_escdelay(kEscapeDelayMs);
    if (!has_colors()) {
        endwin();
        std::fputs("xq: Terminal doesn't support colors.\n", stderr);
        return kStartupFailure;
    }
    start_color();
    init_color_pairs();
    compute_default_panel_positions();
    read_options(nullptr);
    check_saved_rows(screen_rows());
    if (colors.given) color_scheme = colors.scheme;
    use_color_scheme(color_scheme);
    follow_refresh_delay();

    create_main_window();
    main_window_drawn_for_screen();
    update_panels();
    doupdate();
    save_marker_cells();
    // What the loops wait on and do besides the keys.
    LoopContext loop;
    loop.terminal_fd = fileno(stdin);
    loop.act_on_signals = act_on_signals;
    loop.remote_fds = outside_fds;
    loop.serve_remote = serve_outside;
    loop.playlist_step = playlist_step;
    loop.more_command_keys = kPlaylistKeys;
    set_loop_context(loop);
    // A quit signal during the first load (or its error box) ends the
    // program the usual way.
    install_quit_handlers();
    prepare_wait_signals();

    // Until something plays, a terminal that is gone closes the box of what
    // failed instead of ending the program: a start that plays nothing ends
    // as a failed one, whatever standard input is.
    // The playlist's lengths are measured by this program, run aside.
    char self[kPathCapacity];
    const ssize_t self_length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (self_length > 0) {
        self[self_length] = '\0';
        set_length_program(self);
    }
    if (playlist_count > 0) {
        measure_playlist_lengths();
        if (start_command_line_playlist(resume.entry, terminal_gone_at_start) != 0)
            leave_after_failed_start(failed_start_text(playlist_count).text);
    } else {
        loading_popup(1);
        if (load_module(path, terminal_gone_at_start, subsong.given ? subsong.number - 1 : 0) != 0)
            leave_after_failed_start(failed_start_text(1).text);
        loading_popup(0);
    }
    watch_terminal_input(fileno(stdin));

    if (resuming && (!resume.playlist || playlist_index == resume.entry)) resume_song_position(resume.position);

    draw_driver_line();
    draw_channel_table();
    draw_status_row();
    update_panels();
    doupdate();

    // A second xq plays on without the remote control, and says so.
    char remote_message[2 * kPathCapacity];
    if (open_remote_control(remote_message, sizeof remote_message) != 0) message_box(remote_message, kMessageNotice);
    open_mpris();

    run_main_loop();
}
