// Reading a file's tags with TagLib.
#include "tags/tag_reader.h"

#include <taglib/apefooter.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/relativevolumeframe.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "decoder/file_source.h"
#include "decoder/wave_source.h"

namespace corvina {

namespace {

// A cover larger than this is left out: no tag picture is that large, and
// each front end keeps a copy.
constexpr unsigned int kLargestCover = 16u << 20;

// What goes wrong in a tag is no news to the listener.
class CQuietListener : public TagLib::DebugListener {
  public:
    void printMessage(const TagLib::String&) override {}
};

std::string Text(const TagLib::String& text) {
    return ToValidUtf8(text.to8Bit(true));
}

// The values of a property, joined; empty where the tag has none.
std::string Property(const TagLib::PropertyMap& properties, const char* pszKey) {
    const auto it = properties.find(pszKey);
    if (it == properties.end()) {
        return {};
    }
    return Text(it->second.toString(" / "));
}

// A number at the start of a property ("-6.00 dB"); NaN where none.
double Number(const TagLib::PropertyMap& properties, const char* pszKey) {
    const std::string strText = Property(properties, pszKey);
    char* pszEnd = nullptr;
    const double dValue = std::strtod(strText.c_str(), &pszEnd);
    return pszEnd != strText.c_str() && std::isfinite(dValue) ? dValue : NAN;
}

// ID3v2's RVA2 frames named "track" and "album": their master volume
// adjustment, where no REPLAYGAIN_* text gave the gain.
void FillRelativeVolume(const TagLib::ID3v2::Tag* pTag, CTrackInfo& info) {
    if (pTag == nullptr) {
        return;
    }
    for (const TagLib::ID3v2::Frame* pFrame : pTag->frameList("RVA2")) {
        const auto* pVolume = dynamic_cast<const TagLib::ID3v2::RelativeVolumeFrame*>(pFrame);
        if (pVolume == nullptr) {
            continue;
        }
        const std::string strName = Text(pVolume->identification().upper());
        double* pGain = strName == "ALBUM"   ? &info.replayGain.dAlbumGain
                        : strName == "TRACK" ? &info.replayGain.dTrackGain
                                             : nullptr;
        if (pGain != nullptr && std::isnan(*pGain)) {
            *pGain = pVolume->volumeAdjustment();
        }
    }
}

// Tag::properties is not virtual: each kind of tag is asked as itself, so
// that its own names (TXXX frames, APE items) are among them.
template <typename Tag>
void FillFromTag(const Tag* pTag, CTrackInfo& info) {
    if (pTag == nullptr) {
        return;
    }
    const TagLib::PropertyMap properties = pTag->properties();
    CTrackInfo tagged;
    tagged.strTitle = Property(properties, "TITLE");
    tagged.strArtist = Property(properties, "ARTIST");
    tagged.strAlbum = Property(properties, "ALBUM");
    tagged.strAlbumArtist = Property(properties, "ALBUMARTIST");
    tagged.strDate = Property(properties, "DATE");
    tagged.strGenre = Property(properties, "GENRE");
    tagged.strComment = Property(properties, "COMMENT");
    if (tagged.strComment.empty()) {
        tagged.strComment = Text(pTag->comment());
    }
    // "3/12": the third of twelve.
    tagged.nTrackNumber = std::atoi(Property(properties, "TRACKNUMBER").c_str());
    if (tagged.nTrackNumber < 0) {
        tagged.nTrackNumber = 0;
    }
    tagged.replayGain.dTrackGain = Number(properties, "REPLAYGAIN_TRACK_GAIN");
    tagged.replayGain.dTrackPeak = Number(properties, "REPLAYGAIN_TRACK_PEAK");
    tagged.replayGain.dAlbumGain = Number(properties, "REPLAYGAIN_ALBUM_GAIN");
    tagged.replayGain.dAlbumPeak = Number(properties, "REPLAYGAIN_ALBUM_PEAK");
    info.Complete(tagged);
}

// The front cover of an ID3v2 tag, else its first picture.
void FillCover(const TagLib::ID3v2::Tag* pTag, CTrackInfo& info) {
    if (pTag == nullptr || !info.cover.bytes.empty()) {
        return;
    }
    const TagLib::ID3v2::AttachedPictureFrame* pChosen = nullptr;
    for (const TagLib::ID3v2::Frame* pFrame : pTag->frameList("APIC")) {
        const auto* pPicture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(pFrame);
        if (pPicture == nullptr || pPicture->picture().isEmpty() ||
            pPicture->picture().size() > kLargestCover) {
            continue;
        }
        if (pChosen == nullptr ||
            pPicture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) {
            pChosen = pPicture;
        }
        if (pPicture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) {
            break;
        }
    }
    if (pChosen == nullptr) {
        return;
    }
    const TagLib::ByteVector& picture = pChosen->picture();
    info.cover.bytes.assign(picture.data(), picture.data() + picture.size());
    info.cover.strMimeType = Text(pChosen->mimeType());
    info.cover.nType = static_cast<int>(pChosen->type());
}

enum class EFileKind { Unreadable, Wave, Other };

// Only a file that can seek is read for tags: a pipe's bytes are the
// decoder's.
EFileKind KindOf(const std::string& strPath) {
    CFileSource file;
    std::string strReason;
    if (!file.Open(strPath.c_str(), strReason) || !file.CanSeek()) {
        return EFileKind::Unreadable;
    }
    uint8_t bHead[12] = {};
    const bool bWave = file.Read(bHead, sizeof bHead) == sizeof bHead &&
                       (std::memcmp(bHead, "RIFF", 4) == 0 || std::memcmp(bHead, "RF64", 4) == 0) &&
                       std::memcmp(bHead + 8, "WAVE", 4) == 0;
    return bWave ? EFileKind::Wave : EFileKind::Other;
}

void ReadWaveTags(const std::string& strPath, CTrackInfo& info) {
    {
        TagLib::RIFF::WAV::File file(strPath.c_str(), false);
        if (file.isValid()) {
            FillFromTag(file.hasID3v2Tag() ? file.ID3v2Tag() : nullptr, info);
            FillCover(file.hasID3v2Tag() ? file.ID3v2Tag() : nullptr, info);
            FillFromTag(file.hasInfoTag() ? file.InfoTag() : nullptr, info);
        }
    }
    auto pFile = std::make_unique<CFileSource>();
    std::string strReason;
    if (pFile->Open(strPath.c_str(), strReason)) {
        const CWaveSource wave(std::move(pFile));
        info.Complete(wave.BroadcastInfo());
    }
}

// A file read only for the tags at its ends. TagLib's MPEG file would look
// for an ID3v2 tag before the first frame it accepts, and it accepts no
// Layer I frame and no frame of a damaged stream: it then reads the whole
// file, three seconds for 40 MB. The tags of an elementary stream stand at
// its start (ID3v2) and its end (APEv2, ID3v1), where the decoder skips them.
class CTaggedFile : public TagLib::File {
  public:
    explicit CTaggedFile(const char* pszPath) : TagLib::File(pszPath) {}
    explicit CTaggedFile(TagLib::IOStream* pStream) : TagLib::File(pStream) {}
    TagLib::Tag* tag() const override { return nullptr; }
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }

