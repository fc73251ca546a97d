// Helpers for the data window's tests: grids built cell by cell (not
// through the operations under test) or from the opening state, code page
// 932 literals, and a scratch folder for data files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "datawindow/data_grids.h"

namespace cluster::testing {

// UTF-8 source text as code page 932.
std::string U(const std::string& utf8);

// Grids of n = labels.size() objects: headings, the labels, the mask, and
// lower[i - 2][j - 1] in cell [j, i] (row i = 2..n holds i - 1 values).
void FillGrids(DataGrids& grids, const std::vector<std::string>& labels,
               const std::vector<std::vector<std::string>>& lower);

// The grids of a new window (SetInitialState) once the labels A and B and
// their dissimilarity 2.5 are typed in.
void SetUpTwoTypedObjects(DataGrids& grids);

// The grids of a new window with every object row taken away: only the
// label grid's heading row and the matrix's heading cell remain.
void SetUpWithoutObjectRows(DataGrids& grids);

// A fresh folder under /tmp, removed with its files on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::string dir_;
};

}  // namespace cluster::testing
