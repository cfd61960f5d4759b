// Writes the seed corpora of the fuzz targets from the project's own builders:
// songs from the test SMF builder, curve files from the presets, whole
// transfers as the handshake sends them, and reply streams as the keyboard
// model answers them. Run it with the corpus root (fuzz/corpus) to refresh
// the committed seeds; its output is deterministic.
#include "curve/core/CurveFile.h"
#include "curve/core/CurveMessage.h"
#include "curve/core/Presets.h"
#include "midi/core/DeviceFrame.h"
#include "midi/core/KeyboardModel.h"
#include "transfer/core/TransferHandshake.h"

#include "HandshakeInput.h"
#include "SmfBuilder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace quillon;
using frame::Bytes;
namespace fs = std::filesystem;

namespace {

class CorpusWriter {
public:
    CorpusWriter(fs::path root, const std::string& target) : m_folder(std::move(root) / target)
    {
        fs::create_directories(m_folder);
    }
    void write(const std::string& name, const Bytes& bytes)
    {
        std::ofstream out(m_folder / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ++m_written;
    }
    int written() const { return m_written; }

private:
    fs::path m_folder;
    int m_written = 0;
};

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes noteSong(int notes, int channel)
{
    testing::TrackBytes track;
    track.tempo(0, 400000);
    for (int n = 0; n < notes; ++n)
        track.event(n == 0 ? 0 : 24, {0x90 | channel, 48 + n % 24, 100}).event(24, {48 + n % 24, 0});
    track.end();
    return testing::smf(0, 96, {track});
}

// The same songs seed the reader and the format 0 converter.
void midiFileSeeds(const fs::path& root, const std::string& target)
{
    CorpusWriter out(root, target);
    out.write("format0-notes.mid", noteSong(16, 0));

    testing::TrackBytes conductor;
    conductor.tempo(0, 500000).tempo(480, 300000).event(0, {0xFF, 0x58, 0x04, 4, 2, 24, 8}).end(960);
    testing::TrackBytes melody;
    melody.event(0, {0xC0, 5}).event(0, {0x90, 60, 90}).event(240, {0x80, 60, 0}).event(0, {0xE0, 0x00, 0x40});
    melody.event(10, {0xF0, 0x04, 0x7E, 0x7F, 0x09, 0xF7}).event(5, {0xF7, 0x02, 0x01, 0x02}).end();
    testing::TrackBytes running;
    running.event(0, {0x91, 64, 80}).raw({0x10, 65, 80, 0x10, 64, 0, 0x10, 65, 0}).end();
    out.write("format1-tempo-sysex-running.mid", testing::smf(1, 480, {conductor, melody, running}));

    testing::TrackBytes smpte;
    smpte.event(0, {0xB0, 7, 100}).event(25, {0xD0, 64}).end(25);
    out.write("smpte-division.mid", testing::smf(0, 0xE728, {smpte})); // -25 fps, 40 ticks per frame

    Bytes unknownChunk = testing::header(0, 1, 96);
    testing::append(unknownChunk, testing::chunk("XTRA", {1, 2, 3}));
    testing::TrackBytes afterUnknown;
    afterUnknown.event(0, {0x93, 1, 1}).end();
    testing::append(unknownChunk, afterUnknown.chunk());
    out.write("unknown-chunk.mid", unknownChunk);

    Bytes cut = noteSong(4, 1);
    cut.resize(cut.size() - 5);
    out.write("truncated.mid", cut);
}

void curveFileSeeds(const fs::path& root)
{
    CorpusWriter out(root, "curve_file");
    curve::VelocityCurve identity;
    identity.computeTable();
    out.write("default.crv", curve::encodeCurveFile(curve::storedCurveOf(identity)));
    for (const auto& preset : curve::presetCurves()) {
        curve::VelocityCurve shaped;
        shaped.setKeyPoints(preset.points);
        shaped.computeTable();
        out.write(std::string(preset.name), curve::encodeCurveFile(curve::storedCurveOf(shaped)));
    }
    Bytes longer = curve::encodeCurveFile(curve::storedCurveOf(identity));
    longer.insert(longer.end(), {1, 2, 3, 4});
    out.write("longer.crv", longer);
    Bytes shorter = curve::encodeCurveFile(curve::storedCurveOf(identity));
    shorter.resize(300);
    out.write("shorter.crv", shorter);
}

void songCheckSeeds(const fs::path& root)
{
    CorpusWriter out(root, "song_check");
    const Bytes song = noteSong(3, 0);
    Bytes format1 = song;
    format1[9] = 1;
    // count byte, then a length byte and the bytes of each file but the last.
    Bytes three{3};
    for (const Bytes* file : std::initializer_list<const Bytes*>{&song, &format1}) {
        three.push_back(static_cast<std::uint8_t>(file->size()));
        three.insert(three.end(), file->begin(), file->end());
    }
    three.insert(three.end(), song.begin(), song.end());
    out.write("three-files", three);
    Bytes one{1};
    one.insert(one.end(), song.begin(), song.end());
    out.write("one-song", one);
    Bytes many{29};
    for (int i = 0; i < 28; ++i) {
        many.push_back(14);
        many.insert(many.end(), song.begin(), song.begin() + 14);
    }
    out.write("too-many", many);
    out.write("bare-head", Bytes(song.begin(), song.begin() + 14));
}

// Every message of a whole transfer, as the handshake sends them when the
// keyboard model answers each one.
struct Conversation {
    Bytes messages; // all sent messages, back to back
    Bytes replies;  // the reply stream in the handshake target's coding
};

Conversation converse(const fuzzing::HandshakeSetup& setup)
{
    transfer::TransferHandshake handshake(setup.list, setup.reader());
    keyboard::KeyboardModel keyboard;
    Conversation conversation;
    std::vector<transfer::Action> pending = *handshake.start();
    while (!pending.empty()) {
        std::vector<transfer::Action> next;
        for (const auto& action : pending) {
            const auto* send = std::get_if<transfer::SendMessage>(&action);
            if (!send)
                continue;
            conversation.messages.insert(conversation.messages.end(), send->bytes.begin(), send->bytes.end());
            const auto reaction = keyboard.feed(send->bytes);
            if (!reaction.reply)
                continue;
            conversation.replies.push_back(fuzzing::replyByte(*reaction.reply));
            auto more = handshake.onShortMessage(frame::kReplyStatus, static_cast<std::uint8_t>(*reaction.reply));
            next.insert(next.end(), more.begin(), more.end());
        }
        pending = std::move(next);
    }
    return conversation;
}

void transferSeeds(const fs::path& root)
{
    CorpusWriter frames(root, "keyboard_frame");
    CorpusWriter replies(root, "handshake");

    struct Case {
        const char* name;
        std::uint8_t setup;
        std::vector<std::pair<std::uint8_t, std::uint8_t>> lengthAndSlot;
    };
    // The set-up byte as HandshakeInput.h reads it.
    const std::vector<Case> cases = {
        {"one-song", 0x38, {{3, 4}}},
        {"two-songs", 0x3A, {{2, 0}, {1, 9}}},
        {"four-songs", 0x3E, {{1, 1}, {0, 2}, {3, 27}, {2, 5}}},
        {"rom-image", 0x39, {{4, 0}}},
        {"second-unreadable", 0x0A, {{1, 3}, {2, 4}}},
    };
    for (const Case& c : cases) {
        Bytes input{c.setup};
        for (const auto& [lengthByte, slotByte] : c.lengthAndSlot)
            input.insert(input.end(), {lengthByte, slotByte});
        const Conversation conversation = converse(fuzzing::decodeSetup(input));
        input.insert(input.end(), conversation.replies.begin(), conversation.replies.end());
        replies.write(c.name, input);
        frames.write(std::string(c.name) + ".syx", conversation.messages);
    }

    curve::VelocityCurve identity;
    identity.computeTable();
    frames.write("curve.syx", *curve::buildCurveMessage(identity.table()));
    frames.write("out-of-order.syx",
                 concat({frame::buildTransferControl(), frame::buildSongHeader(2, 2),
                         frame::buildDataBlock(1, 1, Bytes(1024, 5)), frame::buildDataBlock(1, 0, Bytes(1024, 5))}));
}

// A first byte of 1 picks --slots, 0 the seven key-point numbers.
void cliListSeeds(const fs::path& root)
{
    CorpusWriter out(root, "cli_lists");
    const auto text = [](std::uint8_t list, const std::string& body) {
        Bytes bytes{list};
        bytes.insert(bytes.end(), body.begin(), body.end());
        return bytes;
    };
    out.write("slots", text(1, "5,1,5,28"));
    out.write("slots-bad", text(1, "0,29,-1,,x"));
    out.write("points", text(0, "0,20,40,58,73,97,127"));
    out.write("points-large", text(0, "-2147483648,1,2,3,4,5,2147483647"));
    out.write("points-eight", text(0, "1,2,3,4,5,6,7,8"));
}

// Ring size byte, then pushes (top bit clear) and pops (set).
void ringSeeds(const fs::path& root)
{
    CorpusWriter out(root, "message_ring");
    out.write("fill-and-drain", {20, 3, 5, 7, 9, 0x80, 0x80, 4, 4, 0x80, 0x80, 0x80, 0x80});
    out.write("wrap-many", {7, 2, 0x80, 3, 0x80, 1, 0x80, 5, 0x80, 2, 0x80, 3, 0x80, 4, 0x80, 1, 0x80});
    out.write("too-big", {2, 40, 1, 0, 0x80, 0x80, 0x80});
    out.write("jack-block-sized", {255, 127, 127, 0x80, 127, 0x80, 0x80});
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    midiFileSeeds(root, "midi_file");
    midiFileSeeds(root, "format0_round_trip");
    cliListSeeds(root);
    ringSeeds(root);
    curveFileSeeds(root);
    songCheckSeeds(root);
    transferSeeds(root);
    std::printf("seeds written below %s\n", root.c_str());
    return 0;
}
