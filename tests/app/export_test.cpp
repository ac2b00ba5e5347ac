// kaplo-depth's export without the command line: each layout against the
// "cross" output, exactly on the conversion's own images and within the
// codec's error on a generated video exported through the whole pipeline;
// pictures of odd and tiny sizes, which every codec takes only padded; the
// hand-over ring between the pipeline's threads; the sound written by
// FFmpeg's libraries into each container.

#include <gtest/gtest.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <random>
#include <thread>
#include <vector>

#include "app/depth_export.h"
#include "app/depth_program.h"
#include "app/frame_ring.h"
#include "app/player_status.h"
#include "app/sound.h"
#include "app/stereo_layout.h"

// The framework library asks for a user program's routines; exports never
// start the framework.
void UserInit() {}
void UserMain() {}

namespace {

namespace fs = std::filesystem;
using depth::Layout;

// Each layout made from the cross output's halves: `shifted` (its left half,
// the right eye's view) and `frame` (its right half).
cv::Mat expected_from_cross(Layout layout, const cv::Mat& cross) {
    const int w = cross.cols / 2;
    const cv::Mat shifted = cross.colRange(0, w), frame = cross.colRange(w, 2 * w);
    cv::Mat out;
    switch (layout) {
        case Layout::Cross:
            out = cross.clone();
            break;
        case Layout::Sbs:
            cv::hconcat(frame, shifted, out);
            break;
        case Layout::HalfSbs:
            cv::hconcat(frame, shifted, out);
            cv::resize(out, out, cv::Size(w, cross.rows), 0, 0, cv::INTER_AREA);
            break;
        case Layout::Tb:
            cv::vconcat(frame, shifted, out);
            break;
        case Layout::Anaglyph: {
            std::vector<cv::Mat> s, f;
            cv::split(shifted, s);
            cv::split(frame, f);
            cv::merge(std::vector<cv::Mat>{s[0], s[1], f[2]}, out);
            break;
        }
        case Layout::Depth: {  // the brightest component of the frame, grey
            std::vector<cv::Mat> f;
            cv::split(frame, f);
            cv::Mat v = cv::max(cv::max(f[0], f[1]), f[2]);
            cv::merge(std::vector<cv::Mat>{v, v, v}, out);
            break;
        }
    }
    return out;
}

constexpr Layout kLayouts[] = {Layout::Cross, Layout::Sbs,      Layout::HalfSbs,
                               Layout::Tb,    Layout::Anaglyph, Layout::Depth};

double mean_difference(const cv::Mat& a, const cv::Mat& b) {
    cv::Mat d;
    cv::absdiff(a, b, d);
    const cv::Scalar m = cv::mean(d);
    return (m[0] + m[1] + m[2]) / 3;
}

TEST(StereoLayout, EachLayoutIsTheCrossViewRearranged) {
    // Images 1 and 2 of a 6 x 4 frame, as the conversion leaves them.
    const int w = 6, h = 4;
    std::mt19937 rng(3);
    std::vector<uint32_t> depth(size_t(w) * h), conv(size_t(2 * w) * h);
    for (auto& p : depth) p = (rng() & 255) * 0x010101u;
    for (auto& p : conv) p = rng() & 0xFFFFFF;
    cv::Mat scratch, cross, out;
    depth::compose_layout(Layout::Cross, depth.data(), conv.data(), w, h, &scratch, &cross);
    ASSERT_EQ(cross.size(), cv::Size(2 * w, h));
    EXPECT_EQ(cross.at<cv::Vec3b>(1, 2),
              cv::Vec3b(conv[14] & 255, (conv[14] >> 8) & 255, (conv[14] >> 16) & 255));
    for (Layout layout : kLayouts) {
        SCOPED_TRACE(depth::layout_name(layout));
        depth::compose_layout(layout, depth.data(), conv.data(), w, h, &scratch, &out);
        ASSERT_EQ(out.size(), depth::layout_size(layout, w, h));
        ASSERT_EQ(out.type(), CV_8UC3);
        cv::Mat expected = expected_from_cross(layout, cross);
        if (layout == Layout::Depth)  // from image 1 itself, not from the frame
            cv::cvtColor(cv::Mat(h, w, CV_8UC4, depth.data()), expected, cv::COLOR_BGRA2BGR);
        EXPECT_EQ(cv::norm(out, expected, cv::NORM_INF), 0);
    }
}

TEST(FrameRing, HandsOverInOrderAndNeverHoldsMoreThanItsSlots) {
    depth::FrameRing ring(3, nullptr);
    std::atomic<int> published{0}, taken{0}, most_ahead{0};
    std::thread producer([&] {
        for (int i = 0; i < 500; ++i) {
            cv::Mat* slot = ring.free_slot();
            ASSERT_NE(slot, nullptr);
            slot->create(1, 1, CV_32S);
            slot->at<int>(0) = i;
            ring.publish();
            most_ahead = std::max(most_ahead.load(), ++published - taken);
        }
        ring.finish();
    });
    int expected = 0;
    while (cv::Mat* m = ring.next()) {
        EXPECT_EQ(m->at<int>(0), expected++);
        ++taken;
        ring.release();
    }
    producer.join();
    EXPECT_EQ(expected, 500);
    EXPECT_LE(most_ahead, 3);
}

// Exports the sound of `input` into `output`; its audio streams' codecs and
// the time the first one ends, by its packets' times and durations.
void sound_only(const std::string& input, const std::string& output,
                std::vector<std::string>* codecs, double* seconds) {
    depth::Container container;
    ASSERT_TRUE(depth::container_for(output.c_str(), &container));
    AVFormatContext* out = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&out, nullptr, nullptr, output.c_str()), 0);
    std::string why;
    {
        depth::SoundTrack sound;
        EXPECT_TRUE(sound.add_streams(input, out, container, &why)) << why;
        EXPECT_EQ(sound.has_sound(), out->nb_streams > 0);
        if (sound.has_sound()) {
            EXPECT_GE(avio_open(&out->pb, output.c_str(), AVIO_FLAG_WRITE), 0);
            EXPECT_GE(avformat_write_header(out, nullptr), 0);
            EXPECT_TRUE(sound.write_until(out, 0.5, &why)) << why;
            EXPECT_TRUE(sound.finish(out, &why)) << why;
            EXPECT_GE(av_write_trailer(out), 0);
            avio_closep(&out->pb);
        }
    }
    avformat_free_context(out);
    codecs->clear();
    *seconds = 0;
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, output.c_str(), nullptr, nullptr) < 0) return;
    ASSERT_GE(avformat_find_stream_info(in, nullptr), 0);
    for (unsigned i = 0; i < in->nb_streams; ++i)
        codecs->push_back(avcodec_get_name(in->streams[i]->codecpar->codec_id));
    AVPacket* p = av_packet_alloc();
    while (av_read_frame(in, p) >= 0) {
        if (p->stream_index == 0)
            *seconds =
                std::max(*seconds, (p->pts + p->duration) * av_q2d(in->streams[0]->time_base));
        av_packet_unref(p);
    }
    av_packet_free(&p);
    avformat_close_input(&in);
}

