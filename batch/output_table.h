// The outputs the batch tool writes, one row each: the option that names its
// file, what the usage says of it, and when it is written. The options, the
// check that no two outputs are one file, the usage and the run all read
// this table; adding an output is a row here and the text it writes
// (batch_run.cpp, OutputText).
#pragma once

#include <array>
#include <string_view>

namespace cluster {

enum class Output { kEcho, kMerges, kLinkage, kNewick, kOrder, kGroups, kCophenetic, kPicture, kHeatmap };

// When an output is written: the echo of the data before the run (it shows
// the data even when the run goes no further), the texts once the tree is
// made (all made before any is written), the pictures last.
enum class OutputStage { kBeforeTheRun, kText, kPicture };

struct OutputInfo {
  Output output;
  std::string_view option;
  std::string_view usage;  // the usage's text beside "--option FILE", its lines broken for it
  OutputStage stage;
};

inline constexpr std::array<OutputInfo, 9> kOutputs = {{
    {Output::kEcho, "--output", "write the output text file (the echo of the data)", OutputStage::kBeforeTheRun},
    {Output::kMerges, "--merges",
     "write one line per merge: left, right, id, height,\n"
     "members, separated by tabs",
     OutputStage::kText},
    {Output::kLinkage, "--linkage", "write the merges as SciPy's linkage matrix", OutputStage::kText},
    {Output::kNewick, "--newick", "write the tree in Newick format", OutputStage::kText},
    {Output::kOrder, "--order", "write the labels in the tree's leaf order, one per\nline, top to bottom",
     OutputStage::kText},
    {Output::kGroups, "--groups", "write each object's label and group (with --cut\nor --cut-height)",
     OutputStage::kText},
    {Output::kCophenetic, "--cophenetic", "write the cophenetic correlation coefficient", OutputStage::kText},
    {Output::kPicture, "--plot", "draw the dendrogram as PDF, SVG or PNG (by the ending)", OutputStage::kPicture},
    {Output::kHeatmap, "--heatmap",
     "draw the observations as a clustered heat map, PDF,\nSVG or PNG (with --observations)",
     OutputStage::kPicture},
}};

// Whether an output follows the tree's leaf order (--leaf-order).
constexpr bool HasLeafOrder(Output output) {
  return output == Output::kLinkage || output == Output::kNewick || output == Output::kOrder ||
         output == Output::kPicture || output == Output::kHeatmap;
}

}  // namespace cluster
