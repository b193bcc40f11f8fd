#include "4_program/lengths.h"

#include <vector>

#include "1_player/settings.h"
#include "1_player/song_lengths.h"

int lengths_main(int count, char *const *paths, std::FILE *out, std::FILE *errors) {
    if (count < 1) {
        std::fputs("XQ: --lengths needs at least one module.\n", errors);
        return -1;
    }
    char message[kPathCapacity];
    if (start_length_library(message, sizeof message) != 0) {
        std::fprintf(errors, "XQ: %s.\n", message);
        return 1;
    }
    int status = 0;
    for (int i = 0; i < count; ++i) {
        std::vector<long long> lengths;
        std::fputs(paths[i], out);
        if (module_song_lengths(paths[i], lengths, message, sizeof message) != 0) {
            std::fputs("\t?\n", out);
            std::fprintf(errors, "XQ: Can't load '%s': %s\n", paths[i], message);
            status = 1;
            continue;
        }
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            std::fputc(s == 0 ? '\t' : ' ', out);
            if (lengths[s] < 0)
                std::fputc('-', out);
            else
                std::fprintf(out, "%lld", lengths[s]);
        }
        std::fputc('\n', out);
        std::fflush(out);
    }
    stop_length_library();
    return status;
}
