#include "batch/batch_outputs.h"

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

// The file a path ends at: symbolic links followed, even one that points
// at no file yet (writing through it makes its target). At most 40 links,
// as the system follows.
std::string LinkTarget(std::string path) {
  for (int links = 0; links < 40; ++links) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return path;
    target.resize(static_cast<std::size_t>(length));
    if (target.front() != '/') {
      const auto slash = path.find_last_of('/');
      if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    }
    path = std::move(target);
  }
  return path;
}

// `standardOutput`: whether "-" stands for the standard output (an output)
// or for the file of that name (the data).
FileIdentity IdentityOf(const std::string& given, bool standardOutput) {
  FileIdentity identity;
  struct stat info {};
  const bool toStandardOutput = standardOutput && given == kStandardOutput;
  const std::string path = toStandardOutput ? given : LinkTarget(given);
  const bool found = toStandardOutput ? ::fstat(STDOUT_FILENO, &info) == 0 : ::stat(path.c_str(), &info) == 0;
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
  const FileIdentity data = IdentityOf(dataFile, false);
  std::vector<FileIdentity> identities;
  for (const NamedOutput& output : outputs) {
    const FileIdentity identity = IdentityOf(output.path, true);
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

std::string FailureMessage(const Exception& failure) {
  const auto* io = dynamic_cast<const EInOutError*>(&failure);
  if (io != nullptr && io->ErrorCode() == io_error::kNoSpace) return failure.Message() + ": the disk is full";
  return failure.Message();
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
