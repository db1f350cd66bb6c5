#pragma once

#include "player/api/StreamKind.h"

// Helpers for four-letter chunk ids: two decimal digits (the stream number) and a two-letter
// type, "dc" video, "wb" audio, "tx" text. The id need not be zero-terminated; exactly four
// bytes are read.

// The stream number in the first two letters, read as a decimal number the way atoi reads
// them: leading digits only, so "0x" and "ab" both read as 0.
int ChunkStreamNumber(const char id[4]);

// "dc" with stream 0 → FrontVideo, "dc" otherwise → RearVideo, "wb" → Audio, "tx" → Text,
// anything else (for example the index "idx1") → EndOfStream.
StreamKind StreamKindFromChunkId(const char id[4]);

// True when the id names a media packet (dc, wb or tx).
bool IsMediaChunkId(const char id[4]);
