// The files a batch run writes, and where their bytes go.
//
// An output that is the data file would destroy the data (the echo keeps
// seven digits, so it cannot be recovered), and two outputs that are one
// file would leave only the last. Both are refused before anything is read
// or written, whatever the spelling of the paths: files are compared by
// device and inode, a file not yet made by its folder's and its own name,
// after following symbolic links (one that points at no file yet is the
// file it would make). "-" stands for the standard output as an output;
// as the data file it is the file of that name, which the tool reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cluster {

class Exception;
class TextFile;

struct NamedOutput {
  std::string option;  // "--output", "--merges", ...
  std::string path;    // as given; "-" for the standard output
};

// What is wrong with the outputs (a sentence for the user), or nothing.
std::optional<std::string> OutputConflict(const std::string& dataFile, const std::vector<NamedOutput>& outputs);

// How an output's failures name it: its path, or "standard output".
std::string OutputName(const std::string& path);

// A file's failure as the tool reports it: the program's message, and for
// a full disk the words after the system's code (the desktop program's
// messages give the code alone).
std::string FailureMessage(const Exception& failure);

// Binds `file` to an output path ("-": the standard output) for bulk writing.
void BindOutput(TextFile& file, const std::string& path);

// Writes `bytes` as the whole content of an output, checked to the last
// byte and the close (EInOutError).
void WriteOutput(const std::string& path, std::string_view bytes);

}  // namespace cluster
