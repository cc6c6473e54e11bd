// The rest of the folder.
#include "player/folder_listing.h"

#include <algorithm>
#include <filesystem>

namespace {

// Elementary streams, program and transport streams, WAVE. Containers that
// mostly hold other audio (MP4, Matroska) would be skipped more often than
// played, so they are opened only by name.
constexpr std::string_view g_aPlayableExtensions[] = {
    "mp1", "mp2", "mpa", "m1a", "m2a",  "mpg", "mpeg",
    "m2p", "vob", "ts",  "m2t", "m2ts", "mts", "wav",
};

// A folder holds few playable files; this bounds the work for one that
// holds millions of anything.
constexpr std::size_t kMaxListed = 100000;

char ToLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool IsPlayableName(std::string_view name) {
    const std::size_t nDot = name.rfind('.');
    if (nDot == std::string_view::npos || nDot == 0) {
        return false;
    }
    std::string strExtension(name.substr(nDot + 1));
    std::transform(strExtension.begin(), strExtension.end(), strExtension.begin(), ToLower);
    return std::find(std::begin(g_aPlayableExtensions), std::end(g_aPlayableExtensions),
                     strExtension) != std::end(g_aPlayableExtensions);
}

bool IsNaturallyBefore(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Leading zeros aside, the longer run is the larger number.
            while (i < a.size() && a[i] == '0') {
                ++i;
            }
            while (j < b.size() && b[j] == '0') {
                ++j;
            }
            std::size_t nEndA = i;
            std::size_t nEndB = j;
            while (nEndA < a.size() && IsDigit(a[nEndA])) {
                ++nEndA;
            }
            while (nEndB < b.size() && IsDigit(b[nEndB])) {
                ++nEndB;
            }
            const std::string_view runA = a.substr(i, nEndA - i);
            const std::string_view runB = b.substr(j, nEndB - j);
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size();
            }
            if (runA != runB) {
                return runA < runB;
            }
            i = nEndA;
            j = nEndB;
            continue;
        }
        const char cA = ToLower(a[i]);
        const char cB = ToLower(b[j]);
        if (cA != cB) {
            return static_cast<unsigned char>(cA) < static_cast<unsigned char>(cB);
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) {
        return j < b.size();
    }
    return a < b;
}

std::vector<std::string> ListFolderAround(const std::string& strOpened) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(strOpened, error).parent_path();
    const std::string strOpenedName = std::filesystem::path(strOpened).filename().string();
    std::vector<std::string> names{strOpenedName};
    std::filesystem::directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::directory_iterator() && names.size() < kMaxListed;
         it.increment(error)) {
        const std::string strName = it->path().filename().string();
        std::error_code typeError;
        if (strName == strOpenedName || strName.starts_with('.') || !IsPlayableName(strName) ||
            !it->is_regular_file(typeError)) {
            continue;
        }
        names.push_back(strName);
    }
    std::sort(names.begin(), names.end(), IsNaturallyBefore);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& strName : names) {
        paths.push_back(strName == strOpenedName ? strOpened : (folder / strName).string());
    }
    return paths;
}
