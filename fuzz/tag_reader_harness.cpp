// Fuzz harness of the tag reader: arbitrary bytes as a file of tags (ID3v2,
// APEv2, ID3v1, or a WAVE file's INFO, ID3 and bext chunks). Whatever the
// bytes, every text comes out as valid UTF-8 and no picture is larger than
// the file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "decoder/track_info.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_support.h"
#include "tags/tag_reader.h"

using namespace corvina;

int FuzzTagReader(const uint8_t* pData, std::size_t nSize) {
    // TagLib reads files by name: the bytes become one in memory.
    const int fd = memfd_create("tags", 0);
    if (fd < 0) {
        return 0;
    }
    std::size_t nDone = 0;
    while (nDone < nSize) {
        const ssize_t nWritten = write(fd, pData + nDone, nSize - nDone);
        if (nWritten <= 0) {
            break;
        }
        nDone += static_cast<std::size_t>(nWritten);
    }
    CTrackInfo info;
    ReadFileTags("/proc/self/fd/" + std::to_string(fd), info);
    close(fd);
    for (const std::string* pText :
         {&info.strTitle, &info.strArtist, &info.strAlbum, &info.strAlbumArtist, &info.strDate,
          &info.strGenre, &info.strComment, &info.cover.strMimeType}) {
        FuzzCheck(ToValidUtf8(*pText) == *pText, "a tag's text is valid UTF-8");
    }
    FuzzCheck(info.cover.bytes.size() <= nSize, "a cover is no larger than the file");
    return 0;
}