// A 96 x 64 video (sides a multiple of the codec's 16-pixel blocks) and one
// of 97 x 65: a dark gradient with bright blocks of colour, so the views
// differ by a few pixels wherever the blocks stand.
class Export : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        depth::silence_video_library();
        folder_ = fs::temp_directory_path() / ("kaplo-export-test-" + std::to_string(getpid()));
        fs::create_directories(folder_);
        make_video("in.avi", 96, 64);
        make_video("odd.avi", 97, 65);
        make_video("pixel.avi", 1, 1);
    }
    static void TearDownTestSuite() { fs::remove_all(folder_); }

    // The library's own Motion JPEG writer keeps odd sizes whole.
    static void make_video(const char* name, int w, int h) {
        cv::VideoWriter writer(path(name), cv::CAP_OPENCV_MJPEG,
                               cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 24, cv::Size(w, h),
                               true);
        ASSERT_TRUE(writer.isOpened());
        for (int i = 0; i < 4; ++i) {
            cv::Mat f(h, w, CV_8UC3);
            for (int x = 0; x < w; ++x) f.col(x).setTo(cv::Scalar(30 + x / 2, 40, 50));
            cv::rectangle(f, cv::Rect(20 + 4 * i, 10, 30, 24), cv::Scalar(40, 220, 250), -1);
            cv::rectangle(f, cv::Rect(60, 36 - 2 * i, 24, 20), cv::Scalar(240, 200, 60), -1);
            writer.write(f);
        }
    }

    static std::string path(const std::string& name) { return folder_ / name; }

    static std::vector<cv::Mat> exported(Layout layout, int depth_scale, const char* name,
                                         const char* input = "in.avi",
                                         depth::Codec codec = depth::Codec::Default,
                                         depth::DepthSource depth = depth::DepthSource::Bright) {
        depth::ExportRequest r;
        const std::string out = path(name), in = path(input);
        r.output = out.c_str();
        r.input = in.c_str();
        r.layout = layout;
        r.depth_scale = depth_scale;
        r.depth = depth;
        r.codec = codec;
        r.quality = 100;  // the codec's error kept well below the differences looked for
        r.progress = false;
        EXPECT_EQ(depth::export_video(r), depth::kExportDone);
        std::vector<cv::Mat> frames;
        cv::VideoCapture capture(out);
        for (cv::Mat f; capture.read(f) && !f.empty();) frames.push_back(f.clone());
        return frames;
    }

    static inline fs::path folder_;
};

