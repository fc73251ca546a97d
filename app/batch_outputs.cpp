#include "app/batch_outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include "common/text_file.h"

namespace cluster {

namespace {

constexpr const char* kStandardOutput = "-";

// Who a path is: an existing file by its device and inode; a file not yet
// made by its folder's device and inode and its own name.
struct FileIdentity {
  bool known = false;
  bool exists = false;
  bool characterDevice = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;  // a file not yet made
};

FileIdentity IdentityOf(const std::string& path) {
  FileIdentity identity;
  struct stat info {};
  const bool found = path == kStandardOutput ? ::fstat(STDOUT_FILENO, &info) == 0 : ::stat(path.c_str(), &info) == 0;
  if (found) {
    identity.known = identity.exists = true;
    identity.characterDevice = S_ISCHR(info.st_mode);
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    return identity;
  }
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  identity.name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!identity.name.empty() && ::stat(folder.c_str(), &info) == 0) {
    identity.known = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
  }
  return identity;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.exists == b.exists && a.device == b.device && a.inode == b.inode &&
         a.name == b.name;
}

std::string Quoted(const std::string& path) { return path == kStandardOutput ? "standard output" : "'" + path + "'"; }

}  // namespace

std::optional<std::string> OutputConflict(const std::string& dataFile, const std::vector<NamedOutput>& outputs) {
  const FileIdentity data = IdentityOf(dataFile);
  std::vector<FileIdentity> identities;
  for (const NamedOutput& output : outputs) {
    const FileIdentity identity = IdentityOf(output.path);
    if (data.exists && SameFile(identity, data)) {
      return output.option + " " + Quoted(output.path) +
             " is the data file, which writing would destroy; nothing was written";
    }
    // Two writers on one terminal (or /dev/null) lose nothing, nor do two
    // outputs on standard output: it is never truncated, so they follow each
    // other in the order they are written.
    if (!identity.characterDevice) {
      for (std::size_t k = 0; k < identities.size(); ++k) {
        const bool bothStandardOutput = output.path == kStandardOutput && outputs[k].path == kStandardOutput;
        if (!bothStandardOutput && SameFile(identity, identities[k])) {
          return outputs[k].option + " and " + output.option + " name the same file (" + Quoted(outputs[k].path) +
                 ", " + Quoted(output.path) + "), which would keep only one of them; nothing was written";
        }
      }
    }
    identities.push_back(identity);
  }
  return std::nullopt;
}

std::string OutputName(const std::string& path) { return path == kStandardOutput ? "standard output" : path; }

void BindOutput(TextFile& file, const std::string& path) {
  file.SetBulkWriting(true);
  if (path == kStandardOutput) {
    file.BindStandardOutput();
  } else {
    file.BindName(path);
  }
}

void WriteOutput(const std::string& path, std::string_view bytes) {
  TextFile file;
  BindOutput(file, path);
  file.OpenForWriting();
  CheckIo();
  file.WriteTextItem(bytes);
  file.EndWrite();
  CheckIo();
  file.CloseTextFile();
  CheckIo();
}

}  // namespace cluster
