#pragma once
// Every text the user reads in a message box, a caption or a status line, in
// one place, exactly as the keyboard's users know them (spelling included).
// The core returns reasons; windows map them onto these texts.
#include "base/core/Version.h"

#include <string_view>

namespace quillon::text {

// Titles
inline constexpr std::string_view kProgramTitle = "Quillon v" QUILLON_VERSION " Beta";
inline constexpr std::string_view kApplicationName = "Quillon";
inline constexpr std::string_view kUpdataTitle = "Quillon Updata";
inline constexpr std::string_view kMidiFormatTitle = "Hox software V1.0";
inline constexpr std::string_view kAboutTitle = "About Quillon";
inline constexpr std::string_view kAboutMenuEntry = "\u5173\u4e8e Quillon v" QUILLON_VERSION " Beta(&A)...";

// Listing
inline constexpr std::string_view kTooManyFiles = "The file name is excess!";

// Devices and sending
inline constexpr std::string_view kOutputNotOpened = "The Midi Output device is not opened!\r\n";
inline constexpr std::string_view kInputNotOpened = "The Midi Input device is not opened!\r\n";
inline constexpr std::string_view kNoOutputDevices = "There are no MIDI output devices!";
inline constexpr std::string_view kNoInputDevices = "There are no MIDI input devices!";
inline constexpr std::string_view kCurveOpenFailed = "Open the device is err, please set device!";
inline constexpr std::string_view kSendFailed = "Send the longMSG is err!";

// File commands
inline constexpr std::string_view kDeleteSongsQuestion = "This file will be deleted! Are you sure? ";
inline constexpr std::string_view kDeleteRomQuestion = "This file will be deleted! Are you sure?\r\n";

// Name prompt and replace prompt
inline constexpr std::string_view kNamePromptDefault = "QZ USER";
inline constexpr std::string_view kNamePromptTitle = "Filename";
inline constexpr std::string_view kNamePromptText = "Please input the filename!";
inline constexpr std::string_view kNamePromptLabel = "Filename:";
inline constexpr std::string_view kEnterFileName = "Please enter the file name.";
inline constexpr std::string_view kFileExistsReplace = "The file have existed, Replace it\uFF1F";
inline constexpr std::string_view kReplaceTitle = "Save file";
inline constexpr std::string_view kReplaceQuestion = "Replace the existing file\uFF1F";

// Curve editor
inline constexpr std::string_view kSendDefaultCurveQuestion = "The default crv file will be Send! Are you sure? ";
inline constexpr std::string_view kSaveNeedsName = "Please enter the file name!\r\n";
inline constexpr std::string_view kCurveHint =
    "Hint: Use the left mouse button to drag key-points; use the right mouse button to create, send, redraw or delete.";
inline constexpr std::string_view kCannotLoadCurve = "The curve file can't be used: ";  // + path, "\r\n", reason
inline constexpr std::string_view kCannotSaveCurve = "The curve file can't be saved: "; // + path, "\r\n", reason

// Song preparation and ROM update
inline constexpr std::string_view kTooManySongs = "The Number of select files exceed 28!\n\n Please select again!";
inline constexpr std::string_view kTooManyRomImages = "The Number of select files exceed one!\n\nPlease select again!";
inline constexpr std::string_view kCannotOpenFile =
    "The file can't be opened,please Select Right Download File, try again!";
inline constexpr std::string_view kCannotOpenFileAtTurn =
    "The file can't be opened,please Select Right Download File, try again!!\r\n";
inline constexpr std::string_view kNotMidiFile = "ERROR, The input file is not a MIDI file!";
inline constexpr std::string_view kNotFormat0 = "   Sorry, this program only process MIDI file format 0!\n \nYou can "
                                                "use the tool Smfshift to change the midi file format!";
// A file whose packed form needs more blocks than a header can announce.
inline constexpr std::string_view kFileTooLarge = "The file is too large to be sent: "; // + name, " (N bytes)"
inline constexpr std::string_view kFileTooLargeLimit = ".\r\nThe largest file that can be sent is "; // + N " bytes."
inline constexpr std::string_view kEmptyRomImage = "The ROM image is empty, there is nothing to send!";
inline constexpr std::string_view kConfirmSend = "The file will be sent to midi device. Are you sure?\r\n";

// Offered after a song is refused for its format: a format 0 copy made beside it.
inline constexpr std::string_view kConvertQuestionPrefix = "Make a format 0 copy of "; // + file name
inline constexpr std::string_view kConvertQuestionSuffix =
    " beside it?\r\nThe copy is added to the list and selected, ready to be sent. The original file stays as it "
    "is.";
inline constexpr std::string_view kCannotConvert = "The song can't be converted: "; // + file name, "\r\n", reason

// Send File dialog status line
inline constexpr std::string_view kStatusIdle = "Click the  \" Send \" button to send file!";
inline constexpr std::string_view kStatusSendingSongs = "Sending Midi song, please waitting.......";
inline constexpr std::string_view kStatusUpdatingRom = "Updating the device ROM, please waitting.......";
inline constexpr std::string_view kStatusSucceeded = "Succeed in sending, you can exit!";
inline constexpr std::string_view kStatusFileSentPrefix = "The file ";
inline constexpr std::string_view kStatusFileSentSuffix = " succeed in sending!";

// Send File close button
inline constexpr std::string_view kCloseCancel = "Cancel";
inline constexpr std::string_view kCloseOkSongs = "Ok";
inline constexpr std::string_view kCloseOkRomShortEnd = "Ok";
inline constexpr std::string_view kCloseOkRomFullEnd = "OK";
inline constexpr std::string_view kCloseAfterStop = "Close";

// A file that cannot be read when its turn comes stops the transfer; the status line names it.
inline constexpr std::string_view kStatusStoppedPrefix = "The file ";
inline constexpr std::string_view kStatusStoppedSuffix = " can't be opened, sending stopped!";
inline constexpr std::string_view kStatusRefusedSuffix = " can't be sent (empty or too large), sending stopped!";
inline constexpr std::string_view kStatusInterrupted = "Sending cancelled!";
// The keyboard ended a song before all of its blocks went out: "The file " + name + suffix.
inline constexpr std::string_view kStatusCutShortSuffix = " was cut short by the keyboard, it is not stored whole!";
// The last status of a song run in which the keyboard cut songs short, + their names.
inline constexpr std::string_view kStatusEndedCutShort = "Sending ended, but the keyboard cut short: ";
// Shown while the keyboard has not answered the opening control message.
inline constexpr std::string_view kStatusNoReadyReply =
    "The keyboard did not answer the start. If an earlier transfer was interrupted, this start has ended it: "
    "press Cancel and send again.";

// A song or ROM transfer refused before it starts (the Send File window and quillon-cli).
inline constexpr std::string_view kRefusedEightBitRoute =
    "Songs and ROM images can't go through this MIDI server: PipeWire 1.x changes the byte 89 of every data block "
    "on the way (to 09), so the keyboard would refuse them. Choose the keyboard's ALSA port, which carries them "
    "unchanged. Curves still go through JACK.";

// Why the keyboard has not answered, as far as the program can tell (the Send
// File window's status line and quillon-cli)
inline constexpr std::string_view kStallServerStopped =
    "The MIDI server (JACK) has stopped, or has shut Quillon out: nothing reaches the keyboard until it runs again.";
inline constexpr std::string_view kStallNoCycles =
    "The MIDI server (JACK) runs no cycles: it, or a program it waits for (the keyboard's?), is paused or stuck.";
inline constexpr std::string_view kStallServerPaused =
    "The MIDI server (JACK) paused during the wait (it, or a program it waits for): the keyboard's reply may be lost.";
inline constexpr std::string_view kStallSenderStopped =
    "Quillon itself was stopped (suspended) during the wait, so the keyboard's reply went unheard: send again.";
inline constexpr std::string_view kStallPortGone =
    "The keyboard's port is gone: it is no longer listed (unplugged, or its program ended).";
inline constexpr std::string_view kStallKeyboardSilent =
    "The keyboard is silent: its ports are there but it does not answer.";
inline constexpr std::string_view kStallBlockOverAlsa =
    "The keyboard did not answer a data block sent over ALSA. Linux's USB MIDI driver repacks a block on its way "
    "(it reads the command byte 89 inside it as Note Offs), so a keyboard on USB, or behind a USB MIDI interface, "
    "may never have received it whole.";
inline constexpr std::string_view kStallMaybeLost =
    "The MIDI server (PipeWire's JACK) reported no missed cycle, but it drops a message now and then: a message may "
    "have been lost between the programs. Send again; if it happens again, choose the keyboard's ALSA port.";
inline constexpr std::string_view kStallMissedCycles = "The MIDI server missed "; // + count, then the suffix
inline constexpr std::string_view kStallMissedCyclesSuffix = " cycles meanwhile: a message may have been lost.";
inline constexpr std::string_view kStallThroughBridge =
    "The output is a bridge (a2j, system:midi_*, PipeWire) that mangles large SysEx: choose the keyboard's ALSA port.";

// Player
inline constexpr std::string_view kPlayStatusFormat = "Play Status:   %02d:%02d / %02d:%02d";
inline constexpr std::string_view kPlayerTitle = "Midiplay";
inline constexpr std::string_view kPlayerReady = "Select a song and press Play";
inline constexpr std::string_view kPlayerCannotOpen = "Can't play "; // + file name, ": ", reason
inline constexpr std::string_view kPlayerNoAudio = "No audio: songs play silently";
inline constexpr std::string_view kPlayerSynthesizer = "Built-in synthesizer";
inline constexpr std::string_view kPlayListThrough = "Play the list through";

// A song's tooltip in the song lists: format, tracks, length (m:ss), size.
inline constexpr std::string_view kSongDetails = "Format %1, %2, %3, %4";
inline constexpr std::string_view kSongDetailsOneTrack = "1 track";
inline constexpr std::string_view kSongDetailsTracks = "%1 tracks";
inline constexpr std::string_view kSongDetailsSize = "%1 bytes";
inline constexpr std::string_view kSongDetailsUnplayable = "Not a playable MIDI file (%1), %2";

// Main window, file commands, device choice and prompts (this program's own wording)
inline constexpr std::string_view kAboutNotice = QUILLON_COPYRIGHT;
inline constexpr std::string_view kAboutLicence = "Free software under the " QUILLON_LICENCE;
inline constexpr std::string_view kCannotDeleteFile = "The file can't be deleted: "; // + path, "\r\n", reason
inline constexpr std::string_view kNameRefused = "This name can't be used: ";        // + reason, then the hint
inline constexpr std::string_view kNameRefusedHint = ".\r\nPlease input another name.";
// Files dropped onto the main window: one line per file that was not copied, "name: why".
inline constexpr std::string_view kCannotCopyDropped = "These files can't be copied:";
inline constexpr std::string_view kDroppedKindUnknown = "not a song, ROM image, curve or SysEx file";
inline constexpr std::string_view kDefaultOutputEntry = "Default MIDI output";
inline constexpr std::string_view kDefaultOutputMeans = "Default: "; // + the port it stands for now
inline constexpr std::string_view kPortMissingSuffix = " (not connected)";
inline constexpr std::string_view kDefaultIsBuiltIn =
    "No MIDI keyboard is connected: the default output is the built-in keyboard, which keeps what is sent.";

} // namespace quillon::text