    bool Holds(long nOffset, const TagLib::ByteVector& id) {
        if (nOffset < 0 || nOffset + static_cast<long>(id.size()) > length()) {
            return false;
        }
        seek(nOffset);
        return readBlock(id.size()) == id;
    }
};

void ReadStreamTags(const std::string& strPath, CTrackInfo& info) {
    CTaggedFile file(strPath.c_str());
    if (!file.isOpen()) {
        return;
    }
    std::unique_ptr<TagLib::ID3v2::Tag> pId3v2;
    if (file.Holds(0, TagLib::ID3v2::Header::fileIdentifier())) {
        pId3v2 = std::make_unique<TagLib::ID3v2::Tag>(&file, 0);
    }
    constexpr long kId3v1Size = 128;
    const long nLength = file.length();
    std::unique_ptr<TagLib::ID3v1::Tag> pId3v1;
    long nEnd = nLength;
    if (file.Holds(nLength - kId3v1Size, TagLib::ID3v1::Tag::fileIdentifier())) {
        pId3v1 = std::make_unique<TagLib::ID3v1::Tag>(&file, nLength - kId3v1Size);
        nEnd -= kId3v1Size;
    }
    std::unique_ptr<TagLib::APE::Tag> pApe;
    const long nApeFooter = nEnd - static_cast<long>(TagLib::APE::Footer::size());
    if (file.Holds(nApeFooter, TagLib::APE::Footer::fileIdentifier())) {
        pApe = std::make_unique<TagLib::APE::Tag>(&file, nApeFooter);
    }
    FillFromTag(pId3v2.get(), info);
    FillCover(pId3v2.get(), info);
    FillRelativeVolume(pId3v2.get(), info);
    FillFromTag(pApe.get(), info);
    FillFromTag(pId3v1.get(), info);
}

// The leading ID3v2 tag of a stream read from a pipe, kept by the decoder.
void ReadTagBytes(std::span<const uint8_t> tag, CTrackInfo& info) {
    TagLib::ByteVectorStream stream(TagLib::ByteVector(reinterpret_cast<const char*>(tag.data()),
                                                       static_cast<unsigned int>(tag.size())));
    CTaggedFile file(&stream);
    if (!file.Holds(0, TagLib::ID3v2::Header::fileIdentifier())) {
        return;
    }
    const TagLib::ID3v2::Tag id3v2(&file, 0);
    FillFromTag(&id3v2, info);
    FillCover(&id3v2, info);
    FillRelativeVolume(&id3v2, info);
}

}  // namespace

void RegisterTagReader() {
    static CQuietListener s_quiet;
    static std::once_flag s_once;
    std::call_once(s_once, [] { TagLib::setDebugListener(&s_quiet); });
    SetTagReader(ReadFileTags);
    SetTagBytesReader(ReadTagBytes);
}

void ReadFileTags(const std::string& strPath, CTrackInfo& info) {
    const EFileKind kind = KindOf(strPath);
    if (kind == EFileKind::Other) {
        ReadStreamTags(strPath, info);
    } else if (kind == EFileKind::Wave) {
        ReadWaveTags(strPath, info);
    }
}

}  // namespace corvina
