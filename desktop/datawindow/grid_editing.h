// Editing the objects of the data window: the state a new window opens in,
// Add (insert an object after the selected one) and Delete (remove the
// selected object). Both work on the matrix grid's selected row; the label
// grid's own selection plays no part.
#pragma once

#include <cstdint>
#include <string>

#include "desktop/datawindow/data_grids.h"

namespace cluster {

// Two objects, headings in both grids, one empty data cell [1, 2], empty
// labels, the mask, and both current cells at [1, 1].
void SetInitialState(DataGrids& grids);

// Whether Add may insert one more object without passing `maxObjects`.
bool CanAddObject(const DataGrids& grids, std::int32_t maxObjects) noexcept;

// The notice shown, and nothing changed, when Add would pass the limit.
std::string TooManyObjectsToAddMessage(std::int32_t maxObjects);

// Inserts a new object after the object of the matrix grid's selected row s:
// it becomes object s + 1 with the label " " and " " in each of its data
// cells; later objects move on by one with their labels and dissimilarities.
// With no object row only the mask is written again. The caller checks the
// limit first (CanAddObject).
void AddObject(DataGrids& grids);

// Removes the object of the matrix grid's selected row with its label, row
// and column; later objects move up by one. The last remaining object is
// never removed. Headings and mask are written again in every case.
void DeleteObject(DataGrids& grids);

}  // namespace cluster
