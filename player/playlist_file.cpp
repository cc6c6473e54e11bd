// Playlist files. The text may be anything: lines of any length, any bytes,
// numbers of any size; what cannot be an entry is left out with a warning.
#include "player/playlist_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include "decoder/address_opener.h"

namespace {

// A playlist of a hundred thousand entries is some megabytes; far beyond
// that is no playlist.
constexpr std::uintmax_t kMaxFileBytes = 16u << 20;
constexpr std::size_t kMaxEntries = 100000;
constexpr std::size_t kMaxWarnings = 20;

char ToLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (ToLower(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    const auto IsSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = ToLower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// %XX becomes its byte; a % not followed by two hex digits stays as it is.
std::string DecodePercent(std::string_view text) {
    std::string strOut;
    strOut.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int nHigh = HexValue(text[i + 1]);
            const int nLow = HexValue(text[i + 2]);
            if (nHigh >= 0 && nLow >= 0) {
                strOut += static_cast<char>(nHigh * 16 + nLow);
                i += 2;
                continue;
            }
        }
        strOut += text[i];
    }
    return strOut;
}

// "scheme://" with a scheme of letters, digits, '+', '-' and '.'.
bool HasScheme(std::string_view text) {
    const std::size_t nColon = text.find("://");
    if (nColon == std::string_view::npos || nColon == 0) {
        return false;
    }
    for (std::size_t i = 0; i < nColon; ++i) {
        const char c = text[i];
        const bool bLetter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!bLetter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) {
            return false;
        }
    }
    return true;
}

class CPlaylistBuilder {
  public:
    CPlaylistBuilder(CPlaylist& playlist, const std::string& strFolder)
        : m_playlist(playlist), m_folder(strFolder) {}
    ~CPlaylistBuilder() {
        if (m_nUnlisted > 0) {
            m_playlist.warnings.push_back("... and " + std::to_string(m_nUnlisted) +
                                          " more entries left out");
        }
    }
    CPlaylistBuilder(const CPlaylistBuilder&) = delete;
    CPlaylistBuilder& operator=(const CPlaylistBuilder&) = delete;

    void Add(std::string_view location, std::string_view title) {
        location = Trim(location);
        if (location.empty()) {
            return;
        }
        if (m_playlist.entries.size() >= kMaxEntries) {
            Warn("more than " + std::to_string(kMaxEntries) + " entries; the rest is left out");
            m_bFull = true;
            return;
        }
        std::string strPath;
        if (StartsWithNoCase(location, "file://")) {
            std::string_view rest = location.substr(7);
            // file:///path or file://localhost/path; another host is not here.
            if (StartsWithNoCase(rest, "localhost/")) {
                rest.remove_prefix(9);
            }
            if (rest.empty() || rest.front() != '/') {
                Warn("\"" + std::string(location) + "\" is not a file of this computer");
                return;
            }
            strPath = DecodePercent(rest);
        } else if (corvina::IsStreamAddress(std::string(location))) {
            // An address is played as it stands.
            m_playlist.entries.push_back(
                CQueueEntry{std::string(location), std::string(Trim(title)), {}});
            return;
        } else if (HasScheme(location)) {
            Warn("\"" + std::string(location) + "\" is a network address of a kind not played");
            return;
        } else {
            strPath = std::string(location);
        }
        // A zero byte would cut the name short and name another file.
        if (std::any_of(strPath.begin(), strPath.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; })) {
            Warn("an entry with control characters in its name is left out");
            return;
        }
        std::filesystem::path path(strPath);
        if (path.is_relative()) {
            path = m_folder / path;
        }
        m_playlist.entries.push_back(
            CQueueEntry{path.lexically_normal().string(), std::string(Trim(title)), {}});
    }
    bool IsFull() const { return m_bFull; }

  private:
    void Warn(std::string strText) {
        if (m_playlist.warnings.size() < kMaxWarnings) {
            m_playlist.warnings.push_back(std::move(strText));
        } else {
            ++m_nUnlisted;
        }
    }

    CPlaylist& m_playlist;
    std::filesystem::path m_folder;
    std::size_t m_nUnlisted = 0;
    bool m_bFull = false;
};

