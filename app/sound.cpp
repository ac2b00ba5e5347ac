#include "sound.h"

namespace depth {

// Placeholder until the libraries' sound path lands: no stream is added.
struct SoundTrack::State {};

SoundTrack::SoundTrack() = default;
SoundTrack::~SoundTrack() = default;

bool SoundTrack::add_streams(const std::string&, AVFormatContext*, Container, std::string*) {
    return true;
}
bool SoundTrack::has_sound() const {
    return false;
}
bool SoundTrack::write_until(AVFormatContext*, double, std::string*) {
    return true;
}
bool SoundTrack::finish(AVFormatContext*, std::string*) {
    return true;
}

}  // namespace depth
