#include "1_player/module_info.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "1_player/loaded_module.h"
#include "1_player/track_decoder.h"

static_assert(kSample16Bits == SF_16BITS && kSampleStereo == SF_STEREO && kSampleSigned == SF_SIGNED &&
              kSampleBigEndian == SF_BIG_ENDIAN && kSampleDelta == SF_DELTA && kSampleItPacked == SF_ITPACKED &&
              kSampleLoop == SF_LOOP && kSampleBidi == SF_BIDI && kSampleReverse == SF_REVERSE &&
              kSampleOwnPan == SF_OWNPAN);

int pattern_at(const ModuleInfo &m, int position) {
    if (position < 0 || position >= static_cast<int>(m.order.size())) return -1;
    return m.order[static_cast<std::size_t>(position)];
}

int rows_of_pattern(const ModuleInfo &m, int pattern) {
    if (pattern < 0 || pattern >= static_cast<int>(m.pattern_rows.size())) return 0;
    return m.pattern_rows[static_cast<std::size_t>(pattern)];
}

const char *file_name_of(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

namespace {

std::string text_of(const CHAR *text) { return text ? std::string(text) : std::string(); }

// The patterns and their tracks. The library records no track's length: a
// track is copied up to its end byte, or as far as the longest pattern's
// rows reach, whichever comes first.
void copy_patterns(const MODULE &m, ModuleInfo &info) {
    if (m.positions) info.order.assign(m.positions, m.positions + m.numpos);
    if (!m.pattrows || !m.patterns || !m.tracks) return;
    info.pattern_rows.assign(m.pattrows, m.pattrows + m.numpat);
    info.pattern_tracks.assign(m.patterns, m.patterns + static_cast<std::size_t>(m.numpat) * m.numchn);
    const int longest = m.numpat > 0 ? *std::max_element(m.pattrows, m.pattrows + m.numpat) : 0;
    info.tracks.resize(m.numtrk);
    for (int t = 0; t < m.numtrk; ++t) {
        const std::uint8_t *track = m.tracks[t];
        if (!track) continue;
        info.tracks[static_cast<std::size_t>(t)].assign(track, track + track_extent(track, longest));
    }
}

void copy_records(const MODULE &m, ModuleInfo &info) {
    if (m.instruments) {
        info.instruments.reserve(m.numins);
        for (int i = 0; i < m.numins; ++i) {
            const INSTRUMENT &in = m.instruments[i];
            info.instruments.push_back({text_of(in.insname), in.flags, in.panning, in.globvol});
        }
    }
    if (m.samples) {
        info.samples.reserve(m.numsmp);
        for (int i = 0; i < m.numsmp; ++i) {
            const SAMPLE &s = m.samples[i];
            // The library keeps a finetuned speed below zero in its unsigned field.
            info.samples.push_back({text_of(s.samplename), s.flags, static_cast<unsigned long>(s.length), s.panning,
                                    static_cast<long>(static_cast<std::int32_t>(s.speed)), s.volume, s.globvol});
        }
    }
}

}  // namespace

ModuleInfoPtr describe_module(const MODULE &m, const char *path, long long bytes, std::uint64_t load_number,
                              const char *archive, std::vector<SongLength> songs) {
    auto info = std::make_shared<ModuleInfo>();
    info->load_number = load_number;
    info->path = path ? path : "";
    info->archive = archive ? archive : "";
    info->bytes = bytes;
    info->title = text_of(m.songname);
    info->type = text_of(m.modtype);
    info->has_comment = m.comment != nullptr;
    info->comment = text_of(m.comment);
    info->channels = m.numchn;
    info->positions = m.numpos;
    info->instrument_count = m.numins;
    info->sample_count = m.numsmp;
    info->high_bpm = (m.flags & UF_HIGHBPM) != 0;
    info->initial_bpm = m.bpm;
    info->initial_speed = m.sngspd;
    info->initial_tempo = m.inittempo;
    info->initial_volume = m.initvolume;
    copy_patterns(m, *info);
    copy_records(m, *info);
    info->songs = std::move(songs);
    return info;
}

int current_pattern_number(const MODULE &m) {
    if (m.sngpos < 0 || m.sngpos >= m.numpos || !m.positions) return m.numpos;
    return m.positions[m.sngpos] + 1;
}

bool song_has_ended(const MODULE &m) { return !m.wrap && m.sngpos >= m.numpos; }

int song_voice_count(const MODULE &m) { return m.numvoices ? m.numvoices : m.numchn; }
