#pragma once

// FFmpeg's scaler has two horizontal scalers for 8-bit pictures on x86: an AVX2 one that loads
// its source pixels with gather instructions, and an SSSE3 one with plain loads. Both give the
// same pixels. FFmpeg picks the AVX2 one unless the CPU flags say gathers are slow, and it
// says so only for a few older CPUs. The pictures this program converts have just been
// decoded and are mostly out of the cache, where the gathers wait on memory: on a 2-core
// AMD EPYC (family 0x1A) a 1280x720 to 640x360 BGRA conversion of such a picture takes
// 0.62-0.72 ms with the gathers and 0.44-0.47 ms without (`convert_bench`), and the window
// spends a third of its playing time converting.
//
// MarkGathersSlow adds FFmpeg's "CPU has slow gathers" flag (AV_CPU_FLAG_SLOW_GATHER) to the
// CPU flags FFmpeg detected. Process-wide: it applies to every FFmpeg context made after it,
// in every thread. Only code that asks about slow gathers changes its choice; every
// instruction set stays in use. Idempotent. Does nothing off x86 (the bit means something
// else there) or where TATV_SCALER_GATHERS=1 is set in the environment (to measure the
// other way).
//
// Threads: call once at program start, before any thread makes an FFmpeg context.
void MarkGathersSlow();

// Whether FFmpeg's CPU flags now say gathers are slow.
bool GathersMarkedSlow();