// Calls fnLine for each line without its end (LF, CRLF or a lone CR).
template <typename F>
void ForEachLine(std::string_view text, F fnLine) {
    while (!text.empty()) {
        const std::size_t nEnd = text.find_first_of("\r\n");
        if (!fnLine(text.substr(0, nEnd)) || nEnd == std::string_view::npos) {
            return;
        }
        text.remove_prefix(nEnd + 1);
    }
}

// The title of "#EXTINF:length attributes,title": after the first comma
// that is not inside a quoted attribute.
std::string_view ExtinfTitle(std::string_view line) {
    bool bQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            bQuoted = !bQuoted;
        } else if (line[i] == ',' && !bQuoted) {
            return line.substr(i + 1);
        }
    }
    return {};
}

void ParseM3u(std::string_view text, CPlaylistBuilder& builder) {
    std::string_view title;
    ForEachLine(text, [&](std::string_view line) {
        line = Trim(line);
        if (line.empty()) {
            return true;
        }
        if (line.front() == '#') {
            if (StartsWithNoCase(line, "#extinf:")) {
                title = ExtinfTitle(line);
            }
            return true;
        }
        builder.Add(line, title);
        title = {};
        return !builder.IsFull();
    });
}

// FileN= and TitleN= pair up by N, listed in N's order whatever the order of
// the lines.
void ParsePls(std::string_view text, CPlaylistBuilder& builder) {
    struct CPlsEntry {
        std::string_view file;
        std::string_view title;
    };
    std::map<unsigned long, CPlsEntry> entries;
    ForEachLine(text, [&](std::string_view line) {
        line = Trim(line);
        const std::size_t nEquals = line.find('=');
        if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '[' ||
            nEquals == std::string_view::npos) {
            return true;
        }
        const std::string_view key = Trim(line.substr(0, nEquals));
        const std::string_view value = Trim(line.substr(nEquals + 1));
        const bool bFile = StartsWithNoCase(key, "file");
        const bool bTitle = StartsWithNoCase(key, "title");
        if (!bFile && !bTitle) {
            return true;
        }
        const std::string_view number = key.substr(bFile ? 4 : 5);
        unsigned long nNumber = 0;
        const auto result = std::from_chars(number.data(), number.data() + number.size(), nNumber);
        if (number.empty() || result.ec != std::errc() ||
            result.ptr != number.data() + number.size()) {
            return true;
        }
        // Numbers are the file's to choose, their count is not.
        if (entries.size() >= kMaxEntries && entries.count(nNumber) == 0) {
            return true;
        }
        CPlsEntry& entry = entries[nNumber];
        (bFile ? entry.file : entry.title) = value;
        return true;
    });
    for (const auto& [nNumber, entry] : entries) {
        builder.Add(entry.file, entry.title);
        if (builder.IsFull()) {
            break;
        }
    }
}

}  // namespace

EPlaylistKind GetPlaylistKind(const std::string& strPath) {
    std::string strExtension = std::filesystem::path(strPath).extension().string();
    std::transform(strExtension.begin(), strExtension.end(), strExtension.begin(), ToLower);
    if (strExtension == ".m3u" || strExtension == ".m3u8") {
        return EPlaylistKind::M3u;
    }
    if (strExtension == ".pls") {
        return EPlaylistKind::Pls;
    }
    return EPlaylistKind::None;
}

CPlaylist ParsePlaylist(std::string_view text, EPlaylistKind kind, const std::string& strFolder) {
    // A byte-order mark is no part of the first entry.
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    CPlaylist playlist;
    {
        CPlaylistBuilder builder(playlist, strFolder);
        if (kind == EPlaylistKind::Pls) {
            ParsePls(text, builder);
        } else {
            ParseM3u(text, builder);
        }
    }
    return playlist;
}

