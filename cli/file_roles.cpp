// file_roles.cpp - refusing outputs that would overwrite an input or each other.
#include "file_roles.h"

#include "cli_error.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace koru_cli {

namespace {

// What a path stands for: the file's device and inode when it exists, else
// its folder's device and inode and the last part of its name.
struct Identity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;  // only for a file that does not exist

    bool operator==(const Identity& other) const {
        return exists == other.exists && device == other.device && inode == other.inode && name == other.name;
    }
};

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Describe(const NamedFile& file) {
    return file.role + " " + file.path;
}

Identity IdentityOf(const NamedFile& file, bool isOutput) {
    Identity identity;
    struct stat info;
    if (stat(file.path.c_str(), &info) == 0) {
        identity.exists = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
        if (isOutput && S_ISDIR(info.st_mode)) {
            throw CliError(Describe(file) + " is a folder, not a file to write");
        }
        // An output is written beside its name and renamed onto it, which
        // would put a regular file in the place of a device or a pipe (run as
        // root, -o /dev/null would replace the device itself).
        if (isOutput && !S_ISREG(info.st_mode)) {
            throw CliError(Describe(file) + " is not a regular file; koru writes its outputs as regular files");
        }
        return identity;
    }
    if (!isOutput) {
        return identity;  // a missing input is reported when it is read
    }
    std::string folder = FolderOf(file.path);
    if (stat(folder.c_str(), &info) != 0) {
        int error = errno;
        throw CliError(Describe(file) + ": cannot write into the folder " + folder + " (" + std::strerror(error) + ")");
    }
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.name = file.path.substr(file.path.find_last_of('/') == std::string::npos ? 0
                                                                                      : file.path.find_last_of('/') + 1);
    return identity;
}

// The output is written as a temporary file in its folder, then renamed:
// that folder must be writable, whether or not the file exists.
void CheckWritableFolder(const NamedFile& file) {
    std::string folder = FolderOf(file.path);
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        int error = errno;
        throw CliError(Describe(file) + ": cannot write into the folder " + folder + " (" + std::strerror(error) + ")");
    }
}

}  // namespace

void CheckFileRoles(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs) {
    std::vector<std::pair<const NamedFile*, Identity>> seen;
    for (const NamedFile& input : inputs) {
        if (input.path.empty()) continue;
        Identity identity = IdentityOf(input, false);
        if (identity.exists) seen.emplace_back(&input, identity);
    }
    const size_t inputCount = seen.size();
    for (const NamedFile& output : outputs) {
        if (output.path.empty()) continue;
        Identity identity = IdentityOf(output, true);
        for (size_t i = 0; i < seen.size(); ++i) {
            if (seen[i].second == identity) {
                throw CliError(Describe(output) + " is the same file as the " +
                               (i < inputCount ? "input " : "output ") + Describe(*seen[i].first) +
                               "; writing it would destroy it: choose another output file");
            }
        }
        CheckWritableFolder(output);
        seen.emplace_back(&output, identity);
    }
}

}  // namespace koru_cli