TEST_F(Export, DepthScaleZeroGivesEqualViewsAndMp4TakesTheSameFrames) {
    // Whatever the depth: the motion depth's run through the pipeline too.
    const std::vector<cv::Mat> flat = exported(Layout::Sbs, 0, "flat.mp4", "in.avi",
                                               depth::Codec::Default, depth::DepthSource::Motion);
    ASSERT_EQ(flat.size(), 4u);
    for (const cv::Mat& f : flat) {
        ASSERT_EQ(f.size(), cv::Size(192, 64));
        EXPECT_LT(mean_difference(f.colRange(0, 96), f.colRange(96, 192)), 1.0);
    }
}

// Through the whole pipeline, in every codec (each in one of its
// containers), at 97 x 65: each layout one column and row wider where its
// sides are odd, the last real ones repeated, within the codec's error of the
// cross output of the same frames and far from the same rule with the eyes
// the wrong way round.
TEST_F(Export, EachLayoutMatchesTheCrossOutputPadded) {
    const struct {
        const char* ext;
        depth::Codec codec;
    } kWriters[] = {{".avi", depth::Codec::Mjpeg},
                    {".mp4", depth::Codec::H264},
                    {".mkv", depth::Codec::H265},
                    {".mov", depth::Codec::Mpeg4}};
    for (const auto& [ext, codec] : kWriters) {
        const std::vector<cv::Mat> cross =
            exported(Layout::Cross, 8, (std::string("odd-cross") + ext).c_str(), "odd.avi", codec);
        ASSERT_EQ(cross.size(), 4u) << ext;
        for (Layout layout : kLayouts) {
            SCOPED_TRACE(std::string(depth::layout_name(layout)) + ext);
            const std::string name = std::string("odd-") + depth::layout_name(layout) + ext;
            const std::vector<cv::Mat> out = exported(layout, 8, name.c_str(), "odd.avi", codec);
            ASSERT_EQ(out.size(), cross.size());
            const cv::Size size = depth::layout_size(layout, 97, 65);
            const int w = size.width, h = size.height;
            for (size_t i = 0; i < out.size(); ++i) {
                ASSERT_EQ(out[i].size(), cv::Size(w + (w & 1), h + (h & 1)));
                const cv::Mat shown = out[i](cv::Rect(0, 0, w, h)), c = cross[i].rowRange(0, 65);
                cv::Mat eyes_swapped;
                cv::hconcat(c.colRange(97, 194), c.colRange(0, 97), eyes_swapped);
                EXPECT_LT(mean_difference(shown, expected_from_cross(layout, c)), 4.0) << i;
                EXPECT_GT(mean_difference(shown, expected_from_cross(layout, eyes_swapped)), 10.0)
                    << i;
                // The last row and column, repeated where they pad.
                EXPECT_LT(mean_difference(out[i].row(h - 1 + (h & 1)), out[i].row(h - 1)), 4.0);
                EXPECT_LT(mean_difference(out[i].col(w - 1 + (w & 1)), out[i].col(w - 1)), 4.0);
            }
        }
        // 1 x 1: the smallest picture the codecs take, 16 x 16, all one colour.
        const std::string dot_name = std::string("dot") + ext;
        const std::vector<cv::Mat> dot =
            exported(Layout::Depth, -1, dot_name.c_str(), "pixel.avi", codec);
        ASSERT_EQ(dot.size(), 4u) << ext;
        ASSERT_EQ(dot[0].size(), cv::Size(16, 16)) << ext;
        cv::Mat grey;
        cv::cvtColor(dot[0], grey, cv::COLOR_BGR2GRAY);
        double least, most;
        cv::minMaxLoc(grey, &least, &most);
        EXPECT_LT(most - least, 8) << ext;
    }
}