namespace {

// Lists within lists deeper than this are taken for a loop of links.
constexpr int kMaxNesting = 8;

// The text of a list file ("-" standard input), with its folder.
bool ReadListText(const std::string& strPath, std::string& strText, std::string& strFolder,
                  std::string& strReason) {
    std::error_code error;
    // "-" is a list on standard input, its entries relative to here.
    const bool bStdin = strPath == "-";
    const std::filesystem::path path = bStdin ? std::filesystem::current_path(error) / "-"
                                              : std::filesystem::absolute(strPath, error);
    std::ifstream file;
    if (!bStdin) {
        // Only a regular file: a device or a pipe named like a list could
        // give without end.
        if (!std::filesystem::is_regular_file(path, error)) {
            strReason = error ? error.message() : "not a regular file";
            return false;
        }
        file.open(path, std::ios::binary);
        if (!file) {
            strReason = "it cannot be read";
            return false;
        }
    }
    std::istream& in = bStdin ? std::cin : file;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        strText.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (strText.size() > kMaxFileBytes) {
            strReason = "too large for a playlist";
            return false;
        }
    }
    if (in.bad()) {
        strReason = "it cannot be read";
        return false;
    }
    strFolder = path.parent_path().lexically_normal().string();
    return true;
}

void AddWarning(CPlaylist& playlist, std::string strText) {
    if (playlist.warnings.size() < kMaxWarnings) {
        playlist.warnings.push_back(std::move(strText));
    }
}

// Puts the entries of each list the playlist names in its place. chain holds
// the lists being read, outermost first, so a list that names one of them
// is left out rather than read round and round.
void ExpandNestedLists(CPlaylist& playlist, std::vector<std::string>& chain) {
    std::vector<CQueueEntry> entries;
    for (CQueueEntry& entry : playlist.entries) {
        const EPlaylistKind kind = corvina::IsStreamAddress(entry.strPath)
                                       ? EPlaylistKind::None
                                       : GetPlaylistKind(entry.strPath);
        if (kind == EPlaylistKind::None) {
            if (entries.size() < kMaxEntries) {
                entries.push_back(std::move(entry));
            }
            continue;
        }
        const std::string strName = "\"" + entry.strPath + "\"";
        std::error_code error;
        const std::string strKey = std::filesystem::weakly_canonical(entry.strPath, error).string();
        if (std::find(chain.begin(), chain.end(), strKey) != chain.end()) {
            AddWarning(playlist, strName + " is a list this one is within; left out");
            continue;
        }
        if (static_cast<int>(chain.size()) > kMaxNesting) {
            AddWarning(playlist, strName + " is more than " + std::to_string(kMaxNesting) +
                                     " lists deep; left out");
            continue;
        }
        std::string strText;
        std::string strFolder;
        std::string strReason;
        if (!ReadListText(entry.strPath, strText, strFolder, strReason)) {
            AddWarning(playlist, "cannot open " + strName + ": " + strReason);
            continue;
        }
        CPlaylist nested = ParsePlaylist(strText, kind, strFolder);
        chain.push_back(strKey);
        ExpandNestedLists(nested, chain);
        chain.pop_back();
        for (std::string& strWarning : nested.warnings) {
            AddWarning(playlist, strName + ": " + strWarning);
        }
        for (CQueueEntry& inner : nested.entries) {
            if (entries.size() >= kMaxEntries) {
                break;
            }
            entries.push_back(std::move(inner));
        }
    }
    playlist.entries = std::move(entries);
}

}  // namespace

bool ReadPlaylistFile(const std::string& strPath, EPlaylistKind kind, CPlaylist& playlist,
                      std::string& strReason) {
    std::string strText;
    std::string strFolder;
    if (!ReadListText(strPath, strText, strFolder, strReason)) {
        return false;
    }
    playlist = ParsePlaylist(strText, kind, strFolder);
    std::error_code error;
    std::vector<std::string> chain{
        strPath == "-" ? std::string()
                       : std::filesystem::weakly_canonical(strPath, error).string()};
    ExpandNestedLists(playlist, chain);
    return true;
}
