// Makes a synthetic tree library for the benchmarks: a music folder of N
// MP3 files in folders by artist and album, as a ripper or a shop lays them
// out. The same seed always gives the same names, tags and file contents.
//
//   generate_tree --songs N --out DIR [--seed S] [--frames F]
//
// DIR/music gets "Artist NNN/Album NNN (Year)/NN Title NNNNN.mp3" (plus a
// cover picture in about half the album folders). DIR must not hold a
// library yet. Each song is a real MP3 file: an ID3v2.4 tag with artist,
// title, album, year and track; an "Info" frame, as LAME writes one, giving
// the song's length (2 to 7 minutes) in frames; then F frames of silence
// (MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, stereo; 8 by default). The rest
// of the file up to the size those frames would take is a hole: it takes no
// room on disk and reads as zeros, so a cold-cache read past the real frames
// costs nothing. Pass --frames 160 for files whose first 64 KiB are all real
// (about 6.5 GB for 100,000 songs).

#include "Synthetic.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using Synthetic::fail;
using Synthetic::makeFolder;
using Synthetic::Rng;
using Synthetic::writeFile;

namespace
{

// One frame: 144 * 128000 / 44100 bytes, no padding.
constexpr size_t FrameBytes = 417;
constexpr int SamplesPerFrame = 1152;
constexpr int SampleRate = 44100;

void putBigEndian(std::string &to, size_t at, uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        to[at + size_t(k)] = char(value >> (24 - 8 * k));
}

// A frame of digital silence: the header, then side information and main
// data all zero (no bits for any granule, so every sample decodes as 0).
std::string silentFrame()
{
    std::string frame(FrameBytes, '\0');
    // Sync, MPEG-1, Layer III, no CRC; 128 kbit/s, 44.1 kHz, no padding;
    // stereo, original.
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    frame[3] = char(0x04);
    return frame;
}

// The first frame of a LAME file: silent, with the "Info" header (of a
// constant bit rate stream) after the 32 bytes of side information, giving
// the stream's frames and bytes, which players and tag readers take the
// length from.
std::string infoFrame(uint32_t frames)
{
    std::string frame = silentFrame();
    const size_t at = 4 + 32;
    frame.replace(at, 4, "Info");
    putBigEndian(frame, at + 4, 0x3); // frames and bytes present
    putBigEndian(frame, at + 8, frames);
    putBigEndian(frame, at + 12, uint32_t(frames * FrameBytes));
    return frame;
}

// An ID3v2 size: 28 bits, seven to a byte.
void putSyncsafe(std::string &to, uint32_t value)
{
    for (int k = 3; k >= 0; --k)
        to += char((value >> (7 * k)) & 0x7F);
}

void textFrame(std::string &tag, const char *id, const std::string &text)
{
    tag += id;
    putSyncsafe(tag, uint32_t(text.size() + 1));
    tag += std::string(2, '\0'); // flags
    tag += '\x03'; // UTF-8
    tag += text;
}

std::string id3Tag(const std::string &artist, const std::string &title, const std::string &album, int year,
    int track, int tracks)
{
    std::string frames;
    textFrame(frames, "TPE1", artist);
    textFrame(frames, "TIT2", title);
    textFrame(frames, "TALB", album);
    textFrame(frames, "TDRC", std::to_string(year));
    textFrame(frames, "TRCK", std::to_string(track) + '/' + std::to_string(tracks));
    std::string tag = "ID3";
    tag += '\x04';
    tag += '\0'; // version 2.4.0
    tag += '\0'; // flags
    putSyncsafe(tag, uint32_t(frames.size()));
    return tag + frames;
}

std::string numbered(const char *format, long value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

} // namespace

int main(int argc, char **argv)
{
    int framesPerSong = 8;
    const Synthetic::Arguments options
        = Synthetic::parseArguments(argc, argv, "generate_tree --songs N --out DIR [--seed S] [--frames F]",
            [&framesPerSong](const std::string &name, const char *value) {
                framesPerSong = std::atoi(value);
                return name == "--frames" && framesPerSong > 0;
            });
    Rng rng(options.seed);
    const std::string music = options.out + "/music";
    makeFolder(options.out);
    makeFolder(music);

    std::string silence;
    for (int f = 0; f < framesPerSong; ++f)
        silence += silentFrame();
    long song = 0;
    long artistNumber = 0;
    long albumNumber = 0;
    while (song < options.songs) {
        const std::string artist = numbered("Artist %03ld", ++artistNumber);
        makeFolder(music + '/' + artist);
        for (int albums = rng.range(1, 5); albums > 0 && song < options.songs; --albums) {
            const int year = rng.range(1960, 2024);
            const std::string album = numbered("Album %03ld", ++albumNumber);
            const std::string folder = music + '/' + artist + '/' + album + " (" + std::to_string(year) + ')';
            makeFolder(folder);
            if (rng.chance(50))
                writeFile(folder + "/cover.jpg", "\xFF\xD8\xFF\xE0", off_t(rng.range(20, 80)) * 1024);
            const int tracks = rng.range(6, 16);
            for (int track = 1; track <= tracks && song < options.songs; ++track) {
                const std::string title = numbered("Title %05ld", ++song);
                const uint32_t frames = uint32_t(rng.range(120, 420) * SampleRate / SamplesPerFrame);
                const std::string head
                    = id3Tag(artist, title, album, year, track, tracks) + infoFrame(frames);
                writeFile(folder + '/' + numbered("%02ld ", track) + title + ".mp3", head + silence,
                    off_t(head.size() + frames * FrameBytes));
            }
        }
    }
    std::printf(
        "%ld songs by %ld artists on %ld albums in %s\n", song, artistNumber, albumNumber, music.c_str());
    return 0;
}
