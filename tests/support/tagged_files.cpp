// Tagged copies of the test streams.
#include "tests/support/tagged_files.h"

#include <gtest/gtest.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/temp_dir.h"

namespace {

TagLib::String Utf8(const std::string& strText) {
    return TagLib::String(strText, TagLib::String::UTF8);
}

}  // namespace

std::vector<uint8_t> MakeCover(std::size_t nBytes) {
    std::vector<uint8_t> cover(nBytes);
    for (std::size_t i = 0; i < nBytes; ++i) {
        cover[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    const uint8_t bStart[] = {0xFF, 0xD8, 0xFF, 0xE0};
    std::memcpy(cover.data(), bStart, std::min(nBytes, sizeof bStart));
    return cover;
}

std::string TaggedTitle(ETagKind eKind) {
    switch (eKind) {
        case ETagKind::Id3v23:
            return "Caf\u00e9 au lait";  // Latin-1
        case ETagKind::Id3v24:
            return "\u6771\u4eac Night";
        case ETagKind::Id3v1:
            return "Old Tag";
        case ETagKind::Ape:
            return "Ape Song";
    }
    return {};
}

std::string TaggedArtist(ETagKind eKind) {
    return eKind == ETagKind::Id3v23 ? "\u0141\u00f3d\u017a Ensemble" : "The Players";
}

void WriteTaggedSample(const std::string& strPath, ETagKind eKind,
                       const std::vector<uint8_t>& cover) {
    std::filesystem::copy_file(CORVINA_SAMPLES_DIR "/corvina-sample.mp2", strPath,
                               std::filesystem::copy_options::overwrite_existing);
    TagLib::MPEG::File file(strPath.c_str(), false);
    ASSERT_TRUE(file.isOpen()) << strPath;
    TagLib::Tag* pTag = eKind == ETagKind::Id3v1 ? static_cast<TagLib::Tag*>(file.ID3v1Tag(true))
                        : eKind == ETagKind::Ape ? static_cast<TagLib::Tag*>(file.APETag(true))
                                                 : file.ID3v2Tag(true);
    if (eKind == ETagKind::Id3v23 || eKind == ETagKind::Id3v24) {
        // Each frame in the encoding the version under test keeps it in.
        TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(
            eKind == ETagKind::Id3v24 ? TagLib::String::UTF8 : TagLib::String::UTF16);
    }
    pTag->setArtist(Utf8(TaggedArtist(eKind)));
    TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::Latin1);
    pTag->setTitle(Utf8(TaggedTitle(eKind)));
    pTag->setAlbum("First Album");
    pTag->setYear(1997);
    pTag->setGenre("Folk");
    pTag->setComment("Recorded live");
    pTag->setTrack(4);
    if (!cover.empty()) {
        auto* pPicture = new TagLib::ID3v2::AttachedPictureFrame;
        pPicture->setMimeType("image/jpeg");
        pPicture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        pPicture->setPicture(TagLib::ByteVector(reinterpret_cast<const char*>(cover.data()),
                                                static_cast<unsigned int>(cover.size())));
        file.ID3v2Tag(true)->addFrame(pPicture);
    }
    const int nTags = eKind == ETagKind::Id3v1 ? TagLib::MPEG::File::ID3v1
                      : eKind == ETagKind::Ape ? TagLib::MPEG::File::APE
                                               : TagLib::MPEG::File::ID3v2;
    ASSERT_TRUE(file.save(nTags | (cover.empty() ? 0 : TagLib::MPEG::File::ID3v2),
                          TagLib::File::StripNone,
                          eKind == ETagKind::Id3v23 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4));
}

void WriteReplayGainSample(const std::string& strPath, const std::string& strGain) {
    std::filesystem::copy_file(CORVINA_SAMPLES_DIR "/corvina-sample.mp2", strPath,
                               std::filesystem::copy_options::overwrite_existing);
    TagLib::MPEG::File file(strPath.c_str(), false);
    TagLib::PropertyMap properties;
    properties.insert("REPLAYGAIN_TRACK_GAIN", TagLib::StringList(Utf8(strGain)));
    file.ID3v2Tag(true)->setProperties(properties);
    ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2));
}

void WriteBroadcastWave(const std::string& strPath) {
    std::vector<uint8_t> bytes =
        ReadFileBytes(CORVINA_SOURCE_DIR "/tests/streams/ffmpeg-stereo-48k-bext.wav");
    const uint8_t bBext[] = {'b', 'e', 'x', 't'};
    const auto it = std::search(bytes.begin(), bytes.end(), std::begin(bBext), std::end(bBext));
    ASSERT_NE(it, bytes.end());
    const std::size_t nFields = static_cast<std::size_t>(it - bytes.begin()) + 8;
    const auto put = [&](std::size_t nOffset, const char* pszText) {
        std::memcpy(bytes.data() + nFields + nOffset, pszText, std::strlen(pszText));
    };
    put(0, "Morning news");
    put(256, "Radio Corvina");
    put(320, "2024-03-01");
    std::ofstream out(strPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
}
