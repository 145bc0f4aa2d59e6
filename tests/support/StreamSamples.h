#pragma once

#include <QString>
#include <QStringList>

// Adaptive streams of a test picture and a tone that ffmpeg writes under a served folder. Each has two video
// renditions (640x360 and 320x180, H.264, a key frame every segment) and AAC sound, in 2 s segments. In the HLS ones
// each rendition's segments carry the sound too; DASH keeps it in an adaptation set of its own.
enum class SampleStream {
    HlsTs, // ts/master.m3u8 -> stream_N.m3u8 -> stream_N_K.ts
    HlsFmp4, // fmp4/master.m3u8 -> stream_N.m3u8 -> init_N.mp4, stream_N_K.m4s
    HlsAes, // aes/master.m3u8 -> stream_N.m3u8 -> stream_N_K.ts, encrypted with AES-128 by aes/media.key
    Dash, // dash/manifest.mpd -> init-streamN.m4s, chunk-streamN-0000K.m4s (N 0, 1 video, 2 sound)
    HlsLive, // live/master.m3u8 like ts/, written in real time: the last 5 segments, no end
};

// Length of the VOD streams, and of every segment.
constexpr int streamSeconds = 8;
constexpr int segmentSeconds = 2;

// The master playlist or manifest, relative to the served folder.
QString streamManifest(SampleStream stream);

// The page that plays the stream (hls.js for HLS, dash.js for DASH), relative to the served folder.
QString streamPage(SampleStream stream);

// Copies the pages and the players from tests/web into www; the error says what is missing.
bool installPlayers(const QString &www, QString *error);

// Writes a VOD stream under www and waits for it; false for the live one.
bool makeStream(SampleStream stream, const QString &www);

// ffmpeg's arguments for the live stream under www. It runs until stopped; the master playlist and the renditions'
// playlists appear together, with the first segment.
QStringList liveStreamArguments(const QString &www);
