// Makes a synthetic music library for the benchmarks: a music folder of N
// songs named "Artist-Title.mp3" and an information folder holding a song
// information file for about 80 % of them, in the layout the program writes.
// The same seed always gives the same names, sizes and file contents.
//
//   generate_library --songs N --out DIR [--seed S] [--info-share PERCENT]
//
// DIR/music gets the songs (plus a few other files a real folder holds),
// DIR/info the song information files. DIR must not hold a library yet.
// Each MP3 is a 1 KB header extended to a realistic size as a sparse file:
// the scan looks at names, sizes and file attributes only, so the disk use
// stays small while the size column shows real-looking megabytes.

#include "Synthetic.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using Synthetic::fail;
using Synthetic::makeFolder;
using Synthetic::Rng;
using Synthetic::writeFile;

namespace
{

const char *const Words[] = { "love", "night", "blue", "river", "fire", "heart", "dream", "rain", "city",
    "summer", "road", "light", "shadow", "dance", "golden", "wild", "home", "silver", "moon", "ocean",
    "falling", "forever", "morning", "lonely", "highway", "stone", "angel", "midnight", "thunder", "sweet",
    "broken", "running", "paradise", "winter", "garden", "memory", "electric", "whisper", "train", "window",
    "mountain", "yesterday", "tonight", "crazy", "little", "believe", "together", "again" };
const char *const Capitalised[] = { "Love", "Night", "Blue", "River", "Fire", "Heart", "Dream", "Rain",
    "City", "Summer", "Road", "Light", "Shadow", "Dance", "Golden", "Wild", "Home", "Silver", "Moon", "Ocean",
    "Falling", "Forever", "Morning", "Lonely", "Highway", "Stone", "Angel", "Midnight", "Thunder", "Sweet" };
// A few artists carry letters outside ASCII, as real collections do.
const char *const Accented[] = { "Café", "Müller", "Señor", "Björk", "Zoë", "Ångström", "Ørsted", "Naïve",
    "Crème", "Déjà Vu", "Straße", "Jalapeño" };
const char *const ArtistTails[] = { "and the Night Owls", "Band", "Orchestra", "Quartet", "Trio", "Brothers",
    "Sisters", "Collective", "Experience", "Project", "& Friends", "Group", "Ensemble", "Sound System" };
const char *const FirstNames[] = { "John", "Mary", "Paul", "Linda", "George", "Carole", "Bob", "Joni", "Neil",
    "Aretha", "Bruce", "Stevie", "Kate", "Elton" };
const char *const LastNames[] = { "Smith", "Jones", "Taylor", "Brown", "Wilson", "Evans", "King", "Walker",
    "Wright", "Green", "Baker", "Hall", "Young", "Clarke" };
const char *const Labels[] = { "Columbia", "Island Records", "EMI", "Warner Bros.", "Motown", "Atlantic",
    "Virgin", "Parlophone", "Decca", "Sub Pop", "4AD", "Rough Trade", "Chrysalis", "Polydor", "" };

std::string words(Rng &rng, int count, bool capitalise)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i)
            text += ' ';
        text += capitalise ? rng.pick(Capitalised) : rng.pick(Words);
    }
    return text;
}

