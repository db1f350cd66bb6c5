#include "ChunkId.h"

#include "base/AsciiText.h"

int ChunkStreamNumber(const char id[4]) {
    int number = 0;
    for (int i = 0; i < 2 && ascii::IsDigit(id[i]); ++i)
        number = number * 10 + (id[i] - '0');
    return number;
}

StreamKind StreamKindFromChunkId(const char id[4]) {
    if (id[2] == 'd' && id[3] == 'c')
        return ChunkStreamNumber(id) == 0 ? FrontVideo : RearVideo;
    if (id[2] == 'w' && id[3] == 'b')
        return Audio;
    if (id[2] == 't' && id[3] == 'x')
        return Text;
    return EndOfStream;
}

bool IsMediaChunkId(const char id[4]) {
    return StreamKindFromChunkId(id) != EndOfStream;
}
