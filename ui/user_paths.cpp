// The user's own folders and absolute paths.
#include "ui/user_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

std::string GetHomeFolder() {
    const char* pszHome = std::getenv("HOME");
    if (pszHome != nullptr && pszHome[0] == '/') {
        return pszHome;
    }
    if (const passwd* pEntry = getpwuid(getuid()); pEntry != nullptr && pEntry->pw_dir != nullptr) {
        return pEntry->pw_dir;
    }
    return "/tmp";
}

// The base folders must be absolute; a relative value is ignored.
std::string GetXdgFolder(const char* pszVariable, const char* pszFallback) {
    const char* pszValue = std::getenv(pszVariable);
    if (pszValue != nullptr && pszValue[0] == '/') {
        return pszValue;
    }
    return GetHomeFolder() + pszFallback;
}

}  // namespace

std::string GetUserConfigFolder() {
    return GetXdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string GetUserDataFolder() {
    return GetXdgFolder("XDG_DATA_HOME", "/.local/share");
}

std::string GetUserRuntimeFolder() {
    const char* pszValue = std::getenv("XDG_RUNTIME_DIR");
    if (pszValue != nullptr && pszValue[0] == '/') {
        return pszValue;
    }
    // A folder of our own in /tmp, used only while it is ours and closed to
    // everybody else: anyone may create names there.
    const std::string strFolder = "/tmp/corvina-" + std::to_string(getuid());
    if (mkdir(strFolder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat info {};
    if (lstat(strFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & 077) != 0) {
        return {};
    }
    return strFolder;
}

bool MakeFolders(const std::string& strFolder) {
    std::error_code error;
    const std::filesystem::path folder(strFolder);
    if (std::filesystem::is_directory(folder, error)) {
        return true;
    }
    if (folder.has_parent_path() && folder.parent_path() != folder &&
        !MakeFolders(folder.parent_path().string())) {
        return false;
    }
    if (mkdir(strFolder.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    return std::filesystem::is_directory(folder, error);
}

bool ReplaceFile(const std::string& strPath, const std::string& strContents) {
    const auto nSlash = strPath.find_last_of('/');
    if (nSlash != std::string::npos && nSlash > 0 && !MakeFolders(strPath.substr(0, nSlash))) {
        return false;
    }
    const std::string strTemporary = strPath + ".new";
    {
        std::ofstream out(strTemporary, std::ios::binary | std::ios::trunc);
        out << strContents;
        out.flush();
        if (!out) {
            std::remove(strTemporary.c_str());
            return false;
        }
    }
    if (std::rename(strTemporary.c_str(), strPath.c_str()) != 0) {
        std::remove(strTemporary.c_str());
        return false;
    }
    return true;
}

std::string MakeAbsolutePath(const std::string& strPath) {
    // An address (scheme://...) is no path of this computer.
    if (strPath.empty() || strPath.find("://") != std::string::npos) {
        return strPath;
    }
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(strPath, error);
    if (error) {
        path = strPath;
    }
    return path.lexically_normal().string();
}