std::string twoDigits(int value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

std::string artistName(Rng &rng, int number)
{
    char base[32];
    std::snprintf(base, sizeof base, "Artist %03d", number);
    std::string name = base;
    const int kind = rng.range(0, 99);
    if (kind < 3)
        name += std::string(" ") + rng.pick(Accented);
    else if (kind < 35)
        name += std::string(" ") + rng.pick(ArtistTails);
    else if (kind < 55)
        name += ' ' + words(rng, rng.range(1, 2), true);
    return name;
}

std::string titleName(Rng &rng, long number)
{
    char base[32];
    std::snprintf(base, sizeof base, "Title %05ld", number);
    std::string title = base;
    const int extra = rng.range(0, 4);
    if (extra)
        title += ' ' + words(rng, extra, true);
    return title;
}

std::string lyricLine(Rng &rng)
{
    std::string line = rng.pick(Capitalised);
    const int target = rng.range(22, 58);
    while (int(line.size()) < target)
        line += std::string(" ") + rng.pick(Words);
    return line;
}

// The song information file as the program writes it: header comments,
// [Info] with the eight keys (names padded to 10), the lyrics marker, a
// separator and the lyric lines, every line ending in CR LF.
std::string infoFile(Rng &rng)
{
    const std::string separator = "; " + std::string(42, '*');
    auto line = [](std::string &text, const std::string &content) { text += content + "\r\n"; };
    auto key = [&line](std::string &text, const char *name, const std::string &value) {
        std::string padded = name;
        padded.resize(10, ' ');
        line(text, padded + " = " + value);
    };
    std::string text;
    line(text, separator);
    line(text,
        "; Generated " + twoDigits(rng.range(1, 28)) + "-" + twoDigits(rng.range(1, 12)) + "-"
            + std::to_string(rng.range(1998, 2024)));
    line(text, "; Do not modify manually.");
    line(text, separator);
    line(text, "");
    line(text, "[Info]");
    const int songYear = rng.range(1960, 2023);
    key(text, "UsageCount", std::to_string(rng.chance(30) ? 0 : rng.range(1, 250)));
    key(text, "Writer",
        std::string(rng.pick(FirstNames)) + " " + rng.pick(LastNames)
            + (rng.chance(30) ? std::string(" / ") + rng.pick(FirstNames) + " " + rng.pick(LastNames) : ""));
    key(text, "Playtime",
        rng.chance(1) ? "??:??" : twoDigits(rng.range(1, 9)) + ":" + twoDigits(rng.range(0, 59)));
    key(text, "AlbumName", words(rng, rng.range(1, 4), true));
    key(text, "SongYear", std::to_string(songYear));
    key(text, "AlbumYear",
        std::to_string(std::min(2024, songYear + (rng.chance(70) ? 0 : rng.range(1, 20)))));
    key(text, "AlbumCDNum", rng.chance(85) ? "1" : std::to_string(rng.range(2, 3)));
    key(text, "AlbumLabel", rng.pick(Labels));
    const int kind = rng.range(0, 99);
    std::vector<std::string> lyrics;
    if (kind < 4) {
        key(text, "Lyrics", "Instrumental");
        lyrics.push_back("Instrumental");
    } else {
        key(text, "Lyrics", kind < 8 ? "(words unclear)" : "Yes");
        if (kind < 8)
            lyrics.push_back("(words unclear)");
        const int count = rng.range(20, 40);
        for (int i = 0; i < count; ++i)
            lyrics.push_back(i % 5 == 4 ? std::string() : lyricLine(rng)); // blank between verses
    }
    line(text, "");
    line(text, separator);
    line(text, "");
    for (const std::string &lyric : lyrics)
        line(text, lyric);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    int infoShare = 80;
    const Synthetic::Arguments options = Synthetic::parseArguments(argc, argv,
        "generate_library --songs N --out DIR [--seed S] [--info-share PERCENT]",
        [&infoShare](const std::string &name, const char *value) {
            if (name != "--info-share")
                return false;
            infoShare = std::atoi(value);
            return true;
        });
    Rng rng(options.seed);
    const std::string music = options.out + "/music";
    const std::string info = options.out + "/info";
    makeFolder(options.out);
    makeFolder(music);
    makeFolder(info);

    // Artists come in runs of several songs; about one artist in ten names
    // files "Artist - Title", and a few songs carry no artist at all.
    std::string header(1024, '\0');
    long song = 0;
    int artistNumber = 0;
    long infoFiles = 0;
    while (song < options.songs) {
        const std::string artist = artistName(rng, ++artistNumber);
        const std::string dash = rng.chance(10) ? " - " : "-";
        const int run = rng.chance(20) ? 1 : rng.range(2, 12);
        for (int k = 0; k < run && song < options.songs; ++k) {
            const std::string title = titleName(rng, ++song);
            const std::string stem = rng.chance(1) ? title : artist + dash + title;
            const std::string extension = rng.chance(1) ? ".MP3" : ".mp3";
            for (size_t b = 0; b < header.size(); b += 8) {
                const uint64_t r = rng.next();
                std::memcpy(&header[b], &r, 8);
            }
            std::memcpy(&header[0], "ID3\x03\x00", 5);
            writeFile(music + "/" + stem + extension, header, off_t(rng.range(1500, 9500)) * 1024);
            if (rng.chance(infoShare)) {
                writeFile(info + "/" + stem + ".INI", infoFile(rng));
                ++infoFiles;
            }
        }
    }
    // What else lies in a real music folder; none of it is a song.
    writeFile(music + "/folder.jpg", std::string(2048, 'J'));
    writeFile(music + "/playlist.m3u", "#EXTM3U\r\n");
    writeFile(music + "/.hidden.mp3", header);
    std::printf(
        "%ld songs in %s, %ld song information files in %s\n", song, music.c_str(), infoFiles, info.c_str());
    return 0;
}