// The sound alone (2 s of a tone) written by a SoundTrack into an output
// holding only the sound, then read back: copied where the container takes
// its format, otherwise re-encoded to AAC, or PCM in .avi; placed against the
// first picture ("late" starts the tone 0.5 s after the pictures, "early" the
// pictures 0.5 s after the tone).
TEST_F(Export, TheToneIsCopiedOrReencodedAndPlacedAgainstThePictures) {
    const char* inputs[][3] = {{"tone.mkv", "", ""},  // before the pictures, before the tone
                               {"late.mkv", "", "-itsoffset 0.5"},
                               {"early.mkv", "-itsoffset 0.5", ""}};
    for (const auto& [input, before_pictures, before_tone] : inputs) {
        const std::string command =
            std::string("ffmpeg -v error -nostdin ") + before_pictures +
            " -f lavfi -i testsrc=size=96x64:rate=24:duration=2 " + before_tone +
            " -f lavfi -i sine=frequency=440:sample_rate=22050:duration=2 -c:v mpeg4 -c:a " +
            (input[0] == 'e' ? "pcm_s16le " : "libopus ") + path(input);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    const struct {
        const char *input, *output, *codec;
        double end;  // seconds after the first picture
    } cases[] = {
        {"tone.mkv", "copy.mkv", "opus", 2},          {"tone.mkv", "aac.mp4", "aac", 2},
        {"tone.mkv", "pcm.avi", "pcm_s16le", 2},      {"late.mkv", "late.mov", "aac", 2.5},
        {"early.mkv", "early.mkv", "pcm_s16le", 1.5}, {"early.mkv", "early.mp4", "aac", 1.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        std::vector<std::string> codecs;
        double end = 0;
        sound_only(path(c.input), path(std::string("sound-") + c.output), &codecs, &end);
        EXPECT_EQ(codecs, std::vector<std::string>{c.codec});
        EXPECT_NEAR(end, c.end, 0.1);
    }
}

TEST(PlayerStatus, SaysWhatThePlayerDoesWithinTheStatusLine) {
    struct Case {
        bool playing;
        int frame, total;
        double fps;
        const char* text;
    };
    const Case cases[] = {
        {true, 42, 96, 22.24, "playing  frame 42/96  22.2 fps"},
        {false, 50, 96, 0, "stopped  frame 50/96"},
        {true, 7, 0, 24, "playing  frame 7  24.0 fps"},  // the video gives no count
        {true, 123456, 654321, 23.9, "playing  frame 123456  23.9 fps"},  // too long with it
        {false, 0, 0, 0, "stopped  no video"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(depth::player_status_text(c.playing, c.frame, c.total, c.fps), c.text);
    EXPECT_LE(depth::player_status_text(true, INT_MAX, INT_MAX, 1e300).size(), 63u);
}

}  // namespace
