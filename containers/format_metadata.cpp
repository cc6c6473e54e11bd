// Reading a container's tags from libavformat's metadata.
#include "containers/format_metadata.h"

#include <algorithm>
#include <cstdlib>

#include "containers/av_library.h"

namespace corvina {

namespace {

// A cover larger than this is left out, as of a file's own tags.
constexpr int kLargestCover = 16 << 20;

std::string Value(const AVDictionary* pTags, const char* pszKey) {
    const AVDictionaryEntry* pEntry = Av().av_dict_get(pTags, pszKey, nullptr, 0);
    return pEntry != nullptr && pEntry->value != nullptr ? ToValidUtf8(pEntry->value)
                                                         : std::string();
}

CTrackInfo ReadTags(const AVDictionary* pTags) {
    CTrackInfo info;
    info.strTitle = Value(pTags, "title");
    info.strArtist = Value(pTags, "artist");
    info.strAlbum = Value(pTags, "album");
    info.strAlbumArtist = Value(pTags, "album_artist");
    info.strDate = Value(pTags, "date");
    if (info.strDate.empty()) {
        info.strDate = Value(pTags, "year");
    }
    info.strGenre = Value(pTags, "genre");
    info.strComment = Value(pTags, "comment");
    info.nTrackNumber = std::max(0, std::atoi(Value(pTags, "track").c_str()));
    info.strService = Value(pTags, "service_name");
    info.strProvider = Value(pTags, "service_provider");
    return info;
}

void ReadCover(const AVFormatContext& format, CTrackInfo& info) {
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream* pStream = format.streams[i];
        const AVPacket& picture = pStream->attached_pic;
        if ((pStream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0 || picture.data == nullptr ||
            picture.size <= 0 || picture.size > kLargestCover) {
            continue;
        }
        info.cover.bytes.assign(picture.data, picture.data + picture.size);
        const AVCodecID eCodec = pStream->codecpar->codec_id;
        info.cover.strMimeType = eCodec == AV_CODEC_ID_PNG     ? "image/png"
                                 : eCodec == AV_CODEC_ID_MJPEG ? "image/jpeg"
                                                               : "";
        return;
    }
}

}  // namespace

CTrackInfo ReadFormatMetadata(const AVFormatContext& format, int nTrack) {
    CTrackInfo info = ReadTags(format.metadata);
    if (nTrack >= 0 && static_cast<unsigned>(nTrack) < format.nb_streams) {
        info.Complete(ReadTags(format.streams[nTrack]->metadata));
    }
    ReadCover(format, info);
    return info;
}

}  // namespace corvina
