// file_roles.h - the files a command reads and writes, checked before any work.
//
// A command names its inputs and its outputs with the option that names each
// (the option shows in the messages). CheckFileRoles refuses, before anything
// is read or trained, an output that is one of the inputs or another output:
// files are compared by device and inode, so a hard link, a symbolic link or
// another spelling of the same path counts as the same file. An output that
// does not exist yet is compared by its folder's device and inode and its
// name. It also refuses an output whose folder cannot be written, with the
// system's reason, so that a long training is never lost to a bad -o path.
#ifndef KORU_CLI_FILE_ROLES_H
#define KORU_CLI_FILE_ROLES_H

#include <string>
#include <vector>

namespace koru_cli {

struct NamedFile {
    std::string role;  // "DATA.csv", "-o", "--plot": how the command line names it
    std::string path;  // empty: not given, skipped
};

// Throws CliError "-o FILE is the same file as the input DATA.csv FILE ..."
// and the like.
void CheckFileRoles(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);

}  // namespace koru_cli

#endif
