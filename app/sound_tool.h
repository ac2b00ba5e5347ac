#pragma once
// The sound of an exported video. The video library writes pictures only, so
// the sound of the input is put beside the exported pictures afterwards by
// the `ffmpeg` program (Debian's package of that name, which also brings
// `ffprobe` to look for sound): the pictures are copied as they are, the
// sound is copied when the container takes its format and re-encoded
// otherwise (AAC in MP4, 16-bit PCM in AVI).
//
// Usage:
//   const SoundTools tools = find_sound_tools();         // empty when missing
//   SoundPlan plan;
//   if (!plan_sound(tools, "in.mp4", Container::Avi, stop, &plan, &why)) ...
//   if (plan.has_sound) add_sound(tools, plan, "pictures.avi", "in.mp4", "out.avi", stop, &why);
//
// Both programs run as child processes; an interrupt seen in `*stop` ends
// them at once.
//
// Threads: one thread at a time.

#include <atomic>
#include <string>

#include "output_file.h"

namespace depth {

struct SoundTools {
    std::string ffmpeg, ffprobe;  // full paths, or empty when not on PATH
    bool found() const { return !ffmpeg.empty() && !ffprobe.empty(); }
};

// Looks for both programs on PATH.
SoundTools find_sound_tools();

struct SoundPlan {
    bool has_sound = false;  // the input has at least one audio stream
    bool copy = false;       // every audio stream goes into the container as it is
};

enum class ToolResult { Done, Failed, Interrupted };

// What the input's audio streams are and how they fit the container.
ToolResult plan_sound(const SoundTools& tools, const char* input, Container container,
                      const std::atomic<int>* stop, SoundPlan* plan, std::string* why);

// Writes `output`: the pictures of `pictures` with the sound of `input`.
ToolResult add_sound(const SoundTools& tools, const SoundPlan& plan, const std::string& pictures,
                     const char* input, const std::string& output, Container container,
                     const std::atomic<int>* stop, std::string* why);

}  // namespace depth
